// The frame grabber: the process-wide callback object of the preview, its grab request and frame store.
#pragma once

#include "qx/media/preview_pipeline.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qx::control {

class CFrameGrabberCB {
public:
    static CFrameGrabberCB& instance();

    // The control whose window receives the frame events; null detaches the grabber.
    void setOwner(QObject* owner);

    void requestGrab() { m_grabRequest = true; }
    void cancelGrab() { m_grabRequest = false; }
    bool grabPending() const { return m_grabRequest; }

    // Streaming thread: while a grab is requested, copies the frame into the store as bottom-up BGR
    // rows padded to 4 bytes, clears the request (so one request yields one save) and posts the
    // frame-copied event to the owner.
    void onFrame(const media::FrameView& frame);

    enum class SaveResult { Saved, NothingToSave, Failed };
    // Control thread: writes the stored frame as a 24-bit BMP named by the local time into
    // saveFolder, records its path in savePath and posts the frame-saved event. A store without a
    // fresh frame has nothing to save.
    SaveResult saveStep();

    std::atomic<int> frameWidth{0};
    std::atomic<int> frameHeight{0};
    QString saveFolder; // ends with '/'; control thread only
    QString savePath;   // control thread only

    // The frame store's size in bytes (it only grows).
    std::size_t storeCapacity();

private:
    CFrameGrabberCB() = default;

    std::mutex m_mutex;
    QObject* m_owner = nullptr;
    std::atomic<bool> m_grabRequest{false};
    std::vector<uint8_t> m_store;
    std::size_t m_length = 0;
    bool m_holding = false;
    int m_storeWidth = 0;
    int m_storeHeight = 0;
};

} // namespace qx::control
