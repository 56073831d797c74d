// Encoding is done on the network thread, once per frame and width however many clients watch.
#include "frame_hub.h"

#include <QMetaObject>
#include <turbojpeg.h>

namespace qx::bridge {

QByteArray encodeJpeg(const QImage& frame, int width, int quality) {
    if (frame.isNull())
        return QByteArray();
    QImage image =
        frame.format() == QImage::Format_BGR888 ? frame : frame.convertToFormat(QImage::Format_BGR888);
    if (width > 0 && width < image.width()) {
        const int height =
            std::max(1, static_cast<int>(static_cast<qint64>(image.height()) * width / image.width()));
        image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.format() != QImage::Format_BGR888)
            image = image.convertToFormat(QImage::Format_BGR888);
    }
    tjhandle handle = tjInitCompress();
    if (!handle)
        return QByteArray();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    QByteArray bytes;
    if (tjCompress2(handle, image.constBits(), image.width(), static_cast<int>(image.bytesPerLine()),
                    image.height(), TJPF_BGR, &out, &size, TJSAMP_420, quality, TJFLAG_FASTDCT) == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    tjFree(out);
    tjDestroy(handle);
    return bytes;
}

FrameHub::FrameHub(Request request, QObject* parent) : QObject(parent), m_request(std::move(request)) {}

void FrameHub::deliver(QImage frame) {
    {
        std::lock_guard lock(m_mutex);
        m_frame = std::move(frame);
        ++m_sequence;
    }
    QMetaObject::invokeMethod(this, &FrameHub::arrived, Qt::QueuedConnection);
}

quint64 FrameHub::sequence() const {
    std::lock_guard lock(m_mutex);
    return m_sequence;
}

QSize FrameHub::frameSize() const {
    std::lock_guard lock(m_mutex);
    return m_frame.size();
}

quint64 FrameHub::waitForFrame(quint64 after, Waiter waiter) {
    const quint64 ticket = m_nextTicket++;
    m_waiters.emplace(ticket, std::make_pair(after, std::move(waiter)));
    m_request();
    return ticket;
}

void FrameHub::cancel(quint64 ticket) {
    m_waiters.erase(ticket);
}

void FrameHub::arrived() {
    const quint64 current = sequence();
    std::vector<Waiter> ready;
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        if (it->second.first < current) {
            ready.push_back(std::move(it->second.second));
            it = m_waiters.erase(it);
        } else {
            ++it;
        }
    }
    for (Waiter& waiter : ready)
        waiter(current);
    // A waiter that came after this frame was asked for still needs one.
    if (!m_waiters.empty())
        m_request();
}

QByteArray FrameHub::latestJpeg(int width) {
    QImage frame;
    quint64 current = 0;
    {
        std::lock_guard lock(m_mutex);
        frame = m_frame;
        current = m_sequence;
    }
    if (frame.isNull())
        return QByteArray();
    if (current != m_cacheSequence) {
        m_cache.clear();
        m_cacheSequence = current;
    }
    const int key = width <= 0 || width >= frame.width() ? 0 : width;
    auto found = m_cache.find(key);
    if (found == m_cache.end())
        found = m_cache.emplace(key, encodeJpeg(frame, key)).first;
    return found->second;
}

} // namespace qx::bridge
