// The desktop portal's paths on Wayland against a stand-in on a private bus: the screen cut's
// Screenshot request (a picture, a refusal, no answer) and the hotkey through GlobalShortcuts.
#include "wayland_fixture.h"

namespace qx::test {
namespace {

class WaylandPortal : public WaylandTest {
protected:
    // A "screen" the stand-in hands over: every pixel tells where it lies.
    QImage screenPattern() const {
        QImage pattern(1280, 800, QImage::Format_RGB32);
        for (int y = 0; y < pattern.height(); ++y)
            for (int x = 0; x < pattern.width(); ++x)
                pattern.setPixel(x, y, qRgb(x * 3 % 256, y * 5 % 256, (x + y) % 256));
        return pattern;
    }

    // control.ScreenCut() in qxscript: a rectangle dragged from (220, 160) to (320, 240) and saved.
    Run cut(const QString& bmp, const QProcessEnvironment& env) {
        const QString path = script(R"JS(
            host.answer("file-save", host.args[0]);
            host.answer("screen-cut", [["press", 219, 159], ["move", 320, 240], ["release", 320, 240],
                                       ["dblclick", 250, 200]]);
            control.ScreenCut();
        )JS");
        return run(QStringLiteral("qxscript"), {path, bmp}, env);
    }

    QStringList log() const { return logTexts(m_temp.file(QStringLiteral("QXCameraCtrlLog.txt"))); }
};

TEST_F(WaylandPortal, TheScreenCutTakesThePortalsPictureAndRemovesOnlyThePortalsFile) {
    const QImage pattern = screenPattern();
    const QString picture = m_temp.file(QStringLiteral("pattern.png"));
    ASSERT_TRUE(pattern.save(picture));
    const QString reference = m_temp.file(QStringLiteral("reference.png"));
    ASSERT_TRUE(pattern.copy(220, 160, 100, 80).save(reference));

    // The portal's own place: its files go once read.
    const QString store = m_weston.runtimeDir() + QStringLiteral("/portal");
    ASSERT_TRUE(QDir().mkpath(store));
    {
        PortalStandIn portal(m_bus, {QStringLiteral("--screenshot"), QStringLiteral("answer"),
                                     QStringLiteral("--picture"), picture, QStringLiteral("--store"), store});
        ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
        const QString bmp = m_pictures.file(QStringLiteral("cut.bmp"));
        const Run r = cut(bmp, environment());
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(portal.record().contains(QStringLiteral("Screenshot modal=True interactive=False")))
            << portal.record().toStdString();
        QProcess compare;
        compare.start(QStringLiteral("compare"), {QStringLiteral("-metric"), QStringLiteral("AE"), bmp,
                                                  reference, QStringLiteral("null:")});
        ASSERT_TRUE(compare.waitForFinished(30000));
        EXPECT_EQ(QString::fromUtf8(compare.readAllStandardError()).trimmed(), QStringLiteral("0"));
        EXPECT_EQ(QDir(store).entryList(QDir::Files), QStringList()) << "the portal's file is left behind";
    }

    // A file the portal wrote elsewhere (GNOME's saves into the pictures folder) is the user's: kept.
    Folder userPictures;
    {
        PortalStandIn portal(m_bus, {QStringLiteral("--screenshot"), QStringLiteral("answer"),
                                     QStringLiteral("--picture"), picture, QStringLiteral("--store"),
                                     userPictures.path()});
        ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
        const Run r = cut(m_pictures.file(QStringLiteral("second.bmp")), environment());
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(QFileInfo::exists(m_pictures.file(QStringLiteral("second.bmp"))));
        EXPECT_TRUE(QFileInfo::exists(userPictures.file(QStringLiteral("Screenshot-1.png"))));
    }
}

TEST_F(WaylandPortal, ARefusalOrNoAnswerGivesNoPictureAndSaysWhy) {
    const QString bmp = m_pictures.file(QStringLiteral("cut.bmp"));
    {
        PortalStandIn portal(m_bus, {QStringLiteral("--screenshot"), QStringLiteral("1")});
        ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
        const Run r = cut(bmp, environment());
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(log().contains(QStringLiteral(
            "截屏失败，无法获取屏幕图像:desktop portal: the user declined the screenshot (response 1)")))
            << log().join(QLatin1Char('\n')).toStdString();
    }
    {
        PortalStandIn portal(m_bus, {QStringLiteral("--screenshot"), QStringLiteral("2")});
        ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
        ASSERT_EQ(cut(bmp, environment()).status, 0);
        EXPECT_TRUE(log().contains(QStringLiteral("截屏失败，无法获取屏幕图像:desktop portal: the screenshot "
                                                  "request ended without a picture (response 2)")));
    }
    {
        PortalStandIn portal(m_bus, {QStringLiteral("--screenshot"), QStringLiteral("silent")});
        ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("QX_PORTAL_TIMEOUT_MS"), QStringLiteral("400"));
        ASSERT_EQ(cut(bmp, env).status, 0);
        EXPECT_TRUE(log().contains(QStringLiteral(
            "截屏失败，无法获取屏幕图像:desktop portal: no answer to the screenshot request within 400 ms")));
        // The request is taken back, so the portal's question does not stay on the screen.
        EXPECT_TRUE(portal.record().contains(QStringLiteral("Request.Close")))
            << portal.record().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(bmp));
}

TEST_F(WaylandPortal, TheHotkeyIsBoundThroughThePortalAndItsActivationCaptures) {
    ASSERT_TRUE(writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                         "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() +
                             "\r\n[HotKey]\r\nCtrl=0\r\nAlt=1\r\nLetter=Q\r\n"));
    PortalStandIn portal(
        m_bus, {QStringLiteral("--shortcuts"), QStringLiteral("--activate-after"), QStringLiteral("300")});
    ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
    const QString path = script(R"JS(
        for (var i = 0; i < 250 && !app.hotkey().registered; ++i) host.wait(20);
        print(app.hotkey().registered);
        for (var i = 0; i < 250 && app.items().length < 1; ++i) host.wait(20);
        print(app.items().length, app.file(0));
    )JS");
    const Run r = run(QStringLiteral("QX_Camera"), {QStringLiteral("--script"), path}, environment());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("true"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1 ") + m_pictures.path())) << lines[1].toStdString();
    const QString record = portal.record();
    EXPECT_TRUE(record.contains(QStringLiteral("BindShortcuts capture ALT+q 拍照"))) << record.toStdString();
    // The shut-down closes the portal session.
    EXPECT_TRUE(record.contains(QStringLiteral("Session.Close"))) << record.toStdString();
}

TEST_F(WaylandPortal, WithoutGlobalShortcutsTheHotkeyIsNotRegisteredAndSaysSo) {
    PortalStandIn portal(m_bus, {QStringLiteral("--screenshot"), QStringLiteral("2")});
    ASSERT_TRUE(portal.ready()) << portal.failure().toStdString();
    const QString path = script(R"JS(
        host.wait(300);
        print(app.hotkey().registered, app.click(1005), app.items().length);
    )JS");
    const Run r = run(QStringLiteral("QX_Camera"), {QStringLiteral("--script"), path}, environment());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("false true 1\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("QX_Camera: the global hotkey is not available on this Wayland "
                                              "session: the desktop portal offers no GlobalShortcuts")))
        << r.err.toStdString();
}

} // namespace
} // namespace qx::test
