// Measures a running qxbridge as a page meets it: property round trips and preview frames per second.
//
//   build/bench/bridge_bench [GETS] [SECONDS]
// starts build/bin/qxbridge on a 1920x1080 virtual camera and prints the median and 99th percentile
// of GETS sequential property gets (without and with the preview running), then the frames per second one
// client receives from /preview.mjpg at full size and at 640 px width over SECONDS each.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QWebSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Counts complete JPEG parts of a multipart stream read for `seconds`.
double framesPerSecond(quint16 port, const QByteArray& target, double seconds, double& kilobytesPerFrame) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return 0;
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
    QByteArray pending;
    qint64 bytes = 0;
    int parts = -1; // the first boundary comes with the first frame
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000) {
        if (!socket.waitForReadyRead(100))
            continue;
        const QByteArray chunk = socket.readAll();
        bytes += chunk.size();
        pending += chunk;
        qsizetype at = 0;
        while ((at = pending.indexOf("--qxframe\r\n")) >= 0) {
            ++parts;
            pending.remove(0, at + 11);
        }
    }
    kilobytesPerFrame = parts > 0 ? bytes / 1024.0 / parts : 0;
    return parts / seconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int gets = argc > 1 ? std::max(10, std::atoi(argv[1])) : 5000;
    const double seconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 10.0;

    QTemporaryDir home;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    QDir().mkpath(home.filePath(QStringLiteral("pics")));
    QFile ini(home.filePath(QStringLiteral("qxbridge.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Bridge]\r\nPort=" + QByteArray::number(port) +
              "\r\nCaptureFolders=" + home.filePath(QStringLiteral("pics")).toUtf8() + "\r\n");
    ini.close();

    QProcess bridge;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("Temp"), home.path() + QLatin1Char('/'));
    env.insert(QStringLiteral("QX_VIRTUAL_CAMERAS"), QStringLiteral("7e41:1920x1080,7e43:640x480"));
    bridge.setProcessEnvironment(env);
    bridge.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    bridge.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/qxbridge"),
                 {QStringLiteral("--settings"), ini.fileName()});
    QByteArray err;
    if (!waitUntil(
            [&] {
                return (err += bridge.readAllStandardError()).contains(" ready: ") ||
                       bridge.state() == QProcess::NotRunning;
            },
            30000) ||
        !err.contains(" ready: ")) {
        std::fprintf(stderr, "bridge_bench: qxbridge did not start:\n%s\n", err.constData());
        return 1;
    }

    QWebSocket socket;
    std::vector<QJsonObject> answers;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString& text) {
        answers.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 10000);
    int nextId = 1;
    auto call = [&](const char* op, const char* name, const QJsonArray& args = {}) {
        const int id = nextId++;
        answers.clear();
        socket.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"id", id}, {"op", op}, {"name", name}, {"args", args}})
                .toJson(QJsonDocument::Compact)));
        waitUntil([&] { return !answers.empty(); }, 30000);
        return answers.empty() ? QJsonValue() : answers.front().value(QStringLiteral("result"));
    };

    auto roundTrips = [&](const char* when) {
        std::vector<double> micros;
        micros.reserve(gets);
        call("get", "pDPI"); // warm
        for (int i = 0; i < gets; ++i) {
            QElapsedTimer t;
            t.start();
            call("get", "CustomSavePath");
            micros.push_back(t.nsecsElapsed() / 1000.0);
        }
        std::sort(micros.begin(), micros.end());
        std::printf("property get round trip %s, %d calls: median %.0f us, 99th percentile %.0f us\n", when,
                    gets, micros[micros.size() / 2], micros[static_cast<std::size_t>(micros.size() * 0.99)]);
    };
    roundTrips("without a preview");

    call("call", "RefreshDevList");
    call("call", "SetDevNameSel", {0});
    call("call", "RefreshResolution", {0});
    call("call", "SetResolution", {0});
    if (call("call", "StartPreviewProc").toInt() != 0) {
        std::fprintf(stderr, "bridge_bench: the preview did not start\n");
        return 1;
    }
    QThread::msleep(500);
    roundTrips("while the 1920x1080 preview runs");
    for (const QByteArray& target : {QByteArray("/preview.mjpg"), QByteArray("/preview.mjpg?width=640")}) {
        double kib = 0;
        const double fps = framesPerSecond(port, target, seconds, kib);
        std::printf("%s from a 1920x1080 camera at 30 fps: %.1f frames/s to one client, %.0f KiB a frame\n",
                    target.constData(), fps, kib);
    }
    socket.close();
    bridge.terminate();
    bridge.waitForFinished(15000);
    return 0;
}
