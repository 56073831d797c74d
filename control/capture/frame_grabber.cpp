// Copies requested frames on the streaming thread and writes them as BMP files on the control thread.
#include "control/capture/frame_grabber.h"

#include "control/capture/capture_names.h"
#include "control/capture/frame_events.h"

#include <QCoreApplication>
#include <QFile>
#include <cstring>

namespace qx::control {

namespace {
void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
} // namespace

CFrameGrabberCB& CFrameGrabberCB::instance() {
    static CFrameGrabberCB grabber;
    return grabber;
}

void CFrameGrabberCB::setOwner(QObject* owner) {
    std::lock_guard lock(m_mutex);
    m_owner = owner;
    if (!owner)
        m_holding = false;
}

std::size_t CFrameGrabberCB::storeCapacity() {
    std::lock_guard lock(m_mutex);
    return m_store.size();
}

void CFrameGrabberCB::onFrame(const media::FrameView& frame) {
    if (!m_grabRequest.load() || !frame.data || frame.width <= 0 || frame.height <= 0)
        return;
    std::lock_guard lock(m_mutex);
    if (!m_grabRequest.load() || !m_owner)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * 3;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    const std::size_t length = stride * static_cast<std::size_t>(frame.height);
    if (m_store.size() < length)
        m_store = std::vector<uint8_t>(length);
    // BMP rows run bottom-up; the pipeline's run top-down.
    for (int y = 0; y < frame.height; ++y) {
        uint8_t* dst = m_store.data() + static_cast<std::size_t>(frame.height - 1 - y) * stride;
        std::memcpy(dst, frame.data + static_cast<std::size_t>(y) * frame.stride, rowBytes);
        std::memset(dst + rowBytes, 0, stride - rowBytes);
    }
    m_length = length;
    m_storeWidth = frame.width;
    m_storeHeight = frame.height;
    m_holding = true;
    frameWidth = frame.width;
    frameHeight = frame.height;
    m_grabRequest = false;
    QCoreApplication::postEvent(m_owner, new QEvent(kFrameCopiedEvent));
}

CFrameGrabberCB::SaveResult CFrameGrabberCB::saveStep() {
    std::lock_guard lock(m_mutex);
    if (!m_holding || m_length == 0)
        return SaveResult::NothingToSave;
    m_holding = false;
    savePath = saveFolder + freeTimeStamp(saveFolder) + QStringLiteral(".bmp");

    uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, static_cast<uint32_t>(m_length + 54));
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, static_cast<uint32_t>(m_storeWidth));
    put32(header + 22, static_cast<uint32_t>(m_storeHeight)); // positive: bottom-up rows
    put16(header + 26, 1);
    put16(header + 28, 24);
    QFile file(savePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return SaveResult::Failed;
    const bool ok = file.write(reinterpret_cast<const char*>(header), sizeof header) == sizeof header &&
                    file.write(reinterpret_cast<const char*>(m_store.data()),
                               static_cast<qint64>(m_length)) == static_cast<qint64>(m_length);
    file.close();
    if (!ok)
        return SaveResult::Failed;
    if (m_owner)
        QCoreApplication::postEvent(m_owner, new QEvent(kFrameSavedEvent));
    return SaveResult::Saved;
}

} // namespace qx::control
