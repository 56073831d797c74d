// The settings dialog over a control and the settings file, and the wrapper's answers for a missing control.
#include "app_fixture.h"

#include "qx/desktop/morvel_qx_web.h"
#include "qx/desktop/set_config.h"
#include "qx/interface/members.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

using namespace qx::desktop;

namespace qx::test {
namespace {

// A control with two cameras of two and three resolutions, recording or not, that notes its calls.
class FakeControl : public QxDispatch {
public:
    bool recording = false;
    int selectedForResolutions = -2;
    QStringList calls;

    DispatchStatus get(int dispid, QVariant& value) override {
        if (dispid == automation::memberByName("bIsRecord")->dispid) {
            value = recording;
            return DispatchStatus::Ok;
        }
        return DispatchStatus::UnknownDispid;
    }
    DispatchStatus put(int, const QVariant&) override { return DispatchStatus::UnknownDispid; }
    DispatchStatus invoke(int dispid, const QVariantList& args, QVariant& result) override {
        const QString name = QLatin1String(automation::memberByDispid(dispid)->name);
        calls << name;
        if (name == QLatin1String("RefreshDevList"))
            result = 2;
        else if (name == QLatin1String("GetDevNameByIdx"))
            result = QStringLiteral("camera %1").arg(args.value(0).toInt());
        else if (name == QLatin1String("RefreshResolution")) {
            selectedForResolutions = args.value(0).toInt();
            result = selectedForResolutions == 1 ? 3 : selectedForResolutions == 0 ? 2 : -1;
        } else if (name == QLatin1String("GetResolutionByIdx"))
            result = QStringLiteral("res %1 of %2").arg(args.value(0).toInt()).arg(selectedForResolutions);
        else if (name != QLatin1String("ConfigCameraFilter"))
            return DispatchStatus::UnknownDispid;
        return DispatchStatus::Ok;
    }
};

class DesktopSettingsDialog : public ::testing::Test {
protected:
    QString ini() const { return m_folder.file(QStringLiteral("QX_CamConfig.ini")); }
    std::unique_ptr<CSetConfig> open(const SettingsValues& seed = {}) {
        return std::make_unique<CSetConfig>(m_wrapper, m_ui, ini(), seed);
    }
    template <typename T> T* child(CSetConfig& d, int id) { return d.findChild<T*>(QString::number(id)); }

    Folder m_folder;
    FakeControl m_fake;
    CMorvelQxWeb m_wrapper{&m_fake};
    ScriptedUiHost m_ui;
};

TEST_F(DesktopSettingsDialog, ShowsTheFileAndHandsBackStoredValues) {
    ASSERT_TRUE(writeAll(ini(), crlf({"[CamConfig]", "camera=1", "resolution=2", "Img-Format=tif",
                                      "Img-Rotate=45", "Img-DPI=300", "Img-Color=2", "Save-Path=/srv/pics/",
                                      "URL=http://h/u", "UpLoad-Del=FALSE", "PDF-Del=TRUE", "TickTime=20"})));
    SettingsValues seed;
    seed.rotation = 45;
    auto d = open(seed);
    QVariantMap s = d->state();
    EXPECT_EQ(s["cameras"].toStringList(), (QStringList{"camera 0", "camera 1"}));
    EXPECT_EQ(s["camera"].toInt(), 1);
    EXPECT_EQ(s["resolutions"].toStringList(), (QStringList{"res 0 of 1", "res 1 of 1", "res 2 of 1"}));
    EXPECT_EQ(s["resolution"].toInt(), 2);
    EXPECT_EQ(s["format"].toString(), QStringLiteral("tiff"));
    EXPECT_EQ(s["rotationIndex"].toInt(), -1);
    EXPECT_EQ(s["dpiIndex"].toInt(), 3);
    EXPECT_EQ(s["colorIndex"].toInt(), 2);
    EXPECT_EQ(s["savePath"].toString(), QStringLiteral("/srv/pics/"));
    EXPECT_EQ(s["videoPath"].toString(), defaultVideoPath()); // a missing key
    EXPECT_FALSE(s["uploadDel"].toBool());
    EXPECT_TRUE(s["pdfDel"].toBool());
    EXPECT_TRUE(s["cameraListEnabled"].toBool());
    // The interval is shown as read until the track bar is first drawn; its range then brings it to 15.
    EXPECT_EQ(s["interval"].toString(), QStringLiteral("20"));
    d->show();
    processEvents(100);
    EXPECT_EQ(d->state()["interval"].toString(), QStringLiteral("15"));

    d->onSave();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    const SettingsValues& v = d->values();
    EXPECT_EQ(v.imageFormat, QStringLiteral("tif"));
    EXPECT_EQ(v.rotation, 45);
    EXPECT_EQ(v.dpi, 300);
    EXPECT_EQ(v.color, 2);
    EXPECT_EQ(v.camera, 1);
    EXPECT_EQ(v.resolution, 2);
    EXPECT_EQ(v.interval, 15);
    EXPECT_FALSE(v.deleteAfterUpload);
    EXPECT_TRUE(v.deleteAfterPdf);
}

TEST_F(DesktopSettingsDialog, CameraChangeRefillsResolutionsAndSelectsTheFirst) {
    ASSERT_TRUE(writeAll(ini(), crlf({"[CamConfig]", "camera=1", "resolution=2"})));
    auto d = open();
    m_fake.calls.clear();
    d->onCameraChanged(0);
    EXPECT_EQ(d->state()["resolutions"].toStringList(), (QStringList{"res 0 of 0", "res 1 of 0"}));
    EXPECT_EQ(d->state()["resolution"].toInt(), 0);
    // The live camera is not touched before OK.
    EXPECT_FALSE(m_fake.calls.contains(QStringLiteral("SetDevNameSel")));
}

TEST_F(DesktopSettingsDialog, WithoutTheFileNothingIsSelectedAndOkGivesMinusOne) {
    auto d = open();
    EXPECT_EQ(d->state()["camera"].toInt(), -1);
    EXPECT_TRUE(d->state()["resolutions"].toStringList().isEmpty());
    d->applyAnswer({});
    EXPECT_EQ(d->values().camera, -1);
    EXPECT_EQ(d->values().resolution, -1);
    EXPECT_EQ(d->values().imageFormat, QStringLiteral("jpg"));
}

TEST_F(DesktopSettingsDialog, RecordingDisablesTheCameraList) {
    m_fake.recording = true;
    auto d = open();
    EXPECT_FALSE(child<QComboBox>(*d, CSetConfig::kCameraList)->isEnabled());
    EXPECT_FALSE(d->state()["cameraListEnabled"].toBool());
}

TEST_F(DesktopSettingsDialog, ChosenFoldersGetOneSeparator) {
    auto d = open();
    m_ui.queueAnswer(QStringLiteral("folder"), QStringLiteral("/srv/pics"));
    d->onBrowse(true);
    EXPECT_EQ(d->state()["savePath"].toString(), QStringLiteral("/srv/pics/"));
    m_ui.queueAnswer(QStringLiteral("folder"), QStringLiteral("/"));
    d->onBrowse(false);
    EXPECT_EQ(d->state()["videoPath"].toString(), QStringLiteral("/"));
    // Cancelling the picker keeps what was there.
    d->onBrowse(true);
    EXPECT_EQ(d->state()["savePath"].toString(), QStringLiteral("/srv/pics/"));
    d->onConfigCamera();
    EXPECT_TRUE(m_fake.calls.contains(QStringLiteral("ConfigCameraFilter")));
}

TEST_F(DesktopSettingsDialog, ScriptAnswerFillsTheFieldsAsAPersonWould) {
    ASSERT_TRUE(writeAll(ini(), crlf({"[CamConfig]", "camera=0", "resolution=1"})));
    auto d = open();
    m_ui.queueAnswer(QStringLiteral("folder"), QStringLiteral("/srv/video"));
    d->applyAnswer({{"camera", 1},
                    {"resolution", 2},
                    {"format", "gif"},
                    {"rotation", 270},
                    {"dpi", 96},
                    {"color", 3},
                    {"url", "http://127.0.0.1/u"},
                    {"browseVideo", true},
                    {"interval", 3},
                    {"uploadDel", false}});
    const SettingsValues& v = d->values();
    EXPECT_EQ(v.camera, 1);
    EXPECT_EQ(v.resolution, 2);
    EXPECT_EQ(v.imageFormat, QStringLiteral("gif"));
    EXPECT_EQ(v.rotation, 270);
    EXPECT_EQ(v.dpi, 96);
    EXPECT_EQ(v.color, 3);
    EXPECT_EQ(v.url, QStringLiteral("http://127.0.0.1/u"));
    EXPECT_EQ(v.videoPath, QStringLiteral("/srv/video/"));
    EXPECT_EQ(v.interval, 3);
    EXPECT_FALSE(v.deleteAfterUpload);
}

TEST(DesktopWrapper, AMissingControlOrMemberGivesZeroValuesAndTheStatus) {
    CMorvelQxWeb none;
    EXPECT_EQ(none.RefreshDevList(), 0);
    EXPECT_EQ(none.lastStatus(), DispatchStatus::Unbound);
    EXPECT_EQ(none.GetCPicName(), QString());
    FakeControl fake;
    CMorvelQxWeb wrapper(&fake);
    EXPECT_EQ(wrapper.RefreshDevList(), 2);
    EXPECT_EQ(wrapper.lastStatus(), DispatchStatus::Ok);
    EXPECT_EQ(wrapper.GetDevNameByIdx(1), QStringLiteral("camera 1"));
    EXPECT_EQ(wrapper.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_EQ(wrapper.lastStatus(), DispatchStatus::UnknownDispid);
}

TEST(DesktopCamConfig, WritesNeedAnExistingFile) {
    Folder folder;
    const QString path = folder.file(QStringLiteral("QX_CamConfig.ini"));
    EXPECT_FALSE(camConfigOpensExisting(path));
    ASSERT_TRUE(writeFirstRunCamConfig(path));
    EXPECT_TRUE(camConfigOpensExisting(path));
    EXPECT_FALSE(writeFirstRunCamConfig(folder.file(QStringLiteral("missing/QX_CamConfig.ini"))));
    ScopedEnv dir("QX_CAMERA_CONFIG_DIR", folder.path() + QStringLiteral("cfg"));
    EXPECT_EQ(camConfigPath(), folder.path() + QStringLiteral("cfg/QX_CamConfig.ini"));
}

} // namespace
} // namespace qx::test
