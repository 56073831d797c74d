// VideoRecord and the recording window on the virtual cameras: the window's controls, placement and
// slides, and what it shows of its recorder; files checked with GStreamer's tools.
#include "control/core/process_modes.h"
#include "control/features/recorder.h"
#include "control/features/video.h"
#include "control/ui/video_dialog.h"
#include "control_fixture.h"
#include "recording_files.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace qx::test {
namespace {

using control::CVideoDlg;
using control::Recorder;

class VideoTest : public ControlTest {
protected:
    VideoTest() : m_audio("QX_VIRTUAL_AUDIO", QString()) {}

    void useCameras(const QString& cameras) { qputenv("QX_VIRTUAL_CAMERAS", cameras.toUtf8()); }

    CVideoDlg* window() { return static_cast<CVideoDlg*>(m_ui.openWindow(QStringLiteral("video"))); }
    Recorder& recorder() { return *m_control->recording().recorder(); }

    // Opens the window on the auxiliary camera, saving into the fixture's video folder.
    CVideoDlg& open(const QString& cameras = kMainAndAux) {
        useCameras(cameras);
        auto& c = createControl();
        EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
        CVideoDlg* w = window();
        EXPECT_NE(w, nullptr);
        EXPECT_NE(c.recording().recorder(), nullptr);
        return *w;
    }

    // Presses a button of the window as a user would.
    static void press(CVideoDlg& w, int id) {
        auto* button = qobject_cast<QPushButton*>(findControl(&w, id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
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
    ASSERT_NE(c.recording().recorder(), nullptr);
    EXPECT_TRUE(c.recording().recorder()->isClosed());
    pump(CVideoDlg::kSlideOutMs + 200);
    EXPECT_FALSE(c.recording().window()->isVisible());
}

TEST_F(VideoTest, TheWindowShowsTheAuxiliaryCameraAndIsPlacedAtTheBottomRight) {
    CVideoDlg& w = open();
    EXPECT_TRUE(get(1).toBool());
    EXPECT_TRUE(control::ProcessModes::ofProcess().recordingActive);
    EXPECT_TRUE(log().contains(QStringLiteral("找到副摄像头，可以录像!")));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("视频录像"));
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_TRUE(recorder().showsLivePicture());
    pump(CVideoDlg::kSlideInMs + 300);
    EXPECT_FALSE(w.pictureArea()->currentFrame().isNull());
    EXPECT_EQ(w.pictureArea()->currentFrame().size(), w.pictureArea()->size());
    const QRect work = w.screen()->availableGeometry();
    EXPECT_EQ(w.frameGeometry().right(), work.right() - CVideoDlg::kRightMargin);
    EXPECT_EQ(w.frameGeometry().bottom(), work.bottom());
    auto* formats = static_cast<QComboBox*>(findControl(&w, CVideoDlg::kFormat));
    ASSERT_NE(formats, nullptr);
    EXPECT_EQ(formats->count(), 2);
    EXPECT_EQ(formats->currentText(), QStringLiteral("AVI"));
    EXPECT_EQ(formats->itemText(1), QStringLiteral("ASF"));
    auto* time = static_cast<QLineEdit*>(findControl(&w, CVideoDlg::kTime));
    EXPECT_EQ(time->text(), QStringLiteral("00 : 00 : 00"));
    EXPECT_EQ(time->font().pointSize(), 20);
    EXPECT_EQ(time->palette().color(QPalette::Text), QColor(200, 0, 100));
    EXPECT_EQ(qobject_cast<QPushButton*>(findControl(&w, CVideoDlg::kStart))->text(),
              QStringLiteral("开始录像"));
    EXPECT_EQ(qobject_cast<QPushButton*>(findControl(&w, CVideoDlg::kStop))->text(),
              QStringLiteral("停止录像"));
    EXPECT_NE(findControl(&w, CVideoDlg::kPicture), nullptr);
}

TEST_F(VideoTest, TheButtonsRecordInTheFormatTheComboShows) {
    ScopedEnv audio("QX_VIRTUAL_AUDIO", QStringLiteral("1"));
    CVideoDlg& w = open();
    static_cast<QComboBox*>(findControl(&w, CVideoDlg::kFormat))->setCurrentIndex(1);
    press(w, CVideoDlg::kStart);
    ASSERT_TRUE(recorder().isRecording());
    pump(1500);
    const QString asf = recorder().recordingPath();
    press(w, CVideoDlg::kStop);
    EXPECT_FALSE(recorder().isRecording());
    EXPECT_TRUE(recorder().showsLivePicture());
    EXPECT_TRUE(asf.endsWith(QLatin1String(".asf"))) << asf.toStdString();
    EXPECT_TRUE(discover(asf).container.startsWith(QLatin1String("video/x-ms-asf")));

    static_cast<QComboBox*>(findControl(&w, CVideoDlg::kFormat))->setCurrentIndex(0);
    press(w, CVideoDlg::kStart);
    ASSERT_TRUE(recorder().isRecording());
    pump(1200);
    const QString avi = recorder().recordingPath();
    press(w, CVideoDlg::kStop);
    EXPECT_TRUE(avi.endsWith(QLatin1String(".avi"))) << avi.toStdString();
    EXPECT_TRUE(discover(avi).container.startsWith(QLatin1String("video/x-msvideo")));
    EXPECT_TRUE(playsToTheEnd(avi));
    EXPECT_EQ(recordings(m_videos.path()).size(), 2);
}

TEST_F(VideoTest, ClosingOrReleasingWhileRecordingEndsTheFileProperly) {
    {
        CVideoDlg& w = open();
        press(w, CVideoDlg::kStart);
        pump(1200);
        const QString path = recorder().recordingPath();
        w.close();
        EXPECT_TRUE(recorder().isClosed());
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
        press(w, CVideoDlg::kStart);
        pump(1200);
        const QString path = recorder().recordingPath();
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
    EXPECT_TRUE(recorder().showsLivePicture()); // the camera was let go by the old window
    EXPECT_GE(log().count(QStringLiteral("录像：析构!")), 1);
    EXPECT_TRUE(get(1).toBool());
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
    EXPECT_TRUE(recorder().showsLivePicture());
}

TEST_F(VideoTest, TheTimeBoxShowsTheRecordersElapsedTime) {
    useCameras(QStringLiteral("7e41:640x480"));
    createControl().VideoRecord(m_videos.path());
    ASSERT_NE(m_control->recording().window(), nullptr);
    CVideoDlg& w = *m_control->recording().window();
    auto* time = static_cast<QLineEdit*>(findControl(&w, CVideoDlg::kTime));
    for (int i = 0; i < 9 * 60 + 5; ++i)
        recorder().tick();
    EXPECT_EQ(time->text(), QStringLiteral("00 : 09 : 05"));
    for (int i = 9 * 60 + 5; i < 3600 + 10 * 60 + 30; ++i)
        recorder().tick();
    EXPECT_EQ(time->text(), QStringLiteral("01 : 10 : 30"));
    for (int i = 3600 + 10 * 60 + 30; i < 36000; ++i)
        recorder().tick();
    EXPECT_EQ(time->text(), QStringLiteral("010 : 00 : 00"));
    EXPECT_EQ(time->font().pointSize(), 20);
}

TEST_F(VideoTest, AnUnpluggedCameraEndsTheRecordingAndTheWindowStays) {
    CVideoDlg& w = open(QStringLiteral("7e41:640x480,7e43:640x480;640x480/mjpg!unplug-after=45"));
    press(w, CVideoDlg::kStart);
    ASSERT_TRUE(recorder().isRecording());
    const QString path = recorder().recordingPath();
    pump(3000);
    EXPECT_FALSE(recorder().isRecording());
    EXPECT_FALSE(recorder().showsLivePicture());
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
    EXPECT_TRUE(w.pictureArea()->currentFrame().isNull()); // no picture runs: the area is dark
    press(w, CVideoDlg::kStart);
    EXPECT_FALSE(recorder().isRecording());
}

TEST_F(VideoTest, TheAsfBitRateReachesTheRecorder) {
    useCameras(QStringLiteral("7e41:640x480"));
    auto& c = createControl();
    c.setAsfBitRate(0);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    ASSERT_NE(c.recording().recorder(), nullptr);
    EXPECT_EQ(c.recording().recorder()->bitRate(), Recorder::kDefaultBitRate);
    c.setAsfBitRate(-5);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    EXPECT_EQ(c.recording().recorder()->bitRate(), Recorder::kDefaultBitRate);
    c.setAsfBitRate(250);
    EXPECT_EQ(c.VideoRecord(m_videos.path()), 0);
    EXPECT_EQ(c.recording().recorder()->bitRate(), 250);
    EXPECT_EQ(c.recording().recorder()->folder(), m_videos.path());
    EXPECT_TRUE(log().contains(QStringLiteral("录像码率0无效，使用1000!")));
}

} // namespace
} // namespace qx::test
