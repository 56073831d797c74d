// The edge-finding preview through the control, with the real camera library and virtual cameras.
#include "control_fixture.h"
#include "qx/interface/kelpo_device.h"

#include <QImage>

namespace qx::test {
namespace {

class EdgePreviewTest : public ControlTest {
protected:
    control::CMorvelQxWebCtrl& withCameraLibrary(const char* cameras, bool shown = true) {
        m_camerasSet.reset();
        m_camerasSet = std::make_unique<ScopedEnv>("QX_VIRTUAL_CAMERAS", QString::fromLatin1(cameras));
        EXPECT_TRUE(copyFile(binFolder() + QStringLiteral("libKelpoCameraLibrary.so"),
                             m_controlFolder.file(QStringLiteral("libKelpoCameraLibrary.so"))));
        auto& c = createControl({QStringLiteral("idcard_full")});
        if (shown)
            m_container->show();
        EXPECT_GT(c.RefreshDevList(), 0);
        return c;
    }
    // The captured picture of the device, decoded.
    static QImage capture(control::CMorvelQxWebCtrl& c) {
        kelpo::KelpoDevice* device = c.state().cameraDevice;
        if (!device || !device->Capture())
            return QImage();
        const QImage image = QImage::fromData(device->GetImageData(), device->GetImageSize(), "BMP");
        device->ReleaseImage();
        return image;
    }

    std::unique_ptr<ScopedEnv> m_camerasSet;
};

TEST_F(EdgePreviewTest, WithoutTheCameraLibraryNothingStarts) {
    auto& c = createControl({QStringLiteral("idcard_full")});
    const int before = static_cast<int>(log().size());
    c.KelpoCapturePlay();
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("启动寻边预览!")});
    EXPECT_FALSE(c.state().edgePreviewOn);
}

TEST_F(EdgePreviewTest, StartsTheMainCameraAndKeepsItWhenStartedAgain) {
    auto& c = withCameraLibrary("7e41:640x480");
    ASSERT_EQ(c.RefreshResolution(0), 1);
    const int before = static_cast<int>(log().size());
    c.KelpoCapturePlay();
    EXPECT_EQ(logSince(before),
              (QStringList{QStringLiteral("启动寻边预览!"), QStringLiteral("创建QORVANE_DC5207_A!"),
                           QStringLiteral("设置寻边预览分辨率:640 480"),
                           QStringLiteral("设置寻边预览窗口成功"), QStringLiteral("寻边预览成功，代码:0")}));
    ASSERT_TRUE(c.state().edgePreviewOn);
    kelpo::KelpoDevice* device = c.state().cameraDevice;
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->IsPlaying());
    EXPECT_TRUE(device->IsAutoMode());

    c.KelpoCapturePlay();
    EXPECT_EQ(log().last(), QStringLiteral("已在寻边预览状态"));
    EXPECT_EQ(c.state().cameraDevice, device);

    const int mark = static_cast<int>(log().size());
    EXPECT_EQ(c.StopPreview(), 0);
    EXPECT_EQ(logSince(mark), (QStringList{QStringLiteral("释放寻边对象!"), QStringLiteral("关闭预览!")}));
    EXPECT_EQ(c.state().cameraDevice, nullptr);
    EXPECT_FALSE(c.state().edgePreviewOn);
}

TEST_F(EdgePreviewTest, CapturesTheCroppedPageAndTheWholeFrameWithoutCrop) {
    auto& c = withCameraLibrary("7e41:1280x960");
    ASSERT_EQ(c.RefreshResolution(0), 1);
    c.KelpoCapturePlay();
    ASSERT_NE(c.state().cameraDevice, nullptr);
    const QImage page = capture(c);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.depth(), 32); // Qt's view of a 24-bit BMP
    // The virtual page is A4 upright: taller than wide by 1.414, and paper all over.
    EXPECT_NEAR(static_cast<double>(page.height()) / page.width(), 1.414, 0.08);
    EXPECT_GT(qGray(page.pixel(page.width() / 2, 4)), 200);
    EXPECT_GT(qGray(page.pixel(4, page.height() / 2)), 200);

    c.SetCropMargin(-100);
    const QImage narrower = capture(c);
    EXPECT_LT(narrower.width(), page.width() - 150); // 2 x 10% of 1280
    c.SetCropMargin(101);                            // out of range: nothing changes
    EXPECT_NEAR(capture(c).width(), narrower.width(), 6);

    c.DisableCrop();
    const QImage whole = capture(c);
    EXPECT_EQ(whole.width(), 1280);
    EXPECT_EQ(whole.height(), 960);
    // The default resolution is the field of view's.
    EXPECT_NEAR(whole.dotsPerMeterX() * 0.0254, 105, 1);
}

TEST_F(EdgePreviewTest, OutputDpiStopsThePreviewAndReachesThePicture) {
    auto& c = withCameraLibrary("7e41:640x480");
    ASSERT_EQ(c.RefreshResolution(0), 1);
    c.KelpoCapturePlay();
    c.SetOutPutDPI(300, 200);
    EXPECT_EQ(log().last(), QStringLiteral("设置输出图片DPI 300 * 200 ;"));
    kelpo::KelpoDevice* device = c.state().cameraDevice;
    EXPECT_FALSE(device->IsPlaying());
    EXPECT_NE(device->GetDeviceState(), 0);
    c.KelpoCapturePlay(); // not playing: replaced by a new device
    ASSERT_NE(c.state().cameraDevice, nullptr);
    EXPECT_TRUE(c.state().cameraDevice->IsPlaying());
}

TEST_F(EdgePreviewTest, AuxiliaryCameraHasNoEdgeFindingAndIgnoresTheMainCamerasOptions) {
    auto& c = withCameraLibrary("7e41:640x480,7e43:320x240");
    ASSERT_EQ(c.SetDevNameSel(1), 0);
    ASSERT_EQ(c.RefreshResolution(1), 1);
    c.KelpoCapturePlay();
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("创建QORVANE_DC5207_B!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("该摄像头不支持寻边特性!")));
    kelpo::KelpoDevice* device = c.state().cameraDevice;
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(device->IsAutoMode());
    const int before = static_cast<int>(log().size());
    c.SetOutPutDPI(300, 300);
    EXPECT_EQ(static_cast<int>(log().size()), before);
    EXPECT_TRUE(device->IsPlaying());
    // Not cropped: the whole auxiliary frame.
    const QImage whole = capture(c);
    EXPECT_EQ(whole.width(), 320);
    c.ManualToAuto();
    EXPECT_TRUE(device->IsAutoMode());
}

TEST_F(EdgePreviewTest, ACameraTheNormalPreviewHoldsCannotBeOpenedTwice) {
    auto& c = withCameraLibrary("7e41:640x480");
    ASSERT_EQ(c.RefreshResolution(0), 1);
    ASSERT_EQ(c.StartPreviewProc(), 0);
    c.KelpoCapturePlay();
    EXPECT_EQ(log().last(), QStringLiteral("寻边预览成功，代码:1"));
    EXPECT_NE(c.state().cameraDevice->GetDeviceState(), 0);
    EXPECT_FALSE(c.state().cameraDevice->Capture());

    // The normal preview, started again, ends the edge-finding one.
    c.StopPreview();
    c.KelpoCapturePlay();
    ASSERT_EQ(c.state().cameraDevice->GetDeviceState(), 0);
    EXPECT_EQ(c.StartPreviewProc(), 0);
    EXPECT_TRUE(log().contains(QStringLiteral("释放寻边对象，切换普通预览!")));
    EXPECT_EQ(c.state().cameraDevice, nullptr);
    EXPECT_TRUE(c.state().normalPreviewOn);
}

TEST_F(EdgePreviewTest, AControlWithoutAWindowStillCaptures) {
    auto& c = withCameraLibrary("7e41:640x480", false);
    ASSERT_EQ(c.RefreshResolution(0), 1);
    c.KelpoCapturePlay();
    const QStringList lines = log();
    const int at = static_cast<int>(lines.indexOf(QStringLiteral("设置寻边预览窗口失败")));
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines.at(at + 1), QStringLiteral("设置寻边预览窗口成功"));
    EXPECT_FALSE(capture(c).isNull());
}

TEST_F(EdgePreviewTest, SettingsOfTheDeviceGoThroughTheUiHost) {
    auto& c = withCameraLibrary("7e41:320x240");
    ASSERT_EQ(c.RefreshResolution(0), 1);
    c.KelpoCapturePlay();
    m_ui.queueAnswer(QStringLiteral("camera-settings"), QVariantMap{{QStringLiteral("Contrast"), 150}});
    c.ConfigCameraFilter();
    EXPECT_EQ(m_ui.askedKinds(), QStringList{QStringLiteral("camera-settings")});
}

} // namespace
} // namespace qx::test
