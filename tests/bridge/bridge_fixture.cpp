// Starting and talking to a bridge the way a page's browser does, but with every header in reach.
#include "bridge_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <gtest/gtest.h>

namespace qx::test {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

namespace {

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

BridgeProcess::BridgeProcess(const BridgeOptions& options) {
    QDir().mkpath(pictures());
    QDir().mkpath(m_home.file(QStringLiteral("temp")));
    for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
        m_port = freePort();
        const QString settings = m_home.file(QStringLiteral("qxbridge.ini"));
        QByteArray ini = "[Bridge]\r\nPort=" + QByteArray::number(m_port) +
                         "\r\nCaptureFolders=" + pictures().toUtf8() +
                         "\r\nAllowedOrigins=" + options.allowedOrigins.join(QLatin1Char(';')).toUtf8() +
                         "\r\n" + options.settings;
        if (options.maxMessageBytes > 0)
            ini += "MaxMessageBytes=" + QByteArray::number(options.maxMessageBytes) + "\r\n";
        writeAll(settings, ini);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QX_VIRTUAL_READER"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.file(QStringLiteral("data")));
        env.insert(QStringLiteral("Temp"), m_home.file(QStringLiteral("temp/")));
        env.insert(QStringLiteral("QX_VIRTUAL_CAMERAS"), options.cameras);
        if (!options.reader.isEmpty())
            env.insert(QStringLiteral("QX_VIRTUAL_READER"), options.reader);
        for (const QString& entry : options.environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        m_process.setProcessEnvironment(env);
        m_err.clear();
        m_process.start(binFolder() + QStringLiteral("qxbridge"), {QStringLiteral("--settings"), settings});
        if (!m_process.waitForStarted(10000))
            return;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000 && m_process.state() == QProcess::Running &&
               !m_err.contains(" ready: ")) {
            m_process.waitForReadyRead(200);
            m_err += m_process.readAllStandardError();
        }
        m_ready = m_err.contains(" ready: ");
        if (!m_ready)
            m_process.waitForFinished(5000);
    }
}

BridgeProcess::~BridgeProcess() {
    if (m_process.state() != QProcess::Running)
        return;
    // A bridge stopped as systemd stops it ends cleanly; a crash or a sanitizer's finding at the
    // release of the control shows as another status.
    const int status = stop();
    if (status != 0)
        ADD_FAILURE() << "qxbridge ended with status " << status << ":\n" << log().toStdString();
}

int BridgeProcess::stop(int timeoutMs) {
    if (m_process.state() != QProcess::Running)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString BridgeProcess::log() {
    // The pipe is only read while waiting; a line written just now may still be in it.
    while (m_process.waitForReadyRead(200))
        m_err += m_process.readAllStandardError();
    m_err += m_process.readAllStandardError();
    return QString::fromUtf8(m_err);
}

qint64 BridgeProcess::residentKiB() const {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

QString BridgeProcess::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

BridgeClient::BridgeClient(const QString& origin) : m_socket(origin) {
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &m_socket, [this](const QString& text) {
        m_answers << QJsonDocument::fromJson(text.toUtf8()).object();
    });
}

bool BridgeClient::open(quint16 port, int timeoutMs) {
    m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    waitUntil(
        [this] {
            return m_socket.state() == QAbstractSocket::ConnectedState ||
                   m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
    return isOpen();
}

int BridgeClient::send(const QString& op, const QString& name, const QJsonArray& args) {
    const int id = m_nextId++;
    const QJsonObject request{{QStringLiteral("id"), id},
                              {QStringLiteral("op"), op},
                              {QStringLiteral("name"), name},
                              {QStringLiteral("args"), args}};
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
    return id;
}

QJsonObject BridgeClient::answer(int id, int timeoutMs) {
    QJsonObject found;
    waitUntil(
        [&] {
            for (const QJsonObject& a : m_answers)
                if (a.value(QStringLiteral("id")).toInt() == id) {
                    found = a;
                    return true;
                }
            return !isOpen();
        },
        timeoutMs);
    return found;
}

bool RawWebSocket::open(quint16 port, int timeoutMs) {
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!m_socket.waitForConnected(timeoutMs))
        return false;
    m_socket.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                   "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    QElapsedTimer timer;
    timer.start();
    while (!m_input.contains("\r\n\r\n") && timer.elapsed() < timeoutMs) {
        if (!m_socket.waitForReadyRead(100) && m_socket.state() != QAbstractSocket::ConnectedState)
            break;
        m_input += m_socket.readAll();
    }
    const qsizetype end = m_input.indexOf("\r\n\r\n");
    if (end < 0 || !m_input.startsWith("HTTP/1.1 101"))
        return false;
    m_input.remove(0, end + 4);
    return true;
}

void RawWebSocket::sendFrame(quint8 opcode, const QByteArray& payload, bool masked, bool fin) {
    QByteArray frame;
    frame.append(static_cast<char>((fin ? 0x80 : 0) | opcode));
    const char maskBit = masked ? char(0x80) : char(0);
    if (payload.size() < 126) {
        frame.append(static_cast<char>(maskBit | payload.size()));
    } else if (payload.size() < 65536) {
        frame.append(static_cast<char>(maskBit | 126));
        frame.append(static_cast<char>(payload.size() >> 8));
        frame.append(static_cast<char>(payload.size() & 0xFF));
    } else {
        frame.append(static_cast<char>(maskBit | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.append(static_cast<char>((static_cast<quint64>(payload.size()) >> shift) & 0xFF));
    }
    QByteArray body = payload;
    if (masked) {
        const char key[4] = {0x12, 0x34, 0x56, 0x78};
        frame.append(key, 4);
        for (qsizetype i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>(body[i] ^ key[i % 4]);
    }
    m_socket.write(frame + body);
    m_socket.flush();
}

std::pair<int, QByteArray> RawWebSocket::readFrame(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (true) {
        if (m_input.size() >= 2) {
            const auto* b = reinterpret_cast<const uchar*>(m_input.constData());
            qint64 length = b[1] & 0x7F;
            qsizetype at = 2;
            if (length == 126 && m_input.size() >= 4) {
                length = (b[2] << 8) | b[3];
                at = 4;
            } else if (length == 127 && m_input.size() >= 10) {
                length = 0;
                for (int i = 0; i < 8; ++i)
                    length = (length << 8) | b[2 + i];
                at = 10;
            }
            if ((b[1] & 0x7F) < 126 || at > 2) {
                if (m_input.size() >= at + length) {
                    const int opcode = b[0] & 0x0F;
                    const QByteArray payload = m_input.mid(at, length);
                    m_input.remove(0, at + length);
                    return {opcode, payload};
                }
            }
        }
        if (timer.elapsed() > timeoutMs)
            return {-1, QByteArray()};
        if (!m_socket.waitForReadyRead(100) && m_socket.state() != QAbstractSocket::ConnectedState &&
            m_socket.bytesAvailable() == 0)
            return {-1, QByteArray()};
        m_input += m_socket.readAll();
    }
}

QByteArray HttpReply::header(const QByteArray& name) const {
    for (const QByteArray& line : head.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

HttpReply httpGet(quint16 port, const QByteArray& target, const QByteArray& extraHeaders,
                  const QByteArray& host, qint64 maxBody, int timeoutMs, const QByteArray& method) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    HttpReply reply;
    if (!socket.waitForConnected(5000))
        return reply;
    const QByteArray hostHeader = host.isEmpty() ? "127.0.0.1:" + QByteArray::number(port) : host;
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: " + hostHeader + "\r\n" + extraHeaders + "\r\n");
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(100) && socket.state() != QAbstractSocket::ConnectedState)
            break;
        data += socket.readAll();
        const int end = data.indexOf("\r\n\r\n");
        if (maxBody >= 0 && end >= 0 && data.size() - end - 4 >= maxBody)
            break;
    }
    data += socket.readAll();
    const int end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return reply;
    reply.head = data.left(end);
    reply.body = data.mid(end + 4);
    const QList<QByteArray> status = reply.head.left(reply.head.indexOf('\r')).split(' ');
    reply.status = status.size() > 1 ? status[1].toInt() : 0;
    return reply;
}

QList<QByteArray> mjpegParts(const QByteArray& body) {
    QList<QByteArray> parts;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = body.indexOf("--qxframe\r\n", from);
        if (start < 0)
            break;
        const qsizetype headEnd = body.indexOf("\r\n\r\n", start);
        if (headEnd < 0)
            break;
        const QByteArray head = body.mid(start, headEnd - start);
        const qsizetype lengthAt = head.indexOf("Content-Length: ");
        if (lengthAt < 0)
            break;
        const qint64 length = head.mid(lengthAt + 16).split('\r').first().toLongLong();
        if (headEnd + 4 + length > body.size())
            break;
        parts << body.mid(headEnd + 4, length);
        from = headEnd + 4 + length;
    }
    return parts;
}

SlowServer::SlowServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection())
            m_sockets << s;
    });
}

void SlowServer::answer() {
    for (QTcpSocket* s : m_sockets) {
        s->readAll();
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
        s->flush();
        s->disconnectFromHost();
    }
}

} // namespace qx::test
