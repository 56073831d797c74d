// The live picture for the HTTP clients: the latest frame, asked for only when a client is ready.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <functional>
#include <map>
#include <mutex>

namespace qx::bridge {

// JPEG of a frame, scaled to `width` (0 or a width at least the frame's keeps its size).
QByteArray encodeJpeg(const QImage& frame, int width, int quality = 80);

// Lives on the network thread. The preview tap delivers a frame on the streaming thread only after a
// request; the hub asks for the next one when some client is waiting, so a client that does not read
// costs one frame held and nothing else.
class FrameHub : public QObject {
    Q_OBJECT
public:
    using Request = std::function<void()>; // thread-safe: asks the control for its next frame
    using Waiter = std::function<void(quint64 sequence)>;

    explicit FrameHub(Request request, QObject* parent = nullptr);

    // Streaming thread.
    void deliver(QImage frame);

    // Network thread: `waiter` is called once with the next frame's sequence number (newer than
    // `after`) and then forgotten. Returns a ticket for cancel().
    quint64 waitForFrame(quint64 after, Waiter waiter);
    void cancel(quint64 ticket);
    // The JPEG of the latest frame at `width`, encoded once per frame and width.
    QByteArray latestJpeg(int width);
    quint64 sequence() const;
    QSize frameSize() const;

private:
    void arrived();

    Request m_request;
    mutable std::mutex m_mutex; // guards m_frame and m_sequence against the streaming thread
    QImage m_frame;
    quint64 m_sequence = 0;
    std::map<quint64, std::pair<quint64, Waiter>> m_waiters; // ticket -> (after, waiter)
    quint64 m_nextTicket = 1;
    quint64 m_cacheSequence = 0;
    std::map<int, QByteArray> m_cache; // width -> JPEG of m_cacheSequence
};

} // namespace qx::bridge
