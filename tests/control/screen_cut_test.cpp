// The screen cut through the control and its scripted events, on whatever platform the suite runs
// (offscreen in control_tests, Xvfb in control_x11_tests): files checked with identify and compare.
#include "control/ui/screen_cut_window.h"
#include "control_fixture.h"
#include "imaging/external_tools.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QtEndian>
#include <memory>

namespace qx::test {
namespace {

QVariantList at(const char* type, int x, int y) {
    return {QString::fromLatin1(type), x, y};
}
QVariantList escape() {
    return {QStringLiteral("key"), QStringLiteral("Escape")};
}
QVariantList screenshot(const QString& path) {
    return {QStringLiteral("screenshot"), path};
}

QSize deviceScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize();
}

// A picture whose pixels differ from their neighbours and are never grey 147 (blue stays below 128),
// so a shifted cut or a stray panel pixel cannot pass unnoticed.
QImage patternSnapshot(QSize size, bool alpha = false) {
    QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(
                x, y, qRgba((x * 7 + y) % 256, (y * 3 + x / 5) % 256, (x ^ y) & 0x7F, alpha ? 200 : 255));
    return image;
}

struct BmpHeader {
    int32_t width = 0, height = 0;
    uint16_t bits = 0;
    uint32_t offset = 0, size = 0;
};
BmpHeader bmpHeader(const QString& path) {
    const QByteArray b = readAll(path);
    BmpHeader h;
    if (b.size() < 54 || !b.startsWith("BM"))
        return h;
    const auto* d = reinterpret_cast<const uchar*>(b.constData());
    h.size = qFromLittleEndian<uint32_t>(d + 2);
    h.offset = qFromLittleEndian<uint32_t>(d + 10);
    h.width = qFromLittleEndian<int32_t>(d + 18);
    h.height = qFromLittleEndian<int32_t>(d + 22);
    h.bits = qFromLittleEndian<uint16_t>(d + 28);
    return h;
}

class ScreenCutTest : public ControlTest {
protected:
    void SetUp() override {
        m_screen = deviceScreen();
        m_snapshot = m_tempFolder.file(QStringLiteral("snapshot.png"));
        ASSERT_TRUE(patternSnapshot(m_screen).save(m_snapshot));
        m_override = std::make_unique<ScopedEnv>("QX_SCREEN_SNAPSHOT", m_snapshot);
        createControl();
    }

    // Runs ScreenCut with these events; `saveAs` answers the save dialog when not empty.
    void cut(const QVariantList& events, const QString& saveAs = {}) {
        if (!saveAs.isEmpty())
            m_ui.queueAnswer(QStringLiteral("file-save"), saveAs);
        m_ui.queueAnswer(QStringLiteral("screen-cut"), events);
        m_control->ScreenCut();
    }

    // The number of pixels in which `file` differs from `area` of the snapshot, by ImageMagick.
    QString differingPixels(const QString& file, const QRect& area) {
        const QString reference = m_tempFolder.file(QStringLiteral("reference.png"));
        const ToolRun crop = runTool(
            QStringLiteral("convert"),
            {m_snapshot, QStringLiteral("-crop"),
             QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y()),
             QStringLiteral("+repage"), reference});
        EXPECT_EQ(crop.exitCode, 0) << crop.err.toStdString();
        const ToolRun diff =
            runTool(QStringLiteral("compare"), {QStringLiteral("-metric"), QStringLiteral("AE"), file,
                                                reference, QStringLiteral("null:")});
        return QString::fromUtf8(diff.err).trimmed();
    }

    bool asked(const char* kind) const { return m_ui.askedKinds().contains(QString::fromLatin1(kind)); }

    QSize m_screen;
    QString m_snapshot;
    std::unique_ptr<ScopedEnv> m_override;
};

TEST_F(ScreenCutTest, DragAndDoubleClickSaveTheRectangleAsA24BitBmpAndPutItOnTheClipboard) {
    const QString file = m_tempFolder.file(QStringLiteral("cut.bmp"));
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), at("dblclick", 50, 50)}, file);

    const ToolRun id =
        runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m %w %h"), file});
    EXPECT_EQ(id.text(), QStringLiteral("BMP3 89 69"));
    const BmpHeader h = bmpHeader(file);
    EXPECT_EQ(h.bits, 24);
    EXPECT_EQ(h.offset, 54u);
    EXPECT_EQ(h.height, 69); // positive: bottom-up
    EXPECT_EQ(h.size, 54u + 69u * ((89u * 24 + 31) / 32 * 4));
    EXPECT_EQ(differingPixels(file, QRect(11, 11, 89, 69)), QStringLiteral("0"));

    const QImage clipboard = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(clipboard.isNull());
    EXPECT_EQ(clipboard.convertToFormat(QImage::Format_RGB32),
              QImage(m_snapshot).copy(11, 11, 89, 69).convertToFormat(QImage::Format_RGB32));
}

TEST_F(ScreenCutTest, RightClickAtOnceClosesWithoutAFile) {
    const QString file = m_tempFolder.file(QStringLiteral("cut.bmp"));
    // Had the right click not closed the window, the events after it would save a picture.
    cut({at("rightclick", 300, 300), at("press", 10, 10), at("move", 100, 80), at("release", 100, 80),
         at("dblclick", 50, 50)},
        file);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(asked("file-save"));
}

TEST_F(ScreenCutTest, EscapeClearsTheRectangleAndARightClickThenCloses) {
    const QString file = m_tempFolder.file(QStringLiteral("cut.bmp"));
    const QString open = m_tempFolder.file(QStringLiteral("open.png"));
    const QString closed = m_tempFolder.file(QStringLiteral("closed.png"));
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), escape(), screenshot(open),
         at("rightclick", 50, 50), screenshot(closed), at("dblclick", 50, 50)},
        file);
    EXPECT_TRUE(QFile::exists(open)) << "Escape with a rectangle closed the window";
    EXPECT_FALSE(QFile::exists(closed)) << "the right click without a rectangle did not close it";
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(asked("file-save"));
}

TEST_F(ScreenCutTest, EscapeWithoutARectangleCloses) {
    const QString after = m_tempFolder.file(QStringLiteral("after.png"));
    cut({escape(), screenshot(after)});
    EXPECT_FALSE(QFile::exists(after));
}

TEST_F(ScreenCutTest, ADoubleClickOutsideTheRectangleLeavesTheWindowOpen) {
    const QString open = m_tempFolder.file(QStringLiteral("open.png"));
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), at("dblclick", 300, 300),
         screenshot(open)},
        m_tempFolder.file(QStringLiteral("cut.bmp")));
    EXPECT_TRUE(QFile::exists(open));
    EXPECT_FALSE(asked("file-save"));
    EXPECT_FALSE(QFile::exists(m_tempFolder.file(QStringLiteral("cut.bmp"))));
}

TEST_F(ScreenCutTest, ARectangleMovedPastTheRightEdgeIsCopiedUpToIt) {
    const int w = m_screen.width();
    const QString file = m_tempFolder.file(QStringLiteral("edge.bmp"));
    // Drawn inside, then dragged by its inside 80 pixels to the right: 19 of its 89 columns remain.
    cut({at("press", w - 100, 20), at("move", w - 11, 60), at("release", w - 11, 60), at("press", w - 50, 40),
         at("move", w + 30, 40), at("release", w + 30, 40), at("dblclick", w - 5, 40)},
        file);
    const BmpHeader h = bmpHeader(file);
    EXPECT_EQ(h.width, 19);
    EXPECT_EQ(h.height, 39);
    EXPECT_EQ(differingPixels(file, QRect(w - 19, 21, 19, 39)), QStringLiteral("0"));
}

TEST_F(ScreenCutTest, ADragUpAndToTheLeftGivesTheNormalisedRectangle) {
    const QString file = m_tempFolder.file(QStringLiteral("up.bmp"));
    cut({at("press", 100, 80), at("move", 10, 10), at("release", 10, 10), at("dblclick", 50, 50)}, file);
    const BmpHeader h = bmpHeader(file);
    EXPECT_EQ(h.width, 91);
    EXPECT_EQ(h.height, 71);
    EXPECT_EQ(differingPixels(file, QRect(10, 10, 91, 71)), QStringLiteral("0"));
}

TEST_F(ScreenCutTest, AResizeHandleChangesTheRectangle) {
    const QString file = m_tempFolder.file(QStringLiteral("resized.bmp"));
    // Bottom-right handle (inside the corner) dragged 40 right and 30 down.
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), at("press", 97, 77),
         at("move", 137, 107), at("release", 137, 107), at("dblclick", 50, 50)},
        file);
    const BmpHeader h = bmpHeader(file);
    EXPECT_EQ(h.width, 129);
    EXPECT_EQ(h.height, 99);
    EXPECT_EQ(differingPixels(file, QRect(11, 11, 129, 99)), QStringLiteral("0"));
}

TEST_F(ScreenCutTest, ASaveThatFailsLeavesNoFileAndClosesTheWindow) {
    const QString file = m_tempFolder.file(QStringLiteral("missing/cut.bmp"));
    const QString after = m_tempFolder.file(QStringLiteral("after.png"));
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), at("dblclick", 50, 50),
         screenshot(after)},
        file);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(QFile::exists(after));
    EXPECT_TRUE(log().contains(QStringLiteral("截图保存失败:") + file));
}

TEST_F(ScreenCutTest, ACancelledSaveWritesNothing) {
    m_ui.queueAnswer(QStringLiteral("file-save"), QVariant());
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), at("dblclick", 50, 50)});
    EXPECT_TRUE(asked("file-save"));
    EXPECT_EQ(QDir(m_tempFolder.path()).entryList({QStringLiteral("*.bmp")}, QDir::Files).size(), 0);
}

TEST_F(ScreenCutTest, ASnapshotWithAlphaGivesA32BitBmp) {
    ASSERT_TRUE(patternSnapshot(m_screen, true).save(m_snapshot));
    const QString file = m_tempFolder.file(QStringLiteral("cut32.bmp"));
    cut({at("press", 10, 10), at("move", 100, 80), at("release", 100, 80), at("dblclick", 50, 50)}, file);
    const BmpHeader h = bmpHeader(file);
    EXPECT_EQ(h.bits, 32);
    EXPECT_EQ(h.size, 54u + 69u * 89u * 4u);
}

TEST_F(ScreenCutTest, NoSnapshotIsLoggedAndNoWindowOpens) {
    ScopedEnv missing("QX_SCREEN_SNAPSHOT", m_tempFolder.file(QStringLiteral("none.png")));
    const QString shot = m_tempFolder.file(QStringLiteral("shot.png"));
    cut({screenshot(shot)});
    EXPECT_FALSE(QFile::exists(shot));
    EXPECT_FALSE(asked("screen-cut"));
    const QStringList lines = log();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("截屏失败，无法获取屏幕图像:"));
    }));
}

TEST_F(ScreenCutTest, ThePositionPanelNearTheTopRightCornerOpensBelowAndLeftOfTheCursor) {
    const int w = m_screen.width();
    const QString shot = m_tempFolder.file(QStringLiteral("panel.png"));
    const QPoint cursor(w - 5, 5);
    cut({at("press", w - 300, 200), at("move", cursor.x(), cursor.y()), screenshot(shot)});
    const QImage image = QImage(shot).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    const qreal ratio = double(image.width()) / w;
    int grey = 0, misplaced = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(147, 147, 147))
                continue;
            ++grey;
            if (x / ratio >= cursor.x() || y / ratio <= cursor.y())
                ++misplaced;
        }
    }
    EXPECT_GT(grey, 100);
    EXPECT_EQ(misplaced, 0);
}

// The window itself, driven by events as the platform delivers them.
class ScreenCutWindowTest : public ::testing::Test {
protected:
    ScreenCutWindowTest()
        : m_image(patternSnapshot(deviceScreen())), m_window(m_ui, m_image, 24, [](const QString&) {}) {}

    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button = Qt::NoButton) {
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        const QPointF local = QPointF(p) / ratio;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : m_held | button;
        m_held = held;
        QMouseEvent event(type, local, m_window.mapToGlobal(local), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&m_window, &event);
    }
    QString rgbLine(QPoint p) const {
        const QRgb c = m_image.pixel(p);
        return QStringLiteral("\r\n\r\n\r\n ·当前像素RGB (%1,%2,%3)\r\n")
            .arg(qRed(c))
            .arg(qGreen(c))
            .arg(qBlue(c));
    }

    ScriptedUiHost m_ui;
    QImage m_image;
    control::CScreenCutWnd m_window;
    Qt::MouseButtons m_held = Qt::NoButton;
};

TEST_F(ScreenCutWindowTest, TheInfoBoxShowsThePixelAndTheInstructionOfEachState) {
    const QPoint p(300, 250);
    mouse(QEvent::MouseMove, p);
    EXPECT_EQ(m_window.infoText(),
              rgbLine(p) +
                  QStringLiteral("\r\n ·按下鼠标左键不放选择截取\r\n 范围\r\n\r\n ·按ESC键或鼠标右键退出"));
    mouse(QEvent::MouseButtonPress, p, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(401, 333));
    EXPECT_EQ(m_window.infoText(), rgbLine(QPoint(401, 333)) +
                                       QStringLiteral("\r\n ·松开鼠标左键确定截取范围\r\n\r\n ·按ESC键退出"));
    EXPECT_EQ(m_window.selection(), QRect(301, 251, 100, 82));
    mouse(QEvent::MouseButtonRelease, QPoint(401, 333), Qt::LeftButton);
    EXPECT_EQ(m_window.infoText(),
              rgbLine(QPoint(401, 333)) +
                  QStringLiteral(
                      "\r\n ·用鼠标左键调整截取范围的\r\n 大小和位置\r\n\r\n·截取范围内双击鼠标左键保存\r\n "
                      "图像，结束操作\r\n\r\n·点击鼠标右键重新选择"));
}

TEST_F(ScreenCutWindowTest, TheInfoBoxJumpsBetweenTheSidesWhenTheCursorReachesIt) {
    const int w = m_window.screenSize().width();
    EXPECT_EQ(m_window.infoBoxPos(), QPoint(10, 10));
    mouse(QEvent::MouseMove, QPoint(300, 300));
    EXPECT_EQ(m_window.infoBoxPos(), QPoint(10, 10));
    mouse(QEvent::MouseMove, QPoint(50, 40));
    EXPECT_EQ(m_window.infoBoxPos(), QPoint(w - 180, 10));
    mouse(QEvent::MouseMove, QPoint(50, 41)); // no longer over it
    EXPECT_EQ(m_window.infoBoxPos(), QPoint(w - 180, 10));
    mouse(QEvent::MouseMove, QPoint(w - 100, 60));
    EXPECT_EQ(m_window.infoBoxPos(), QPoint(10, 10));
}

TEST_F(ScreenCutWindowTest, ThePositionPanelFollowsTheCursorAndMirrorsAtTheEdges) {
    const int w = m_window.screenSize().width();
    EXPECT_TRUE(m_window.positionPanel().isNull());
    mouse(QEvent::MouseButtonPress, QPoint(200, 300), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(400, 400));
    QRect panel = m_window.positionPanel();
    // In the open: right of the cursor and above it.
    EXPECT_EQ(panel.left(), 403);
    EXPECT_EQ(panel.top() + panel.height(), 397);
    mouse(QEvent::MouseMove, QPoint(w - 5, 5));
    panel = m_window.positionPanel();
    EXPECT_EQ(panel.left() + panel.width(), w - 8);
    EXPECT_EQ(panel.top(), 8);
    mouse(QEvent::MouseButtonRelease, QPoint(w - 5, 5), Qt::LeftButton);
    EXPECT_TRUE(m_window.positionPanel().isNull());
}

TEST_F(ScreenCutWindowTest, RightClickAndEscapeClearTheRectangleFirst) {
    int closed = 0;
    QObject::connect(&m_window, &QDialog::finished, [&closed](int) { ++closed; });
    auto draw = [this] {
        mouse(QEvent::MouseButtonPress, QPoint(20, 300), Qt::LeftButton);
        mouse(QEvent::MouseMove, QPoint(120, 400));
        mouse(QEvent::MouseButtonRelease, QPoint(120, 400), Qt::LeftButton);
    };
    draw();
    ASSERT_TRUE(m_window.hasRectangle());
    mouse(QEvent::MouseButtonPress, QPoint(500, 500), Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, QPoint(500, 500), Qt::RightButton);
    EXPECT_FALSE(m_window.hasRectangle());
    EXPECT_TRUE(m_window.selection().isNull());
    EXPECT_EQ(closed, 0);

    draw();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_window, &key);
    EXPECT_FALSE(m_window.hasRectangle());
    EXPECT_EQ(closed, 0);
    QCoreApplication::sendEvent(&m_window, &key);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(m_window.result(), QDialog::Rejected);
}

} // namespace
} // namespace qx::test
