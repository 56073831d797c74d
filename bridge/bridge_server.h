// The bridge's network side: HTTP and WebSocket on loopback, on a thread of its own.
#pragma once

#include "access_policy.h"
#include "bridge_settings.h"
#include "frame_hub.h"
#include "path_guard.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <sys/types.h>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace qx::bridge {

// Every member lives on the network thread; only deliverFrame() and the Submit callback's `answer`
// cross threads.
//
// Memory is bounded per connection and in all: a connection is read only while its requests waiting
// for the control stay under kMaxWaitingBytes (all connections together under kMaxWaitingBytesTotal)
// and its answers not yet written to the socket stay under kMaxUnwrittenBytes. A connection hands the
// control one request at a time, the next once the last is answered and its answers are written, so
// a client that does not read its answers gets at most one more.
class BridgeServer : public QObject {
    Q_OBJECT
public:
    // Hands a client's message to the control's thread; `answer` (the answer as JSON text) may be
    // called on any thread.
    using Submit = std::function<void(const QByteArray& message, std::function<void(QByteArray)> answer)>;

    static constexpr qint64 kMaxWaitingBytes = 8 * 1024 * 1024;
    static constexpr qint64 kMaxWaitingBytesTotal = 32 * 1024 * 1024;
    static constexpr qint64 kMaxUnwrittenBytes = 8 * 1024 * 1024;

    BridgeServer(const BridgeSettings& settings, const PathGuard& guard, FrameHub::Request requestFrame,
                 Submit submit);
    ~BridgeServer() override;

    // On the network thread, before anything else: listens on 127.0.0.1 (and [::1] when the machine
    // has it). False with `error` when the IPv4 port cannot be had.
    bool listen(QString& error);
    // Streaming thread: a frame the control's preview tap handed over.
    void deliverFrame(QImage frame) { m_frames->deliver(std::move(frame)); }
    // Network thread: a message of the control's own (an event, not an answer) to every WebSocket
    // client. A client whose unwritten answers already fill kMaxUnwrittenBytes does not get it (logged):
    // a page that does not read is not buffered for without bound.
    void pushEvent(const QByteArray& json);

    int clientCount() const { return static_cast<int>(m_clients.size()); }
    int streamCount() const { return static_cast<int>(m_streams.size()); }
    int openConnections() const { return m_openSockets; }

private:
    struct Client;
    struct Stream;

    void accept(QTcpServer* server);
    void releaseSlot(QTcpSocket* socket);
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

    // WebSocket clients: the handshake, frames in and out, the request queue and its bounds.
    void upgrade(QTcpSocket* socket, const RequestHead& head, int headLength);
    void readFrames(quint64 id);
    void onMessage(Client& client, const QByteArray& text);
    void closeClient(Client& client, quint16 code, const QString& reason, const QString& logText);
    void submitNext(Client& client);
    void answered(quint64 id, const QByteArray& answer);
    void written(quint64 id, qint64 bytes);
    bool mayRead(const Client& client) const;
    void resumeClients();
    void dropClient(quint64 id);

    BridgeSettings m_settings;
    AccessPolicy m_policy;
    const PathGuard& m_guard;
    Submit m_submit;
    FrameHub* m_frames; // a child, so it moves to the network thread with the server
    std::vector<QTcpServer*> m_servers;
    uid_t m_uid;
    int m_openSockets = 0;
    quint64 m_nextId = 1;
    qint64 m_waitingBytes = 0; // requests of all clients not yet answered
    std::map<quint64, std::unique_ptr<Client>> m_clients;
    std::map<quint64, std::unique_ptr<Stream>> m_streams;
};

} // namespace qx::bridge
