// QX_Camera and qxbridge on a Wayland compositor: the live picture, a capture, the card panel and the
// recording window without their slides, the bridge's window.
#include "wayland_fixture.h"

#include "qx/desktop/script_hook.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QWebSocket>

namespace qx::test {
namespace {

QString identify(const QString& file) {
    QProcess identify;
    identify.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m %wx%h"), file});
    identify.waitForFinished(30000);
    return QString::fromUtf8(identify.readAllStandardOutput());
}

// How many pixels of two pictures of one size differ.
qsizetype differingPixels(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return -1;
    qsizetype count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            count += p[col] != q[col];
    }
    return count;
}

// Calls control methods over the bridge's WebSocket as a page does; the answers' results in order.
QList<QJsonValue> callOverBridge(quint16 port, const QList<std::pair<QString, QJsonArray>>& calls) {
    QWebSocket socket;
    QList<QJsonValue> results;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& text) {
        const QJsonObject answer = QJsonDocument::fromJson(text.toUtf8()).object();
        if (answer.contains(QStringLiteral("id")))
            results << answer.value(QStringLiteral("result"));
    });
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    QElapsedTimer timer;
    timer.start();
    while (socket.state() != QAbstractSocket::ConnectedState && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int i = 0; i < calls.size(); ++i) {
        const QJsonObject request{{QStringLiteral("id"), i},
                                  {QStringLiteral("op"), QStringLiteral("call")},
                                  {QStringLiteral("name"), calls[i].first},
                                  {QStringLiteral("args"), calls[i].second}};
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
    }
    while (results.size() < calls.size() && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return results;
}

class WaylandProgram : public WaylandTest {};

TEST_F(WaylandProgram, ShowsTheLivePictureAndCaptures) {
    ASSERT_TRUE(
        writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                 "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() + "\r\nImg-Format=jpg\r\n"));
    const QString widget = m_temp.file(QStringLiteral("main.png"));
    const QString screen = artifacts() + QStringLiteral("main-window.png");
    const QString path = script(R"JS(
        if (!app.click(1005)) throw new Error("capture refused");
        print(app.items().length, app.file(0));
        app.thumbnailsReady(10000);
        app.screenshot(host.args[0]);
        host.wait(2000); // the compositor's screenshot
    )JS");
    const Run r = run(QStringLiteral("QX_Camera"), {QStringLiteral("--script"), path, widget}, environment(),
                      {{widget, screen}});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("opacity"))) << r.err.toStdString();
    const QStringList fields = r.out.trimmed().split(QLatin1Char(' '));
    ASSERT_EQ(fields.size(), 2) << r.out.toStdString();
    EXPECT_EQ(fields[0], QStringLiteral("1"));
    EXPECT_TRUE(fields[1].startsWith(m_pictures.path())) << fields[1].toStdString();
    EXPECT_TRUE(identify(fields[1]).startsWith(QStringLiteral("JPEG "))) << identify(fields[1]).toStdString();

    // The program's own picture of its window shows the live document; the compositor's shows the window.
    const QImage shot(widget);
    ASSERT_EQ(shot.size(), QSize(917, 668));
    EXPECT_TRUE(desktop::showsPicture(shot.copy(QRect(11, 33, 693, 474))));
    EXPECT_EQ(identify(screen), QStringLiteral("PNG 1280x800"));
}

TEST_F(WaylandProgram, TheCardPanelAndTheRecordingWindowShowAndGoAtOnce) {
    ASSERT_TRUE(writeAll(m_config.file(QStringLiteral("QX_CamConfig.ini")),
                         "[CamConfig]\r\nSave-Path=" + m_pictures.path().toUtf8() +
                             "\r\nVideo-Path=" + m_pictures.path().toUtf8() + "\r\n"));
    const QString panelShot = m_temp.file(QStringLiteral("panel.png"));
    const QString videoShot = m_temp.file(QStringLiteral("video.png"));
    const QString path = script(R"JS(
        app.click(1024);
        // Shown whole at once: where the panel slides it is still hidden here.
        print(app.state().cardPanelVisible, app.panel.state().revealed);
        host.answer("card-settings", {seconds: 0});
        app.panel.click(1017);
        app.panel.click(1016);
        for (var i = 0; i < 200 && app.panel.rows().length < 1; ++i) host.wait(50);
        app.panel.click(1016);
        print(app.panel.rows().length, app.panel.text(1022));
        app.panel.screenshot(host.args[0]);
        host.wait(2000);
        app.click(1024);
        print(app.state().cardPanelVisible);
        app.click(1009);
        var w = host.window("video");
        print(w !== null && w.visible());
        host.wait(1500); // the live picture comes
        w.screenshot(host.args[1]);
        host.wait(2000);
        w.close();
        print(w.visible(), host.window("video") === null);
    )JS");
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QX_VIRTUAL_READER"), QStringLiteral(QX_TEST_DATA_DIR "/cards/card1.json"));
    const Run r =
        run(QStringLiteral("QX_Camera"), {QStringLiteral("--script"), path, panelShot, videoShot}, env,
            {{panelShot, artifacts() + QStringLiteral("card-panel.png")},
             {videoShot, artifacts() + QStringLiteral("recording-window.png")}});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("true 1"));
    EXPECT_EQ(lines[1], QStringLiteral("1 王小明"));
    EXPECT_EQ(lines[2], QStringLiteral("false"));
    EXPECT_EQ(lines[3], QStringLiteral("true"));
    EXPECT_EQ(lines[4], QStringLiteral("false true"));
    EXPECT_EQ(QImage(panelShot).size(), QSize(363, 668));
    EXPECT_FALSE(QImage(videoShot).isNull());
}

TEST_F(WaylandProgram, TheBridgeShowsItsWindowAndServesThePicture) {
    const QString empty = m_temp.file(QStringLiteral("empty.png"));
    ASSERT_TRUE(m_weston.screenshot(empty));
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QString settings = m_temp.file(QStringLiteral("qxbridge.ini"));
    ASSERT_TRUE(writeAll(settings, "[Bridge]\r\nPort=" + QByteArray::number(port) +
                                       "\r\nCaptureFolders=" + m_pictures.path().toUtf8() + "\r\n"));
    QProcess bridge;
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("HOME"), m_temp.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_temp.file(QStringLiteral("data")));
    bridge.setProcessEnvironment(env);
    bridge.start(binFolder() + QStringLiteral("qxbridge"),
                 {QStringLiteral("--settings"), settings, QStringLiteral("--window")});
    QByteArray log;
    QElapsedTimer timer;
    timer.start();
    while (!log.contains(" ready: ") && timer.elapsed() < 30000 && bridge.state() != QProcess::NotRunning) {
        bridge.waitForReadyRead(100);
        log += bridge.readAllStandardError();
    }
    ASSERT_TRUE(log.contains(" ready: ")) << log.toStdString();
    const QList<QJsonValue> results = callOverBridge(port, {{QStringLiteral("RefreshDevList"), {}},
                                                            {QStringLiteral("RefreshResolution"), {0}},
                                                            {QStringLiteral("SetResolution"), {0}},
                                                            {QStringLiteral("StartPreviewProc"), {}}});
    ASSERT_EQ(results.size(), 4);
    EXPECT_GT(results[0].toInt(), 0);
    EXPECT_EQ(results[3].toInt(-1), 0);

    const QString jpeg = m_temp.file(QStringLiteral("snapshot.jpg"));
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-sf"), QStringLiteral("-o"), jpeg,
                                        QStringLiteral("http://127.0.0.1:%1/snapshot.jpg").arg(port)});
    ASSERT_TRUE(curl.waitForFinished(30000));
    EXPECT_EQ(curl.exitCode(), 0) << curl.readAllStandardError().toStdString();
    EXPECT_TRUE(desktop::showsPicture(QImage(jpeg))) << identify(jpeg).toStdString();

    // The window is on the compositor's screen: most of its 800 x 600 pixels differ from the empty desktop.
    const QString screen = artifacts() + QStringLiteral("bridge-window.png");
    ASSERT_TRUE(m_weston.screenshot(screen));
    EXPECT_GT(differingPixels(QImage(empty), QImage(screen)), 800 * 600 / 2);

    bridge.terminate();
    ASSERT_TRUE(bridge.waitForFinished(15000));
    log += bridge.readAllStandardError();
    EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(bridge.exitCode(), 0) << log.toStdString();
}

} // namespace
} // namespace qx::test
