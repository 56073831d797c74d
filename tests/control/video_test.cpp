// VideoRecord and the recording window on the virtual cameras; files checked with GStreamer's tools.
#include "control/core/process_modes.h"
#include "control/features/video.h"
#include "control/ui/video_dialog.h"
#include "control_fixture.h"
#include "imaging/external_tools.h"
#include "qx/platform/timestamp.h"

#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <sys/resource.h>

namespace qx::test {
namespace {

using control::CVideoDlg;

const QString kMainAndAux = QStringLiteral("7e41:640x480,7e43:640x480;640x480/mjpg");

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What gst-discoverer-1.0 reports of a file.
struct Discovered {
    QString container;
    QStringList video; // the caps of each video stream
    QStringList audio;
    double seconds = -1;
};

Discovered discover(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("gst-discoverer-1.0"), {QStringLiteral("-v"), path});
    EXPECT_TRUE(run.started);
    Discovered d;
    static const QRegularExpression stream(QStringLiteral("^\\s*(container|video|audio) #\\d+: (.*)$"));
    static const QRegularExpression duration(QStringLiteral("^\\s*Duration: (\\d+):(\\d+):([\\d.]+)"));
    for (const QString& line : run.text().split(QLatin1Char('\n'))) {
        if (const auto m = stream.match(line); m.hasMatch()) {
            if (m.captured(1) == QLatin1String("container"))
                d.container = m.captured(2);
            else
                (m.captured(1) == QLatin1String("video") ? d.video : d.audio) << m.captured(2);
        } else if (const auto t = duration.match(line); t.hasMatch() && d.seconds < 0) {
            d.seconds = t.captured(1).toInt() * 3600 + t.captured(2).toInt() * 60 + t.captured(3).toDouble();
        }
    }
    return d;
}

// Whether the file decodes to its end, every stream of it.
bool playsToTheEnd(const QString& path) {
    return runTool(QStringLiteral("gst-launch-1.0"),
                   {QStringLiteral("-q"), QStringLiteral("playbin"),
                    QStringLiteral("uri=") + QUrl::fromLocalFile(path).toString(),
                    QStringLiteral("video-sink=fakesink"), QStringLiteral("audio-sink=fakesink")})
               .exitCode == 0;
}

// The video frames a player decodes from the file.
int videoFrames(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("gst-launch-1.0"),
                                {QStringLiteral("-v"), QStringLiteral("playbin"),
                                 QStringLiteral("uri=") + QUrl::fromLocalFile(path).toString(),
                                 QStringLiteral("video-sink=fakesink silent=false name=counted"),
                                 QStringLiteral("audio-sink=fakesink")});
    return static_cast<int>(run.text().count(QStringLiteral("counted: last-message = chain")));
}

QStringList recordings(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.avi"), QStringLiteral("*.asf")}, QDir::Files,
                                  QDir::Name);
}

class VideoTest : public ControlTest {
protected:
    VideoTest() : m_audio("QX_VIRTUAL_AUDIO", QString()) {}

    void useCameras(const QString& cameras) { qputenv("QX_VIRTUAL_CAMERAS", cameras.toUtf8()); }

    CVideoDlg* window() { return static_cast<CVideoDlg*>(m_ui.openWindow(QStringLiteral("video"))); }

    // Opens the window on the auxiliary camera, saving into the fixture's video folder.
    CVideoDlg& open(const QString& cameras = kMainAndAux) {
        useCameras(cameras);
        auto& c = createControl();
        EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
        CVideoDlg* w = window();
        EXPECT_NE(w, nullptr);
        return *w;
    }

    // Records about `ms` milliseconds in the format of combo position `format`.
    QString record(CVideoDlg& w, int format, int ms) {
        static_cast<QComboBox*>(findControl(&w, CVideoDlg::kFormat))->setCurrentIndex(format);
        w.startRecording();
        EXPECT_TRUE(w.isRecording());
        pump(ms);
        const QString path = w.recordingPath();
        w.stopRecording();
        return path;
    }

    Folder m_videos;
    ScopedEnv m_audio;
};

TEST_F(VideoTest, WithoutAnAuxiliaryCameraTheWindowSaysSoAndGoes) {
    useCameras(QStringLiteral("7e41:640x480"));
    auto& c = createControl();
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    EXPECT_EQ(logSince(before),
              (QStringList{QStringLiteral("没找到副摄像头录像!"), QStringLiteral("打开录像界面成功!")}));
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("没有辅摄像头，无法录像!")});
    EXPECT_EQ(window(), nullptr);
    EXPECT_FALSE(get(1).toBool()); // bIsRecord
    EXPECT_GT(c.RefreshDevList(), 0);
    EXPECT_FALSE(get(1).toBool());
    ASSERT_NE(c.recording().window(), nullptr);
    EXPECT_TRUE(c.recording().window()->isClosed());
}

TEST_F(VideoTest, TheWindowShowsTheAuxiliaryCameraAndIsPlacedAtTheBottomRight) {
    CVideoDlg& w = open();
    EXPECT_TRUE(get(1).toBool());
    EXPECT_TRUE(control::ProcessModes::ofProcess().recordingActive);
    EXPECT_TRUE(log().contains(QStringLiteral("找到副摄像头，可以录像!")));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("视频录像"));
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_TRUE(w.showsLivePicture());
    pump(CVideoDlg::kSlideInMs + 300);
    EXPECT_FALSE(w.pictureArea()->currentFrame().isNull());
    const QRect work = w.screen()->availableGeometry();
    EXPECT_EQ(w.frameGeometry().right(), work.right() - CVideoDlg::kRightMargin);
    EXPECT_EQ(w.frameGeometry().bottom(), work.bottom());
    auto* formats = static_cast<QComboBox*>(findControl(&w, CVideoDlg::kFormat));
    ASSERT_NE(formats, nullptr);
    EXPECT_EQ(formats->count(), 2);
    EXPECT_EQ(formats->currentText(), QStringLiteral("AVI"));
    EXPECT_EQ(formats->itemText(1), QStringLiteral("ASF"));
    auto* time = static_cast<QLineEdit*>(findControl(&w, CVideoDlg::kTime));
    EXPECT_EQ(time->font().pointSize(), 20);
    EXPECT_EQ(time->palette().color(QPalette::Text), QColor(200, 0, 100));
}

TEST_F(VideoTest, AviTakesTheCamerasMotionJpegAsItComes) {
    CVideoDlg& w = open();
    const QString path = record(w, 0, 3000);
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
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("录像：开始!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("录像：结束!")));
    // Stop goes back to the live picture.
    EXPECT_TRUE(w.showsLivePicture());
    EXPECT_FALSE(w.isRecording());
}

TEST_F(VideoTest, AviOfACameraWithoutMotionJpegEncodesItsFrames) {
    CVideoDlg& w = open(QStringLiteral("7e41:640x480,7e43:640x480;320x240"));
    w.startRecording();
    ASSERT_TRUE(w.isRecording());
    EXPECT_FALSE(w.pipeline().passesCameraJpeg());
    pump(1500);
    const QString path = w.recordingPath();
    w.stopRecording();
    const Discovered d = discover(path);
    ASSERT_EQ(d.video.size(), 1);
    EXPECT_TRUE(d.video[0].startsWith(QLatin1String("image/jpeg")));
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(VideoTest, AsfNeedsAnAudioInput) {
    CVideoDlg& w = open();
    static_cast<QComboBox*>(findControl(&w, CVideoDlg::kFormat))->setCurrentIndex(1);
    w.startRecording();
    EXPECT_FALSE(w.isRecording());
    EXPECT_TRUE(log().contains(QStringLiteral("没找到声卡!")));
    EXPECT_TRUE(recordings(m_videos.path()).isEmpty());
    EXPECT_TRUE(w.showsLivePicture()); // the live picture was kept
}

TEST_F(VideoTest, AsfHasWmv1VideoAndWmaSound) {
    ScopedEnv audio("QX_VIRTUAL_AUDIO", QStringLiteral("1"));
    CVideoDlg& w = open();
    const QString path = record(w, 1, 3000);
    EXPECT_TRUE(path.endsWith(QLatin1String(".asf")));
    const Discovered d = discover(path);
    EXPECT_TRUE(d.container.startsWith(QLatin1String("video/x-ms-asf"))) << d.container.toStdString();
    ASSERT_EQ(d.video.size(), 1);
    EXPECT_TRUE(d.video[0].contains(QLatin1String("video/x-wmv"))) << d.video[0].toStdString();
    EXPECT_TRUE(d.video[0].contains(QLatin1String("wmvversion=(int)1")));
    EXPECT_TRUE(d.video[0].contains(QLatin1String("width=(int)640")));
    EXPECT_TRUE(d.video[0].contains(QLatin1String("height=(int)480")));
    // ASF keeps no frame rate of its own (the demuxer reports a default): the frames are counted.
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

TEST_F(VideoTest, ClosingOrReleasingWhileRecordingEndsTheFileProperly) {
    {
        CVideoDlg& w = open();
        w.startRecording();
        pump(1200);
        const QString path = w.recordingPath();
        w.close();
        EXPECT_TRUE(w.isClosed());
        EXPECT_FALSE(control::ProcessModes::ofProcess().recordingActive);
        EXPECT_EQ(window(), nullptr);
        EXPECT_TRUE(playsToTheEnd(path));
        pump(CVideoDlg::kSlideOutMs + 200);
        EXPECT_FALSE(w.isVisible());
    }
    QFile::remove(recordings(m_videos.path()).isEmpty() ? QString()
                                                        : m_videos.file(recordings(m_videos.path())[0]));
    {
        CVideoDlg& w = open();
        w.startRecording();
        pump(1200);
        const QString path = w.recordingPath();
        destroyControl();
        const QStringList lines = log();
        const auto gone = lines.indexOf(QStringLiteral("录像：析构!"));
        ASSERT_GE(gone, 0);
        EXPECT_EQ(lines.indexOf(QStringLiteral("释放录像对话框资源!"), gone), gone + 1);
        EXPECT_FALSE(control::ProcessModes::ofProcess().recordingActive);
        EXPECT_TRUE(playsToTheEnd(path));
        EXPECT_GE(discover(path).seconds, 0.8);
    }
}

TEST_F(VideoTest, ANewVideoRecordReplacesAnOpenWindow) {
    CVideoDlg& first = open();
    QPointer<CVideoDlg> old(&first);
    EXPECT_EQ(m_control->VideoRecord(m_videos.path()), 0);
    EXPECT_TRUE(old.isNull());
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->showsLivePicture()); // the camera was let go by the old window
    EXPECT_GE(log().count(QStringLiteral("录像：析构!")), 1);
}

TEST_F(VideoTest, TheControlsPreviewOfTheAuxiliaryCameraIsStoppedFirst) {
    useCameras(kMainAndAux);
    auto& c = createControl();
    ASSERT_GT(c.RefreshDevList(), 1);
    ASSERT_EQ(c.state().auxCameraIndex, 1);
    c.SetDevNameSel(1);
    ASSERT_GT(c.RefreshResolution(1), 0);
    ASSERT_EQ(c.StartPreviewProc(), 0);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    EXPECT_FALSE(c.state().normalPreviewOn);
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->showsLivePicture());
}

TEST_F(VideoTest, ElapsedTimeTexts) {
    EXPECT_EQ(CVideoDlg::elapsedText(0, 9, 5), QStringLiteral("00 : 09 : 05"));
    EXPECT_EQ(CVideoDlg::elapsedText(1, 10, 30), QStringLiteral("01 : 10 : 30"));
    EXPECT_EQ(CVideoDlg::elapsedText(0, 12, 7), QStringLiteral("00 : 12 : 07"));
    EXPECT_EQ(CVideoDlg::elapsedText(0, 3, 41), QStringLiteral("00 : 03 : 41"));
    EXPECT_EQ(CVideoDlg::elapsedText(10, 0, 0), QStringLiteral("010 : 00 : 00"));
    // The tick carries seconds into minutes and minutes into hours.
    useCameras(QStringLiteral("7e41:640x480"));
    createControl().VideoRecord(m_videos.path());
    ASSERT_NE(m_control->recording().window(), nullptr);
    CVideoDlg& w = *m_control->recording().window();
    auto* time = static_cast<QLineEdit*>(findControl(&w, CVideoDlg::kTime));
    for (int i = 0; i < 9 * 60 + 5; ++i)
        w.tick();
    EXPECT_EQ(time->text(), QStringLiteral("00 : 09 : 05"));
    for (int i = 9 * 60 + 5; i < 3600 + 10 * 60 + 30; ++i)
        w.tick();
    EXPECT_EQ(time->text(), QStringLiteral("01 : 10 : 30"));
    for (int i = 3600 + 10 * 60 + 30; i < 36000; ++i)
        w.tick();
    EXPECT_EQ(time->text(), QStringLiteral("010 : 00 : 00"));
    EXPECT_EQ(time->font().pointSize(), 20);
}

TEST_F(VideoTest, ARecordingNeverTakesTheNameOfAnother) {
    CVideoDlg& w = open();
    // Every name the next seconds could give is taken already.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList taken;
    for (int s = 0; s < 4; ++s) {
        taken << platform::spacedTimeStamp(now.addSecs(s)) + QStringLiteral(".avi");
        ASSERT_TRUE(writeAll(m_videos.file(taken.back()), "earlier recording"));
    }
    const QString path = record(w, 0, 800);
    EXPECT_FALSE(taken.contains(QFileInfo(path).fileName()));
    for (const QString& name : taken)
        EXPECT_EQ(readAll(m_videos.file(name)), QByteArray("earlier recording"));
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(VideoTest, AStartThatFailsBringsTheLivePictureBack) {
    CVideoDlg& w = open();
    w.setVideoFolder(m_videos.file(QStringLiteral("missing/folder")));
    w.startRecording();
    EXPECT_FALSE(w.isRecording());
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("设置输出Filter失败!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("录像未开始，已恢复实时画面!")));
    EXPECT_TRUE(w.showsLivePicture());
    EXPECT_TRUE(control::ProcessModes::ofProcess().recordingActive);
    EXPECT_TRUE(recordings(m_videos.path()).isEmpty());
}

TEST_F(VideoTest, AnUnpluggedCameraEndsTheRecordingWithAPlayableFile) {
    CVideoDlg& w = open(QStringLiteral("7e41:640x480,7e43:640x480;640x480/mjpg!unplug-after=45"));
    w.startRecording();
    ASSERT_TRUE(w.isRecording());
    const QString path = w.recordingPath();
    pump(3000);
    EXPECT_FALSE(w.isRecording());
    EXPECT_FALSE(w.showsLivePicture());
    const QStringList lines = log();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("录像出错，录像已停止"));
    })) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(m_ui.messages().contains(QStringLiteral("没有辅摄像头，无法录像!")));
    EXPECT_FALSE(control::ProcessModes::ofProcess().recordingActive);
    EXPECT_TRUE(playsToTheEnd(path));
    EXPECT_GT(discover(path).seconds, 1.0);
    // The window stays and answers.
    EXPECT_EQ(window(), &w);
    w.startRecording();
    EXPECT_FALSE(w.isRecording());
}

TEST_F(VideoTest, AFullDiskStopsTheRecordingAndKeepsTheWindowUsable) {
    CVideoDlg& w = open();
    // Files may grow to 300 KB for this test: the recording's writer fails as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 300 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    w.startRecording();
    const bool started = w.isRecording();
    pump(2000);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    ASSERT_TRUE(started);
    EXPECT_FALSE(w.isRecording());
    const QStringList lines = log();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("录像出错，录像已停止"));
    })) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(w.showsLivePicture());
    // A new recording starts once there is room again.
    const QString path = record(w, 0, 800);
    EXPECT_TRUE(playsToTheEnd(path));
}

TEST_F(VideoTest, ABitRateOfZeroOrLessFallsBackToTheDefault) {
    useCameras(QStringLiteral("7e41:640x480"));
    auto& c = createControl();
    c.setAsfBitRate(0);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    ASSERT_NE(c.recording().window(), nullptr);
    EXPECT_EQ(c.recording().window()->bitRate(), CVideoDlg::kDefaultBitRate);
    c.setAsfBitRate(-5);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    EXPECT_EQ(c.recording().window()->bitRate(), CVideoDlg::kDefaultBitRate);
    c.setAsfBitRate(250);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    EXPECT_EQ(c.recording().window()->bitRate(), 250);
    EXPECT_TRUE(log().contains(QStringLiteral("录像码率0无效，使用1000!")));
}

} // namespace
} // namespace qx::test
