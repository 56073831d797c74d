// The edge-finding preview's start and its option methods, which all act on the camera-library device.
#include "control/capture/edge_window.h"
#include "control/capture/preview_surface.h"
#include "control/core/control.h"
#include "control/core/outside_libraries.h"

#include <QWindow>

namespace qx::control {

bool CMorvelQxWebCtrl::mainCameraSelected() const {
    return m_s.selectedDevice >= 0 && m_s.selectedDevice == m_s.mainCameraIndex;
}

void CMorvelQxWebCtrl::KelpoCapturePlay() {
    OutsideLibraries& libs = OutsideLibraries::instance();
    if (m_s.edgePreviewOn && m_s.cameraDevice) {
        if (m_s.cameraDevice->IsPlaying()) {
            writeLog(QStringLiteral("已在寻边预览状态"));
            return;
        }
        m_s.cameraDevice->StopPlay();
        if (libs.deleteKelpoDevice)
            libs.deleteKelpoDevice(m_s.cameraDevice);
        m_s.cameraDevice = nullptr;
        writeLog(QStringLiteral("释放寻边对象!"));
    }
    m_s.edgePreviewOn = false;

    writeLog(QStringLiteral("启动寻边预览!"));
    const std::size_t size =
        m_s.selectedResolution >= 0 && m_s.selectedResolution < kResolutionSlots ? m_s.selectedResolution : 0;
    m_s.captureWidth = m_s.resolutionWidths[size];
    m_s.captureHeight = m_s.resolutionHeights[size];

    if (!m_s.cameraDevice && m_s.deviceCount > 0 && m_s.selectedDevice >= 0 && libs.createKelpoDevice) {
        int model = 0;
        QString line;
        if (m_s.selectedDevice == m_s.mainCameraIndex) {
            model = 520701;
            line = QStringLiteral("创建QORVANE_DC5207_A!");
        } else if (m_s.selectedDevice == m_s.auxCameraIndex) {
            model = 520702;
            line = QStringLiteral("创建QORVANE_DC5207_B!");
        } else if (m_s.selectedDevice == m_s.cashCameraIndex) {
            model = 520703;
            line = QStringLiteral("创建QORVANE_DC5207_C!");
        }
        if (model) {
            m_s.cameraDevice = libs.createKelpoDevice(model);
            writeLog(line);
        }
    }
    KelpoDevice* device = m_s.cameraDevice;
    if (!device)
        return;

    if (device->OpenDevice(1) == 0)
        writeLog(QStringLiteral("该摄像头不支持寻边特性!"));
    device->SetCaptureFormat(kelpo::kFourccYuy2);
    device->SetCaptureSize(m_s.captureWidth, m_s.captureHeight);
    writeLog(QStringLiteral("设置寻边预览分辨率:%1 %2").arg(m_s.captureWidth).arg(m_s.captureHeight));

    // A control that has no window yet gets no frames drawn, but its device still captures.
    void* window = m_edgeWindow.get();
    if (!testAttribute(Qt::WA_WState_Created) || !this->window()->windowHandle()) {
        writeLog(QStringLiteral("设置寻边预览窗口失败"));
        window = nullptr;
    }
    device->SetPreviewWindow(window, window);
    device->SetPreviewWindow(window, window);
    writeLog(QStringLiteral("设置寻边预览窗口成功"));

    m_surface->setTargetSize(this->size());
    device->StartPlay(0);
    writeLog(QStringLiteral("寻边预览成功，代码:%1").arg(device->GetDeviceState()));
    m_s.edgePreviewOn = true;

    device->SetCaptureOption(0);
    if (mainCameraSelected()) {
        device->SetAutoCrop(1);
        device->SetCropEnabled(1);
    } else {
        device->SetAutoCrop(0);
        device->SetCropEnabled(0);
        device->SetAutoMode(0);
    }
}

void CMorvelQxWebCtrl::ManualToAuto() {
    KelpoDevice* device = m_s.cameraDevice;
    if (!device)
        return;
    if (mainCameraSelected()) {
        if (device->IsAutoMode())
            return;
        device->SetAutoMode(1);
        device->SetCaptureOption(0);
        device->SetAutoCrop(1);
        device->SetCropEnabled(1);
    } else {
        device->SetAutoMode(1);
        device->SetCaptureOption(0);
        device->SetAutoCrop(0);
        device->SetCropEnabled(1);
    }
}

void CMorvelQxWebCtrl::DisableCrop() {
    if (KelpoDevice* device = m_s.cameraDevice) {
        device->SetAutoCrop(0);
        device->SetCropEnabled(0);
    }
}

void CMorvelQxWebCtrl::SetCropMargin(short range) {
    if (m_s.cameraDevice && mainCameraSelected() && range >= -100 && range <= 100)
        m_s.cameraDevice->SetCropMargin(range);
}

void CMorvelQxWebCtrl::SetOutPutDPI(short x, short y) {
    KelpoDevice* device = m_s.cameraDevice;
    if (!device || !mainCameraSelected())
        return;
    // The preview stays stopped: the caller starts it again with KelpoCapturePlay.
    device->StopPlay();
    device->SetOutputDpi(x, y, 0);
    writeLog(QStringLiteral("设置输出图片DPI %1 * %2 ;")
                 .arg(device->GetOutputDpiX())
                 .arg(device->GetOutputDpiY()));
}

} // namespace qx::control
