// The media layer against real GStreamer elements: virtual camera syntax and enumeration, the scene,
// the preview pipeline's formats, rotation and picture controls, and cameras that hang or are unplugged.
#include "qx/media/asf_header.h"
#include "qx/media/devices.h"
#include "qx/media/preview_pipeline.h"
#include "qx/media/virtual_camera.h"
#include "support/page_clips.h"
#include "support/test_support.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>

namespace qx::test {
namespace {

using namespace qx::media;

TEST(VirtualCameraSyntax, ExampleDescribesThreeCameras) {
    const auto cams =
        parseVirtualCameras(QStringLiteral("7e41:2592x1944;1600x1200,7e43:640x480,046d:0825:1280x720"));
    ASSERT_TRUE(cams);
    ASSERT_EQ(cams->size(), 3u);
    EXPECT_EQ((*cams)[0].vendorId, 0x2e7au);
    EXPECT_EQ((*cams)[0].productId, 0x7e41u);
    ASSERT_EQ((*cams)[0].formats.size(), 2u);
    EXPECT_EQ((*cams)[0].formats[1].width, 1600);
    EXPECT_EQ((*cams)[0].formats[1].height, 1200);
    EXPECT_EQ((*cams)[0].formats[0].rateNum, 15);
    EXPECT_EQ((*cams)[0].formats[1].rateNum, 30);
    EXPECT_EQ((*cams)[2].vendorId, 0x046du);
    EXPECT_EQ((*cams)[2].productId, 0x0825u);
}

TEST(VirtualCameraSyntax, CaseMjpgAndEmptyText) {
    const auto cams = parseVirtualCameras(QStringLiteral(" 2E7A:7E42:640X480/MJPG;320x240 "));
    ASSERT_TRUE(cams);
    ASSERT_EQ(cams->size(), 1u);
    EXPECT_EQ((*cams)[0].productId, 0x7e42u);
    EXPECT_EQ((*cams)[0].formats[0].fourcc, QStringLiteral("MJPG"));
    EXPECT_EQ((*cams)[0].formats[1].fourcc, QStringLiteral("YUY2"));
    const auto none = parseVirtualCameras(QString());
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

TEST(VirtualCameraSyntax, MalformedTextIsRefusedWithAReason) {
    for (const char* bad : {"7e41", "zz:640x480", "7e41:641x480", "7e41:", "7e41:640x480;abc",
                            "1:2:3:640x480", "12345:640x480", "7e41:0x480"}) {
        QString why;
        EXPECT_FALSE(parseVirtualCameras(QString::fromLatin1(bad), &why)) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
}

TEST(VirtualCameraSyntax, FaultOptionsFollowTheSizesInEitherOrder) {
    const auto cams = parseVirtualCameras(QStringLiteral(
        "7e41:640x480;320x240!stall-after=5, 7e43:320x240 ! UNPLUG-AFTER=0 ,046d:0825:640x480,"
        "7e44:320x240!stall-after=5!unplug-after=9,7e42:320x240!unplug-after=2!stall-after=007"));
    ASSERT_TRUE(cams);
    ASSERT_EQ(cams->size(), 5u);
    EXPECT_EQ((*cams)[0].formats.size(), 2u);
    EXPECT_EQ((*cams)[0].stallAfter, std::optional<uint64_t>(5));
    EXPECT_FALSE((*cams)[0].unplugAfter);
    EXPECT_FALSE((*cams)[1].stallAfter);
    EXPECT_EQ((*cams)[1].unplugAfter, std::optional<uint64_t>(0));
    EXPECT_FALSE((*cams)[2].stallAfter || (*cams)[2].unplugAfter);
    EXPECT_EQ((*cams)[3].stallAfter, std::optional<uint64_t>(5));
    EXPECT_EQ((*cams)[3].unplugAfter, std::optional<uint64_t>(9));
    EXPECT_EQ((*cams)[4].stallAfter, std::optional<uint64_t>(7));
    EXPECT_EQ((*cams)[4].unplugAfter, std::optional<uint64_t>(2));
}

TEST(VirtualCameraSyntax, MalformedFaultOptionsAreRefusedWithAReason) {
    for (const char* bad :
         {"7e41:640x480!", "7e41:640x480!stall-after",
          "7e41:640x480!stall-after=", "7e41:640x480!stall-after=-1", "7e41:640x480!stall-after=x",
          "7e41:640x480!stall-after=1.5", "7e41:640x480!stall-after 5", "7e41:640x480!freeze-after=3",
          "7e41:640x480!stall-after=5;320x240", "7e41:640x480!stall-after=5!stall-after=6",
          "7e41:640x480!unplug-after=1!unplug-after=1", "7e41:640x480!stall-after=99999999999999999999",
          "7e41:!stall-after=3", "7e41!stall-after=3:640x480", "7e41:640x480,7e43:320x240!unplug"}) {
        QString why;
        EXPECT_FALSE(parseVirtualCameras(QString::fromLatin1(bad), &why)) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
}

TEST(VirtualCameraSyntax, ADescriptionReadsBackAsTheSameCamera) {
    const auto cams = parseVirtualCameras(
        QStringLiteral("7E41:640x480;320X240/MJPG!Unplug-After=9!stall-after=3,046d:825:1280x720"));
    ASSERT_TRUE(cams);
    ASSERT_EQ(cams->size(), 2u);
    EXPECT_EQ(describeVirtualCamera((*cams)[0]),
              QStringLiteral("2e7a:7e41:640x480;320x240/mjpg!stall-after=3!unplug-after=9"));
    EXPECT_EQ(describeVirtualCamera((*cams)[1]), QStringLiteral("046d:0825:1280x720"));
    for (const VirtualCameraSpec& cam : *cams) {
        const auto again = parseVirtualCameras(describeVirtualCamera(cam));
        ASSERT_TRUE(again);
        ASSERT_EQ(again->size(), 1u);
        EXPECT_EQ(describeVirtualCamera(again->front()), describeVirtualCamera(cam));
        EXPECT_EQ(again->front().stallAfter, cam.stallAfter);
        EXPECT_EQ(again->front().unplugAfter, cam.unplugAfter);
    }
}

TEST(VirtualCameraSyntax, AVideoFileCameraReadsItsPathAndLoopAndWritesThemBack) {
    const auto cams = parseVirtualCameras(QStringLiteral(
        "7e41:640x480!file=/tmp/clips/a:b%2Cc%21d%25.mkv!LOOP,7e43:320x240!stall-after=9!file=/x.avi"));
    ASSERT_TRUE(cams);
    ASSERT_EQ(cams->size(), 2u);
    EXPECT_EQ((*cams)[0].videoFile, QStringLiteral("/tmp/clips/a:b,c!d%.mkv")); // a ':' needs no escape
    EXPECT_TRUE((*cams)[0].loop);
    EXPECT_EQ((*cams)[1].videoFile, QStringLiteral("/x.avi"));
    EXPECT_FALSE((*cams)[1].loop);
    EXPECT_EQ((*cams)[1].stallAfter, std::optional<uint64_t>(9));
    EXPECT_EQ(describeVirtualCamera((*cams)[0]),
              QStringLiteral("2e7a:7e41:640x480!file=/tmp/clips/a%3Ab%2Cc%21d%25.mkv!loop"));
    for (const VirtualCameraSpec& cam : *cams) {
        const auto again = parseVirtualCameras(describeVirtualCamera(cam));
        ASSERT_TRUE(again && again->size() == 1u);
        EXPECT_EQ(again->front().videoFile, cam.videoFile);
        EXPECT_EQ(again->front().loop, cam.loop);
    }
    for (const char* bad :
         {"7e41:640x480!file=", "7e41:640x480!file=%20", "7e41:640x480!loop",
          "7e41:640x480!file=/a.avi!file=/b.avi", "7e41:640x480!file=/a.avi!loop!loop",
          "7e41:640x480!file=/a%00b.avi", "7e41:640x480!file=/a,b.avi", "7e41:640x480!looping"}) {
        QString why;
        EXPECT_FALSE(parseVirtualCameras(QString::fromLatin1(bad), &why)) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
}

class MediaTest : public ::testing::Test {
protected:
    std::optional<VideoDevice> firstDevice(const char* cameras) {
        ScopedEnv env("QX_VIRTUAL_CAMERAS", QString::fromLatin1(cameras));
        auto devices = enumerateVideoDevices();
        if (!devices || devices->empty())
            return std::nullopt;
        return std::move(devices->front());
    }
};

TEST_F(MediaTest, VirtualCamerasEnumerateFirstInListOrder) {
    ScopedEnv env("QX_VIRTUAL_CAMERAS", QStringLiteral("7e43:640x480,046d:0825:1280x720;640x480/mjpg"));
    const auto devices = enumerateVideoDevices();
    ASSERT_TRUE(devices);
    ASSERT_GE(devices->size(), 2u);
    EXPECT_TRUE((*devices)[0].devicePath.startsWith(QStringLiteral("usb#vid_2e7a&pid_7e43&mi_00#")));
    EXPECT_TRUE((*devices)[1].devicePath.startsWith(QStringLiteral("usb#vid_046d&pid_0825&mi_00#")));
    ASSERT_EQ((*devices)[1].formats.size(), 2u);
    const auto yuy2 = yuy2Formats((*devices)[1]);
    ASSERT_EQ(yuy2.size(), 1u);
    EXPECT_EQ(yuy2[0].width, 1280);
    EXPECT_FALSE(findYuy2Format((*devices)[1], 640, 480)); // offered as MJPG only
}

TEST_F(MediaTest, UnsetVariableAddsNoVirtualCamera) {
    ScopedEnv env("QX_VIRTUAL_CAMERAS", QString());
    const auto devices = enumerateVideoDevices();
    if (devices) {
        for (const VideoDevice& d : *devices)
            EXPECT_FALSE(d.virtualCamera);
    }
}

TEST_F(MediaTest, AMalformedFaultOptionAddsNoVirtualCamera) {
    ScopedEnv env("QX_VIRTUAL_CAMERAS", QStringLiteral("7e43:640x480,7e41:640x480!stall-after=soon"));
    const auto devices = enumerateVideoDevices();
    if (devices) {
        for (const VideoDevice& d : *devices)
            EXPECT_FALSE(d.virtualCamera);
    }
}

TEST(VirtualScene, DocumentIsBrighterThanTheDesk) {
    const QImage scene = VirtualCamera::renderDocumentScene(640, 480);
    EXPECT_GT(qGray(scene.pixel(320, 200)), 200);
    EXPECT_LT(qGray(scene.pixel(5, 5)), 110);
    // The page carries dark text and a red stamp.
    int dark = 0, red = 0;
    for (int y = 60; y < 420; ++y)
        for (int x = 180; x < 460; ++x) {
            const QRgb p = scene.pixel(x, y);
            dark += qGray(p) < 80;
            red += qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110;
        }
    EXPECT_GT(dark, 500);
    EXPECT_GT(red, 50);
}

// Collects frames from a running pipeline.
struct Frames {
    std::mutex mutex;
    int count = 0;
    int width = 0;
    int height = 0;
    double meanLuma = 0;
    std::vector<uint8_t> last;

    PreviewPipeline::FrameCallback callback() {
        return [this](const FrameView& f) {
            long long sum = 0;
            std::vector<uint8_t> copy;
            for (int y = 0; y < f.height; ++y) {
                const uint8_t* row = f.data + static_cast<std::size_t>(y) * f.stride;
                copy.insert(copy.end(), row, row + f.width * 3);
                for (int x = 0; x < f.width * 3; ++x)
                    sum += row[x];
            }
            std::lock_guard lock(mutex);
            ++count;
            width = f.width;
            height = f.height;
            meanLuma = static_cast<double>(sum) / (f.width * f.height * 3.0);
            last = std::move(copy);
        };
    }
    // Waits (bounded) for `n` more frames.
    bool waitFor(int n) {
        int start;
        {
            std::lock_guard lock(mutex);
            start = count;
        }
        for (int i = 0; i < 300; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::lock_guard lock(mutex);
            if (count >= start + n)
                return true;
        }
        return false;
    }
};

TEST_F(MediaTest, PreviewDeliversBgrFramesAndFollowsTheRotation) {
    const auto device = firstDevice("7e41:640x480");
    ASSERT_TRUE(device);
    Frames frames;
    PreviewPipeline pipeline;
    ASSERT_EQ(pipeline.build(*device, 640, 480, frames.callback()), PreviewStep::Ok);
    ASSERT_EQ(pipeline.run(), PreviewStep::Ok) << pipeline.lastError().toStdString();
    ASSERT_TRUE(frames.waitFor(2));
    EXPECT_EQ(frames.width, 640);
    EXPECT_EQ(pipeline.frameWidth(), 640);
    EXPECT_EQ(pipeline.frameHeight(), 480);

    EXPECT_FALSE(pipeline.setRotation(45));
    ASSERT_TRUE(pipeline.setRotation(90));
    ASSERT_TRUE(frames.waitFor(4));
    EXPECT_EQ(pipeline.frameWidth(), 480);
    EXPECT_EQ(pipeline.frameHeight(), 640);
    {
        std::lock_guard lock(frames.mutex);
        EXPECT_EQ(frames.width, 480);
        EXPECT_EQ(frames.height, 640);
    }
    pipeline.stop();
    EXPECT_FALSE(pipeline.isRunning());
}

// Waits (bounded, a few seconds) until `done` holds.
template <typename F> bool eventually(F done) {
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

int countOf(Frames& frames) {
    std::lock_guard lock(frames.mutex);
    return frames.count;
}

// Ten frame intervals of a 30 fps camera: one that was still streaming would have sent ten more frames.
void waitTenFrames() {
    std::this_thread::sleep_for(std::chrono::milliseconds(340));
}

bool listed(const QString& devicePath) {
    const auto devices = enumerateVideoDevices();
    if (!devices)
        return false;
    for (const VideoDevice& d : *devices)
        if (d.devicePath == devicePath)
            return true;
    return false;
}

TEST_F(MediaTest, AStalledCameraDeliversItsFramesThenNothingAndStaysOpen) {
    ScopedEnv env("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240!stall-after=4"));
    const auto devices = enumerateVideoDevices();
    ASSERT_TRUE(devices && !devices->empty());
    const VideoDevice& device = devices->front();
    for (int stream = 0; stream < 2; ++stream) { // every stream of it stalls the same way
        SCOPED_TRACE(stream);
        Frames frames;
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(device, 320, 240, frames.callback()), PreviewStep::Ok);
        ASSERT_EQ(pipeline.run(), PreviewStep::Ok) << pipeline.lastError().toStdString();
        ASSERT_TRUE(eventually([&] { return countOf(frames) >= 4; }));
        waitTenFrames();
        EXPECT_EQ(countOf(frames), 4);
        // No error and no end of stream: to its reader the camera is there and streaming.
        EXPECT_TRUE(pipeline.isRunning());
        EXPECT_EQ(pipeline.lastError(), QString());
        pipeline.stop(); // a hung stream still stops
        EXPECT_FALSE(pipeline.isRunning());
    }
    EXPECT_TRUE(listed(device.devicePath));
}

TEST_F(MediaTest, ACameraStalledFromTheStartNeverDeliversAFrame) {
    const auto device = firstDevice("7e41:320x240!stall-after=0");
    ASSERT_TRUE(device);
    Frames frames;
    PreviewPipeline pipeline;
    ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
    EXPECT_EQ(pipeline.run(), PreviewStep::MediaType);
    EXPECT_EQ(countOf(frames), 0);
    EXPECT_EQ(pipeline.lastError(), QString());
}

TEST_F(MediaTest, AnUnpluggedCameraFailsItsStreamAndIsGoneForTheRestOfTheProcess) {
    const QString cameras = QStringLiteral("7e41:320x240!unplug-after=3,7e43:320x240");
    std::optional<ScopedEnv> env(std::in_place, "QX_VIRTUAL_CAMERAS", cameras);
    const auto devices = enumerateVideoDevices();
    ASSERT_TRUE(devices && devices->size() >= 2);
    const VideoDevice unplugged = (*devices)[0];
    const VideoDevice other = (*devices)[1];

    Frames frames;
    PreviewPipeline pipeline;
    ASSERT_EQ(pipeline.build(unplugged, 320, 240, frames.callback()), PreviewStep::Ok);
    ASSERT_EQ(pipeline.run(), PreviewStep::Ok) << pipeline.lastError().toStdString();
    ASSERT_TRUE(eventually([&] { return !pipeline.isRunning(); }));
    EXPECT_EQ(countOf(frames), 3);
    EXPECT_EQ(pipeline.lastError(), QStringLiteral("Virtual camera was unplugged"));
    pipeline.stop();

    // Gone from the list, also when the same description is read anew; the other camera keeps its place.
    EXPECT_FALSE(listed(unplugged.devicePath));
    EXPECT_TRUE(listed(other.devicePath));
    env.emplace("QX_VIRTUAL_CAMERAS", QStringLiteral("7e43:320x240"));
    EXPECT_TRUE(enumerateVideoDevices()); // another description, so the next list reads it anew
    env.emplace("QX_VIRTUAL_CAMERAS", cameras);
    EXPECT_FALSE(listed(unplugged.devicePath));
    EXPECT_TRUE(listed(other.devicePath));

    // A preview of it from an older list fails as the camera is not there.
    Frames late;
    ASSERT_EQ(pipeline.build(unplugged, 320, 240, late.callback()), PreviewStep::Ok);
    EXPECT_EQ(pipeline.run(), PreviewStep::Run);
    EXPECT_EQ(pipeline.lastError(), QStringLiteral("Virtual camera was unplugged"));
    EXPECT_FALSE(pipeline.isRunning());
    EXPECT_EQ(countOf(late), 0);
}

TEST_F(MediaTest, ACameraUnpluggedBeforeItsFirstFrameFailsTheRun) {
    const auto device = firstDevice("7e42:320x240!unplug-after=0");
    ASSERT_TRUE(device);
    Frames frames;
    PreviewPipeline pipeline;
    ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
    EXPECT_EQ(pipeline.run(), PreviewStep::Run);
    EXPECT_EQ(pipeline.lastError(), QStringLiteral("Virtual camera was unplugged"));
    EXPECT_FALSE(pipeline.isRunning());
    EXPECT_EQ(countOf(frames), 0);
    EXPECT_FALSE(firstDevice("7e42:320x240!unplug-after=0"));
}

TEST_F(MediaTest, OfTwoFaultsTheFirstToComeActs) {
    {
        const auto device = firstDevice("7e44:320x240!stall-after=2!unplug-after=4");
        ASSERT_TRUE(device);
        Frames frames;
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
        ASSERT_EQ(pipeline.run(), PreviewStep::Ok);
        ASSERT_TRUE(eventually([&] { return countOf(frames) >= 2; }));
        waitTenFrames();
        EXPECT_EQ(countOf(frames), 2);
        EXPECT_TRUE(pipeline.isRunning());
        pipeline.stop();
        EXPECT_TRUE(firstDevice("7e44:320x240!stall-after=2!unplug-after=4")); // never unplugged
    }
    {
        const auto device = firstDevice("7e44:320x240!unplug-after=2!stall-after=4");
        ASSERT_TRUE(device);
        Frames frames;
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
        ASSERT_EQ(pipeline.run(), PreviewStep::Ok);
        ASSERT_TRUE(eventually([&] { return !pipeline.isRunning(); }));
        EXPECT_EQ(countOf(frames), 2);
        EXPECT_EQ(pipeline.lastError(), QStringLiteral("Virtual camera was unplugged"));
    }
}

TEST_F(MediaTest, SizesTheCameraDoesNotOfferFailTheFormatStep) {
    const auto device = firstDevice("7e41:640x480;320x240/mjpg");
    ASSERT_TRUE(device);
    PreviewPipeline pipeline;
    EXPECT_EQ(pipeline.build(*device, 0, 0, {}), PreviewStep::FormatSet);
    EXPECT_EQ(pipeline.build(*device, 800, 600, {}), PreviewStep::FormatSet);
    EXPECT_EQ(pipeline.build(*device, 320, 240, {}), PreviewStep::FormatSet);
    VideoDevice formatless = *device;
    formatless.formats.clear();
    EXPECT_EQ(pipeline.build(formatless, 640, 480, {}), PreviewStep::FormatNoFormats);
    EXPECT_EQ(pipeline.build(VideoDevice{}, 640, 480, {}), PreviewStep::Bind);
}

TEST_F(MediaTest, BrightnessControlChangesThePicture) {
    const auto device = firstDevice("7e41:320x240");
    ASSERT_TRUE(device);
    Frames frames;
    PreviewPipeline pipeline;
    ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
    ASSERT_EQ(pipeline.run(), PreviewStep::Ok);
    ASSERT_TRUE(frames.waitFor(2));
    double before;
    {
        std::lock_guard lock(frames.mutex);
        before = frames.meanLuma;
    }
    ASSERT_NE(pipeline.controls(), nullptr);
    const auto list = pipeline.controls()->list();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, QStringLiteral("Brightness"));
    ASSERT_TRUE(pipeline.controls()->set(list[0].id, 60));
    ASSERT_TRUE(frames.waitFor(3));
    std::lock_guard lock(frames.mutex);
    EXPECT_GT(frames.meanLuma, before + 20);
    pipeline.controls()->set(list[0].id, 0);
}

TEST_F(MediaTest, SceneFileIsShownStillAndLetterboxed) {
    Folder folder;
    QImage picture(400, 400, QImage::Format_RGB32);
    picture.fill(QColor(240, 240, 240));
    ASSERT_TRUE(picture.save(folder.file(QStringLiteral("scene.png"))));
    ScopedEnv scene("QX_VIRTUAL_SCENE", folder.file(QStringLiteral("scene.png")));
    const auto device = firstDevice("7e41:640x480");
    ASSERT_TRUE(device);
    VirtualCamera::Generator generator(*device->virtualCamera, 640, 480);
    std::vector<uint8_t> a(generator.frameBytes()), b(generator.frameBytes());
    generator.frame(0, a.data());
    generator.frame(37, b.data());
    EXPECT_EQ(a, b);
    // YUY2: luma of the left border is black, of the centre light.
    EXPECT_LT(a[2 * 10 + 240 * 640 * 2], 20);
    EXPECT_GT(a[2 * 320 + 240 * 640 * 2], 200);
}

TEST_F(MediaTest, DocumentSceneMovesAndHasNoise) {
    const auto device = firstDevice("7e41:320x240");
    ASSERT_TRUE(device);
    VirtualCamera::Generator generator(*device->virtualCamera, 320, 240);
    std::vector<uint8_t> a(generator.frameBytes()), b(generator.frameBytes());
    generator.frame(0, a.data());
    generator.frame(1, b.data());
    EXPECT_NE(a, b);
}

// A short clip: the empty desk, a page brought by a hand, the page lying, the desk again.
PageClipPlan shortClip() {
    return {.width = 160,
            .height = 120,
            .fps = 10,
            .pages = 1,
            .emptyStart = 0.3,
            .turn = 0.4,
            .still = 0.5,
            .emptyEnd = 0.3};
}

// Frames of a stream, their brightness in order.
struct Brightness {
    std::mutex mutex;
    std::vector<double> means;
    int width = 0;
    int height = 0;
    PreviewPipeline::FrameCallback callback() {
        return [this](const FrameView& f) {
            long long sum = 0;
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width * 3; ++x)
                    sum += f.data[static_cast<std::size_t>(y) * f.stride + x];
            std::lock_guard lock(mutex);
            means.push_back(static_cast<double>(sum) / (f.width * f.height * 3.0));
            width = f.width;
            height = f.height;
        };
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return means.size();
    }
};

bool waitUntil(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms && !done(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

TEST_F(MediaTest, AVideoFileCameraPlaysEachContainerAtItsRateScaledAndThenItsStreamEnds) {
    Folder folder;
    const PageClipPlan plan = shortClip();
    const double seconds = pageClipTimes(plan).end;
    for (const char* suffix : {"avi", "mp4", "mkv", "webm"}) {
        SCOPED_TRACE(suffix);
        const QString clip = folder.file(QStringLiteral("clip.") + QLatin1String(suffix));
        QString error;
        ASSERT_TRUE(writePageClip(plan, clip, &error)) << error.toStdString();
        const auto device =
            firstDevice(QStringLiteral("7e41:320x240!file=%1").arg(clip).toUtf8().constData());
        ASSERT_TRUE(device);
        Brightness frames;
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
        ASSERT_EQ(pipeline.run(), PreviewStep::Ok) << pipeline.lastError().toStdString();
        ASSERT_TRUE(waitUntil([&] { return !pipeline.isRunning(); }, 15000)) << "the stream did not end";
        std::lock_guard lock(frames.mutex);
        EXPECT_EQ(frames.width, 320);
        EXPECT_EQ(frames.height, 240);
        // The camera's 30 frames a second over the clip's own length: its frames were repeated to the
        // camera's rate, not played one camera frame each (a third as long) nor cut short.
        const double expected = seconds * 30;
        EXPECT_NEAR(static_cast<double>(frames.means.size()), expected, expected * 0.1);
        // The page lying in the middle is far brighter than the empty desk at the start and the end.
        ASSERT_GT(frames.means.size(), 10u);
        const double desk = frames.means.front();
        const double page = frames.means[frames.means.size() * 6 / 10];
        EXPECT_GT(page, desk + 30);
        EXPECT_LT(frames.means.back(), page - 30);
    }
}

TEST_F(MediaTest, AVideoFileCameraLoopsWhenAskedAndTellsAFileItCannotPlay) {
    Folder folder;
    const PageClipPlan plan = shortClip();
    const QString clip = folder.file(QStringLiteral("clip.avi"));
    ASSERT_TRUE(writePageClip(plan, clip));
    {
        const auto device =
            firstDevice(QStringLiteral("7e41:320x240!file=%1!loop").arg(clip).toUtf8().constData());
        ASSERT_TRUE(device);
        Brightness frames;
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
        ASSERT_EQ(pipeline.run(), PreviewStep::Ok) << pipeline.lastError().toStdString();
        const std::size_t once = static_cast<std::size_t>(pageClipTimes(plan).end * 30);
        ASSERT_TRUE(waitUntil([&] { return frames.count() > once * 2 || !pipeline.isRunning(); }, 15000));
        EXPECT_TRUE(pipeline.isRunning()) << pipeline.lastError().toStdString();
        {
            // The second time round shows the page again.
            std::lock_guard lock(frames.mutex);
            const auto second = frames.means.begin() + static_cast<std::ptrdiff_t>(once);
            EXPECT_GT(*std::max_element(second, frames.means.end()), frames.means.front() + 30);
        }
        pipeline.stop();
    }
    const QString text = folder.file(QStringLiteral("notes.avi"));
    ASSERT_TRUE(writeAll(text, "not a video at all\n"));
    for (const QString& path : {folder.file(QStringLiteral("missing.mp4")), text}) {
        SCOPED_TRACE(path.toStdString());
        const auto device =
            firstDevice(QStringLiteral("7e41:320x240!file=%1").arg(path).toUtf8().constData());
        ASSERT_TRUE(device);
        Brightness frames;
        PreviewPipeline pipeline;
        ASSERT_EQ(pipeline.build(*device, 320, 240, frames.callback()), PreviewStep::Ok);
        EXPECT_EQ(pipeline.run(), PreviewStep::Run);
        EXPECT_TRUE(pipeline.lastError().contains(path)) << pipeline.lastError().toStdString();
        EXPECT_EQ(frames.count(), 0u);
    }
}

} // namespace
} // namespace qx::test

namespace qx::test {
namespace {

// The frame rate gst-discoverer reports for the file's video stream ("30/1", "10000000/333333").
QString discoveredFrameRate(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("gst-discoverer-1.0"), {path});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral("Frame rate: (\\d+/\\d+)")).match(out);
    return m.hasMatch() ? m.captured(1) : QString();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

TEST(AsfHeader, TheVideoStreamGetsItsFrameRateAndADamagedHeaderLeavesTheFileAlone) {
    ASSERT_TRUE(qx::media::ensureGstreamer());
    QTemporaryDir dir;
    const QString made = dir.filePath(QStringLiteral("made.asf"));
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        QStringLiteral(
            "videotestsrc num-buffers=30 ! video/x-raw,format=I420,width=160,height=120,framerate=30/1"
            " ! avenc_wmv1 ! asfmux ! filesink location=\"%1\"")
            .arg(made)
            .toUtf8()
            .constData(),
        &error);
    ASSERT_TRUE(pipeline) << (error ? error->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_TRUE(end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    // What asfmux alone gives: the demuxer's default.
    EXPECT_EQ(discoveredFrameRate(made), QStringLiteral("25/1"));
    const QByteArray before = bytesOf(made);
    QString why;
    ASSERT_TRUE(writeAsfFrameRate(made, 30, &why)) << why.toStdString();
    const QByteArray after = bytesOf(made);
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (int i = 0; i < before.size(); ++i)
        changed += before[i] != after[i];
    EXPECT_GE(changed, 1);
    EXPECT_LE(changed, 8); // the one field, nothing moved
    EXPECT_EQ(discoveredFrameRate(made), QStringLiteral("10000000/333333"));
    // A value already there is kept.
    EXPECT_TRUE(writeAsfFrameRate(made, 15));
    EXPECT_EQ(bytesOf(made), after);

    // Files this must not touch: each is refused with a reason and left byte for byte as it was.
    QByteArray oversized = before;
    oversized[30 + 16 + 7] = '\x40'; // the first object claims far more than the header holds
    QByteArray noExtension = before;
    const int ext = noExtension.indexOf(QByteArray::fromHex("b503bf5f2ea9cf118ee300c00c205365"));
    ASSERT_GT(ext, 0);
    noExtension[ext] = 'x';
    const QList<QByteArray> damaged = {before.left(100), oversized, noExtension,
                                       QByteArray("RIFF....AVI LIST")};
    for (const QByteArray& bytes : damaged) {
        const QString path = dir.filePath(QStringLiteral("damaged.asf"));
        ASSERT_TRUE(writeBytes(path, bytes));
        why.clear();
        EXPECT_FALSE(writeAsfFrameRate(path, 30, &why));
        EXPECT_FALSE(why.isEmpty());
        EXPECT_EQ(bytesOf(path), bytes);
    }
    EXPECT_FALSE(writeAsfFrameRate(dir.filePath(QStringLiteral("missing.asf")), 30, &why));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("missing.asf"))));
}

} // namespace
} // namespace qx::test
