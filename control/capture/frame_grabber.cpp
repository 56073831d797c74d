// Copies requested frames on the streaming thread and writes them as BMP files on the control thread.
#include "control/capture/frame_grabber.h"

#include "control/capture/capture_names.h"
#include "control/capture/frame_events.h"

#include "qx/imaging/bmp_layout.h"
#include "qx/platform/files.h"
#include "qx/platform/folders.h"

#include <QCoreApplication>
#include <cstring>

namespace qx::control {

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
    const std::size_t stride = bmp::rowStride(frame.width, 24);
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
    savePath = platform::joinPath(saveFolder, freeTimeStamp(saveFolder) + QStringLiteral(".bmp"));

    bmp::Header fields;
    fields.width = m_storeWidth;
    fields.height = m_storeHeight; // positive: bottom-up rows
    fields.imageSize = static_cast<uint32_t>(m_length);
    const auto header = bmp::headers(fields);
    // Written beside its name and renamed into place: a full disk leaves no cut-short picture, and a
    // link put at the name is replaced, never written through.
    platform::ReplacingFile file(savePath);
    if (!file.open() || !file.write(header.data(), header.size()) || !file.write(m_store.data(), m_length) ||
        !file.commit())
        return SaveResult::Failed;
    if (m_owner)
        QCoreApplication::postEvent(m_owner, new QEvent(kFrameSavedEvent));
    return SaveResult::Saved;
}

} // namespace qx::control
