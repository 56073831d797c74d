// The camera library's device through its exports, loaded from the build's folder as the control
// loads it, on virtual cameras that hang or are unplugged while it previews.
#include "qx/interface/kelpo_device.h"
#include "qx/platform/library.h"
#include "support/edge_scenes.h"
#include "support/test_support.h"

#include <QImage>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace qx::test {
namespace {

using kelpo::KelpoDevice;

// A preview window that counts the frames it is shown, and those with an outline.
class CountingWindow final : public kelpo::KelpoPreviewWindow {
public:
    void presentFrame(const uint8_t*, int, int, int, const kelpo::OutlinePoint* outline) override {
        ++frames;
        outlined += outline != nullptr;
    }
    void showSettings(media::CameraControls*, const char*) override {}
    std::atomic<int> frames{0};
    std::atomic<int> outlined{0};
};

// Waits (bounded, a few seconds) until `done` holds.
template <typename F> bool eventually(F done) {
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

class CameraDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_lib.load(binFolder() + QStringLiteral("libKelpoCameraLibrary.so")))
            << m_lib.errorText().toStdString();
        m_create = m_lib.function<CreateKelpoDeviceFn>("CreateKelpoDevice");
        m_delete = m_lib.function<DeleteKelpoDeviceFn>("DeleteKelpoDevice");
        ASSERT_TRUE(m_create && m_delete);
    }

    // The main camera's device, previewing `width` x `height` into `window`.
    std::unique_ptr<KelpoDevice, DeleteKelpoDeviceFn> mainDevice(int width, int height,
                                                                 CountingWindow& window) {
        std::unique_ptr<KelpoDevice, DeleteKelpoDeviceFn> device(m_create(520701), m_delete);
        if (device) {
            device->SetCaptureSize(width, height);
            device->SetPreviewWindow(&window, nullptr);
        }
        return device;
    }

    platform::Library m_lib;
    CreateKelpoDeviceFn m_create = nullptr;
    DeleteKelpoDeviceFn m_delete = nullptr;
};

TEST_F(CameraDeviceTest, AnUnpluggedCameraIsNotReadyAndCannotBeStartedAgain) {
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240!unplug-after=5"));
    CountingWindow window;
    auto device = mainDevice(320, 240, window);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->StartPlay(0), 1);
    ASSERT_TRUE(eventually([&] { return device->GetDeviceState() != 0; }));
    EXPECT_EQ(window.frames, 5);
    EXPECT_EQ(device->Capture(), 0);
    device->StopPlay();
    // The camera is no longer there to be found.
    EXPECT_EQ(device->StartPlay(0), 0);
    EXPECT_NE(device->GetDeviceState(), 0);
}

TEST_F(CameraDeviceTest, AHungCameraStaysReadyButGivesNoPicture) {
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240!stall-after=3"));
    CountingWindow window;
    auto device = mainDevice(320, 240, window);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->StartPlay(0), 1);
    ASSERT_TRUE(eventually([&] { return window.frames >= 3; }));
    // The frame on the screen is taken at once, but only once: with no new frame there is no second
    // picture.
    device->Capture();
    EXPECT_EQ(device->Capture(), 0);
    EXPECT_EQ(window.frames, 3);
    // Every stream stalls anew. Nothing tells a hung camera from a slow one: ready, but once the last
    // frame is older than a frame interval or two the capture waits for a new one in vain.
    ASSERT_EQ(device->StartPlay(0), 1);
    ASSERT_TRUE(eventually([&] { return window.frames >= 6; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(device->GetDeviceState(), 0);
    EXPECT_EQ(device->Capture(), 0);
    EXPECT_EQ(window.frames, 6);
    EXPECT_EQ(device->GetDeviceState(), 0);
    device->StopPlay();
    EXPECT_NE(device->GetDeviceState(), 0);
}

// A parcel label on a box: no outline is drawn and a capture keeps the whole view, until the device is
// told to take any outline; the virtual camera's own page is outlined and cut out.
TEST_F(CameraDeviceTest, TheOutlineAndTheCutFollowTheConfidence) {
    const auto setConfidence = m_lib.function<SetKelpoEdgeConfidenceFn>("SetKelpoEdgeConfidence");
    const auto outcome = m_lib.function<GetKelpoCaptureOutcomeFn>("GetKelpoCaptureOutcome");
    ASSERT_TRUE(setConfidence && outcome);
    Folder folder;
    const scenes::Scene s = scenes::renderWithoutSheet(640, 480, scenes::Kind::ParcelLabel, 300000);
    const QString path = folder.file(QStringLiteral("label.png"));
    ASSERT_TRUE(QImage(s.frame.data, s.frame.cols, s.frame.rows, static_cast<qsizetype>(s.frame.step),
                       QImage::Format_BGR888)
                    .save(path));
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:640x480"));
    for (const bool label : {true, false}) {
        ScopedEnv scene("QX_VIRTUAL_SCENE", label ? path : QString());
        CountingWindow window;
        auto device = mainDevice(640, 480, window);
        ASSERT_TRUE(device);
        device->SetCropEnabled(1);
        device->SetAutoCrop(1);
        EXPECT_EQ(setConfidence(device.get(), 101), 0);
        ASSERT_EQ(device->StartPlay(0), 1);
        ASSERT_TRUE(eventually([&] { return window.frames >= 12; }));
        ASSERT_EQ(device->Capture(), 1);
        EXPECT_EQ(window.outlined > 0, !label);
        EXPECT_EQ(outcome(device.get()), label ? 2 : 1);
        if (label) {
            EXPECT_EQ(device->GetImageSize(), 54 + 640 * 480 * 3);
            ASSERT_EQ(setConfidence(device.get(), 0), 1);
            const int before = window.frames;
            ASSERT_TRUE(eventually([&] { return window.frames >= before + 12; }));
            EXPECT_GT(window.outlined, 0);
            ASSERT_EQ(device->Capture(), 1);
            EXPECT_EQ(outcome(device.get()), 1);
            EXPECT_LT(device->GetImageSize(), 54 + 640 * 480 * 3);
        }
        device->SetCropEnabled(0);
        ASSERT_EQ(device->Capture(), 1);
        EXPECT_EQ(outcome(device.get()), 0);
        device->StopPlay();
    }
}

} // namespace
} // namespace qx::test
