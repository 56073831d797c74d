// QX_Camera as a user starts it: the script hook and the screenshot, in processes of their own.
#include "app_fixture.h"

#include "qx/desktop/script_hook.h"

#include <QColor>
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

    Run run(const QStringList& arguments, const QString& cameras = kTwoCameras) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QX_VIRTUAL_CAMERAS"), cameras);
        env.insert(QStringLiteral("QX_CAMERA_CONFIG_DIR"), m_config.path());
        env.insert(QStringLiteral("Temp"), m_temp.path());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(binFolder() + QStringLiteral("QX_Camera"), arguments);
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
