// The recorder alone, shown in a view that keeps what it was told: the virtual cameras and audio
// input, real pipelines, files checked with GStreamer's tools.
#include "control/core/process_modes.h"
#include "control/features/recorder.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"
#include "recording_files.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QSet>
#include <atomic>
#include <csignal>
#include <memory>
#include <mutex>
#include <sys/resource.h>

namespace qx::test {
namespace {

using control::Recorder;
using media::RecordingFormat;
using media::RecordStep;

// Keeps everything the recorder shows; frames arrive on the streaming thread.
class ShownView : public control::RecorderView {
public:
    static constexpr QSize kPicture{340, 260};

    QSize pictureSize() const override { return kPicture; }
    void showFrame(const media::FrameView& frame) override {
        std::lock_guard lock(m_mutex);
        ++m_frames;
        m_frameSize = QSize(frame.width, frame.height);
    }
    void clearPicture() override { ++cleared; }
    void showElapsed(const QString& text) override { elapsed << text; }
    void showBox(const QString& text) override { boxes << text; }

    int frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    QSize frameSize() const {
        std::lock_guard lock(m_mutex);
        return m_frameSize;
    }

    int cleared = 0;
    QStringList elapsed;
    QStringList boxes;

private:
    mutable std::mutex m_mutex;
    int m_frames = 0;
    QSize m_frameSize;
};

bool startsAnyLine(const QStringList& lines, const QString& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&start](const QString& l) { return l.startsWith(start); });
}

class RecorderTest : public ::testing::Test {
protected:
    RecorderTest() : m_cameras("QX_VIRTUAL_CAMERAS", QString()), m_audio("QX_VIRTUAL_AUDIO", QString()) {}
    ~RecorderTest() override { m_recorder.reset(); }

    bool recordingActive() const { return control::ProcessModes::ofProcess().recordingActive; }

    // A recorder on these cameras, saving into m_videos, shown in m_view and opened.
    Recorder& open(const QString& cameras = kMainAndAux, bool expectCamera = true) {
        qputenv("QX_VIRTUAL_CAMERAS", cameras.toUtf8());
        m_recorder = std::make_unique<Recorder>([this](const QString& line) { m_log << line; },
                                                control::ProcessModes::ofProcess());
        m_recorder->setView(&m_view);
        m_recorder->setFolder(m_videos.path());
        EXPECT_EQ(m_recorder->open(), expectCamera);
        return *m_recorder;
    }

    // Records about `ms` milliseconds in `format`.
    QString record(Recorder& r, RecordingFormat format, int ms) {
        r.startRecording(format);
        EXPECT_TRUE(r.isRecording());
        pump(ms);
        const QString path = r.recordingPath();
        r.stopRecording();
        return path;
    }

    Folder m_videos;
    ScopedEnv m_cameras;
    ScopedEnv m_audio;
    QStringList m_log;
    ShownView m_view;
    std::unique_ptr<Recorder> m_recorder;
};

TEST_F(RecorderTest, WithoutAnAuxiliaryCameraItSaysSoAndCloses) {
    Recorder& r = open(QStringLiteral("7e41:640x480"), false);
    EXPECT_EQ(m_log, QStringList{QStringLiteral("没找到副摄像头录像!")});
    EXPECT_EQ(m_view.boxes, QStringList{QStringLiteral("没有辅摄像头，无法录像!")});
    EXPECT_TRUE(r.isClosed());
    EXPECT_FALSE(r.showsLivePicture());
    EXPECT_FALSE(recordingActive());
    // 开始录像 and 停止录像 then do nothing: no camera runs and none is searched.
    r.startRecording(RecordingFormat::Avi);
    r.stopRecording();
    EXPECT_FALSE(r.isRecording());
    EXPECT_EQ(m_view.boxes.size(), 1);
    EXPECT_TRUE(recordings(m_videos.path()).isEmpty());
}

TEST_F(RecorderTest, TheAuxiliaryCamerasLivePictureReachesTheViewAtItsSize) {
    Recorder& r = open();
    EXPECT_EQ(m_log, QStringList{QStringLiteral("找到副摄像头，可以录像!")});
    EXPECT_TRUE(r.showsLivePicture());
    EXPECT_FALSE(r.isRecording());
    EXPECT_FALSE(r.isClosed());
    EXPECT_TRUE(recordingActive());
    EXPECT_EQ(m_view.elapsed, QStringList{QStringLiteral("00 : 00 : 00")}); // told when it was set
    pump(1000);
    EXPECT_GT(m_view.frames(), 5);
    EXPECT_EQ(m_view.frameSize(), ShownView::kPicture);
}

TEST_F(RecorderTest, AviTakesTheCamerasMotionJpegAsItComes) {
    Recorder& r = open();
    const QString path = record(r, RecordingFormat::Avi, 3000);
    ASSERT_EQ(recordings(m_videos.path()), QStringList{QFileInfo(path).fileName()});
    static const QRegularExpression spaced(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.avi$"));
    EXPECT_TRUE(spaced.match(QFileInfo(path).fileName()).hasMatch()) << path.toStdString();
    const Discovered d = discover(path);
    EXPECT_TRUE(d.container.startsWith(QLatin1String("video/x-msvideo"))) << d.container.toStdString();
    ASSERT_EQ(d.video.size(), 1);
    EXPECT_TRUE(d.video[0].startsWith(QLatin1String("image/jpeg")));
    EXPECT_TRUE(d.video[0].contains(QLatin1String("width=(int)640")));
    EXPECT_TRUE(d.video[0].contains(QLatin1String("height=(int)480")));
    EXPECT_TRUE(d.audio.isEmpty());
    EXPECT_GE(d.seconds, 2.5);
    EXPECT_LE(d.seconds, 3.5);
    EXPECT_TRUE(playsToTheEnd(path));
    EXPECT_TRUE(m_log.contains(QStringLiteral("录像：开始!")));
    EXPECT_TRUE(m_log.contains(QStringLiteral("录像：结束!")));
    // Stop goes back to the live picture.
    EXPECT_TRUE(r.showsLivePicture());
    EXPECT_FALSE(r.isRecording());
    EXPECT_TRUE(recordingActive());
}

TEST_F(RecorderTest, AviOfACameraWithoutMotionJpegEncodesItsFrames) {
    Recorder& r = open(QStringLiteral("7e41:640x480,7e43:640x480;320x240"));
    r.startRecording(RecordingFormat::Avi);
    ASSERT_TRUE(r.isRecording());
    EXPECT_FALSE(r.pipeline().passesCameraJpeg());
    pump(1500);
    const QString path = r.recordingPath();
    r.stopRecording();
    const Discovered d = discover(path);
    ASSERT_EQ(d.video.size(), 1);
    EXPECT_TRUE(d.video[0].startsWith(QLatin1String("image/jpeg")));
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(RecorderTest, AsfNeedsAnAudioInput) {
    Recorder& r = open();
    r.startRecording(RecordingFormat::Asf);
    EXPECT_FALSE(r.isRecording());
    EXPECT_TRUE(m_log.contains(QStringLiteral("没找到声卡!")));
    EXPECT_TRUE(recordings(m_videos.path()).isEmpty());
    EXPECT_TRUE(r.showsLivePicture()); // the live picture was kept
}

TEST_F(RecorderTest, AsfHasWmv1VideoAndWmaSound) {
    ScopedEnv audio("QX_VIRTUAL_AUDIO", QStringLiteral("1"));
    Recorder& r = open();
    const QString path = record(r, RecordingFormat::Asf, 3000);
    EXPECT_TRUE(path.endsWith(QLatin1String(".asf")));
    const Discovered d = discover(path);
    EXPECT_TRUE(d.container.startsWith(QLatin1String("video/x-ms-asf"))) << d.container.toStdString();
    ASSERT_EQ(d.video.size(), 1);
    EXPECT_TRUE(d.video[0].contains(QLatin1String("video/x-wmv"))) << d.video[0].toStdString();
    EXPECT_TRUE(d.video[0].contains(QLatin1String("wmvversion=(int)1")));
    EXPECT_TRUE(d.video[0].contains(QLatin1String("width=(int)640")));
    EXPECT_TRUE(d.video[0].contains(QLatin1String("height=(int)480")));
    // The header says 30 frames a second (the muxer alone leaves players at 25), and so many frames
    // are there.
    const auto fps =
        QRegularExpression(QStringLiteral("framerate=\\(fraction\\)(\\d+)/(\\d+)")).match(d.video[0]);
    ASSERT_TRUE(fps.hasMatch()) << d.video[0].toStdString();
    EXPECT_NEAR(fps.captured(1).toDouble() / fps.captured(2).toDouble(), 30.0, 0.01);
    const double rate = videoFrames(path) / d.seconds;
    EXPECT_GT(rate, 28.0);
    EXPECT_LT(rate, 32.0);
    ASSERT_EQ(d.audio.size(), 1);
    EXPECT_TRUE(d.audio[0].contains(QLatin1String("audio/x-wma"))) << d.audio[0].toStdString();
    EXPECT_TRUE(d.audio[0].contains(QLatin1String("wmaversion=(int)2")));
    EXPECT_TRUE(d.audio[0].contains(QLatin1String("rate=(int)44100")));
    EXPECT_TRUE(d.audio[0].contains(QLatin1String("channels=(int)2")));
    EXPECT_GE(d.seconds, 2.5);
    EXPECT_LE(d.seconds, 3.5);
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(RecorderTest, ASecondStartWhileRecordingKeepsTheFileGoing) {
    Recorder& r = open();
    r.startRecording(RecordingFormat::Avi);
    ASSERT_TRUE(r.isRecording());
    const QString path = r.recordingPath();
    pump(600);
    r.startRecording(RecordingFormat::Asf);
    EXPECT_TRUE(r.isRecording());
    EXPECT_EQ(r.recordingPath(), path);
    pump(600);
    r.stopRecording();
    EXPECT_EQ(recordings(m_videos.path()), QStringList{QFileInfo(path).fileName()});
    EXPECT_EQ(m_log.count(QStringLiteral("录像：开始!")), 1);
    EXPECT_GE(discover(path).seconds, 1.0);
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(RecorderTest, ClosingOrDestroyingWhileRecordingEndsTheFileProperly) {
    {
        Recorder& r = open();
        r.startRecording(RecordingFormat::Avi);
        pump(1200);
        const QString path = r.recordingPath();
        r.close();
        EXPECT_TRUE(r.isClosed());
        EXPECT_FALSE(r.showsLivePicture());
        EXPECT_FALSE(recordingActive());
        EXPECT_EQ(m_log.last(), QStringLiteral("录像：结束!"));
        EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("00 : 00 : 00"));
        EXPECT_TRUE(playsToTheEnd(path));
        // A closed recorder's 停止录像 searches no camera.
        r.stopRecording();
        EXPECT_FALSE(r.showsLivePicture());
        QFile::remove(path);
    }
    {
        Recorder& r = open();
        r.startRecording(RecordingFormat::Avi);
        pump(1200);
        const QString path = r.recordingPath();
        m_recorder.reset();
        EXPECT_EQ(m_log.last(), QStringLiteral("录像：析构!"));
        EXPECT_FALSE(recordingActive());
        EXPECT_TRUE(playsToTheEnd(path));
        EXPECT_GE(discover(path).seconds, 0.8);
    }
}

TEST_F(RecorderTest, ElapsedTimeTexts) {
    EXPECT_EQ(Recorder::elapsedText(0, 9, 5), QStringLiteral("00 : 09 : 05"));
    EXPECT_EQ(Recorder::elapsedText(1, 10, 30), QStringLiteral("01 : 10 : 30"));
    EXPECT_EQ(Recorder::elapsedText(0, 12, 7), QStringLiteral("00 : 12 : 07"));
    EXPECT_EQ(Recorder::elapsedText(0, 3, 41), QStringLiteral("00 : 03 : 41"));
    EXPECT_EQ(Recorder::elapsedText(10, 0, 0), QStringLiteral("010 : 00 : 00"));
    // The tick carries seconds into minutes and minutes into hours.
    Recorder& r = open(QStringLiteral("7e41:640x480"), false);
    for (int i = 0; i < 9 * 60 + 5; ++i)
        r.tick();
    EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("00 : 09 : 05"));
    for (int i = 9 * 60 + 5; i < 3600 + 10 * 60 + 30; ++i)
        r.tick();
    EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("01 : 10 : 30"));
    for (int i = 3600 + 10 * 60 + 30; i < 36000; ++i)
        r.tick();
    EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("010 : 00 : 00"));
}

TEST_F(RecorderTest, EachRecordingCountsFromZero) {
    Recorder& r = open();
    for (int i = 0; i < 75; ++i)
        r.tick();
    ASSERT_EQ(m_view.elapsed.last(), QStringLiteral("00 : 01 : 15"));
    r.startRecording(RecordingFormat::Avi);
    ASSERT_TRUE(r.isRecording());
    EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("00 : 00 : 00"));
    r.tick();
    EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("00 : 00 : 01"));
    r.stopRecording();
    EXPECT_EQ(m_view.elapsed.last(), QStringLiteral("00 : 00 : 00"));
}

TEST_F(RecorderTest, ARecordingNeverTakesTheNameOfAnother) {
    Recorder& r = open();
    // Every name the next seconds could give is taken already.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList taken;
    for (int s = 0; s < 4; ++s) {
        taken << platform::spacedTimeStamp(now.addSecs(s)) + QStringLiteral(".avi");
        ASSERT_TRUE(writeAll(m_videos.file(taken.back()), "earlier recording"));
    }
    const QString path = record(r, RecordingFormat::Avi, 800);
    EXPECT_FALSE(taken.contains(QFileInfo(path).fileName()));
    for (const QString& name : taken)
        EXPECT_EQ(readAll(m_videos.file(name)), QByteArray("earlier recording"));
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(RecorderTest, WithoutAFolderTheProgramsDataFolderIsUsed) {
    Recorder& r = open(QStringLiteral("7e41:640x480"), false);
    r.setFolder(QString());
    EXPECT_EQ(r.folder(), QString());
    r.startRecording(RecordingFormat::Avi); // no camera runs: only the folder is settled
    EXPECT_EQ(r.folder(), platform::dataFolder(platform::programFolder()));
    EXPECT_FALSE(r.isRecording());
    r.setFolder(QStringLiteral("/tmp/videos"));
    EXPECT_EQ(r.folder(), QStringLiteral("/tmp/videos/"));
}

TEST_F(RecorderTest, AStartThatFailsBringsTheLivePictureBack) {
    Recorder& r = open();
    r.setFolder(m_videos.file(QStringLiteral("missing/folder")));
    r.startRecording(RecordingFormat::Avi);
    EXPECT_FALSE(r.isRecording());
    EXPECT_TRUE(m_log.contains(QStringLiteral("设置输出Filter失败!")));
    EXPECT_TRUE(m_log.contains(QStringLiteral("录像未开始，已恢复实时画面!")));
    EXPECT_TRUE(r.showsLivePicture());
    EXPECT_TRUE(recordingActive());
    EXPECT_TRUE(recordings(m_videos.path()).isEmpty());
}

TEST_F(RecorderTest, AFullDiskStopsTheRecordingAndKeepsTheLivePicture) {
    Recorder& r = open();
    // Files may grow to 300 KB for this test: the recording's writer fails as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 300 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    r.startRecording(RecordingFormat::Avi);
    const bool started = r.isRecording();
    pump(2000);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    ASSERT_TRUE(started);
    EXPECT_FALSE(r.isRecording());
    EXPECT_TRUE(startsAnyLine(m_log, QStringLiteral("录像出错，录像已停止")))
        << m_log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(r.showsLivePicture());
    EXPECT_TRUE(recordingActive());
    // A new recording starts once there is room again.
    const QString path = record(r, RecordingFormat::Avi, 800);
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(RecorderTest, ABitRateOutOfRangeIsClampedWithALogLine) {
    Recorder r([this](const QString& line) { m_log << line; }, control::ProcessModes::ofProcess());
    EXPECT_EQ(r.bitRate(), Recorder::kDefaultBitRate);
    r.setBitRate(0);
    EXPECT_EQ(r.bitRate(), Recorder::kDefaultBitRate);
    r.setBitRate(-5);
    EXPECT_EQ(r.bitRate(), Recorder::kDefaultBitRate);
    r.setBitRate(250);
    EXPECT_EQ(r.bitRate(), 250);
    r.setBitRate(Recorder::kMaxBitRate);
    EXPECT_EQ(r.bitRate(), Recorder::kMaxBitRate);
    r.setBitRate(Recorder::kMaxBitRate + 1);
    EXPECT_EQ(r.bitRate(), Recorder::kMaxBitRate);
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("录像码率0无效，使用1000!"),
                                  QStringLiteral("录像码率-5无效，使用1000!"),
                                  QStringLiteral("录像码率100001过大，使用100000!")}));
}

TEST_F(RecorderTest, EveryFailedStepHasALogLineOfItsOwn) {
    EXPECT_TRUE(Recorder::stepText(RecordStep::Ok).isEmpty());
    EXPECT_EQ(Recorder::stepText(RecordStep::Bind), QStringLiteral("录像：绑定设备失败!"));
    EXPECT_EQ(Recorder::stepText(RecordStep::Format), QStringLiteral("设置媒体格式失败!"));
    EXPECT_EQ(Recorder::stepText(RecordStep::Output), QStringLiteral("设置输出Filter失败!"));
    EXPECT_EQ(Recorder::stepText(RecordStep::RecordLink), QStringLiteral("连接录像链路失败!"));
    EXPECT_EQ(Recorder::stepText(RecordStep::Run), QStringLiteral("录像：渲染Run失败!"));
    EXPECT_EQ(Recorder::stepText(RecordStep::NoCompressor),
              QStringLiteral("没有发现Microsoft Video 1压缩器!"));
    EXPECT_EQ(Recorder::stepText(RecordStep::NoAudio), QStringLiteral("没找到声卡!"));
    QSet<QString> texts;
    for (int s = static_cast<int>(RecordStep::Bind); s <= static_cast<int>(RecordStep::AddConverter); ++s) {
        const QString text = Recorder::stepText(static_cast<RecordStep>(s));
        EXPECT_FALSE(text.isEmpty()) << s;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), static_cast<int>(RecordStep::AddConverter));
}

} // namespace
} // namespace qx::test
