// Every connection starts as HTTP: its head is read (without consuming it) and checked against the
// access rules before anything is served or Qt's WebSocket server is given the socket.
#include "bridge_server.h"

#include "bridge_log.h"
#include "picture_render.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace qx::bridge {

namespace {

constexpr int kHeadTimeoutMs = 10000;
constexpr int kSnapshotTimeoutMs = 5000;
constexpr int kMinWidth = 16;
constexpr char kBoundary[] = "qxframe";

QByteArray statusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 415:
        return "Unsupported Media Type";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray responseHead(int status, const QByteArray& type, qint64 length, const AccessVerdict& verdict) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText(status) + "\r\n";
    head += "Content-Type: " + type + "\r\n";
    if (length >= 0)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    // Only the bridge's own pages and the allowed origins may frame the demo page.
    head += "Content-Security-Policy: frame-ancestors 'self'\r\n";
    if (!verdict.origin.isEmpty())
        head += "Access-Control-Allow-Origin: " + verdict.origin.toLatin1() + "\r\nVary: Origin\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

QString peerText(const QTcpSocket* socket) {
    return socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
}

int widthOf(const RequestHead& head) {
    bool ok = false;
    const int width = head.query(QStringLiteral("width")).toInt(&ok);
    return ok && width > 0 ? std::max(width, kMinWidth) : 0;
}

} // namespace

struct BridgeServer::Client {
    QWebSocket* socket = nullptr;
    int pending = 0;
};

struct BridgeServer::Stream {
    QPointer<QTcpSocket> socket;
    int width = 0;
    quint64 ticket = 0; // the frame it waits for, 0 while a part is being written
    quint64 lastSequence = 0;
    qint64 frames = 0;
};

BridgeServer::BridgeServer(const BridgeSettings& settings, const PathGuard& guard,
                           FrameHub::Request requestFrame, Submit submit)
    : m_settings(settings), m_policy(settings.port, settings.allowedOrigins), m_guard(guard),
      m_submit(std::move(submit)), m_frames(new FrameHub(std::move(requestFrame), this)) {}

BridgeServer::~BridgeServer() {
    m_streams.clear();
    // Aborting a socket emits its disconnected() at once, which would erase it from the map being
    // walked: the clients are taken out first and told nothing more.
    const auto clients = std::move(m_clients);
    m_clients.clear();
    for (const auto& [id, client] : clients) {
        client->socket->disconnect(this);
        client->socket->abort();
    }
}

bool BridgeServer::listen(QString& error) {
    m_webSockets = new QWebSocketServer(QStringLiteral("qxbridge"), QWebSocketServer::NonSecureMode, this);
    m_webSockets->setHandshakeTimeout(kHeadTimeoutMs);
    connect(m_webSockets, &QWebSocketServer::newConnection, this, &BridgeServer::openClient);

    for (const QHostAddress& address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        auto* server = new QTcpServer(this);
        if (!server->listen(address, m_settings.port)) {
            const QString text = QStringLiteral("cannot listen on %1 port %2: %3")
                                     .arg(address.toString())
                                     .arg(m_settings.port)
                                     .arg(server->errorString());
            delete server;
            if (address == QHostAddress(QHostAddress::LocalHost)) {
                error = text;
                return false;
            }
            bridgeLog(text);
            continue;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
        m_servers.push_back(server);
        bridgeLog(QStringLiteral("listening on %1 port %2").arg(address.toString()).arg(m_settings.port));
    }
    return true;
}

void BridgeServer::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        if (m_openSockets >= m_settings.maxConnections) {
            bridgeLog(QStringLiteral("refused %1: %2 connections are open")
                          .arg(peerText(socket))
                          .arg(m_openSockets));
            socket->write(responseHead(503, "text/plain; charset=utf-8", 0, AccessVerdict()));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++m_openSockets;
        connect(socket, &QObject::destroyed, this, [this] { --m_openSockets; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its head does not hold a connection for ever.
        QTimer::singleShot(kHeadTimeoutMs, socket, [socket] {
            if (socket->property("qxHeadRead").toBool())
                return;
            bridgeLog(QStringLiteral("refused %1: no complete request head in %2 s")
                          .arg(peerText(socket))
                          .arg(kHeadTimeoutMs / 1000));
            socket->abort();
        });
    }
}

void BridgeServer::readHead(QTcpSocket* socket) {
    if (socket->property("qxHeadRead").toBool())
        return;
    // Peeked, not read: an upgrade hands the socket to the WebSocket server with its handshake unread.
    const QByteArray data = socket->peek(m_settings.maxHeaderBytes + 1);
    RequestHead head;
    int length = 0;
    switch (parseRequestHead(data, m_settings.maxHeaderBytes, head, length)) {
    case HeadStatus::Incomplete:
        return;
    case HeadStatus::TooLarge:
        socket->setProperty("qxHeadRead", true);
        refuse(socket, 431, QStringLiteral("a request head over %1 bytes").arg(m_settings.maxHeaderBytes),
               nullptr);
        return;
    case HeadStatus::Malformed:
        socket->setProperty("qxHeadRead", true);
        refuse(socket, 400, QStringLiteral("a malformed request head"), nullptr);
        return;
    case HeadStatus::Complete:
        break;
    }
    socket->setProperty("qxHeadRead", true);
    const AccessVerdict verdict = m_policy.check(head);
    if (!verdict.allowed) {
        refuse(socket, 403, verdict.reason, &head);
        return;
    }
    if (head.isWebSocketUpgrade()) {
        if (head.path() != "/ws" || head.method != "GET") {
            refuse(socket, 404,
                   QStringLiteral("no WebSocket endpoint at %1").arg(QString::fromLatin1(head.path())),
                   &head);
            return;
        }
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        disconnect(socket, &QTcpSocket::disconnected, socket, nullptr);
        m_webSockets->handleConnection(socket);
        return;
    }
    socket->read(length);
    serve(socket, head, verdict);
}

void BridgeServer::refuse(QTcpSocket* socket, int status, const QString& reason, const RequestHead* head) {
    const QString request = head ? QStringLiteral(" %1 %2").arg(QString::fromLatin1(head->method),
                                                                QString::fromLatin1(head->path()))
                                 : QString();
    bridgeLog(QStringLiteral("refused%1 from %2: %3").arg(request, peerText(socket), reason));
    reply(socket, status, "text/plain; charset=utf-8", reason.toUtf8() + '\n', AccessVerdict());
}

void BridgeServer::reply(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body,
                         const AccessVerdict& verdict) {
    socket->write(responseHead(status, type, body.size(), verdict));
    socket->write(body);
    socket->disconnectFromHost();
}

void BridgeServer::serve(QTcpSocket* socket, const RequestHead& head, const AccessVerdict& verdict) {
    if (head.method == "OPTIONS" && !verdict.origin.isEmpty()) {
        // A browser's preflight before a page of the internet reaches a loopback address: the
        // origin has passed the allow-list already.
        QByteArray answer =
            "HTTP/1.1 204 No Content\r\nAccess-Control-Allow-Origin: " + verdict.origin.toLatin1() +
            "\r\nAccess-Control-Allow-Methods: GET\r\nAccess-Control-Allow-Private-Network: true\r\n"
            "Access-Control-Max-Age: 600\r\nVary: Origin\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        socket->write(answer);
        socket->disconnectFromHost();
        return;
    }
    if (head.method != "GET") {
        refuse(socket, 405, QStringLiteral("only GET is served"), &head);
        return;
    }
    const QByteArray path = head.path();
    if (path == "/" || path == "/index.html" || path == "/qxcamera.js") {
        QFile file(path == "/qxcamera.js" ? QStringLiteral(":/web/qxcamera.js")
                                          : QStringLiteral(":/web/index.html"));
        file.open(QIODevice::ReadOnly);
        reply(socket, 200,
              path == "/qxcamera.js" ? "text/javascript; charset=utf-8" : "text/html; charset=utf-8",
              file.readAll(), verdict);
    } else if (path == "/preview.mjpg") {
        startStream(socket, widthOf(head), verdict);
    } else if (path == "/snapshot.jpg") {
        snapshot(socket, widthOf(head), verdict);
    } else if (path == "/picture.jpg") {
        picture(socket, head, verdict);
    } else {
        reply(socket, 404, "text/plain; charset=utf-8", "not found\n", verdict);
    }
}

void BridgeServer::startStream(QTcpSocket* socket, int width, const AccessVerdict& verdict) {
    const quint64 id = m_nextId++;
    auto stream = std::make_unique<Stream>();
    stream->socket = socket;
    stream->width = width;
    m_streams.emplace(id, std::move(stream));
    socket->write(
        responseHead(200, QByteArray("multipart/x-mixed-replace; boundary=") + kBoundary, -1, verdict));
    // The next frame is asked for only when the last part has left the socket's buffer: a client that
    // reads slowly gets fewer frames, one that stops reading gets none, and nothing piles up.
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id, socket] {
        auto found = m_streams.find(id);
        if (found != m_streams.end() && found->second->ticket == 0 && socket->bytesToWrite() == 0)
            streamNext(id);
    });
    connect(socket, &QObject::destroyed, this, [this, id] { dropStream(id); });
    streamNext(id);
}

void BridgeServer::streamNext(quint64 id) {
    auto found = m_streams.find(id);
    if (found == m_streams.end())
        return;
    Stream& stream = *found->second;
    stream.ticket = m_frames->waitForFrame(stream.lastSequence, [this, id](quint64 sequence) {
        auto it = m_streams.find(id);
        if (it == m_streams.end() || !it->second->socket)
            return;
        Stream& s = *it->second;
        s.ticket = 0;
        s.lastSequence = sequence;
        const QByteArray jpeg = m_frames->latestJpeg(s.width);
        QByteArray part = QByteArray("--") + kBoundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                          QByteArray::number(jpeg.size()) + "\r\n\r\n";
        s.socket->write(part);
        s.socket->write(jpeg);
        s.socket->write("\r\n");
        ++s.frames;
    });
}

void BridgeServer::dropStream(quint64 id) {
    auto found = m_streams.find(id);
    if (found == m_streams.end())
        return;
    if (found->second->ticket)
        m_frames->cancel(found->second->ticket);
    m_streams.erase(found);
}

void BridgeServer::snapshot(QTcpSocket* socket, int width, const AccessVerdict& verdict) {
    QPointer<QTcpSocket> guarded(socket);
    auto ticket = std::make_shared<quint64>(0);
    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, guarded, ticket, verdict] {
        m_frames->cancel(*ticket);
        if (guarded)
            reply(guarded, 503, "text/plain; charset=utf-8", "no preview is running\n", verdict);
    });
    *ticket = m_frames->waitForFrame(m_frames->sequence(), [this, guarded, width, timer, verdict](quint64) {
        if (!guarded)
            return;
        timer->stop();
        reply(guarded, 200, "image/jpeg", m_frames->latestJpeg(width), verdict);
    });
    connect(socket, &QObject::destroyed, this, [this, ticket] { m_frames->cancel(*ticket); });
    timer->start(kSnapshotTimeoutMs);
}

void BridgeServer::picture(QTcpSocket* socket, const RequestHead& head, const AccessVerdict& verdict) {
    const QString path = head.query(QStringLiteral("path"));
    if (!m_guard.inside(path)) {
        refuse(socket, 403, QStringLiteral("the picture \"%1\" is not inside the capture folders").arg(path),
               &head);
        return;
    }
    const QImage image = renderPicture(path);
    if (image.isNull()) {
        reply(socket, 415, "text/plain; charset=utf-8", "not a picture this bridge can show\n", verdict);
        return;
    }
    reply(socket, 200, "image/jpeg", encodeJpeg(image, widthOf(head), 85), verdict);
}

void BridgeServer::openClient() {
    while (QWebSocket* socket = m_webSockets->nextPendingConnection()) {
        const quint64 id = m_nextId++;
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(static_cast<quint64>(m_settings.maxMessageBytes));
        socket->setMaxAllowedIncomingFrameSize(static_cast<quint64>(m_settings.maxMessageBytes));
        auto client = std::make_unique<Client>();
        client->socket = socket;
        m_clients.emplace(id, std::move(client));
        connect(socket, &QWebSocket::textMessageReceived, this, [this, id](const QString& text) {
            auto found = m_clients.find(id);
            if (found == m_clients.end())
                return;
            Client& c = *found->second;
            if (c.pending >= m_settings.maxPendingRequests) {
                bridgeLog(
                    QStringLiteral("closed client %1: over %2 requests unanswered").arg(id).arg(c.pending));
                c.socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                                QStringLiteral("too many requests"));
                return;
            }
            ++c.pending;
            m_submit(text.toUtf8(), [this, id](QJsonObject answer) {
                QMetaObject::invokeMethod(
                    this, [this, id, answer] { answered(id, answer); }, Qt::QueuedConnection);
            });
        });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, id](const QByteArray&) {
            auto found = m_clients.find(id);
            if (found == m_clients.end())
                return;
            bridgeLog(QStringLiteral("closed client %1: a binary message (requests are JSON text)").arg(id));
            found->second->socket->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported,
                                         QStringLiteral("requests are JSON text"));
        });
        connect(socket, &QWebSocket::disconnected, this, [this, id] {
            auto found = m_clients.find(id);
            if (found == m_clients.end())
                return;
            if (found->second->socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
                bridgeLog(QStringLiteral("closed client %1: a message over %2 bytes")
                              .arg(id)
                              .arg(m_settings.maxMessageBytes));
            found->second->socket->deleteLater();
            m_clients.erase(found);
        });
        bridgeLog(QStringLiteral("client %1 connected from %2 (origin \"%3\")")
                      .arg(id)
                      .arg(socket->peerAddress().toString(), socket->origin()));
    }
}

void BridgeServer::answered(quint64 client, const QJsonObject& answer) {
    auto found = m_clients.find(client);
    if (found == m_clients.end())
        return;
    --found->second->pending;
    found->second->socket->sendTextMessage(
        QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact)));
}

} // namespace qx::bridge
