// Skinned buttons: state images over the parent's background, colour matrices, clicks, hover, resources.
#include "desktop_support.h"
#include "qx/desktop/artwork.h"
#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/color_matrix.h"
#include "qx/desktop/gdip_button.h"
#include "qx/desktop/mem_dc.h"
#include "support/test_support.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <cmath>
#include <gtest/gtest.h>

using namespace qx::desktop;

namespace {

// A parent that paints a pattern known at every pixel: red grows with x, green with y.
class PatternParent : public QWidget {
public:
    static QRgb at(int x, int y) { return qRgb((x * 7) % 256, (y * 11) % 256, 90); }

protected:
    void paintEvent(QPaintEvent*) override {
        QImage image(size(), QImage::Format_RGB32);
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                image.setPixel(x, y, at(x, y));
        QPainter(this).drawImage(0, 0, image);
    }
};

const QPoint kButtonAt(30, 20);
const QSize kButtonSize(24, 23);
const QRgb kBlock = qRgb(100, 150, 200);

// 24 x 23, transparent except an opaque 4 x 4 block at (2, 2).
QImage blockImage(QRgb color = kBlock) {
    QImage image(kButtonSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x)
            image.setPixel(x, y, color);
    return image;
}

class DesktopButton : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(120, 80);
        button = new CGdipButton(&parent);
        button->setGeometry(QRect(kButtonAt, kButtonSize));
        button->setStdImage(blockImage());
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }

    QImage shot() { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRgb background(int x, int y) { return PatternParent::at(kButtonAt.x() + x, kButtonAt.y() + y); }

    void hover() {
        const QPoint centre(kButtonSize.width() / 2, kButtonSize.height() / 2);
        QMouseEvent move(QEvent::MouseMove, QPointF(centre), QPointF(button->mapToGlobal(centre)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &move);
        ASSERT_TRUE(QTest::qWaitFor([this] { return button->isHovering(); }, 5000));
    }

    PatternParent parent;
    CGdipButton* button = nullptr;
};

int expectedHot(int v) {
    return std::min(255, int(std::lround(v * 1.05 + 0.05 * 255)));
}

} // namespace

TEST_F(DesktopButton, TransparentPixelsShowTheBackgroundBehindTheButton) {
    const QImage image = shot();
    EXPECT_EQ(image.pixel(0, 0), background(0, 0));
    EXPECT_EQ(image.pixel(20, 15), background(20, 15));
    EXPECT_EQ(image.pixel(2, 2), kBlock);
    EXPECT_EQ(image.pixel(5, 5), kBlock);
    EXPECT_EQ(image.pixel(6, 6), background(6, 6));
    EXPECT_TRUE(button->imagesPrepared());
}

TEST_F(DesktopButton, APressedButtonShowsItsPictureOnePixelRightAndDown) {
    button->setDown(true);
    const QImage image = shot();
    EXPECT_EQ(image.pixel(2, 2), background(2, 2));
    EXPECT_EQ(image.pixel(3, 3), kBlock);
    EXPECT_EQ(image.pixel(6, 6), kBlock);
    EXPECT_EQ(image.pixel(7, 7), background(7, 7));
    EXPECT_EQ(image.pixel(6, 2), background(6, 2));
}

TEST_F(DesktopButton, HoverDrawsThroughTheHotMatrix) {
    hover();
    const QImage image = shot();
    EXPECT_EQ(image.pixel(3, 3), qRgb(expectedHot(100), expectedHot(150), expectedHot(200)));
    EXPECT_EQ(image.pixel(0, 0), background(0, 0));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->isHovering());
    EXPECT_FALSE(button->isTracking());
    EXPECT_EQ(shot().pixel(3, 3), kBlock);
}

TEST_F(DesktopButton, TheDisabledLookDrawsThroughTheGreyMatrix) {
    const QRgb source = qRgb(90, 150, 210);
    button->setStdImage(blockImage(source));
    button->setButtonType(CGdipButton::DisabledType);
    const int grey = int(std::lround(0.3 * 90 + 0.59 * 150 + 0.11 * 210));
    EXPECT_EQ(shot().pixel(3, 3), qRgb(grey, grey, grey));
    button->setButtonType(CGdipButton::StdType);
    EXPECT_EQ(shot().pixel(3, 3), source);
    button->setEnabled(false);
    EXPECT_EQ(shot().pixel(3, 3), qRgb(grey, grey, grey));
}

TEST(DesktopColorMatrix, HotAndGreyOnKnownPixels) {
    const QRgb hot = applyColorMatrix(qRgba(100, 150, 250, 128), hotMatrix());
    EXPECT_EQ(qRed(hot), expectedHot(100));
    EXPECT_EQ(qGreen(hot), expectedHot(150));
    EXPECT_EQ(qBlue(hot), 255); // 250 * 1.05 + 12.75 is clamped
    EXPECT_EQ(qAlpha(hot), 128);
    const QRgb grey = applyColorMatrix(qRgba(200, 40, 10, 77), greyMatrix());
    const int g = int(std::lround(0.3 * 200 + 0.59 * 40 + 0.11 * 10));
    EXPECT_EQ(grey, qRgba(g, g, g, 77));
    EXPECT_EQ(applyColorMatrix(qRgba(1, 2, 3, 4), identityMatrix()), qRgba(1, 2, 3, 4));
    EXPECT_EQ(applyColorMatrix(qRgb(0, 0, 0), hotMatrix()), qRgb(13, 13, 13));
}

TEST_F(DesktopButton, ADoubleClickActsAsTwoClicks) {
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    qx::test::doubleClick(button, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(DesktopButton, ToggleModeSwitchesImagesOnEachPress) {
    const QRgb alternate = qRgb(10, 200, 20);
    button->setAltImage(blockImage(alternate));
    button->enableToggle(true);
    EXPECT_EQ(shot().pixel(3, 3), kBlock);
    qx::test::click(button, QPoint(5, 5));
    EXPECT_TRUE(button->isAlternateActive());
    EXPECT_EQ(shot().pixel(3, 3), alternate);
    button->setDown(true);
    EXPECT_EQ(shot().pixel(6, 6), alternate); // the alternate's pressed image, shifted too
    button->setDown(false);
    qx::test::click(button, QPoint(5, 5));
    EXPECT_FALSE(button->isAlternateActive());
    EXPECT_EQ(shot().pixel(3, 3), kBlock);
}

TEST_F(DesktopButton, WithoutToggleModePressesKeepTheStandardImage) {
    button->setAltImage(blockImage(qRgb(10, 200, 20)));
    qx::test::click(button, QPoint(5, 5));
    EXPECT_FALSE(button->isAlternateActive());
    EXPECT_EQ(shot().pixel(3, 3), kBlock);
}

TEST_F(DesktopButton, HoverPopsUpTheToolTipText) {
    button->setToolTipText(QStringLiteral("退出"));
    EXPECT_EQ(button->toolTipText(), QStringLiteral("退出"));
    EXPECT_EQ(CGdipButton::kToolTipDelay, 200);
    hover();
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("退出"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
}

TEST_F(DesktopButton, TheMinimisePngShowsTheDialogBehindItsTransparentCorner) {
    ASSERT_TRUE(button->loadStdImage(res::kMinimise));
    const QImage png = artworkImage(res::kMinimise);
    ASSERT_EQ(qAlpha(png.pixel(0, 0)), 0);
    EXPECT_EQ(shot().pixel(0, 0), background(0, 0));
}

TEST(DesktopGdiPlusBitmap, ResourcesLoadByIdAndType) {
    CGdiPlusBitmapResource close;
    ASSERT_TRUE(close.Load(res::kClose, "PNG"));
    EXPECT_EQ(close.image().size(), artworkInfo(res::kClose)->natural);
    EXPECT_FALSE(close.bytes().isEmpty());
    EXPECT_TRUE(close.bytes().startsWith("\x89PNG"));
    CGdiPlusBitmapResource wrongType;
    EXPECT_FALSE(wrongType.Load(res::kDialogBackground, "PNG")); // 136 is a bitmap, not a PNG
    EXPECT_TRUE(wrongType.isEmpty());
    CGdiPlusBitmapResource missing;
    EXPECT_FALSE(missing.Load(4242, "PNG"));
    CGdiPlusBitmapResource background;
    EXPECT_TRUE(background.Load(res::kDialogBackground, "BITMAP"));
}

TEST(DesktopGdiPlusBitmap, AFileThatIsNoImageLoadsNothing) {
    qx::test::Folder dir;
    ASSERT_TRUE(qx::test::writeAll(dir.file("x.png"), QByteArray("not a png")));
    CGdiPlusBitmap bitmap;
    EXPECT_FALSE(bitmap.Load(dir.file("x.png")));
    EXPECT_TRUE(bitmap.isEmpty());
    CGdiPlusBitmapResource resource;
    EXPECT_FALSE(resource.Load(dir.file("x.png")));
    EXPECT_TRUE(resource.bytes().isEmpty());
    ASSERT_TRUE(qx::test::writeAll(dir.file("empty.png"), QByteArray()));
    EXPECT_FALSE(resource.Load(dir.file("empty.png")));
}

TEST(DesktopMemDC, DrawingReachesTheTargetWhenTheBufferEnds) {
    QImage target(20, 10, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    QPainter painter(&target);
    {
        CMemDC memory(painter, QRect(5, 2, 10, 6));
        memory->fillRect(QRect(5, 2, 10, 6), Qt::red);
        EXPECT_EQ(target.pixel(6, 3), QColor(Qt::white).rgb());
    }
    painter.end();
    EXPECT_EQ(target.pixel(6, 3), QColor(Qt::red).rgb());
    EXPECT_EQ(target.pixel(4, 3), QColor(Qt::white).rgb());
    EXPECT_EQ(target.pixel(15, 3), QColor(Qt::white).rgb());
}

TEST(DesktopBitmapButton, PressedMovesTheFaceAndDisabledGreysIt) {
    QWidget parent;
    parent.resize(100, 60);
    auto* button = new BitmapButton(&parent);
    button->setGeometry(10, 10, 24, 23);
    QImage face(24, 23, QImage::Format_ARGB32);
    face.fill(Qt::transparent);
    face.setPixel(0, 0, qRgb(200, 30, 30));
    button->setBitmap(face);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    auto alphaAt = [button](int x, int y) {
        QImage image(button->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        button->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image.pixel(x, y);
    };
    EXPECT_EQ(qRed(alphaAt(0, 0)), 200);
    button->setDown(true);
    EXPECT_EQ(qAlpha(alphaAt(0, 0)), 0);
    EXPECT_GT(qRed(alphaAt(1, 1)), 150);
    button->setDown(false);
    button->setEnabled(false);
    const QRgb grey = alphaAt(0, 0);
    EXPECT_EQ(qRed(grey), qGreen(grey));
    EXPECT_EQ(qGreen(grey), qBlue(grey));
}
