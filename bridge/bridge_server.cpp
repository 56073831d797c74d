// Every connection starts as HTTP: its head is read (without consuming it) and checked against the
// access rules before anything is served or Qt's WebSocket server is given the socket.
#include "bridge_server.h"

#include "bridge_log.h"
#include "peer_credentials.h"
#include "picture_render.h"
#include "web_socket_frames.h"

#include <QFile>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace qx::bridge {

namespace {

constexpr int kHeadTimeoutMs = 10000;
constexpr int kSnapshotTimeoutMs = 5000;
constexpr int kMinWidth = 16;
// What Qt buffers of a WebSocket connection before the bridge reads it: a connection the bridge stops
// reading holds no more than this, and the kernel's flow control holds its client back.
constexpr qint64 kReadBufferBytes = 256 * 1024;
// After its close frame a client has this long to answer with its own before the socket is closed.
constexpr int kCloseWaitMs = 1000;
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
    case 426:
        return "Upgrade Required";
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
    quint64 id = 0;
    QPointer<QTcpSocket> socket;
    QString peer;
    QByteArray input;   // bytes read but not yet parsed into frames
    QByteArray message; // the fragments of a message so far
    bool fragmented = false;
    bool closing = false;           // a close frame went out; what comes now is discarded
    bool gone = false;              // the socket closed; erased once the calls under way are done
    std::deque<QByteArray> waiting; // requests received and not yet at the control
    qint64 waitingBytes = 0;        // of those and of the one at the control
    qint64 atControl = 0;           // bytes of the request at the control, 0 when none is
    bool busy = false;              // a request of this client is at the control
    qint64 queued = 0;              // bytes handed to the socket so far
    qint64 written = 0;             // bytes the socket has written so far
    std::deque<qint64> answerEnds;  // `queued` at the end of each answer not yet written
    int pending() const { return static_cast<int>(waiting.size() + answerEnds.size()) + (busy ? 1 : 0); }
    qint64 unwritten() const { return queued - written; }
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
      m_submit(std::move(submit)), m_frames(new FrameHub(std::move(requestFrame), this)), m_uid(::getuid()) {}

BridgeServer::~BridgeServer() {
    m_streams.clear();
    // Aborting a socket emits its disconnected() at once, which would erase it from the map being
    // walked: the clients are taken out first and told nothing more.
    const auto clients = std::move(m_clients);
    m_clients.clear();
    for (const auto& [id, client] : clients) {
        if (!client->socket)
            continue;
        client->socket->disconnect(this);
        client->socket->abort();
    }
}

bool BridgeServer::listen(QString& error) {
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
                // Most often another user's bridge: each user of the machine needs a port of their own.
                error = text + QStringLiteral(" (another program or another user's bridge has it: give each "
                                              "user a port of their own, Port= in %1 or --port N, and "
                                              "their pages that port)")
                                   .arg(m_settings.file);
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
        // A slot is held from here until the connection closes, whatever it turns into.
        ++m_openSockets;
        socket->setProperty("qxSlot", true);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { releaseSlot(socket); });
        connect(socket, &QObject::destroyed, this, [this](QObject* object) {
            if (object->property("qxSlot").toBool())
                --m_openSockets;
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);

        // Only the programs of the user the bridge runs as: another account's program (or browser)
        // must not drive this user's camera or read their pictures.
        const std::optional<uid_t> owner =
            peerUid({socket->localAddress(), socket->localPort(), socket->peerAddress(), socket->peerPort()});
        if (!owner || *owner != m_uid) {
            const QString who = owner ? QStringLiteral("user id %1").arg(*owner)
                                      : QStringLiteral("a socket the kernel does not know");
            bridgeLog(QStringLiteral("refused %1: the connection belongs to %2, not to this bridge's user "
                                     "(id %3); another user's bridge needs a port of its own")
                          .arg(peerText(socket), who)
                          .arg(m_uid));
            const QByteArray body = "this bridge serves only the programs of its own user\n";
            socket->write(responseHead(403, "text/plain; charset=utf-8", body.size(), AccessVerdict()));
            socket->write(body);
            socket->setProperty("qxHeadRead", true);
            socket->disconnectFromHost();
            continue;
        }

        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
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

void BridgeServer::releaseSlot(QTcpSocket* socket) {
    if (!socket->property("qxSlot").toBool())
        return;
    socket->setProperty("qxSlot", false);
    --m_openSockets;
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
        upgrade(socket, head, length);
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
    const QString resolvedPath = m_guard.resolvedFile(path);
    if (resolvedPath.isEmpty()) {
        refuse(socket, 403,
               QStringLiteral("the picture \"%1\" is not a file inside the capture folders").arg(path),
               &head);
        return;
    }
    // Opened as it was checked: a link swapped in since fails the open.
    const QImage image = renderPicture(openResolvedForReading(resolvedPath), resolvedPath);
    if (image.isNull()) {
        reply(socket, 415, "text/plain; charset=utf-8", "not a picture this bridge can show\n", verdict);
        return;
    }
    reply(socket, 200, "image/jpeg", encodeJpeg(image, widthOf(head), 85), verdict);
}

void BridgeServer::upgrade(QTcpSocket* socket, const RequestHead& head, int headLength) {
    if (head.header("Sec-WebSocket-Version") != "13") {
        bridgeLog(QStringLiteral("refused GET /ws from %1: WebSocket version \"%2\" (13 is served)")
                      .arg(peerText(socket), QString::fromLatin1(head.header("Sec-WebSocket-Version"))));
        socket->write("HTTP/1.1 426 Upgrade Required\r\nSec-WebSocket-Version: 13\r\nContent-Length: 0\r\n"
                      "Connection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const QByteArray accept = ws::acceptKey(head.header("Sec-WebSocket-Key"));
    if (accept.isEmpty()) {
        refuse(socket, 400, QStringLiteral("no valid Sec-WebSocket-Key"), &head);
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->read(headLength);
    socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                  "Sec-WebSocket-Accept: " +
                  accept + "\r\n\r\n");
    socket->setReadBufferSize(kReadBufferBytes);

    const quint64 id = m_nextId++;
    auto client = std::make_unique<Client>();
    client->id = id;
    client->socket = socket;
    client->peer = peerText(socket);
    m_clients.emplace(id, std::move(client));
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrames(id); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id](qint64 bytes) { written(id, bytes); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { dropClient(id); });
    bridgeLog(QStringLiteral("client %1 connected from %2 (origin \"%3\")")
                  .arg(id)
                  .arg(peerText(socket), QString::fromLatin1(head.header("Origin"))));
    if (socket->bytesAvailable())
        readFrames(id);
}

bool BridgeServer::mayRead(const Client& client) const {
    if (client.closing)
        return true; // only to find the client's close frame; the rest is dropped
    const qint64 own = std::max(kMaxWaitingBytes, m_settings.maxMessageBytes);
    const qint64 all = std::max(kMaxWaitingBytesTotal, m_settings.maxMessageBytes);
    return client.waitingBytes <= own && (m_waitingBytes <= all || client.waitingBytes == 0) &&
           client.unwritten() <= kMaxUnwrittenBytes;
}

void BridgeServer::readFrames(quint64 id) {
    auto found = m_clients.find(id);
    if (found == m_clients.end())
        return;
    Client& c = *found->second;
    while (c.socket && !c.gone && mayRead(c)) {
        ws::Frame frame;
        const qint64 room =
            std::max<qint64>(125, m_settings.maxMessageBytes - (c.fragmented ? c.message.size() : 0));
        const ws::FrameStatus status = ws::readClientFrame(c.input, room, frame);
        if (status == ws::FrameStatus::Incomplete) {
            if (c.socket->bytesAvailable() <= 0)
                return;
            c.input += c.socket->read(kReadBufferBytes);
            continue;
        }
        if (c.closing) {
            if (status == ws::FrameStatus::Complete && frame.opcode == ws::Close) {
                c.socket->disconnectFromHost();
                return;
            }
            c.input.clear();
            c.socket->readAll();
            if (status != ws::FrameStatus::Complete)
                return;
            continue;
        }
        switch (status) {
        case ws::FrameStatus::Incomplete:
        case ws::FrameStatus::Complete:
            break;
        case ws::FrameStatus::TooLarge:
            closeClient(c, ws::TooMuchData, QStringLiteral("message too big"),
                        QStringLiteral("a message over %1 bytes").arg(m_settings.maxMessageBytes));
            continue;
        case ws::FrameStatus::Unmasked:
            closeClient(c, ws::ProtocolError, QStringLiteral("client frames must be masked"),
                        QStringLiteral("an unmasked frame (a client masks every frame)"));
            continue;
        case ws::FrameStatus::Malformed:
            closeClient(c, ws::ProtocolError, QStringLiteral("malformed frame"),
                        QStringLiteral("a malformed frame"));
            continue;
        }
        c.input.remove(0, frame.length);
        switch (frame.opcode) {
        case ws::Ping: {
            const QByteArray pong = ws::serverFrame(ws::Pong, frame.payload);
            c.socket->write(pong);
            c.queued += pong.size();
            break;
        }
        case ws::Pong:
            break;
        case ws::Close: {
            if (frame.payload.size() == 1) {
                closeClient(c, ws::ProtocolError, QStringLiteral("malformed close frame"),
                            QStringLiteral("a malformed close frame"));
                break;
            }
            // The client ends the connection: its close is answered and the socket closed at once.
            closeClient(c, ws::Normal, QString(), QString());
            c.socket->disconnectFromHost();
            return;
        }
        case ws::Binary:
            closeClient(c, ws::UnsupportedData, QStringLiteral("requests are JSON text"),
                        QStringLiteral("a binary message (requests are JSON text)"));
            break;
        case ws::Text:
            if (c.fragmented) {
                closeClient(c, ws::ProtocolError, QStringLiteral("a new message inside a fragmented one"),
                            QStringLiteral("a new message inside a fragmented one"));
                break;
            }
            if (frame.fin) {
                onMessage(c, frame.payload);
            } else {
                c.message = std::move(frame.payload);
                c.fragmented = true;
            }
            break;
        case ws::Continuation:
            if (!c.fragmented) {
                closeClient(c, ws::ProtocolError, QStringLiteral("a continuation without a message"),
                            QStringLiteral("a continuation frame without a message"));
                break;
            }
            c.message += frame.payload;
            if (frame.fin) {
                c.fragmented = false;
                onMessage(c, std::exchange(c.message, QByteArray()));
            }
            break;
        }
    }
}

void BridgeServer::onMessage(Client& c, const QByteArray& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(text);
    if (utf8.hasError()) {
        closeClient(c, ws::InvalidPayload, QStringLiteral("text must be UTF-8"),
                    QStringLiteral("a text message that is not UTF-8"));
        return;
    }
    if (c.pending() >= m_settings.maxPendingRequests) {
        closeClient(c, ws::PolicyViolated, QStringLiteral("too many requests"),
                    QStringLiteral("over %1 requests unanswered").arg(c.pending()));
        return;
    }
    c.waiting.push_back(text);
    c.waitingBytes += text.size();
    m_waitingBytes += text.size();
    submitNext(c);
}

void BridgeServer::submitNext(Client& c) {
    if (c.busy || c.waiting.empty() || c.closing || c.gone || c.unwritten() > kMaxUnwrittenBytes)
        return;
    QByteArray message = std::move(c.waiting.front());
    c.waiting.pop_front();
    c.busy = true;
    c.atControl = message.size();
    const quint64 id = c.id;
    m_submit(message, [this, id](QByteArray answer) {
        QMetaObject::invokeMethod(
            this, [this, id, answer = std::move(answer)] { answered(id, answer); }, Qt::QueuedConnection);
    });
}

void BridgeServer::answered(quint64 id, const QByteArray& answer) {
    auto found = m_clients.find(id);
    if (found == m_clients.end() || found->second->gone)
        return;
    Client& c = *found->second;
    c.busy = false;
    c.waitingBytes -= c.atControl;
    m_waitingBytes -= c.atControl;
    c.atControl = 0;
    if (c.socket && !c.closing) {
        const QByteArray frame = ws::serverFrame(ws::Text, answer);
        c.socket->write(frame);
        c.queued += frame.size();
        c.answerEnds.push_back(c.queued);
    }
    submitNext(c);
    resumeClients();
}

void BridgeServer::pushEvent(const QByteArray& json) {
    const QByteArray frame = ws::serverFrame(ws::Text, json);
    for (auto& [id, client] : m_clients) {
        Client& c = *client;
        if (c.gone || c.closing || !c.socket)
            continue;
        if (c.unwritten() + frame.size() > kMaxUnwrittenBytes) {
            bridgeLog(QStringLiteral("%1: event not sent, the page reads nothing: %2")
                          .arg(c.peer, QString::fromUtf8(json)));
            continue;
        }
        // Not an answer: it takes no place among the answers a connection waits to have written.
        c.socket->write(frame);
        c.queued += frame.size();
    }
}

void BridgeServer::written(quint64 id, qint64 bytes) {
    auto found = m_clients.find(id);
    if (found == m_clients.end() || found->second->gone)
        return;
    Client& c = *found->second;
    const bool couldRead = mayRead(c);
    c.written += bytes;
    while (!c.answerEnds.empty() && c.answerEnds.front() <= c.written)
        c.answerEnds.pop_front();
    submitNext(c);
    if (!couldRead && mayRead(c))
        readFrames(id);
}

void BridgeServer::resumeClients() {
    std::vector<quint64> ready;
    for (const auto& [id, client] : m_clients)
        if (client->socket && !client->gone && !client->closing && mayRead(*client) &&
            (client->socket->bytesAvailable() > 0 || !client->input.isEmpty()))
            ready.push_back(id);
    for (const quint64 id : ready)
        readFrames(id);
}

void BridgeServer::closeClient(Client& c, quint16 code, const QString& reason, const QString& logText) {
    if (c.closing || !c.socket)
        return;
    if (!logText.isEmpty())
        bridgeLog(QStringLiteral("closed client %1: %2").arg(c.id).arg(logText));
    c.closing = true;
    const QByteArray frame = ws::closeFrame(static_cast<ws::CloseCode>(code), reason.toUtf8());
    c.socket->write(frame);
    c.queued += frame.size();
    // What waits for the control is dropped with the connection; the request at the control runs on.
    const qint64 dropped = c.waitingBytes - c.atControl;
    c.waiting.clear();
    c.waitingBytes -= dropped;
    m_waitingBytes -= dropped;
    c.message.clear();
    c.fragmented = false;
    c.input.clear();
    QTcpSocket* socket = c.socket;
    QTimer::singleShot(kCloseWaitMs, socket, [socket] { socket->disconnectFromHost(); });
    // A client that reads nothing more would keep the close frame unwritten, and the socket open.
    QTimer::singleShot(kCloseWaitMs + kHeadTimeoutMs, socket, [socket] { socket->abort(); });
    resumeClients();
}

void BridgeServer::dropClient(quint64 id) {
    auto found = m_clients.find(id);
    if (found == m_clients.end() || found->second->gone)
        return;
    Client& c = *found->second;
    // Whatever is still counted for it is given back; a request at the control finds no client later.
    c.gone = true;
    m_waitingBytes -= c.waitingBytes;
    c.waitingBytes = 0;
    c.waiting.clear();
    // Erased later: this runs inside socket calls made while the client is in use.
    QMetaObject::invokeMethod(
        this, [this, id] { m_clients.erase(id); }, Qt::QueuedConnection);
    resumeClients();
}

} // namespace qx::bridge
