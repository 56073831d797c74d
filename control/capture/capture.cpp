// Morvel: choosing the capture path, its checks, and the normal path's frame grab.
#include "control/capture/frame_grabber.h"
#include "control/core/control.h"
#include "qx/platform/folders.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace qx::control {

namespace {
// How long a capture waits for the preview to deliver and save its frame.
constexpr int kFrameWaitMs = 5000;
} // namespace

std::optional<QString> CMorvelQxWebCtrl::captureFolder() const {
    if (m_p.CustomSavePath.isEmpty())
        return platform::tempFolder();
    // An existing folder named with its trailing separator passes, even when it is empty.
    if (!m_p.CustomSavePath.endsWith(QLatin1Char('/')) || !QFileInfo(m_p.CustomSavePath).isDir())
        return std::nullopt;
    return m_p.CustomSavePath;
}

int CMorvelQxWebCtrl::Morvel(const QString& PhotoFormat) {
    // A timer or hotkey may call in while a capture waits for its frame: that call does not start
    // a second capture over the first one's grab.
    if (m_morvelWaiting) {
        writeLog(QStringLiteral("正在拍照，忽略本次拍照请求!"));
        return kMorvelBusy;
    }
    writeLog(QStringLiteral("开始拍照"));
    m_s.lastFormat = PhotoFormat.toLower();
    if (m_s.cameraDevice) {
        if (!m_s.edgePreviewOn) {
            writeLog(QStringLiteral("非寻边预览状态，抓图失败!"));
            return -10;
        }
        // The camera library's device cannot capture in this control yet.
        writeLog(QStringLiteral("capture拍照失败!"));
        return -5;
    }

    if (!m_s.normalPreviewOn) {
        writeLog(QStringLiteral("非预览状态，抓图失败!"));
        return -10;
    }
    if (!cameraPresent())
        return -8;
    const auto folder = captureFolder();
    if (!folder) {
        ownMessageBox(QStringLiteral("请确保自定义图片保存路径(例如：C:\\)是正确的!"));
        writeLog(QStringLiteral("自定义图片路径错误!"));
        return -11;
    }

    m_p.cPicName.clear();
    CFrameGrabberCB& grabber = CFrameGrabberCB::instance();
    grabber.saveFolder = *folder;
    grabber.requestGrab();
    m_s.capturePending = true;
    m_morvelWaiting = true;
    {
        // Events keep flowing while the frame is copied and saved; the wait is bounded so a preview
        // that stopped delivering cannot hang the caller.
        QEventLoop loop;
        QTimer poll;
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!m_s.capturePending || waited.elapsed() >= kFrameWaitMs)
                loop.quit();
        });
        poll.start(5);
        if (m_s.capturePending)
            loop.exec();
    }
    m_morvelWaiting = false;
    if (m_s.capturePending) {
        grabber.cancelGrab();
        m_s.capturePending = false;
        writeLog(QStringLiteral("等待图像帧超时，抓图失败!"));
        return kMorvelFrameTimeout;
    }
    writeLog(QStringLiteral("普通模式bmp拍照"));
    // The picture stays the captured BMP: colour modes, rotation and the other formats are applied by
    // the full capture pipeline.
    writeLog(QStringLiteral("普通拍照成功完成!"));
    return 0;
}

} // namespace qx::control
