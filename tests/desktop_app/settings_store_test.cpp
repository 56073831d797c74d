// The settings in use on the real control: the start-up read, the first run and the writes back.
#include "app_fixture.h"

#include "qx/desktop/settings_store.h"

#include <QFileInfo>
#include <QImage>

using namespace qx::desktop;

namespace qx::test {
namespace {

class DesktopSettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_control.wrapper().RefreshDevList(), 2); }
    QString ini() const { return m_config.file(QStringLiteral("QX_CamConfig.ini")); }
    void writeIni(std::initializer_list<const char*> lines) { ASSERT_TRUE(writeAll(ini(), crlf(lines))); }
    QString readIni(const char* key, const char* section = kCamSection) const {
        return readCamConfig(ini(), section, key, QStringLiteral("<missing>"));
    }
    // The preview as the main dialog starts it after the settings are read.
    void startPreview() {
        m_control.wrapper().KelpoCapturePlay();
        m_control.wrapper().SetCropMargin(0);
    }
    // The resolution the control gives a picture taken now: the width of the camera in use shows in it.
    int pictureDpi() {
        CMorvelQxWeb& c = m_control.wrapper();
        if (c.Morvel(QStringLiteral("jpg")) != 0)
            return -1;
        return qRound(QImage(c.GetCPicName()).dotsPerMeterX() * 0.0254);
    }

    Folder m_config;
    Folder m_save;
    ScriptedUiHost m_ui;
    StandaloneControl m_control{m_ui};
    SettingsStore m_store{m_control.wrapper(), ini()};
};

TEST_F(DesktopSettingsStore, TheFileGivesTheValuesAndSelectsCameraAndSaveFolder) {
    const QByteArray save = m_save.path().toUtf8();
    writeIni({"[CamConfig]", "camera=1", "resolution=0", "Img-Format=gif", "Img-Rotate=270", "Img-DPI=300",
              "Img-Color=2", ("Save-Path=" + save).constData(), "Video-Path=/srv/video/", "URL=http://h/u",
              "UpLoad-Del=FALSE", "PDF-Del=TRUE", "TickTime=12"});
    const QByteArray before = readAll(ini());
    const StartupBoxes boxes = m_store.load(2);
    const CamSettings& v = m_store.values();
    EXPECT_EQ(v.camera, 1);
    EXPECT_EQ(v.resolution, 0);
    EXPECT_EQ(v.imageFormat, QStringLiteral("gif"));
    EXPECT_EQ(v.savedImageFormat, QStringLiteral("gif"));
    EXPECT_EQ(v.rotation, 270);
    EXPECT_EQ(v.dpi, 300);
    EXPECT_EQ(v.color, 2);
    EXPECT_EQ(v.savePath, m_save.path());
    EXPECT_EQ(v.videoPath, QStringLiteral("/srv/video/"));
    EXPECT_EQ(v.url, QStringLiteral("http://h/u"));
    EXPECT_FALSE(v.deleteAfterUpload);
    EXPECT_TRUE(v.deleteAfterPdf);
    EXPECT_EQ(v.tickTime, 12);
    // Missing keys: the boxes are cleared, the hotkey is Ctrl+Z.
    EXPECT_FALSE(boxes.firstRun);
    EXPECT_EQ(boxes.mergeMode, std::optional<bool>(false));
    EXPECT_EQ(boxes.barcode, std::optional<bool>(false));
    EXPECT_EQ(boxes.timedMode, std::optional<bool>(false));
    EXPECT_EQ(v.hotkeyText(), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(v.hotkeyKey, 'Z');
    EXPECT_EQ(readAll(ini()), before); // reading writes nothing

    EXPECT_EQ(m_control.wrapper().GetCustomSavePath(), m_save.path());
    // The second camera (640 pixels wide) takes the picture, into the save folder.
    startPreview();
    EXPECT_EQ(pictureDpi(), 52);
    EXPECT_TRUE(m_control.wrapper().GetCPicName().startsWith(m_save.path()));
}

TEST_F(DesktopSettingsStore, TheUploadsTlsCheckGoesToTheControlOnlyWhereTheFileSetsIt) {
    CMorvelQxWeb& c = m_control.wrapper();
    writeIni({"[CamConfig]", "camera=0", "URL=https://h/u"});
    m_store.load(2);
    EXPECT_TRUE(c.GetBTlsVerify());
    EXPECT_EQ(c.GetStrTlsCaFile(), QString());

    writeIni({"[CamConfig]", "camera=0", "TlsCaFile=certs/counter.pem", "TlsVerify=FALSE"});
    const QByteArray before = readAll(ini());
    m_store.load(2);
    EXPECT_FALSE(c.GetBTlsVerify());
    EXPECT_EQ(c.GetStrTlsCaFile(), m_config.file(QStringLiteral("certs/counter.pem")));
    EXPECT_EQ(readAll(ini()), before);
}

TEST_F(DesktopSettingsStore, TheSearchablePdfBoxGoesToTheControlAndIsWrittenOnceTheFileHasIt) {
    CMorvelQxWeb& c = m_control.wrapper();
    // A file that never named it: the control's own setting stands and no write adds the key.
    writeIni({"[CamConfig]", "camera=0"});
    m_store.load(2);
    EXPECT_FALSE(m_store.values().pdfText);
    ASSERT_TRUE(m_store.writeAtShutDown(false, false, false));
    EXPECT_EQ(readIni("PDF-OCR"), QStringLiteral("<missing>"));

    writeIni({"[CamConfig]", "camera=0", "PDF-OCR=TRUE", "OCR-Lang=chi_tra+eng"});
    m_store.load(2);
    EXPECT_TRUE(c.GetBPdfOcr());
    EXPECT_EQ(c.GetStrOcrLanguages(), QStringLiteral("chi_tra+eng"));
    SettingsValues answer = m_store.dialogSeed();
    EXPECT_TRUE(answer.pdfText);
    answer.pdfText = false;
    m_store.applyDialog(answer, true);
    EXPECT_FALSE(c.GetBPdfOcr());
    EXPECT_EQ(readIni("PDF-OCR"), QStringLiteral("FALSE"));
    EXPECT_EQ(readIni("OCR-Lang"), QStringLiteral("chi_tra+eng")); // only read
}

TEST_F(DesktopSettingsStore, OnlyTrueAndFalseSetTheBoxesAndFlags) {
    writeIni(
        {"[CamConfig]", "Is-Merge=TRUE", "BarCode=yes", "Is-TimeCap=true", "UpLoad-Del=1", "PDF-Del=TRUE"});
    const StartupBoxes boxes = m_store.load(2);
    EXPECT_EQ(boxes.mergeMode, std::optional<bool>(true));
    EXPECT_EQ(boxes.barcode, std::nullopt);
    EXPECT_EQ(boxes.timedMode, std::nullopt);
    EXPECT_TRUE(m_store.values().deleteAfterUpload); // other text keeps the value in use
    EXPECT_TRUE(m_store.values().deleteAfterPdf);
}

TEST_F(DesktopSettingsStore, AnUnusableCameraIsCameraZeroAndOnlyThatKeyIsRewritten) {
    for (const char* camera : {"camera=2", "camera=-1"}) {
        writeIni({"[CamConfig]", camera, "resolution=1", "TickTime=7"});
        QByteArray expected = readAll(ini());
        expected.replace(camera, "camera=0");
        SettingsStore store(m_control.wrapper(), ini());
        store.load(2);
        EXPECT_EQ(store.values().camera, 0) << camera;
        EXPECT_EQ(store.values().resolution, 1);
        EXPECT_EQ(store.values().tickTime, 7);
        EXPECT_EQ(readAll(ini()), expected) << camera;
    }
}

TEST_F(DesktopSettingsStore, HotkeySectionRules) {
    struct Case {
        std::initializer_list<const char*> section;
        int modifiers;
        int key;
        const char* text;
    };
    const Case cases[] = {
        {{"[HOTKEY]", "Ctrl=1", "Letter=a"}, kModCtrl, 'Z', "Ctrl+a"}, // read without regard to case
        {{"[Hotkey]", "Ctrl=0", "Alt=1", "Shift=1", "Letter=7x"}, kModAlt, '7', "Alt+7x"},
        {{"[Hotkey]", "Ctrl=0", "Alt=0", "Shift=1", "Letter=Q"}, kModShift, 'Q', "Shift+Q"},
        {{"[Hotkey]", "Ctrl=0", "Alt=0", "Shift=0"}, 0, 'Z', "+Z"},
        // Other text at a step keeps what was read before it; an empty letter means no key at all.
        {{"[Hotkey]", "Ctrl=yes", "Alt=1", "Letter="}, kModCtrl, 0, "Ctrl+"},
        {{"[Hotkey]", "Ctrl=0", "Alt=2", "Shift=1"}, kModCtrl, 'Z', "Ctrl+Z"},
    };
    for (const Case& c : cases) {
        QByteArray text = "[CamConfig]\r\ncamera=0\r\n";
        text += crlf(c.section);
        ASSERT_TRUE(writeAll(ini(), text));
        SettingsStore store(m_control.wrapper(), ini());
        store.load(2);
        const CamSettings& v = store.values();
        EXPECT_EQ(v.hotkeyModifiers, c.modifiers) << c.text;
        EXPECT_EQ(v.hotkeyKey, c.key) << c.text;
        EXPECT_EQ(v.hotkeyText(), QString::fromLatin1(c.text));
        EXPECT_EQ(readAll(ini()), text); // never written
    }
}

TEST_F(DesktopSettingsStore, TheFirstRunWritesTheFileAndStartsFromTheDefaults) {
    m_control.wrapper().SetCustomSavePath(m_save.path());
    const StartupBoxes boxes = m_store.load(2);
    EXPECT_TRUE(boxes.firstRun);
    EXPECT_EQ(boxes.mergeMode, std::optional<bool>(false));
    EXPECT_EQ(boxes.barcode, std::optional<bool>(false));
    EXPECT_EQ(boxes.timedMode, std::optional<bool>(false));
    const CamSettings& v = m_store.values();
    EXPECT_EQ(v.camera, 0);
    EXPECT_EQ(v.imageFormat, QStringLiteral("jpg"));
    EXPECT_EQ(v.savedImageFormat, QStringLiteral("jpg"));
    EXPECT_EQ(v.videoPath, defaultVideoPath());
    EXPECT_EQ(v.savePath, QString());
    EXPECT_TRUE(v.deleteAfterUpload);
    EXPECT_EQ(v.tickTime, 5);
    EXPECT_EQ(v.hotkeyText(), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(m_control.wrapper().GetCustomSavePath(), QString());
    EXPECT_EQ(readIni("Img-Format"), QStringLiteral("jpg"));
    EXPECT_EQ(readIni("IDCTimeCount"), QStringLiteral("3000"));
    EXPECT_EQ(readIni("Letter", kHotkeyReadSection), QStringLiteral("Z"));
    // The first camera at its first size (1280 pixels wide) is selected.
    startPreview();
    EXPECT_EQ(pictureDpi(), 105);

    // A folder where the file cannot be made: the program runs on the same values without one.
    SettingsStore nowhere(m_control.wrapper(), m_config.file(QStringLiteral("missing/QX_CamConfig.ini")));
    EXPECT_TRUE(nowhere.load(2).firstRun);
    EXPECT_EQ(nowhere.values().savedImageFormat, QStringLiteral("jpg"));
    EXPECT_FALSE(QFileInfo::exists(m_config.file(QStringLiteral("missing"))));
}

TEST_F(DesktopSettingsStore, SettingsOkWritesTheDialogsKeysAndRestartsAChangedCamera) {
    writeIni({"[CamConfig]", "camera=0", "resolution=0", "Img-Rotate=45", "Is-Merge=TRUE"});
    m_store.load(2);
    startPreview();
    EXPECT_EQ(pictureDpi(), 105);
    SettingsValues answer = m_store.dialogSeed();
    EXPECT_EQ(answer.rotation, 45);
    EXPECT_EQ(answer.imageFormat, QStringLiteral("jpg"));
    answer.camera = 1;
    // The settings dialog lists the sizes of the camera chosen in it.
    m_control.wrapper().RefreshResolution(1);
    answer.imageFormat = QStringLiteral("tif");
    answer.savePath = m_save.path();
    answer.url = QStringLiteral("http://127.0.0.1:9/x");
    answer.deleteAfterPdf = true;
    answer.interval = 9;
    m_store.applyDialog(answer, true);
    const CamSettings& v = m_store.values();
    EXPECT_EQ(v.camera, 1);
    EXPECT_EQ(v.imageFormat, QStringLiteral("tif"));
    EXPECT_EQ(v.savedImageFormat, QStringLiteral("tif"));
    EXPECT_EQ(v.tickTime, 9);
    EXPECT_EQ(m_control.wrapper().GetCustomSavePath(), m_save.path());
    EXPECT_EQ(readIni("camera"), QStringLiteral("1"));
    EXPECT_EQ(readIni("Img-Format"), QStringLiteral("tif"));
    EXPECT_EQ(readIni("Img-Rotate"), QStringLiteral("45"));
    EXPECT_EQ(readIni("Save-Path"), m_save.path());
    EXPECT_EQ(readIni("PDF-Del"), QStringLiteral("TRUE"));
    EXPECT_EQ(readIni("TickTime"), QStringLiteral("9"));
    EXPECT_EQ(readIni("Is-Merge"), QStringLiteral("TRUE")); // not a key of the dialog
    EXPECT_EQ(readIni("Is-TimeCap"), QStringLiteral("<missing>"));
    EXPECT_EQ(pictureDpi(), 52); // the second camera runs

    // No readable file behind the dialog (-1): the camera in use stays.
    answer.camera = -1;
    answer.resolution = -1;
    m_store.applyDialog(answer, true);
    EXPECT_EQ(v.camera, 1);
    EXPECT_EQ(v.resolution, 0);
    EXPECT_EQ(readIni("camera"), QStringLiteral("1"));
}

TEST_F(DesktopSettingsStore, SettingsCancelTakesNothingAndWritesNothing) {
    writeIni({"[CamConfig]", "camera=0", "Img-Format=bmp"});
    m_store.load(2);
    const QByteArray before = readAll(ini());
    SettingsValues answer = m_store.dialogSeed();
    answer.imageFormat = QStringLiteral("gif");
    answer.savePath = m_save.path();
    m_store.applyDialog(answer, false);
    EXPECT_EQ(m_store.values().savedImageFormat, QStringLiteral("bmp"));
    EXPECT_EQ(m_store.values().savePath, QString());
    EXPECT_EQ(m_control.wrapper().GetCustomSavePath(), QString());
    EXPECT_EQ(readAll(ini()), before);
}

TEST_F(DesktopSettingsStore, BothWritesAddMissingKeysInTheirOwnOrder) {
    writeIni({"[CamConfig]"});
    m_store.load(2);
    m_store.values().videoPath = QStringLiteral("/v/");
    ASSERT_TRUE(m_store.writeAtShutDown(false, true, false));
    EXPECT_EQ(readAll(ini()),
              crlf({"[CamConfig]", "Is-Merge=FALSE", "BarCode=TRUE", "Img-Format=jpg", "Img-Rotate=0",
                    "Img-DPI=0", "Img-Color=0", "Save-Path=", "Video-Path=/v/", "URL=", "UpLoad-Del=FALSE",
                    "PDF-Del=FALSE", "Is-TimeCap=FALSE", "TickTime=5"}));

    writeIni({"[CamConfig]"});
    SettingsValues answer = m_store.dialogSeed();
    answer.rotation = 90;
    m_store.applyDialog(answer, true);
    EXPECT_EQ(readAll(ini()),
              crlf({"[CamConfig]", "camera=0", "resolution=0", "Img-Format=jpg", "Img-Rotate=90", "Img-DPI=0",
                    "Img-Color=0", "Save-Path=", "Video-Path=/v/", "URL=", "UpLoad-Del=FALSE",
                    "PDF-Del=FALSE", "TickTime=5"}));
}

TEST_F(DesktopSettingsStore, ShutDownWritesItsKeysOnlyIntoAFileThatIsThere) {
    writeIni({"[CamConfig]", "Img-Format=bmp", "URL=http://127.0.0.1:9/up"});
    m_store.load(2);
    m_store.values().imageFormat = QStringLiteral("jpg"); // forced by merge mode
    ASSERT_TRUE(m_store.writeAtShutDown(true, false, true));
    EXPECT_EQ(readIni("Is-Merge"), QStringLiteral("TRUE"));
    EXPECT_EQ(readIni("BarCode"), QStringLiteral("FALSE"));
    EXPECT_EQ(readIni("Is-TimeCap"), QStringLiteral("TRUE"));
    EXPECT_EQ(readIni("Img-Format"), QStringLiteral("jpg"));
    EXPECT_EQ(readIni("URL"), QStringLiteral("http://127.0.0.1:9/up"));
    EXPECT_EQ(readIni("UpLoad-Del"), QStringLiteral("FALSE"));
    EXPECT_EQ(readIni("TickTime"), QStringLiteral("5"));
    EXPECT_EQ(readIni("camera"), QStringLiteral("<missing>")); // only the dialog writes it

    ASSERT_TRUE(QFile::remove(ini()));
    EXPECT_FALSE(m_store.writeAtShutDown(false, false, false));
    EXPECT_FALSE(QFileInfo::exists(ini()));
}

} // namespace
} // namespace qx::test
