// Runs qxscript as a separate process on small scripts and checks its output, status and the log.
#include "imaging/external_tools.h"
#include "support/page_clips.h"
#include "support/test_support.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QtEndian>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

struct ScriptRun {
    int status = -1;
    QString out;
    QString err;
};

class QxScriptTest : public ::testing::Test {
protected:
    ScriptRun run(const QByteArray& script, const QStringList& options = {}, const QStringList& args = {}) {
        const QString path = m_work.file(QStringLiteral("script.js"));
        EXPECT_TRUE(writeAll(path, script));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("Temp"), m_temp.path());
        env.insert(QStringLiteral("QX_TEST_VALUE"), QStringLiteral("forty-two"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(binFolder() + QStringLiteral("qxscript"), options + QStringList{path} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        ScriptRun r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QStringList log() const { return logTexts(m_temp.file(QStringLiteral("QXCameraCtrlLog.txt"))); }

    Folder m_work;
    Folder m_temp;
};

TEST_F(QxScriptTest, PrintsPropertyDefaultsAfterASet) {
    const ScriptRun r =
        run("control.CustomSavePath = \"/tmp/x/\"; print(control.CustomSavePath, control.WriteLog, "
            "control.asfBitRate, control.nColorSpace);");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("/tmp/x/ true 1000 0\n"));
}

TEST_F(QxScriptTest, AutomationResultConventions) {
    const ScriptRun r = run(R"JS(
        print(typeof control.IsMerge(), typeof control.GetBase64String("/nonexistent"),
              typeof control.RefreshDevList(), typeof control.GetDevNameByIdx(0),
              typeof control.bShowMsgBox, typeof control.pDPI);
        print(control.SetDevNameSel(1), control.GetDevNameByIdx(5) === "", control.Morvel("jpg"));
        control.nRotateAngle = 90;
        print(host.get(37), host.invoke(56), host.invoke(52, 0) === "");
        host.put(16, "A001");
        print(control.CustomImgName);
    )JS");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral(
                         "boolean boolean number string boolean number\n1 true -10\n90 true true\nA001\n"));
}

TEST_F(QxScriptTest, HostRecordsMessagesAndAnswersDialogs) {
    const QString jpg = m_work.file(QStringLiteral("a.jpg"));
    ASSERT_TRUE(writeAll(jpg, "jpeg"));
    const ScriptRun r = run(R"JS(
        control.StartPreviewProc();
        host.answer("file-open", [host.args[0], host.args[0]]);
        control.SelectLocalImgs();
        print(control.RefreshLocalImg(), control.GetLocalImgName(1));
        host.answer("file-open", null);
        control.SelectLocalImgs();
        print(control.RefreshLocalImg());
        print(JSON.stringify(host.messages));
        host.wait(20);
        print(host.env("QX_TEST_VALUE"), host.env("QX_TEST_UNSET_VARIABLE") === "");
    )JS",
                            {}, {jpg});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 a.jpg\n0\n[\"没有Qorvane拍摄仪!\"]\nforty-two true\n"));
}

TEST_F(QxScriptTest, MergeCapturesMergedThroughTheSettingsDialogsAnswer) {
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240"));
    Folder pictures;
    const ScriptRun r = run(R"JS(
        control.RefreshDevList(); control.RefreshResolution(0); control.StartPreviewProc();
        control.CustomSavePath = host.args[0];
        for (var i = 0; i < 3; ++i) { control.IsMerge(); control.Morvel("jpg"); }
        host.answer("merge-settings", {gap: 8, red: 0, green: 0, blue: 255, vertical: false, columns: 3});
        print(control.MergeImage());
        print(control.cPicName);
    )JS",
                            {}, {pictures.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("0"));
    const QImage merged(lines[1]);
    ASSERT_EQ(merged.size(), QSize(3 * 320 + 2 * 8, 240)) << lines[1].toStdString();
    EXPECT_GT(qBlue(merged.pixel(323, 100)), 200);
    EXPECT_LT(qRed(merged.pixel(323, 100)), 60);
    EXPECT_EQ(QDir(pictures.path()).entryList(QDir::Files), QStringList{QFileInfo(lines[1]).fileName()});
}

TEST_F(QxScriptTest, AMergeOfThirtyPicturesIsFollowedFromAScriptWhileItRuns) {
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:640x480"));
    Folder pictures;
    // The handler runs inside MergeImage: what it sees is the merge as it goes, and the merged file's
    // pages are not all there before the last report.
    const ScriptRun r = run(R"JS(
        control.RefreshDevList(); control.RefreshResolution(0); control.StartPreviewProc();
        control.CustomSavePath = host.args[0];
        for (var i = 0; i < 30; ++i) { control.IsMerge(); control.Morvel("tif"); }
        var seen = [], during = true;
        host.onEvent("progress", function (e) {
            seen.push(e.task + " " + e.done + "/" + e.total);
            during = during && !/-Merge\.tif$/.test(control.cPicName);
        });
        print(control.MergeImage());
        print(control.cPicName);
        print(seen.join(","), during);
        print(host.waitEvent("progress", 0) === null);
        // A handler that throws: the merge still ends, the script fails.
        for (var i = 0; i < 2; ++i) { control.IsMerge(); control.Morvel("jpg"); }
        host.onEvent("progress", function (e) { if (e.done == 1) throw new Error("stop here"); });
        host.answer("merge-settings", null);
        print(control.MergeImage());
    )JS",
                            {}, {pictures.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("progress handler")) &&
                r.err.contains(QStringLiteral("stop here")))
        << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("0"));
    QStringList expected;
    for (int i = 0; i <= 30; ++i)
        expected << QStringLiteral("merge %1/30").arg(i);
    EXPECT_EQ(lines[2], expected.join(QLatin1Char(',')) + QStringLiteral(" true"));
    EXPECT_EQ(lines[3], QStringLiteral("true")); // handled events are not queued as well
    EXPECT_EQ(lines[4], QStringLiteral("0"));
    const ToolRun info = runTool(QStringLiteral("tiffinfo"), {lines[1]});
    EXPECT_EQ(info.text().count(QStringLiteral("TIFF Directory")), 30) << lines[1].toStdString();
}

TEST_F(QxScriptTest, HandsFreeCaptureTakesEachPageOfAClipOnceAndAnnouncesIt) {
    // Ten pages turned by hand on the file-fed camera; their still time is kept short here (the
    // benchmark lets a page lie for 30 s), the settle time is the default.
    const PageClipPlan plan{.emptyStart = 0.6, .turn = 0.7, .still = 1.3, .emptyEnd = 0.8};
    const QString clip = m_work.file(QStringLiteral("pages.avi"));
    QString error;
    ASSERT_TRUE(writePageClip(plan, clip, &error)) << error.toStdString();
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:640x480!file=") + clip);
    Folder pictures;
    const ScriptRun r = run(R"JS(
        var settle = control.nAutoSettleTime;
        print("before preview", control.StartAutoCapture("jpg"), control.GetAutoCaptureState());
        control.RefreshDevList(); control.RefreshResolution(0); control.SetResolution(0);
        control.CustomSavePath = host.args[0];
        control.StartPreviewProc();
        print("start", control.StartAutoCapture("jpg"), settle);
        var deadline = Date.now() + Number(host.args[1]) * 1000 + 1000;
        var states = {};
        while (Date.now() < deadline) {
            var e = host.waitEvent("captured", deadline - Date.now());
            if (e) print("captured", e.result, e.path);
        }
        for (var s = host.waitEvent("autoCaptureState", 0); s; s = host.waitEvent("autoCaptureState", 0))
            states[s.state] = true;
        print("count", control.GetAutoCaptureCount(), "states", Object.keys(states).sort().join(","));
        print("stop", control.StopAutoCapture(), control.GetAutoCaptureState());
    )JS",
                            {}, {pictures.path(), QString::number(pageClipTimes(plan).end)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4) << r.out.toStdString();
    EXPECT_EQ(lines.front(), QStringLiteral("before preview -10 0"));
    EXPECT_EQ(lines[1], QStringLiteral("start 0 800"));
    QStringList marks;
    for (const QString& line : lines.mid(2, lines.size() - 4)) {
        const QStringList parts = line.split(QLatin1Char(' '));
        ASSERT_EQ(parts.size(), 3) << line.toStdString();
        EXPECT_EQ(parts[1], QStringLiteral("0")) << line.toStdString();
        const std::vector<QString> found = readMarks(parts[2]);
        EXPECT_EQ(found.size(), 1u) << parts[2].toStdString();
        marks << (found.empty() ? QStringLiteral("none") : found.front());
    }
    QStringList expected;
    for (int i = 0; i < plan.pages; ++i)
        expected << pageMark(i);
    EXPECT_EQ(marks, expected) << r.out.toStdString(); // each page once, in order, and nothing else
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("count 10 states 1,2,3"));
    EXPECT_EQ(lines.back(), QStringLiteral("stop 0 0"));
    EXPECT_EQ(QDir(pictures.path()).entryList(QDir::Files).size(), 10);
}

TEST_F(QxScriptTest, ACaptureIsStampedThroughTheWatermarkDialogsAnswer) {
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:640x480"));
    Folder pictures;
    QImage square(40, 30, QImage::Format_RGB32);
    square.fill(QColor(0, 0, 255));
    ASSERT_TRUE(square.save(pictures.file(QStringLiteral("mark.png"))));
    const ScriptRun r = run(R"JS(
        control.RefreshDevList(); control.RefreshResolution(0); control.StartPreviewProc();
        control.CustomSavePath = host.args[0];
        print(control.Morvel("jpg"));
        var picture = control.cPicName;
        host.answer("watermark", {text: "", image: host.args[0] + "mark.png", imageX: 20.9, imageY: 10});
        print(control.AddWaterMark());
        print(control.cPicName == picture ? picture : "moved");
        print(host.messages.join("|"));
    )JS",
                            {}, {pictures.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("0"));
    EXPECT_EQ(lines[1], QStringLiteral("0"));
    EXPECT_EQ(lines[3], QStringLiteral("添加水印成功"));
    const QImage stamped(lines[2], "JPG");
    ASSERT_EQ(stamped.size(), QSize(640, 480)) << lines[2].toStdString();
    EXPECT_GT(qBlue(stamped.pixel(40, 25)), 200);
    EXPECT_LT(qRed(stamped.pixel(40, 25)), 60);
    EXPECT_TRUE(QFileInfo::exists(m_temp.file(QStringLiteral("WaterMarkData.ini"))));
}

// A copy of the control with the real camera and card libraries beside it, so the holder's photo
// "ImgTemp.bmp" lies in a folder of the test's own.
class CardScriptTest : public QxScriptTest {
protected:
    void SetUp() override {
        for (const char* lib : {"libQXCameraCtrl.so", "libqx_media.so", "libKelpoCameraLibrary.so",
                                "libQX_IDCardRead.so", "libqmrapi.so"})
            ASSERT_TRUE(copyFile(binFolder() + QLatin1String(lib), m_control.file(QLatin1String(lib))))
                << lib;
    }
    ScriptRun read(const QString& cardJson, const QByteArray& script, const QStringList& args = {}) {
        ScopedEnv reader("QX_VIRTUAL_READER", cardJson);
        return run(script,
                   {QStringLiteral("--control"), m_control.file(QStringLiteral("libQXCameraCtrl.so"))}, args);
    }
    static QString card(const char* name) {
        return QStringLiteral(QX_TEST_DATA_DIR "/cards/") + QLatin1String(name);
    }
    QString photo() const { return m_control.file(QStringLiteral("ImgTemp.bmp")); }

    Folder m_control;
    Folder m_cards;
};

const QByteArray kPrintCard = R"JS(
    var ok = control.IDCardRead(host.args[0]);
    print(ok);
    print([control.idName, control.idSex, control.idNation, control.idBirth, control.idBirthYear,
           control.idBirthMonth, control.idBirthDay, control.idNum, control.idValidity].join("|"));
    print(control.idAddress);
    print(control.idIssue);
    print(control.ImgName);
    print(control.strIDHeadData);
    print(control.sIDInfoChar);
)JS";

TEST_F(CardScriptTest, ACardReadOnTheVirtualReaderFillsEveryField) {
    const ScriptRun r = read(card("card1.json"), kPrintCard, {m_cards.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 8) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("true"));
    EXPECT_EQ(lines[1],
              QStringLiteral("王小明|男|汉|1990-03-07|1990|03|07|110101199003070011|2015.03.01-2035.03.01"));
    EXPECT_EQ(lines[2], QStringLiteral("北京市东城区示例路1号院2单元301室"));
    EXPECT_EQ(lines[3], QStringLiteral("北京市公安局东城分局"));
    EXPECT_FALSE(lines[6].contains(QLatin1Char(0x0d)));
    EXPECT_TRUE(lines[6].contains(QStringLiteral("name='王小明'")));

    // The card picture, rewritten as 24-bit, read by ImageMagick.
    const QString picture = m_cards.file(lines[4]);
    const QByteArray bmp = readAll(picture);
    ASSERT_GT(bmp.size(), 54) << picture.toStdString();
    EXPECT_EQ(uint8_t(bmp[28]), 24);
    EXPECT_EQ(uint8_t(bmp[10]), 54);
    QProcess identify;
    identify.start(QStringLiteral("identify"),
                   {QStringLiteral("-format"), QStringLiteral("%m %z %w"), picture});
    ASSERT_TRUE(identify.waitForFinished(30000));
    const QStringList shown = QString::fromUtf8(identify.readAllStandardOutput()).split(QLatin1Char(' '));
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], QStringLiteral("BMP3"));
    EXPECT_EQ(shown[1], QStringLiteral("8"));
    EXPECT_EQ(shown[2].toInt(), int(qFromLittleEndian<qint32>(bmp.constData() + 18)));

    // The photo's copy is the library's photo, and its Base64 is coreutils'.
    const QByteArray holder = readAll(photo());
    ASSERT_FALSE(holder.isEmpty());
    EXPECT_EQ(readAll(m_cards.file(QStringLiteral("110101199003070011-head.bmp"))), holder);
    QProcess base64;
    base64.start(QStringLiteral("base64"), {QStringLiteral("-w0"), photo()});
    ASSERT_TRUE(base64.waitForFinished(30000));
    EXPECT_EQ(lines[5].toLatin1(), base64.readAllStandardOutput());
}

TEST_F(CardScriptTest, WantedNamesDeletionAndTheEmptyFolder) {
    const ScriptRun r = read(card("card2.json"), R"JS(
        control.IDCardImgName = "card.bmp";
        control.IDHeadImgName = "face.bmp";
        print(control.IDCardRead(host.args[0]), control.ImgName, control.idValidity, control.idSex);
        control.bDeleteIDBmp = true;
        print(control.IDCardRead(host.args[0]), control.strIDHeadData.length > 0);
        print(control.IDCardRead(""), control.strCardImgSavePath == "");
    )JS",
                             {m_cards.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("true card.bmp 2010.05.20-长期 女"));
    EXPECT_EQ(lines[1], QStringLiteral("true true"));
    EXPECT_EQ(lines[2], QStringLiteral("true true"));
    // After the deleting read nothing is left in the folder.
    EXPECT_EQ(QDir(m_cards.path()).entryList(QDir::Files), QStringList());
    EXPECT_TRUE(log().contains(QStringLiteral("拍摄仪：二代证路径为空，不生成合成图片！")));
}

TEST_F(CardScriptTest, NoCardAndAMuteReaderFailTheRead) {
    ASSERT_TRUE(writeAll(m_cards.file(QStringLiteral("none.json")), R"({"card": null})"));
    ScriptRun r = read(m_cards.file(QStringLiteral("none.json")), "print(control.IDCardRead(host.args[0]));",
                       {m_cards.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("false\n"));
    EXPECT_TRUE(log().contains(QStringLiteral("读取二代证信息失败!")));
    EXPECT_FALSE(QFileInfo::exists(photo()));

    QByteArray mute = readAll(card("card1.json"));
    mute.replace("\"sam_id\"", "\"faults\": {\"mute_after_reports\": 3}, \"sam_id\"");
    ASSERT_TRUE(writeAll(m_cards.file(QStringLiteral("mute.json")), mute));
    const QString copied = m_cards.file(QStringLiteral("card1_photo.jpg"));
    ASSERT_TRUE(copyFile(card("card1_photo.jpg"), copied));
    r = read(m_cards.file(QStringLiteral("mute.json")), "print(control.IDCardRead(''), control.idName);");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("false \n"));
}

TEST_F(QxScriptTest, TheRecordingWindowIsReachedThroughHostWindow) {
    ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:640x480,7e43:640x480;640x480/mjpg"));
    Folder videos;
    const QString shot = m_work.file(QStringLiteral("window.png"));
    const ScriptRun r = run(R"JS(
        print(host.window("video") === null, control.VideoRecord(host.args[0]), control.bIsRecord);
        var w = host.window("video");
        print(w.visible(), w.text(218), w.text(223), w.text(227), w.select(227, 1), w.text(227));
        print(w.select(227, 2), w.select(227, 0), w.click(9999), w.text(9999) === "");
        w.click(218);
        host.wait(1200);
        w.click(219);
        print(w.screenshot(host.args[1]));
        w.close();
        host.wait(700); // the slide out
        print(w.visible(), host.window("video") === null, w.click(218), control.RefreshDevList() > 0, control.bIsRecord);
    )JS",
                            {}, {videos.path(), shot});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("true 0 true\ntrue 开始录像 00 : 00 : 00 AVI true ASF\n"
                                    "false true false true\ntrue\nfalse true false true false\n"));
    const QStringList files = QDir(videos.path()).entryList({QStringLiteral("*.avi")}, QDir::Files);
    EXPECT_EQ(files.size(), 1);
    const QImage window(shot);
    ASSERT_FALSE(window.isNull());
    EXPECT_GE(window.width(), 340);
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("录像：开始!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("录像：析构!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("释放录像对话框资源!")));
}

// The size of each page tiffinfo finds, "WxH", in the file's order.
QStringList tiffPageSizes(const QString& path) {
    QStringList sizes;
    const QRegularExpression size(QStringLiteral("Image Width: (\\d+) Image Length: (\\d+)"));
    for (auto m = size.globalMatch(runTool(QStringLiteral("tiffinfo"), {path}).text()); m.hasNext();) {
        const auto match = m.next();
        sizes << match.captured(1) + u'x' + match.captured(2);
    }
    return sizes;
}

TEST_F(QxScriptTest, TheTifToolIsDrivenThroughHostWindowWithItsDialogsAnswered) {
    ASSERT_TRUE(QImage(320, 200, QImage::Format_RGB32).save(m_work.file(QStringLiteral("wide.bmp"))));
    QImage tall(150, 260, QImage::Format_RGB32);
    tall.fill(QColor(0, 0, 200));
    ASSERT_TRUE(tall.save(m_work.file(QStringLiteral("tall.jpg"))));
    ASSERT_TRUE(writeAll(m_work.file(QStringLiteral("three.tif")), "the user's older file"));
    const QString shot = m_work.file(QStringLiteral("tool.png"));
    const QString dir = QDir::cleanPath(m_work.path());
    const ScriptRun r = run(R"JS(
        var dir = host.args[0];
        print(host.window("tif-tool") === null);
        control.TifTool();
        var w = host.window("tif-tool");
        print(w.visible(), w.text(1008), w.text(1001), w.enabled("生成TIF"));
        host.answer("file-open", [dir + "/wide.bmp", dir + "/tall.jpg"]);
        print(w.click("添加图片"), w.text(1008));
        host.answer("file-save", dir + "/two.tif");
        print(w.click(1005));
        // A third page, then two files that exist: No keeps the one, Yes replaces the other.
        host.answer("file-open", [dir + "/wide.bmp"]);
        w.click(1001);
        host.answer("file-save", dir + "/two.tif");
        host.answer("question", false);
        w.click("生成TIF");
        host.answer("file-save", dir + "/three.tif");
        host.answer("question", true);
        w.click("生成TIF");
        print(w.select(1007, 1), w.text(1007).replace("\n", " "), w.select(1007, 3));
        host.answer("file-save", dir + "/page2.png");
        w.click("导出所选页");
        print(w.screenshot(host.args[1]));
        print(JSON.stringify(host.messages));
        print(w.close(), w.visible(), host.window("tif-tool") === null, w.click(1001));
    )JS",
                            {}, {dir, shot});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString messages =
        QStringLiteral("[\"生成TIF成功，共2页:\\n%1/two.tif\",\"文件已存在，是否覆盖?\\n%1/two.tif\","
                       "\"文件已存在，是否覆盖?\\n%1/three.tif\",\"生成TIF成功，共3页:\\n%1/three.tif\","
                       "\"导出成功，共1页\"]")
            .arg(dir);
    EXPECT_EQ(r.out, QStringLiteral("true\ntrue 共0页 添加图片 true\ntrue 共2页\ntrue\ntrue 第2页 150 x 260 "
                                    "false\ntrue\n") +
                         messages + QStringLiteral("\ntrue false true false\n"));
    // No kept the two pages; Yes replaced the older file with all three.
    EXPECT_EQ(tiffPageSizes(m_work.file(QStringLiteral("two.tif"))),
              (QStringList{QStringLiteral("320x200"), QStringLiteral("150x260")}));
    EXPECT_EQ(tiffPageSizes(m_work.file(QStringLiteral("three.tif"))),
              (QStringList{QStringLiteral("320x200"), QStringLiteral("150x260"), QStringLiteral("320x200")}));
    const QImage page2(m_work.file(QStringLiteral("page2.png")));
    EXPECT_EQ(page2.size(), QSize(150, 260));
    EXPECT_GT(qBlue(page2.pixel(75, 130)), 150);
    EXPECT_GE(QImage(shot).width(), 600);
    // Nothing of the writes is left beside the files.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tif-tool")),
              QStringList());
}

TEST_F(QxScriptTest, ThrownExceptionExitsWithOneAndStillDestroysTheControl) {
    const ScriptRun r = run("print('before'); throw new Error('broken script');");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, QStringLiteral("before\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("broken script"))) << r.err.toStdString();
    EXPECT_EQ(log().last(), QStringLiteral("控件释放!"));
}

TEST_F(QxScriptTest, BadDispidCallsThrow) {
    const ScriptRun r =
        run("try { host.invoke(99); } catch (e) { print('caught', e.message); } host.get(47);");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("caught DISPID 99"))) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("DISPID 47"))) << r.err.toStdString();
}

TEST_F(QxScriptTest, ControlThatCannotBeCreatedExitsWithTwo) {
    const QString notAPlugin = m_work.file(QStringLiteral("libQXCameraCtrl.so"));
    ASSERT_TRUE(writeAll(notAPlugin, "not a library"));
    const ScriptRun r = run("print('never');", {QStringLiteral("--control"), notAPlugin});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot create the control"))) << r.err.toStdString();

    const ScriptRun missing =
        run("print('never');", {QStringLiteral("--control"), m_work.file(QStringLiteral("none.so"))});
    EXPECT_EQ(missing.status, 2);
}

TEST_F(QxScriptTest, ACopyInAnotherFolderLoadsItsOwnLibraries) {
    Folder copy;
    ASSERT_TRUE(copyFile(binFolder() + QStringLiteral("libQXCameraCtrl.so"),
                         copy.file(QStringLiteral("libQXCameraCtrl.so"))));
    // The control's own dependency travels with it.
    ASSERT_TRUE(copyFile(binFolder() + QStringLiteral("libqx_media.so"),
                         copy.file(QStringLiteral("libqx_media.so"))));
    ASSERT_TRUE(
        installTestLibraries(copy.path(), {QStringLiteral("camera_full"), QStringLiteral("idcard_full")}));
    const ScriptRun r = run("print(host.controlInfo.ProgID, host.controlInfo.Version);",
                            {QStringLiteral("--control"), copy.file(QStringLiteral("libQXCameraCtrl.so"))});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("QXCAMERA.QXCameraCtrl.1 1.4.0.0\n"));
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("Current Load Path:Success,") + copy.path()))
        << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("加载寻二代证库函数成功!")));
    EXPECT_TRUE(QFile::exists(copy.file(QStringLiteral("OCXConfig.ini"))));

    // Without --control, the control beside qxscript is the one created.
    const ScriptRun plain = run("print(control.StopPreview());");
    EXPECT_EQ(plain.status, 0);
    EXPECT_TRUE(log().contains(QStringLiteral("Current Load Path:Success,") + binFolder()));
}

} // namespace
} // namespace qx::test
