// The screen cut on an X server without the snapshot override: Qt's grab of the real screen.
#include "control_fixture.h"
#include "imaging/external_tools.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QTest>

namespace qx::test {
namespace {

class ScreenCutX11Test : public ControlTest {};

TEST_F(ScreenCutX11Test, TheCutIsWhatTheScreenShowed) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (Xvfb)";
    ScopedEnv noOverride("QX_SCREEN_SNAPSHOT", QString());
    QImage pattern(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x)
            pattern.setPixel(x, y, qRgb(x * 3 % 256, y * 5 % 256, (x + y) % 256));
    const QString patternFile = m_tempFolder.file(QStringLiteral("pattern.png"));
    ASSERT_TRUE(pattern.save(patternFile));

    // Placed where it is asked to be: no window manager runs on the private server.
    QLabel window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setPixmap(QPixmap::fromImage(pattern));
    window.setGeometry(200, 150, 160, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);

    createControl();
    const QString file = m_tempFolder.file(QStringLiteral("screen.bmp"));
    m_ui.queueAnswer(QStringLiteral("file-save"), file);
    m_ui.queueAnswer(QStringLiteral("screen-cut"),
                     QVariantList{QVariantList{QStringLiteral("press"), 219, 159},
                                  QVariantList{QStringLiteral("move"), 320, 240},
                                  QVariantList{QStringLiteral("release"), 320, 240},
                                  QVariantList{QStringLiteral("dblclick"), 250, 200}});
    m_control->ScreenCut();

    // The rectangle (220, 160)-(320, 240) is the pattern's (20, 10)-(120, 90).
    const QString reference = m_tempFolder.file(QStringLiteral("reference.png"));
    ASSERT_TRUE(pattern.copy(20, 10, 100, 80).save(reference));
    const ToolRun id =
        runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%w %h"), file});
    EXPECT_EQ(id.text(), QStringLiteral("100 80"));
    const ToolRun diff = runTool(QStringLiteral("compare"), {QStringLiteral("-metric"), QStringLiteral("AE"),
                                                             file, reference, QStringLiteral("null:")});
    EXPECT_EQ(QString::fromUtf8(diff.err).trimmed(), QStringLiteral("0"));
}

} // namespace
} // namespace qx::test
