// Cameras that hang or are unplugged during a preview, and a card reader unplugged during a read.
#include "control/capture/capture.h"
#include "control/control_fixture.h"
#include "faults/fault_support.h"
#include "idcard/card_library_fixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>

namespace qx::test {
namespace {

// Lets the preview run on, with events flowing, until the camera's fault has struck.
void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class CameraFaults : public ControlTest {
protected:
    void useCameras(const char* text) {
        m_camerasSet = std::make_unique<ScopedEnv>("QX_VIRTUAL_CAMERAS", QString::fromLatin1(text));
    }
    control::CMorvelQxWebCtrl& normalPreview() { return createWithNormalPreview(m_pictures.path()); }
    control::CMorvelQxWebCtrl& edgePreview() { return createWithEdgePreview(m_pictures.path()); }
    // Morvel's result and how long it took, in milliseconds.
    std::pair<int, qint64> timedMorvel(control::CMorvelQxWebCtrl& c) {
        QElapsedTimer t;
        t.start();
        const int code = c.Morvel(QStringLiteral("jpg"));
        return {code, t.elapsed()};
    }

    Folder m_pictures;
    std::unique_ptr<ScopedEnv> m_camerasSet;
};

// Bounds far above the documented waits (5 s for a frame, 3 s for the camera library's capture), only
// so that a hang shows as a failure rather than as the suite's time-out.
constexpr qint64 kFrameWaitBound = 5000 + 5000;
constexpr qint64 kDeviceCaptureBound = 3000 + 5000;

TEST_F(CameraFaults, ACameraThatStopsDeliveringEndsTheCaptureAtTheFrameWait) {
    useCameras("7e41:320x240!stall-after=10");
    auto& c = normalPreview();
    pump(1000);
    const auto [code, ms] = timedMorvel(c);
    EXPECT_EQ(code, control::kMorvelFrameTimeout);
    EXPECT_LT(ms, kFrameWaitBound);
    EXPECT_EQ(log().last(), QStringLiteral("等待图像帧超时，抓图失败!"));
    EXPECT_FALSE(c.state().capturePending);
    EXPECT_TRUE(m_pictures.path().isEmpty() || QDir(m_pictures.path()).isEmpty());
    EXPECT_EQ(c.StopPreview(), 0);
}

TEST_F(CameraFaults, AStalledEdgeFindingCameraFailsItsCapture) {
    useCameras("7e41:320x240!stall-after=10");
    auto& c = edgePreview();
    pump(1000);
    const auto [code, ms] = timedMorvel(c);
    EXPECT_EQ(code, -5);
    EXPECT_LT(ms, kDeviceCaptureBound);
    EXPECT_EQ(log().last(), QStringLiteral("capture拍照失败!"));
    EXPECT_TRUE(QDir(m_pictures.path()).isEmpty());
    EXPECT_EQ(c.StopPreview(), 0);
}

TEST_F(CameraFaults, ACameraUnpluggedDuringThePreviewIsReportedMissing) {
    useCameras("7e41:320x240!unplug-after=10");
    auto& c = normalPreview();
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0) << "the first frames arrive before the fault";
    const QString first = c.cPicName();
    pump(1000);
    const auto [code, ms] = timedMorvel(c);
    EXPECT_EQ(code, -8);
    EXPECT_LT(ms, kFrameWaitBound);
    EXPECT_TRUE(QFileInfo(first).size() > 0);
    // It is gone from the list, and no preview starts without it.
    EXPECT_EQ(c.RefreshDevList(), 0);
    EXPECT_EQ(log().last(), QStringLiteral("枚举Qorvane拍摄仪失败!"));
    EXPECT_EQ(c.StopPreview(), 0);
    EXPECT_EQ(c.StartPreviewProc(), -1);
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("没有Qorvane拍摄仪!"));
}

TEST_F(CameraFaults, AnEdgeFindingCameraUnpluggedDuringThePreviewIsNotReady) {
    useCameras("7e41:640x480!unplug-after=10");
    auto& c = edgePreview();
    pump(1000);
    const auto [code, ms] = timedMorvel(c);
    EXPECT_EQ(code, -8);
    EXPECT_LT(ms, kDeviceCaptureBound);
    EXPECT_TRUE(QDir(m_pictures.path()).isEmpty());
    EXPECT_EQ(c.StopPreview(), 0);
    EXPECT_EQ(c.state().cameraDevice, nullptr);
}

class ReaderFaults : public idcard::test::CardLibraryTest {};

TEST_F(ReaderFaults, AReaderUnpluggedDuringAReadFailsItAndLosesNoCardPicture) {
    QJsonObject reader = idcard::test::sampleReader(QStringLiteral("card1.json"));
    // Gone after the find and select commands, in the middle of the base message, and back at once.
    reader.insert(QLatin1String("faults"),
                  QJsonObject{{QStringLiteral("unplug_after_reports"), 5}, {QStringLiteral("replug"), true}});
    useReader(reader);
    // A card picture of the user's from an earlier read, under the name this card's would take.
    const QString earlier = pictures() + QStringLiteral("110101199003070011.bmp");
    ASSERT_TRUE(writeAll(earlier, QByteArray("an earlier card picture")));

    QElapsedTimer t;
    t.start();
    QByteArray record;
    int32_t length = -1;
    const int32_t failed = readCard(record, length);
    EXPECT_NE(failed, 0);
    // The read's own pauses (1.7 s) and the reply's bounded collection (5 s), with room to spare.
    EXPECT_LT(t.elapsed(), 1700 + 5000 + 5000);
    EXPECT_EQ(record, QByteArray());
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(QFileInfo::exists(holderPhoto()));
    // Nothing was read, so no card picture is written over the earlier one.
    EXPECT_EQ(pictureOf(pictures()), QString());
    EXPECT_EQ(readAll(earlier), QByteArray("an earlier card picture"));

    // Plugged back: the next read works.
    EXPECT_EQ(readCard(record, length), 0);
    EXPECT_GT(length, 0);
    EXPECT_TRUE(QFileInfo::exists(holderPhoto()));
}

} // namespace
} // namespace qx::test
