// QX_Camera as a user starts it: the script hook and the screenshot, in processes of their own.
#include "app_fixture.h"

#include "imaging/external_tools.h"
#include "qx/desktop/script_hook.h"
#include "support/page_clips.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

namespace qx::test {
namespace {

class DesktopProgram : public ::testing::Test {
protected:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };

    Run run(const QStringList& arguments, const QString& cameras = kTwoCameras, const QString& program = {},
            const QString& cardReader = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QX_VIRTUAL_CAMERAS"), cameras);
        if (!cardReader.isEmpty())
            env.insert(QStringLiteral("QX_VIRTUAL_READER"), cardReader);
        env.insert(QStringLiteral("QX_CAMERA_CONFIG_DIR"), m_config.path());
        env.insert(QStringLiteral("Temp"), m_temp.path());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(program.isEmpty() ? binFolder() + QStringLiteral("QX_Camera") : program, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        Run r;
        r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

    QString script(const QByteArray& code) {
        const QString path = m_temp.file(QStringLiteral("script.js"));
        EXPECT_TRUE(writeAll(path, code));
        return path;
    }

    Folder m_config;
    Folder m_temp;
    Folder m_pictures;
};

TEST_F(DesktopProgram, ScriptDrivesTheDialogAndTheProgramShutsDownAfterIt) {
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nImg-Format=gif\r\n"));
    const QString path = script(R"JS(
        print(app.ini());
        print(app.toolTip(1005), app.enabled(1010), app.checked(1001));
        if (!app.click(1005)) throw new Error("capture refused");
        print(app.items().length, app.file(0));
        app.select(0);
        print(app.enabled(1010), control.cPicName == app.file(0));
        host.answer("message", "no");
        app.click(1015);
        print(app.items().length, host.messages.length);
        app.click(1003);
        print(app.checked(1003), app.enabled(1006));
    )JS");
    const Run r = run({QStringLiteral("--script"), path});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << r.out.toStdString();
    EXPECT_EQ(lines[0], m_config.file(QStringLiteral("QX_CamConfig.ini")));
    EXPECT_EQ(lines[1], QStringLiteral("Ctrl+Z false true"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("1 ") + m_pictures.path()));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(".gif")));
    EXPECT_EQ(lines[3], QStringLiteral("true true"));
    EXPECT_EQ(lines[4], QStringLiteral("0 1"));
    EXPECT_EQ(lines[5], QStringLiteral("true true"));
    // The shut-down after the script stored the check box.
    EXPECT_TRUE(readAll(m_config.file(QStringLiteral("QX_CamConfig.ini"))).contains("Is-Merge=TRUE\r\n"));
}

TEST_F(DesktopProgram, TheWatermarkButtonStampsTheSelectedPicture) {
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nImg-Format=jpg\r\n"));
    QImage square(30, 30, QImage::Format_RGB32);
    square.fill(QColor(0, 0, 255));
    ASSERT_TRUE(square.save(m_temp.file(QStringLiteral("mark.png"))));
    const QString path = script(R"JS(
        if (!app.click(1005)) throw new Error("capture refused");
        app.select(0);
        host.answer("watermark", {text: "", image: host.env("Temp") + "/mark.png", imageX: 5, imageY: 6});
        app.click(1010);
        print(app.file(0), host.messages.join("|"));
    )JS");
    const Run r = run({QStringLiteral("--script"), path});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList fields = r.out.trimmed().split(QLatin1Char(' '));
    ASSERT_EQ(fields.size(), 2) << r.out.toStdString();
    EXPECT_EQ(fields[1], QStringLiteral("添加水印成功"));
    const QImage stamped(fields[0], "JPG");
    ASSERT_FALSE(stamped.isNull()) << fields[0].toStdString();
    EXPECT_GT(qBlue(stamped.pixel(20, 20)), 200);
    EXPECT_LT(qRed(stamped.pixel(20, 20)), 60);
}

TEST_F(DesktopProgram, TheProgressBarFollowsAMergeAndAPdfExportAndScriptsReadItAsItMoves) {
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nImg-Format=tif\r\n"));
    const QString path = script(R"JS(
        app.click(1003);
        for (var i = 0; i < 30; ++i)
            if (!app.click(1005)) throw new Error("capture refused");
        var seen = [];
        host.onEvent("progress", function (e) {
            seen.push(e.task + " " + e.done + "/" + e.total + " " + app.progress() + "/" + app.progressMaximum());
        });
        app.click(1006);
        print(seen.join(","));
        print(app.items().length, app.file(app.items().length - 1));
        seen = [];
        app.click(1003);
        app.select(app.items().length - 1);
        print(app.exportPdf() !== "");
        print(seen.join(","));
    )JS");
    const Run r = run({QStringLiteral("--script"), path});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    QStringList merge, pdf;
    for (int i = 0; i <= 30; ++i) {
        merge << QStringLiteral("merge %1/30 %1/30").arg(i);
        pdf << QStringLiteral("pdf-export %1/30 %1/30").arg(i);
    }
    EXPECT_EQ(lines[0], merge.join(QLatin1Char(',')));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1 ")) && lines[1].endsWith(QStringLiteral("-Merge.tif")))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], QStringLiteral("true"));
    EXPECT_EQ(lines[3], pdf.join(QLatin1Char(',')));
}

TEST_F(DesktopProgram, AScriptSeesACaptureListedAtOnceAndCanWaitForTheThumbnails) {
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nImg-Format=jpg\r\n"));
    const QString path = script(R"JS(
        var seen = [];
        for (var i = 0; i < 3; ++i) {
            if (!app.click(1005)) throw new Error("capture refused");
            seen.push(app.items().length + ":" + (app.file(i) === control.cPicName));
        }
        print(seen.join(" "));
        print(app.thumbnailsReady(30000), app.thumbnailsReady());
        // The script ends with thumbnails on their way: the shut-down goes without them.
        app.click(1005);
        app.click(1005);
        print(app.items().length);
    )JS");
    const Run r = run({QStringLiteral("--script"), path});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("1:true 2:true 3:true"));
    EXPECT_EQ(lines[1], QStringLiteral("true true"));
    EXPECT_EQ(lines[2], QStringLiteral("5"));
    EXPECT_EQ(QDir(m_pictures.path()).entryList({QStringLiteral("*.jpg")}, QDir::Files).size(), 5);
}

TEST_F(DesktopProgram, TheRecordButtonOpensTheRecordingWindowForScripts) {
    ASSERT_TRUE(writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                         "[CamConfig]\r\nVideo-Path=" + m_pictures.path().toUtf8() + "\r\n"));
    const QString shot = m_temp.file(QStringLiteral("video.png"));
    const QString path = script(R"JS(
        if (host.window("video") !== null) throw new Error("a window before the button");
        app.click(1009);
        var w = host.window("video");
        if (w === null) throw new Error("no recording window");
        w.click(218);
        host.wait(1700);
        var during = w.text(223);
        w.click(219);
        w.screenshot(host.args[0]);
        w.close();
        host.wait(700); // the slide out
        print(during, w.visible(), host.window("video") === null);
    )JS");
    const Run r = run({QStringLiteral("--script"), path, shot},
                      QStringLiteral("7e41:640x480,7e43:640x480;640x480/mjpg"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("00 : 00 : 01 false true\n"));
    const QStringList files = QDir(m_pictures.path()).entryList({QStringLiteral("*.avi")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_GT(QFileInfo(m_pictures.file(files[0])).size(), 10000);
    EXPECT_FALSE(QImage(shot).isNull());
}

TEST_F(DesktopProgram, TheTifToolButtonOpensTheToolForScriptsAndItsExportWorks) {
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nImg-Format=jpg\r\n"));
    const QString tiff = m_temp.file(QStringLiteral("pages.tif"));
    const QString shot = m_temp.file(QStringLiteral("tool.png"));
    const QString path = script(R"JS(
        if (host.window("tif-tool") !== null) throw new Error("a tool window before the button");
        if (!app.click(1005) || !app.click(1005)) throw new Error("capture refused");
        if (!app.click(1018)) throw new Error("TIF工具 refused");
        var w = host.window("tif-tool");
        if (w === null) throw new Error("no tool window");
        host.answer("file-open", [app.file(0), app.file(1)]);
        w.click("添加图片");
        host.answer("file-save", host.args[0]);
        print(w.click("生成TIF"), w.text(1008) === "共2页    " + host.args[0], w.screenshot(host.args[1]));
        print(host.messages[host.messages.length - 1]);
        print(app.file(0), app.file(1));
    )JS");
    const Run r = run({QStringLiteral("--script"), path, tiff, shot});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("true true true"));
    EXPECT_EQ(lines[1], QStringLiteral("生成TIF成功，共2页:"));
    EXPECT_EQ(lines[2], tiff);
    // Each page of the TIFF as tiffinfo reads it, against the capture it came from.
    const QStringList captures = lines[3].split(QLatin1Char(' '));
    ASSERT_EQ(captures.size(), 2);
    const QString info = runTool(QStringLiteral("tiffinfo"), {tiff}).text();
    EXPECT_EQ(info.count(QStringLiteral("TIFF Directory at offset")), 2) << info.toStdString();
    for (const QString& capture : captures) {
        const QImage picture(capture);
        ASSERT_FALSE(picture.isNull()) << capture.toStdString();
        EXPECT_TRUE(info.contains(
            QStringLiteral("Image Width: %1 Image Length: %2").arg(picture.width()).arg(picture.height())));
    }
    EXPECT_FALSE(QImage(shot).isNull());
}

// The program, the control and the card libraries copied into one folder, as they are installed: the
// panel finds the photo the card library leaves beside them without being told where.
TEST_F(DesktopProgram, TheCardPanelReadsShowsAndExportsThroughTheScriptHook) {
    Folder install;
    for (const char* file : {"QX_Camera", "libQXCameraCtrl.so", "libqx_media.so", "libKelpoCameraLibrary.so",
                             "libKelpoFilterImageResize.so", "libQX_IDCardRead.so", "libqmrapi.so"}) {
        ASSERT_TRUE(copyFile(binFolder() + QLatin1String(file), install.file(QLatin1String(file)))) << file;
    }
    ASSERT_TRUE(QFile::setPermissions(install.file(QStringLiteral("QX_Camera")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nIDCTimeCount=4000\r\n"));
    const QString shot = m_temp.file(QStringLiteral("panel.png"));
    const QString book = m_temp.file(QStringLiteral("log.xls"));
    const QString path = script(R"JS(
        var p = app.panel;
        print(p.bitmap(), p.rows().length, p.photo());           // no panel yet
        app.click(1024);
        print(p.bitmap(), p.state().timerActive, p.text(1016), p.enabled(1018));
        host.answer("card-settings", {seconds: 0, folder: host.args[2]});
        p.click(1017);
        print(p.settingsShown().slider, p.settingsShown().seconds, p.state().interval, p.state().folder);
        p.click(1016);
        for (var i = 0; i < 600 && p.rows().length < 1; ++i) host.wait(50);
        p.click(1016);
        print(JSON.stringify(p.rows()[0].slice(0, 3)), p.photo(), p.text(1022), p.text(1029));
        print(p.headers().join("|"));
        p.screenshot(host.args[0]);
        host.answer("file-save", host.args[1]);
        p.click(1016);
        p.click(1018);
        print(p.bitmap(), p.state().readingEnabled, host.messages.length);
    )JS");
    const Run r =
        run({QStringLiteral("--script"), path, shot, book, m_pictures.path()}, kTwoCameras,
            install.file(QStringLiteral("QX_Camera")), QStringLiteral(QX_TEST_DATA_DIR "/cards/card1.json"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("0 0 false"));
    EXPECT_EQ(lines[1], QStringLiteral("157 false 暂停读卡 true"));
    EXPECT_EQ(lines[2], QStringLiteral("4 4 0 ") + m_pictures.path());
    EXPECT_EQ(
        lines[3],
        QStringLiteral("[\"   1   \",\"110101199003070011\",\"王小明\"] true 王小明 110101199003070011"));
    EXPECT_EQ(lines[4], QStringLiteral("序号|身份证号|姓    名|刷卡时间"));
    EXPECT_EQ(lines[5], QStringLiteral("157 false 0"));
    EXPECT_TRUE(QFileInfo::exists(install.file(QStringLiteral("ImgTemp.bmp"))));
    // The settings reached the file: 0 seconds stored as "0".
    EXPECT_TRUE(readAll(m_config.file(QStringLiteral("QX_CamConfig.ini"))).contains("IDCTimeCount=0\r\n"));
    // With a folder set the control also composed the card picture there.
    EXPECT_TRUE(QFileInfo::exists(m_pictures.file(QStringLiteral("110101199003070011.bmp"))));

    EXPECT_FALSE(QFileInfo::exists(book));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import openpyxl, sys\n"
                                 "s = openpyxl.load_workbook(sys.argv[1])['刷卡流水记录']\n"
                                 "print(s.max_row, s.cell(2, 1).data_type, repr(s.cell(2, 1).value))"),
                  book + QLatin1Char('x')});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(), QStringLiteral("2 s '   1   '"))
        << python.readAllStandardError().toStdString();

    const QImage panel(shot);
    ASSERT_FALSE(panel.isNull());
    EXPECT_EQ(panel.size(), QSize(363, 668));
}

TEST_F(DesktopProgram, AutoCaptureListsEachPageOfAClipAndExcludesTheTimedCapture) {
    const PageClipPlan plan{.pages = 3, .emptyStart = 0.4, .turn = 0.6, .still = 0.9, .emptyEnd = 0.4};
    const QString clip = m_temp.file(QStringLiteral("pages.avi"));
    ASSERT_TRUE(writePageClip(plan, clip));
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nAutoSettleTime=400\r\n"));
    const QString path = script(R"JS(
        print(app.checked(1036), app.state().autoBadge === "");
        app.click(1004);
        print(app.checked(1004), app.enabled(1011));
        app.click(1036);
        print(app.checked(1036), app.checked(1004), app.enabled(1011), app.state().autoBadge);
        var deadline = Date.now() + Number(host.args[0]) * 1000 + 1000, states = {};
        while (Date.now() < deadline) {
            var e = host.waitEvent("autoCaptureState", deadline - Date.now());
            if (e) states[e.state] = true;
        }
        print(app.items().length, app.state().autoCount, Object.keys(states).sort().join(","));
        for (var i = 0; i < app.items().length; ++i) print(app.file(i));
        app.click(1004);
        print(app.checked(1036), app.state().autoBadge === "");
        app.click(1036);
    )JS");
    const Run r = run({QStringLiteral("--script"), path, QString::number(pageClipTimes(plan).end)},
                      QStringLiteral("7e41:640x480!file=") + clip);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("false true"));
    EXPECT_EQ(lines[1], QStringLiteral("true true"));
    EXPECT_EQ(lines[2], QStringLiteral("true false false 等待翻页")); // the timed capture made way
    EXPECT_EQ(lines[3], QStringLiteral("3 3 1,2,3"));
    for (int i = 0; i < 3; ++i) {
        // Listed as a click's picture: in the save folder, through the edge-finding capture.
        const QString file = lines[4 + i];
        EXPECT_TRUE(file.startsWith(m_pictures.path())) << file.toStdString();
        const std::vector<QString> marks = readMarks(file);
        ASSERT_EQ(marks.size(), 1u) << file.toStdString();
        EXPECT_EQ(marks.front(), pageMark(i));
    }
    EXPECT_EQ(lines[7], QStringLiteral("false true")); // the timed capture ended the hands-free one
    // It was on at the end: the settings file keeps it for the next start.
    const QByteArray ini = readAll(m_config.file(QStringLiteral("QX_CamConfig.ini")));
    EXPECT_TRUE(ini.contains("Is-AutoCap=TRUE\r\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("AutoSettleTime=400\r\n")) << ini.toStdString(); // read at start, kept
}

TEST_F(DesktopProgram, ExitStatusTellsHowTheScriptEnded) {
    Run r = run({QStringLiteral("--script"), script("throw new Error('stop here');")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("stop here"))) << r.err.toStdString();

    r = run({QStringLiteral("--script"), m_temp.file(QStringLiteral("absent.js"))});
    EXPECT_EQ(r.status, 1);

    r = run({QStringLiteral("--script"), script("print('never');")}, QString());
    EXPECT_EQ(r.status, 3);
    EXPECT_FALSE(r.out.contains(QStringLiteral("never")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("未检测到Qorvane拍摄仪"))) << r.err.toStdString();

    r = run({});
    EXPECT_EQ(r.status, 2); // no display and nothing unattended to do
}

TEST_F(DesktopProgram, ScreenshotShowsTheLivePicture) {
    const QString png = m_temp.file(QStringLiteral("shot.png"));
    const Run r = run({QStringLiteral("--screenshot"), png});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage shot(png);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(917, 668));
    // The live document lies in the picture area: far from one flat colour there.
    const QImage picture = shot.copy(QRect(11, 33, 693, 474));
    EXPECT_TRUE(desktop::showsPicture(picture));
    QProcess identify;
    identify.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m %wx%h"), png});
    ASSERT_TRUE(identify.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(identify.readAllStandardOutput()), QStringLiteral("PNG 917x668"));
}

} // namespace
} // namespace qx::test
