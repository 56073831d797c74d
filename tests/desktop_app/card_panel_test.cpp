// The card panel in the main dialog on the real control, card library and virtual reader: timed reads,
// the log, the photo, the settings dialog and the workbook export read back by openpyxl.
#include "app_fixture.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/card_log_export.h"
#include "qx/desktop/id_card_dlg.h"
#include "qx/desktop/idc_setting_dlg.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QTreeWidget>
#include <functional>

#include <xlsxwriter.h>

using namespace qx::desktop;

namespace qx::test {
namespace {

QString sampleCard(const char* name) {
    return QStringLiteral(QX_TEST_DATA_DIR "/cards/") + QLatin1String(name);
}

// A sample card's reader file with its photo path made absolute, so it can be written anywhere.
QJsonObject readerFile(const char* sample) {
    QJsonObject reader = QJsonDocument::fromJson(readAll(sampleCard(sample))).object();
    QJsonObject card = reader.value(QLatin1String("card")).toObject();
    const QString photo = card.value(QLatin1String("photo")).toString();
    if (!photo.isEmpty())
        card.insert(QLatin1String("photo"), QStringLiteral(QX_TEST_DATA_DIR "/cards/") + photo);
    reader.insert(QLatin1String("card"), card);
    return reader;
}

// Processes events until `done` holds or `timeoutMs` passed (a bound against a hang, not a timing).
bool waitFor(const std::function<bool()>& done, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        processEvents(20);
    }
    return true;
}

struct Workbook {
    QStringList sheets;
    QList<QStringList> values;
    QList<QStringList> types;
    QString error;
};

// The workbook as openpyxl reads it: sheet names, and each row's cell values and data types.
Workbook readWorkbook(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral(R"PY(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = [[("" if c.value is None else str(c.value)) for c in r] for r in sheet.iter_rows()]
types = [[c.data_type for c in r] for r in sheet.iter_rows()]
print(json.dumps({"sheets": book.sheetnames, "values": rows, "types": types}, ensure_ascii=False))
)PY"),
                                                      path});
    Workbook book;
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        book.error = QString::fromUtf8(python.readAllStandardError());
        return book;
    }
    const QJsonObject o = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (const QJsonValue& s : o.value(QLatin1String("sheets")).toArray())
        book.sheets << s.toString();
    for (const char* key : {"values", "types"})
        for (const QJsonValue& row : o.value(QLatin1String(key)).toArray()) {
            QStringList cells;
            for (const QJsonValue& c : row.toArray())
                cells << c.toString();
            (key[0] == 'v' ? book.values : book.types) << cells;
        }
    return book;
}

// The reader lives for the whole process and takes its file at the first read, so every test of
// this process lays its cards into the one file the process starts with.
QString readerPath() {
    static Folder folder;
    return folder.file(QStringLiteral("reader.json"));
}

class DesktopCardPanel : public DesktopMainDialog {
protected:
    void SetUp() override {
        qputenv("QX_VIRTUAL_READER", QFile::encodeName(readerPath()));
        // The control and the card library in a folder of this test's own, so the holder's photo
        // lies there and tests running side by side do not share it.
        for (const char* lib : {"libQXCameraCtrl.so", "libqx_media.so", "libKelpoCameraLibrary.so",
                                "libQX_IDCardRead.so", "libqmrapi.so"})
            ASSERT_TRUE(copyFile(binFolder() + QLatin1String(lib), m_modules.file(QLatin1String(lib))))
                << lib;
        ASSERT_TRUE(m_plugin.loadFile(m_modules.file(QStringLiteral("libQXCameraCtrl.so")),
                                      QLatin1String(identity::kControlClsid)))
            << m_plugin.errorText().toStdString();
        m_options.cardPhotoFolder = m_modules.path();
    }

    void layCard(const QJsonObject& reader) {
        // Written under another name and renamed, as the reader may look at any moment.
        const QString part = readerPath() + QStringLiteral(".part");
        ASSERT_TRUE(writeAll(part, QJsonDocument(reader).toJson()));
        ASSERT_TRUE(std::rename(QFile::encodeName(part).constData(),
                                QFile::encodeName(readerPath()).constData()) == 0);
    }
    void takeCardOff() { QFile::remove(readerPath()); }

    CIDCardDlg& openPanel(std::initializer_list<const char*> camConfig) {
        writeIni(camConfig);
        CQX_CameraDlg& dialog = create();
        EXPECT_TRUE(dialog.clickControl(id::kCardPanel));
        EXPECT_NE(dialog.cardPanel(), nullptr);
        return *dialog.cardPanel();
    }

    QString photoFile() const { return m_modules.file(QStringLiteral("ImgTemp.bmp")); }
    QStringList controlLog() const {
        return logTexts(m_tempFolder.file(QStringLiteral("QXCameraCtrlLog.txt")));
    }

    // Resumes, waits until the panel has `rows` rows, and pauses again.
    bool readUntilRows(CIDCardDlg& panel, int rows) {
        if (!panel.isReadingEnabled())
            panel.clickControl(card_id::kPauseResume);
        const bool done = waitFor([&] { return panel.logRows().size() >= rows; });
        panel.clickControl(card_id::kPauseResume);
        return done && !panel.isReadingEnabled();
    }

    Folder m_modules;
};

TEST_F(DesktopCardPanel, ReadingStartsDisabledAndTheFirstTickComesOneIntervalAfterTheResume) {
    layCard(readerFile("card1.json"));
    CIDCardDlg& panel = openPanel({"IDCTimeCount=2000"});
    EXPECT_FALSE(panel.isReadingEnabled());
    EXPECT_EQ(panel.pauseResumeBitmap(), 157);
    EXPECT_FALSE(panel.isTimerActive());
    processEvents(500);
    EXPECT_EQ(panel.readCount(), 0);

    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    EXPECT_TRUE(panel.isReadingEnabled());
    EXPECT_EQ(panel.pauseResumeBitmap(), 158);
    EXPECT_TRUE(panel.isTimerActive());
    EXPECT_EQ(panel.timerInterval(), 2000);
    EXPECT_EQ(panel.readCount(), 0); // the click itself reads nothing
    // Half an interval later there is still no tick; then the first one reads the card.
    processEvents(1000);
    EXPECT_EQ(panel.tickCount(), 0);
    ASSERT_TRUE(waitFor([&] { return panel.successCount() == 1; }));
    EXPECT_EQ(panel.tickCount(), 1);

    // Paused, the timer runs on but its ticks do nothing.
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    EXPECT_EQ(panel.pauseResumeBitmap(), 157);
    EXPECT_TRUE(panel.isTimerActive());
    const int ticks = panel.tickCount();
    const int reads = panel.readCount();
    processEvents(4500);
    EXPECT_EQ(panel.tickCount(), ticks);
    EXPECT_EQ(panel.readCount(), reads);
    // A resume starts the interval afresh.
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    EXPECT_GT(panel.timerRemaining(), 1000);
    EXPECT_EQ(panel.readCount(), reads);
}

TEST_F(DesktopCardPanel, RowsAreNumberedBySuccessfulReadsOnlyAndTheOldPhotoOutlivesAFailedRead) {
    layCard(readerFile("card1.json"));
    CIDCardDlg& panel = openPanel({"IDCTimeCount=0"});
    ASSERT_TRUE(readUntilRows(panel, 1));
    QList<QStringList> rows = panel.logRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].mid(0, 3), (QStringList{QStringLiteral("   1   "), QStringLiteral("110101199003070011"),
                                              QStringLiteral("王小明")}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"))
                    .match(rows[0][3])
                    .hasMatch())
        << rows[0][3].toStdString();
    const QStringList fields{QStringLiteral("王小明"),
                             QStringLiteral("男"),
                             QStringLiteral("汉"),
                             QStringLiteral("1990"),
                             QStringLiteral("03"),
                             QStringLiteral("07"),
                             QStringLiteral("北京市东城区示例路1号院2单元301室"),
                             QStringLiteral("110101199003070011"),
                             QStringLiteral("北京市公安局东城分局"),
                             QStringLiteral("2015.03.01-2035.03.01")};
    for (int i = 0; i < fields.size(); ++i)
        EXPECT_EQ(panel.controlText(card_id::kName + i), fields[i]) << card_id::kName + i;
    // The photo is the one the card library left beside the control.
    ASSERT_TRUE(panel.hasPhoto());
    const QImage left(photoFile());
    ASSERT_FALSE(left.isNull()) << photoFile().toStdString();
    EXPECT_EQ(panel.photo().convertToFormat(QImage::Format_RGB32),
              left.convertToFormat(QImage::Format_RGB32));
    // The row is the selected one.
    auto* log = qobject_cast<QTreeWidget*>(panel.controlById(card_id::kLog));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->indexOfTopLevelItem(log->currentItem()), 0);

    // No card: ticks read and fail, the fields are emptied, no row and no number is used.
    takeCardOff();
    const int reads = panel.readCount();
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    ASSERT_TRUE(waitFor([&] { return panel.readCount() >= reads + 3; }));
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    EXPECT_EQ(panel.logRows().size(), 1);
    for (int i = 0; i < fields.size(); ++i)
        EXPECT_EQ(panel.controlText(card_id::kName + i), QString()) << card_id::kName + i;
    EXPECT_FALSE(QFileInfo::exists(photoFile())); // the library took it away at the failed read
    EXPECT_TRUE(panel.hasPhoto());

    layCard(readerFile("card2.json"));
    ASSERT_TRUE(readUntilRows(panel, 2));
    rows = panel.logRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].mid(0, 3), (QStringList{QStringLiteral("   2   "), QStringLiteral("640104196508120025"),
                                              QStringLiteral("赵丽华")}));
    EXPECT_EQ(panel.controlText(card_id::kValidity), QStringLiteral("2010.05.20-长期"));
    EXPECT_EQ(log->indexOfTopLevelItem(log->currentItem()), 1);
    EXPECT_GT(panel.readCount(), panel.successCount());
}

TEST_F(DesktopCardPanel, AStoredIntervalOfZeroRunsTheTimerAtTheMinimumAndStaysZero) {
    layCard(readerFile("card1.json"));
    CIDCardDlg& panel = openPanel({"IDCTimeCount=0"});
    EXPECT_EQ(panel.readInterval(), 0);
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    EXPECT_EQ(panel.timerInterval(), CIDCardDlg::kMinimumTimerMs);
    EXPECT_EQ(CIDCardDlg::kMinimumTimerMs, 100);
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    // Saving 0 seconds in the settings stores "0", and the timer still runs at the minimum.
    m_ui.queueAnswer(QStringLiteral("card-settings"), QVariantMap{{QStringLiteral("seconds"), 0}});
    ASSERT_TRUE(panel.clickControl(card_id::kSettings));
    EXPECT_EQ(readIni("IDCTimeCount"), QStringLiteral("0"));
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    EXPECT_EQ(panel.timerInterval(), CIDCardDlg::kMinimumTimerMs);
}

TEST_F(DesktopCardPanel, TicksDuringARunningReadAreSkippedNotStackedOnIt) {
    layCard(readerFile("card1.json"));
    CIDCardDlg& panel = openPanel({"IDCTimeCount=0"});
    // While the control talks to the reader (over a second) the window's events go on: a pause and
    // resume clicked then restarts the timer, whose ticks (every 100 ms) come inside the read.
    int restarts = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (panel.isReading() && restarts < 2) {
            panel.clickControl(card_id::kPauseResume);
            panel.clickControl(card_id::kPauseResume);
            ++restarts;
        }
    });
    user.start(50);
    ASSERT_TRUE(readUntilRows(panel, 3));
    user.stop();
    EXPECT_EQ(restarts, 2);
    EXPECT_GT(panel.skippedTicks(), 0);
    EXPECT_EQ(panel.readCount(), panel.successCount());
    const QStringList log = controlLog();
    EXPECT_EQ(log.count(QStringLiteral("拍摄仪：读二代证成功！")), panel.readCount());
    EXPECT_FALSE(log.contains(QStringLiteral("正在读卡，忽略本次读卡请求!")));
}

TEST_F(DesktopCardPanel, ExportWritesTheLogAsStringCellsOfOneSheetAndStopsReading) {
    QJsonObject reader = readerFile("card2.json");
    QJsonObject card = reader.value(QLatin1String("card")).toObject();
    card.insert(QLatin1String("number"), QStringLiteral("64010419650812002X"));
    reader.insert(QLatin1String("card"), card);
    layCard(reader);
    CIDCardDlg& panel = openPanel({"IDCTimeCount=0"});
    ASSERT_TRUE(readUntilRows(panel, 2));
    const QList<QStringList> rows = panel.logRows();
    ASSERT_EQ(rows.size(), 2);

    Folder out;
    ASSERT_TRUE(panel.clickControl(card_id::kPauseResume));
    m_ui.queueAnswer(QStringLiteral("file-save"), out.file(QStringLiteral("流水.xls")));
    ASSERT_TRUE(panel.clickControl(card_id::kExport));
    EXPECT_FALSE(panel.isReadingEnabled());
    EXPECT_EQ(panel.pauseResumeBitmap(), 157);
    EXPECT_TRUE(m_ui.messages().isEmpty()) << m_ui.messages().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(out.file(QStringLiteral("流水.xls"))));
    const Workbook book = readWorkbook(out.file(QStringLiteral("流水.xlsx")));
    ASSERT_TRUE(book.error.isEmpty()) << book.error.toStdString();
    EXPECT_EQ(book.sheets, QStringList{QStringLiteral("刷卡流水记录")});
    ASSERT_EQ(book.values.size(), 3);
    EXPECT_EQ(book.values[0], (QStringList{QStringLiteral("序号"), QStringLiteral("身份证号"),
                                           QStringLiteral("姓    名"), QStringLiteral("刷卡时间")}));
    EXPECT_EQ(book.values[0], panel.logHeaders());
    EXPECT_EQ(book.values[1], rows[0]);
    EXPECT_EQ(book.values[2], rows[1]);
    EXPECT_EQ(book.values[1][0], QStringLiteral("   1   "));
    EXPECT_EQ(book.values[2][1], QStringLiteral("64010419650812002X"));
    for (const QStringList& types : book.types)
        EXPECT_EQ(types, (QStringList{QStringLiteral("s"), QStringLiteral("s"), QStringLiteral("s"),
                                      QStringLiteral("s")}));
    // No stray file beside it from the write.
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("流水.xlsx")});

    // Cancel: nothing written, nothing said.
    ASSERT_TRUE(panel.clickControl(card_id::kExport));
    EXPECT_TRUE(m_ui.messages().isEmpty());

    // A folder that does not exist: libxlsxwriter's own reason.
    m_ui.queueAnswer(QStringLiteral("file-save"), out.file(QStringLiteral("missing/log.xlsx")));
    ASSERT_TRUE(panel.clickControl(card_id::kExport));
    ASSERT_EQ(m_ui.messages().size(), 1);
    EXPECT_EQ(m_ui.messages()[0], QStringLiteral("创建excle数据库失败!\r\n错误信息:") +
                                      QString::fromUtf8(lxw_strerror(LXW_ERROR_CREATING_XLSX_FILE)));
    EXPECT_FALSE(m_ui.messages()[0].contains(QStringLiteral("没有安装Excel")));

    // A name that cannot be replaced (a folder holds it) keeps what is there.
    ASSERT_TRUE(QDir(out.path()).mkdir(QStringLiteral("held.xlsx")));
    m_ui.queueAnswer(QStringLiteral("file-save"), out.file(QStringLiteral("held.xlsx")));
    ASSERT_TRUE(panel.clickControl(card_id::kExport));
    ASSERT_EQ(m_ui.messages().size(), 2);
    EXPECT_TRUE(m_ui.messages()[1].startsWith(QStringLiteral("创建excle数据库失败!\r\n错误信息:")));
    EXPECT_GT(m_ui.messages()[1].size(), QStringLiteral("创建excle数据库失败!\r\n错误信息:").size());
    EXPECT_TRUE(QFileInfo(out.file(QStringLiteral("held.xlsx"))).isDir());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("流水.xlsx")});
}

// The panel on its own, without a control: what needs no card.
class DesktopCardPanelAlone : public ::testing::Test {
protected:
    std::unique_ptr<CIDCardDlg> make(const QByteArray& ini) {
        if (!ini.isNull()) {
            EXPECT_TRUE(writeAll(iniPath(), ini));
        }
        CardPanelOwner owner;
        owner.ui = &m_ui;
        owner.iniPath = iniPath();
        auto panel = std::make_unique<CIDCardDlg>(&m_main, owner);
        panel->setAttribute(Qt::WA_DeleteOnClose, false);
        return panel;
    }
    QString iniPath() const { return m_folder.file(QStringLiteral("QX_CamConfig.ini")); }
    QString ini(const char* key) const {
        return readCamConfig(iniPath(), kCamSection, key, QStringLiteral("<missing>"));
    }

    Folder m_folder;
    QWidget m_main;
    ScriptedUiHost m_ui;
};

TEST_F(DesktopCardPanelAlone, TheLogHasItsFourColumnsAndWithoutAControlEveryReadFails) {
    auto panel = make(QByteArray());
    EXPECT_EQ(panel->logHeaders(), (QStringList{QStringLiteral("序号"), QStringLiteral("身份证号"),
                                                QStringLiteral("姓    名"), QStringLiteral("刷卡时间")}));
    const int w = panel->logClientWidth();
    EXPECT_GT(w, 300);
    EXPECT_EQ(panel->logColumnWidths(), (QList<int>{w / 9, 7 * w / 18, w / 6, w / 3}));
    // An identity number and a time stamp fit their columns unshortened.
    const QFontMetrics metrics(panel->controlById(card_id::kLog)->font());
    EXPECT_LT(metrics.horizontalAdvance(QStringLiteral("11010519491231002X")), 7 * w / 18);
    EXPECT_LT(metrics.horizontalAdvance(QStringLiteral("2026-12-31 23:59:59")), w / 3);
    EXPECT_EQ(panel->readInterval(), 3000); // no settings file: the defaults
    EXPECT_EQ(panel->compositeFolder(), QString());
    ASSERT_TRUE(panel->clickControl(card_id::kPauseResume));
    EXPECT_EQ(panel->timerInterval(), 3000);
    panel->onTimer();
    EXPECT_EQ(panel->tickCount(), 1);
    EXPECT_TRUE(panel->logRows().isEmpty());
    EXPECT_FALSE(panel->hasPhoto());
    EXPECT_FALSE(panel->clickControl(4711));
}

TEST_F(DesktopCardPanelAlone, TheFieldsDrawNoBackgroundOverTheCard) {
    auto panel = make(QByteArray());
    panel->show();
    const QImage shot = panel->grab().toImage();
    const QImage skin = artworkImage(res::kCardPanelBackground, panel->size());
    for (int id = card_id::kName; id <= card_id::kValidity; ++id) {
        const QRect r = panel->controlById(id)->geometry();
        const QPoint probe = r.center();
        EXPECT_EQ(QColor(shot.pixel(probe)).rgb(), QColor(skin.pixel(probe)).rgb()) << id;
    }
    auto* edit = qobject_cast<QLineEdit*>(panel->controlById(card_id::kName));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_FALSE(edit->hasFrame());
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(qobject_cast<QLineEdit*>(panel->controlById(card_id::kBirthMonth))->alignment() &
                  Qt::AlignHCenter,
              Qt::AlignHCenter);
}

TEST_F(DesktopCardPanelAlone, SettingsShowWholeSecondsAndSaveMilliseconds) {
    auto panel = make("[CamConfig]\r\nIDCSavePath=/srv/cards/\r\nIDCTimeCount=2500\r\n");
    EXPECT_EQ(panel->readInterval(), 2500);
    EXPECT_EQ(panel->compositeFolder(), QStringLiteral("/srv/cards/"));
    ASSERT_TRUE(panel->clickControl(card_id::kPauseResume));
    m_ui.queueAnswer(QStringLiteral("card-settings"), QVariantMap{});
    ASSERT_TRUE(panel->clickControl(card_id::kSettings));
    const QVariantMap shown = panel->lastSettingsShown();
    EXPECT_EQ(shown.value(QStringLiteral("caption")).toString(), QStringLiteral("读卡设置"));
    EXPECT_EQ(shown.value(QStringLiteral("slider")).toInt(), 2);
    EXPECT_EQ(shown.value(QStringLiteral("seconds")).toString(), QStringLiteral("2"));
    EXPECT_EQ(shown.value(QStringLiteral("folder")).toString(), QStringLiteral("/srv/cards/"));
    EXPECT_EQ(ini("IDCTimeCount"), QStringLiteral("2000"));
    EXPECT_EQ(ini("IDCSavePath"), QStringLiteral("/srv/cards/"));
    EXPECT_EQ(panel->readInterval(), 2000);
    EXPECT_FALSE(panel->isReadingEnabled());
    EXPECT_EQ(panel->pauseResumeBitmap(), 157);

    ASSERT_TRUE(writeAll(iniPath(), "[CamConfig]\r\nIDCTimeCount=20000\r\n"));
    m_ui.queueAnswer(QStringLiteral("card-settings"), QVariantMap{});
    ASSERT_TRUE(panel->clickControl(card_id::kSettings));
    EXPECT_EQ(panel->lastSettingsShown().value(QStringLiteral("slider")).toInt(), 15);
    EXPECT_EQ(panel->lastSettingsShown().value(QStringLiteral("seconds")).toString(), QStringLiteral("15"));
    EXPECT_EQ(ini("IDCTimeCount"), QStringLiteral("15000"));
    EXPECT_EQ(panel->readInterval(), 15000);

    // 取消设置 changes nothing and still leaves reading off.
    ASSERT_TRUE(panel->clickControl(card_id::kPauseResume));
    m_ui.queueAnswer(QStringLiteral("card-settings"), QVariant());
    ASSERT_TRUE(panel->clickControl(card_id::kSettings));
    EXPECT_FALSE(panel->isReadingEnabled());
    EXPECT_EQ(panel->readInterval(), 15000);
    EXPECT_EQ(ini("IDCTimeCount"), QStringLiteral("15000"));
}

TEST_F(DesktopCardPanelAlone, TheFolderGetsItsSeparatorOnce) {
    auto panel = make("[CamConfig]\r\n");
    const auto save = [&](const QVariantMap& answer) {
        m_ui.queueAnswer(QStringLiteral("card-settings"), answer);
        EXPECT_TRUE(panel->clickControl(card_id::kSettings));
        return panel->compositeFolder();
    };
    m_ui.queueAnswer(QStringLiteral("folder"), QStringLiteral("/media/usb"));
    EXPECT_EQ(save({{QStringLiteral("browse"), true}}), QStringLiteral("/media/usb/"));
    m_ui.queueAnswer(QStringLiteral("folder"), QStringLiteral("/"));
    EXPECT_EQ(save({{QStringLiteral("browse"), true}}), QStringLiteral("/"));
    EXPECT_EQ(ini("IDCSavePath"), QStringLiteral("/"));
    // A cancelled folder picker keeps what the edit holds.
    EXPECT_EQ(save({{QStringLiteral("folder"), QStringLiteral("/data/")}, {QStringLiteral("browse"), true}}),
              QStringLiteral("/data/"));
    // A typed folder gets the separator too; an empty one stays empty (no card picture).
    EXPECT_EQ(save({{QStringLiteral("folder"), QStringLiteral("/data/cards")}}),
              QStringLiteral("/data/cards/"));
    EXPECT_EQ(save({{QStringLiteral("folder"), QString()}}), QString());
}

TEST_F(DesktopCardPanelAlone, WithoutTheSettingsFileNothingIsWritten) {
    auto panel = make(QByteArray());
    m_ui.queueAnswer(
        QStringLiteral("card-settings"),
        QVariantMap{{QStringLiteral("seconds"), 5}, {QStringLiteral("folder"), QStringLiteral("/x/")}});
    ASSERT_TRUE(panel->clickControl(card_id::kSettings));
    EXPECT_EQ(panel->readInterval(), 5000);
    EXPECT_EQ(panel->compositeFolder(), QStringLiteral("/x/"));
    EXPECT_EQ(panel->lastSettingsShown().value(QStringLiteral("slider")).toInt(), 3);
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
}

TEST_F(DesktopCardPanelAlone, TheSecondsFollowTheSlider) {
    ASSERT_TRUE(writeAll(iniPath(), "[CamConfig]\r\nIDCTimeCount=20000\r\n"));
    CIDCSettingDlg dialog(m_ui, iniPath());
    auto* slider = dialog.findChild<QSlider*>(QStringLiteral("1017"));
    auto* seconds = dialog.findChild<QLineEdit*>(QStringLiteral("1034"));
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(seconds, nullptr);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 15);
    EXPECT_EQ(seconds->text(), QStringLiteral("15"));
    EXPECT_TRUE(seconds->isReadOnly());
    EXPECT_EQ(seconds->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    slider->setSliderPosition(7);
    EXPECT_EQ(seconds->text(), QStringLiteral("7"));
    dialog.onSave();
    EXPECT_EQ(dialog.seconds(), 7);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(DesktopCardPanelAlone, AnEmptyLogIsReportedBeforeAnyDialog) {
    auto panel = make(QByteArray());
    ASSERT_TRUE(panel->clickControl(card_id::kPauseResume));
    m_ui.queueAnswer(QStringLiteral("file-save"), m_folder.file(QStringLiteral("log.xlsx")));
    ASSERT_TRUE(panel->clickControl(card_id::kExport));
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("流水明细为空!\n请刷卡再导出流水明细!")});
    EXPECT_FALSE(m_ui.askedKinds().contains(QStringLiteral("file-save")));
    EXPECT_EQ(m_ui.pendingAnswers(QStringLiteral("file-save")), 1);
    EXPECT_FALSE(QFileInfo::exists(m_folder.file(QStringLiteral("log.xlsx"))));
    EXPECT_FALSE(panel->isReadingEnabled());
}

TEST(DesktopCardLogExport, TypedNamesBecomeXlsx) {
    EXPECT_EQ(workbookPathFor(QStringLiteral("/a/log.xls")), QStringLiteral("/a/log.xlsx"));
    EXPECT_EQ(workbookPathFor(QStringLiteral("/a/log.XLS")), QStringLiteral("/a/log.XLSx"));
    EXPECT_EQ(workbookPathFor(QStringLiteral("/a/log.xlsx")), QStringLiteral("/a/log.xlsx"));
    EXPECT_EQ(workbookPathFor(QStringLiteral("/a/log")), QStringLiteral("/a/log.xlsx"));
    EXPECT_EQ(workbookPathFor(QStringLiteral("/a/log.txt")), QStringLiteral("/a/log.txt"));
}

} // namespace
} // namespace qx::test
