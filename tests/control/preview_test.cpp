// The control's cameras, sizes, normal preview and frame grab, against the virtual cameras.
#include "control/capture/frame_grab.h"
#include "control/core/process_modes.h"
#include "control_fixture.h"
#include "qx/media/devices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <thread>
#include <vector>

namespace qx::test {
namespace {

class PreviewTest : public ControlTest {
protected:
    void setCameras(const char* cameras) {
        m_camerasSet.reset(); // restore before setting anew
        m_camerasSet = std::make_unique<ScopedEnv>("QX_VIRTUAL_CAMERAS", QString::fromLatin1(cameras));
    }
    control::CMorvelQxWebCtrl& withCameras(const char* cameras) {
        setCameras(cameras);
        return createControl();
    }
    // Starts a preview of camera 0 at its size `size`.
    void startPreview(control::CMorvelQxWebCtrl& c, short size = 0) {
        ASSERT_GT(c.RefreshDevList(), 0);
        ASSERT_GT(c.RefreshResolution(0), size);
        ASSERT_EQ(c.SetResolution(size), 0);
        ASSERT_EQ(c.StartPreviewProc(), 0) << m_ui.messages().join(u'|').toStdString();
    }
    static uint32_t le32(const QByteArray& b, int at) {
        return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
               static_cast<uint8_t>(b[at + 2]) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
    }
    static bool realCamerasPresent() {
        ScopedEnv none("QX_VIRTUAL_CAMERAS", QString());
        const auto devices = media::enumerateVideoDevices();
        return devices && !devices->empty();
    }

    std::unique_ptr<ScopedEnv> m_camerasSet;
};

TEST_F(PreviewTest, LoneCashCameraIsTheMainCameraAfterAMainCameraTheCashCamera) {
    auto& c = withCameras("7e44:640x480");
    ASSERT_EQ(c.RefreshDevList(), 1);
    EXPECT_EQ(c.GetDevNameByIdx(0), QStringLiteral("主摄像头"));
    EXPECT_EQ(c.state().mainCameraIndex, 0);

    // The memory of a main camera lasts for the process, across refreshes.
    setCameras("7e41:640x480");
    ASSERT_EQ(c.RefreshDevList(), 1);
    setCameras("7e44:640x480");
    ASSERT_EQ(c.RefreshDevList(), 1);
    EXPECT_EQ(c.GetDevNameByIdx(0), QStringLiteral("现金摄像头"));
    EXPECT_EQ(c.state().cashCameraIndex, 0);
}

TEST_F(PreviewTest, RolesInOneEnumerationAndUncountedProducts) {
    auto& c = withCameras("7e45:640x480,7e43:640x480,046d:0825:640x480,7e41:640x480,7e44:320x240");
    ASSERT_EQ(c.RefreshDevList(), 3);
    EXPECT_EQ(c.GetDevNameByIdx(0), QStringLiteral("辅摄像头"));
    EXPECT_EQ(c.GetDevNameByIdx(1), QStringLiteral("主摄像头"));
    EXPECT_EQ(c.GetDevNameByIdx(2), QStringLiteral("现金摄像头"));
    EXPECT_EQ(c.GetDevNameByIdx(3), QString());
    EXPECT_EQ(c.state().auxCameraIndex, 0);
    EXPECT_EQ(c.state().mainCameraIndex, 1);
    EXPECT_EQ(c.state().cashCameraIndex, 2);
    EXPECT_EQ(c.state().selectedDevice, 0);
    EXPECT_EQ(c.SetDevNameSel(4), 1);
    EXPECT_EQ(c.state().selectedDevice, 0);
    EXPECT_EQ(c.SetDevNameSel(2), 0);
    EXPECT_EQ(c.state().selectedDevice, 2);
    // The size list follows the same counting.
    EXPECT_EQ(c.RefreshResolution(2), 1);
    EXPECT_EQ(c.GetResolutionByIdx(0), QStringLiteral("320 * 240"));
}

TEST_F(PreviewTest, TheEleventhCameraIsNotCounted) {
    QStringList cams;
    for (int i = 0; i < 12; ++i)
        cams << QStringLiteral("7e43:%1x240").arg(320 + 2 * i);
    auto& c = withCameras(cams.join(u',').toLatin1().constData());
    EXPECT_EQ(c.RefreshDevList(), 10);
    EXPECT_EQ(c.RefreshResolution(9), 1);
    EXPECT_EQ(c.GetResolutionByIdx(0), QStringLiteral("338 * 240"));
    const int before = c.state().resolutionCount;
    EXPECT_EQ(c.RefreshResolution(10), before);
    EXPECT_EQ(log().last(), QStringLiteral("获取分辨率失败!"));
}

TEST_F(PreviewTest, SizesInTheCamerasOrderAtMostFifteen) {
    QStringList sizes;
    for (int i = 0; i < 17; ++i)
        sizes << QStringLiteral("%1x%2").arg(640 + 16 * i).arg(480 + 8 * i);
    auto& c = withCameras(("7e41:1600x1200;320x240/mjpg;" + sizes.join(u';')).toLatin1().constData());
    ASSERT_EQ(c.RefreshDevList(), 1);
    EXPECT_EQ(c.RefreshResolution(0), 15);
    EXPECT_EQ(c.GetResolutionByIdx(0), QStringLiteral("1600 * 1200"));
    EXPECT_EQ(c.GetResolutionByIdx(1), QStringLiteral("640 * 480"));
    EXPECT_EQ(c.GetResolutionByIdx(14), QStringLiteral("848 * 584"));
    EXPECT_EQ(c.GetResolutionByIdx(15), QString());
    EXPECT_EQ(c.state().selectedResolution, 0);
    EXPECT_EQ(c.SetResolution(16), 1);
    EXPECT_EQ(c.SetResolution(15), 0);
}

TEST_F(PreviewTest, MjpgOnlyCameraOffersNoSize) {
    auto& c = withCameras("7e41:640x480/mjpg;1280x720/mjpg");
    ASSERT_EQ(c.RefreshDevList(), 1);
    EXPECT_EQ(c.RefreshResolution(0), 0);
    EXPECT_EQ(c.GetResolutionByIdx(0), QString());
}

TEST_F(PreviewTest, NoCameraOfTheVendor) {
    auto& c = withCameras("046d:0825:1280x720");
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.RefreshDevList(), 0);
    EXPECT_EQ(logSince(before), (QStringList{QStringLiteral("没有找到Qorvane拍摄仪!"),
                                             QStringLiteral("枚举Qorvane拍摄仪成功!")}));
    EXPECT_EQ(c.state().selectedDevice, 0);
    EXPECT_EQ(c.StartPreviewProc(), -1);
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("没有Qorvane拍摄仪!")});
}

TEST_F(PreviewTest, NoVideoDeviceAtAll) {
    if (realCamerasPresent())
        GTEST_SKIP() << "a real camera is attached";
    auto& c = createControl();
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.RefreshDevList(), 0);
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("枚举Qorvane拍摄仪失败!")});
    EXPECT_EQ(c.state().selectedDevice, -1);
    EXPECT_EQ(c.StartPreviewProc(), -1);
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("没有Qorvane拍摄仪!")});
}

TEST_F(PreviewTest, StartingTwiceBuildsOnePipelineAndStopCleansUp) {
    auto& c = withCameras("7e41:640x480");
    startPreview(c);
    EXPECT_EQ(c.StartPreviewProc(), 0);
    const QStringList lines = log();
    EXPECT_EQ(lines.count(QStringLiteral("启动普通预览!")), 1);
    EXPECT_EQ(lines.count(QStringLiteral("普通预览视频成功!")), 1);
    EXPECT_TRUE(c.state().normalPreviewOn);
    EXPECT_TRUE(c.state().previewing);
    EXPECT_EQ(c.state().captureWidth, 640);

    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.StopPreview(), 0);
    EXPECT_EQ(logSince(before),
              (QStringList{QStringLiteral("关闭普通预览!"), QStringLiteral("释放普通预览资源!"),
                           QStringLiteral("关闭预览!")}));
    EXPECT_FALSE(c.state().normalPreviewOn);
    EXPECT_FALSE(c.state().previewing);
}

TEST_F(PreviewTest, PreviewWithoutASizeFailsAtTheCaptureFormat) {
    auto& c = withCameras("7e41:640x480");
    ASSERT_EQ(c.RefreshDevList(), 1);
    c.IsMerge();
    EXPECT_EQ(c.StartPreviewProc(), -1);
    EXPECT_FALSE(control::ProcessModes::ofProcess().mergeMode);
    const QStringList lines = log();
    const int at = static_cast<int>(lines.indexOf(QStringLiteral("设置视频格式失败!")));
    ASSERT_GT(at, 0) << lines.join(u'|').toStdString();
    EXPECT_EQ(lines.at(at - 1), QStringLiteral("设置媒体格式失败!"));
    EXPECT_EQ(lines.last(), QStringLiteral("关闭预览!"));
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("设置格式出错.")});
    EXPECT_EQ(m_ui.shown()[0].caption, QStringLiteral("Error!"));
    EXPECT_FALSE(c.state().normalPreviewOn);
    EXPECT_FALSE(c.state().previewing);
}

TEST_F(PreviewTest, GrabbedFrameIsABottomUpBmpOfTheFrame) {
    // A scene whose top half is red and bottom half blue tells the row order.
    Folder folder;
    QImage scene(640, 480, QImage::Format_RGB32);
    scene.fill(QColor(20, 20, 230));
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 640; ++x)
            scene.setPixel(x, y, qRgb(230, 20, 20));
    ASSERT_TRUE(scene.save(folder.file(QStringLiteral("scene.png"))));
    ScopedEnv sceneEnv("QX_VIRTUAL_SCENE", folder.file(QStringLiteral("scene.png")));
    auto& c = withCameras("7e41:640x480");
    startPreview(c);
    c.setCustomSavePath(folder.path());
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    const QString path = c.cPicName();
    ASSERT_TRUE(path.startsWith(folder.path())) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral(".bmp")));
    EXPECT_FALSE(c.state().capturePending);

    const QByteArray bmp = readAll(path);
    ASSERT_EQ(bmp.size(), 54 + 640 * 3 * 480);
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(bmp, 2), static_cast<uint32_t>(bmp.size()));
    EXPECT_EQ(le32(bmp, 6), 0u);
    EXPECT_EQ(le32(bmp, 10), 54u);
    EXPECT_EQ(le32(bmp, 14), 40u);
    EXPECT_EQ(le32(bmp, 18), 640u);
    EXPECT_EQ(le32(bmp, 22), 480u);
    EXPECT_EQ(le32(bmp, 26), 1u | (24u << 16)); // planes, bits
    EXPECT_EQ(le32(bmp, 30), 0u);
    // The first stored row is the bottom of the picture: blue, in B G R order.
    const auto* first = reinterpret_cast<const uint8_t*>(bmp.constData() + 54 + 320 * 3);
    EXPECT_GT(first[0], 180);
    EXPECT_LT(first[2], 80);
    const auto* last = reinterpret_cast<const uint8_t*>(bmp.constData() + 54 + 479 * 640 * 3 + 320 * 3);
    EXPECT_LT(last[0], 80);
    EXPECT_GT(last[2], 180);
}

TEST(FrameGrab, OneRequestGivesOneFrameAndAnEarlierWakeUpEndsNoLaterWait) {
    control::FrameGrab grab;
    std::vector<uint8_t> frame(7 * 3 * 2 + 5);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i);
    const media::FrameView view{frame.data(), 7, 2, 7 * 3 + 5};
    // No request: nothing is copied.
    grab.offer(view);
    EXPECT_FALSE(grab.pending());

    // The frame comes from another thread while the wait runs.
    std::thread streaming;
    QTimer::singleShot(20, [&] { streaming = std::thread([&] { grab.offer(view); }); });
    const auto picture = grab.next(5000);
    streaming.join();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 7);
    EXPECT_EQ(picture->height, 2);
    EXPECT_EQ(picture->stride, 24);
    // Rows top-down, B, G, R as the pipeline gives them, padding zeroed.
    EXPECT_EQ(picture->pixels[0], 0);
    EXPECT_EQ(picture->pixels[24], 26);
    EXPECT_EQ(picture->pixels[21], 0);
    // A second frame for the same request is not taken.
    grab.offer(view);
    EXPECT_FALSE(grab.pending());

    // A frame that came before the wait began (its wake-up still queued) is the first wait's; the
    // next wait is not cut short by that wake-up and times out on its own.
    QTimer::singleShot(0, [&] { grab.offer(view); });
    EXPECT_TRUE(grab.next(1000));
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(grab.next(300));
    EXPECT_GE(waited.elapsed(), 250);

    // cancel() ends a waiting grab without a frame.
    QTimer::singleShot(20, [&] { grab.cancel(); });
    waited.restart();
    EXPECT_FALSE(grab.next(5000));
    EXPECT_LT(waited.elapsed(), 4000);
    EXPECT_FALSE(grab.pending());
}

TEST_F(PreviewTest, SetRotateTurnsTheFrames) {
    Folder folder;
    auto& c = withCameras("7e41:640x480");
    c.setRotate(90); // no preview: nothing happens
    startPreview(c);
    c.setCustomSavePath(folder.path());
    c.setRotate(90);
    // The rotation reaches the frames a moment after it is set.
    QElapsedTimer t;
    t.start();
    int width = 0;
    while (width != 480 && t.elapsed() < 3000) {
        ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
        width = QImage(c.cPicName()).width();
    }
    const QImage picture(c.cPicName());
    EXPECT_EQ(picture.width(), 480);
    EXPECT_EQ(picture.height(), 640);
}

TEST_F(PreviewTest, ABmpThatCannotBeWrittenIsReportedInTheErrorBox) {
    Folder folder;
    auto& c = withCameras("7e41:320x240");
    startPreview(c);
    c.setCustomSavePath(folder.path());
    // The folder goes once the frame is taken, before the picture is written.
    QTimer::singleShot(0, &c, [&] { QDir(folder.path()).removeRecursively(); });
    EXPECT_EQ(c.Morvel(QStringLiteral("bmp")), automation::kNotSaved);
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral(" 抓图失败.")});
    const QStringList lines = log();
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{QStringLiteral("抓图失败!"), QStringLiteral("写bmp文件失败，拍照失败!")}));
}

TEST_F(PreviewTest, MorvelChecksAndItsOwnCodes) {
    Folder folder;
    auto& c = withCameras("7e41:320x240");
    startPreview(c);
    c.setCustomSavePath(folder.path().chopped(1));
    EXPECT_EQ(c.Morvel(QStringLiteral("bmp")), -11);
    EXPECT_EQ(log().last(), QStringLiteral("自定义图片路径错误!"));
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("请确保自定义图片保存路径(例如：C:\\)是正确的!"));

    // A call that arrives while a capture waits for its frame is refused at once.
    c.setCustomSavePath(folder.path());
    int inner = 0;
    QTimer::singleShot(0, &c, [&] { inner = c.Morvel(QStringLiteral("bmp")); });
    EXPECT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    EXPECT_EQ(inner, automation::kCallRefused);

    // A preview that stops delivering frames ends the wait with its own code.
    auto& stalling = withCameras("7e41:320x240!stall-after=3");
    startPreview(stalling);
    stalling.setCustomSavePath(folder.path());
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    EXPECT_EQ(stalling.Morvel(QStringLiteral("bmp")), automation::kMorvelFrameTimeout);
    EXPECT_EQ(log().last(), QStringLiteral("等待图像帧超时，抓图失败!"));
    EXPECT_FALSE(stalling.state().capturePending);
}

TEST_F(PreviewTest, CameraSettingsDialogOnlyWhileThePreviewRuns) {
    Folder folder;
    auto& c = withCameras("7e41:320x240");
    ASSERT_EQ(c.RefreshDevList(), 1);
    c.ConfigCameraFilter();
    EXPECT_TRUE(m_ui.askedKinds().isEmpty());
    startPreview(c);
    c.setCustomSavePath(folder.path());
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    const double before =
        QImage(c.cPicName()).convertToFormat(QImage::Format_Grayscale8).pixel(20, 20) & 0xff;
    m_ui.queueAnswer(QStringLiteral("camera-settings"), QVariantMap{{QStringLiteral("brightness"), 70}});
    c.ConfigCameraFilter();
    EXPECT_EQ(m_ui.askedKinds(), QStringList{QStringLiteral("camera-settings")});
    QElapsedTimer t;
    t.start();
    double after = before;
    while (after < before + 30 && t.elapsed() < 3000) {
        ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
        after = QImage(c.cPicName()).convertToFormat(QImage::Format_Grayscale8).pixel(20, 20) & 0xff;
    }
    EXPECT_GT(after, before + 30);
}

TEST_F(PreviewTest, ThePreviewIsPaintedInTheControl) {
    auto& c = withCameras("7e41:640x480");
    c.window()->show(); // a hidden control paints nothing
    startPreview(c);
    QElapsedTimer t;
    t.start();
    QImage shot;
    while (t.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        shot = c.grab().toImage();
        // The desk is dark where "NO SIGNAL" painted white.
        if (qGray(shot.pixel(3, 3)) < 120)
            break;
    }
    EXPECT_LT(qGray(shot.pixel(3, 3)), 120);
    EXPECT_GT(qGray(shot.pixel(shot.width() / 2, shot.height() / 2)), 150);
}

} // namespace
} // namespace qx::test
