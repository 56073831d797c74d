// A qxbridge process on virtual cameras and a virtual reader, and the clients a web page would use.
#pragma once

#include "support/test_support.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <functional>
#include <memory>

namespace qx::test {

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

struct BridgeOptions {
    QString cameras = QStringLiteral("7e41:640x480,7e43:640x480");
    QStringList allowedOrigins;
    qint64 maxMessageBytes = 0; // 0: the default
    QString reader;             // a card file for the virtual reader, or none
    QByteArray settings;        // more lines of [Bridge]
    QStringList environment;    // more NAME=VALUE of its environment
};

class BridgeProcess {
public:
    explicit BridgeProcess(const BridgeOptions& options = {});
    ~BridgeProcess();
    // Stops it as systemd does (SIGTERM) and returns its exit status, -1 for a crash or when it has not
    // ended within `timeoutMs`.
    int stop(int timeoutMs = 30000);
    bool started() const { return m_ready; }
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    QString pictures() const { return m_home.file(QStringLiteral("pics/")); }
    QString home() const { return m_home.path(); }
    QString log();              // its standard error so far
    qint64 residentKiB() const; // VmRSS of the process
    QString url(const QString& path) const;

private:
    Folder m_home;
    QProcess m_process;
    QByteArray m_err;
    quint16 m_port = 0;
    bool m_ready = false;
};

// A WebSocket client that sends requests and waits for their answers.
class BridgeClient {
public:
    explicit BridgeClient(const QString& origin = QString());
    bool open(quint16 port, int timeoutMs = 10000);
    bool isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Sends a request and returns its id.
    int send(const QString& op, const QString& name, const QJsonArray& args = {});
    void sendText(const QString& text) { m_socket.sendTextMessage(text); }
    // The answer to `id`, waiting up to `timeoutMs`; an empty object when none came.
    QJsonObject answer(int id, int timeoutMs = 30000);
    QJsonObject request(const QString& op, const QString& name, const QJsonArray& args = {}) {
        return answer(send(op, name, args));
    }
    QJsonValue result(const QString& op, const QString& name, const QJsonArray& args = {}) {
        return request(op, name, args).value(QStringLiteral("result"));
    }
    const QList<QJsonObject>& answers() const { return m_answers; }
    QWebSocket& socket() { return m_socket; }

private:
    QWebSocket m_socket;
    QList<QJsonObject> m_answers;
    int m_nextId = 1;
};

// A WebSocket client at the byte level, for what a browser never sends: unmasked frames, a drop
// without a close frame, a client that stops reading.
class RawWebSocket {
public:
    bool open(quint16 port, int timeoutMs = 10000);
    void sendFrame(quint8 opcode, const QByteArray& payload, bool masked = true, bool fin = true);
    void sendText(const QByteArray& text) { sendFrame(0x1, text); }
    // The next complete frame (opcode and payload), waiting up to `timeoutMs`; opcode -1 when none.
    std::pair<int, QByteArray> readFrame(int timeoutMs = 10000);
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_input;
};

struct HttpReply {
    int status = 0;
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray& name) const;
};

// One GET over a plain socket, so a test can send whatever Host and Origin it likes. Reads until the
// bridge closes or `maxBody` bytes of body came.
HttpReply httpGet(quint16 port, const QByteArray& target, const QByteArray& extraHeaders = {},
                  const QByteArray& host = {}, qint64 maxBody = -1, int timeoutMs = 15000,
                  const QByteArray& method = "GET");

// The JPEG parts of a multipart/x-mixed-replace body, as far as they are complete.
QList<QByteArray> mjpegParts(const QByteArray& body);

// Holds an HTTP upload open until told to answer, as a slow server (or one that never answers) would.
class SlowServer {
public:
    SlowServer();
    quint16 port() const { return m_server.serverPort(); }
    bool connected() const { return !m_sockets.isEmpty(); }
    void answer();

private:
    QTcpServer m_server;
    QList<QTcpSocket*> m_sockets;
};

} // namespace qx::test
