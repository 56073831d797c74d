// The bridge's network side: HTTP and WebSocket on loopback, on a thread of its own.
#pragma once

#include "access_policy.h"
#include "bridge_settings.h"
#include "frame_hub.h"
#include "path_guard.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

namespace qx::bridge {

class BridgeServer : public QObject {
    Q_OBJECT
public:
    // Hands a client's message to the control's thread; `answer` may be called on any thread.
    using Submit = std::function<void(const QByteArray& message, std::function<void(QJsonObject)> answer)>;

    BridgeServer(const BridgeSettings& settings, const PathGuard& guard, FrameHub::Request requestFrame,
                 Submit submit);
    ~BridgeServer() override;

    // On the network thread, before anything else: listens on 127.0.0.1 (and [::1] when the machine
    // has it). False with `error` when the IPv4 port cannot be had.
    bool listen(QString& error);
    // Streaming thread: a frame the control's preview tap handed over.
    void deliverFrame(QImage frame) { m_frames->deliver(std::move(frame)); }

    // Network thread: the open WebSocket clients and preview streams, for tests and the log.
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    int streamCount() const { return static_cast<int>(m_streams.size()); }

private:
    struct Client;
    struct Stream;

    void accept(QTcpServer* server);
    void readHead(QTcpSocket* socket);
    void refuse(QTcpSocket* socket, int status, const QString& reason, const RequestHead* head);
    void serve(QTcpSocket* socket, const RequestHead& head, const AccessVerdict& verdict);
    void reply(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body,
               const AccessVerdict& verdict);
    void startStream(QTcpSocket* socket, int width, const AccessVerdict& verdict);
    void streamNext(quint64 id);
    void dropStream(quint64 id);
    void snapshot(QTcpSocket* socket, int width, const AccessVerdict& verdict);
    void picture(QTcpSocket* socket, const RequestHead& head, const AccessVerdict& verdict);
    void openClient();
    void answered(quint64 client, const QJsonObject& answer);

    BridgeSettings m_settings;
    AccessPolicy m_policy;
    const PathGuard& m_guard;
    Submit m_submit;
    FrameHub* m_frames; // a child, so it moves to the network thread with the server
    std::vector<QTcpServer*> m_servers;
    QWebSocketServer* m_webSockets = nullptr;
    int m_openSockets = 0;
    quint64 m_nextId = 1;
    std::map<quint64, std::unique_ptr<Client>> m_clients;
    std::map<quint64, std::unique_ptr<Stream>> m_streams;
};

} // namespace qx::bridge
