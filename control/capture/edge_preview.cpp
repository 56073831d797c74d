// The edge-finding preview's start and its option methods, which all act on the camera-library device.
#include "control/capture/edge_preview.h"

#include "control/capture/cameras.h"
#include "control/capture/preview_surface.h"
#include "control/core/control_context.h"
#include "control/core/outside_libraries.h"

#include <QWidget>
#include <QWindow>

namespace qx::control {

EdgePreview::EdgePreview(ControlContext& control, Cameras& cameras, PreviewSurface& surface)
    : m_control(control), m_cameras(cameras), m_surface(surface), m_window(control, surface) {}

void EdgePreview::readCameraModels() {
    const OutsideLibraries& libs = m_control.libraries();
    if (!libs.getKelpoDeviceCount || !libs.getKelpoDeviceModuleID)
        return;
    const int count = libs.getKelpoDeviceCount();
    m_modelCount = count < 0 ? 0 : count;
    for (int i = 0; i < m_modelCount && i < kCameraModelSlots; ++i)
        m_modelIds[static_cast<std::size_t>(i)] = libs.getKelpoDeviceModuleID(i);
}

void EdgePreview::release(const QString& logLine) {
    if (m_device) {
        m_device->StopPlay();
        if (const auto remove = m_control.libraries().deleteKelpoDevice)
            remove(m_device);
        m_device = nullptr;
        m_control.writeLog(logLine);
    }
    m_on = false;
}

void EdgePreview::KelpoCapturePlay() {
    const OutsideLibraries& libs = m_control.libraries();
    if (m_on && m_device) {
        if (m_device->IsPlaying()) {
            m_control.writeLog(QStringLiteral("已在寻边预览状态"));
            return;
        }
        release(QStringLiteral("释放寻边对象!"));
    }
    m_on = false;

    m_control.writeLog(QStringLiteral("启动寻边预览!"));
    m_cameras.useSelectedSize();
    const int width = m_cameras.captureWidth();
    const int height = m_cameras.captureHeight();

    const int selected = m_cameras.selectedDevice();
    if (!m_device && m_cameras.deviceCount() > 0 && selected >= 0 && libs.createKelpoDevice) {
        int model = 0;
        QString line;
        if (selected == m_cameras.mainCameraIndex()) {
            model = 520701;
            line = QStringLiteral("创建QORVANE_DC5207_A!");
        } else if (selected == m_cameras.auxCameraIndex()) {
            model = 520702;
            line = QStringLiteral("创建QORVANE_DC5207_B!");
        } else if (selected == m_cameras.cashCameraIndex()) {
            model = 520703;
            line = QStringLiteral("创建QORVANE_DC5207_C!");
        }
        if (model) {
            m_device = libs.createKelpoDevice(model);
            m_control.writeLog(line);
            if (m_device && libs.setKelpoEdgeConfidence)
                libs.setKelpoEdgeConfidence(m_device, m_control.settings().edgeConfidence);
        }
    }
    KelpoDevice* device = m_device;
    if (!device)
        return;

    if (device->OpenDevice(1) == 0)
        m_control.writeLog(QStringLiteral("该摄像头不支持寻边特性!"));
    device->SetCaptureFormat(kelpo::kFourccYuy2);
    device->SetCaptureSize(width, height);
    m_control.writeLog(QStringLiteral("设置寻边预览分辨率:%1 %2").arg(width).arg(height));

    // A control that has no window yet gets no frames drawn, but its device still captures.
    QWidget* control = m_control.controlWindow();
    void* window = &m_window;
    if (!control->testAttribute(Qt::WA_WState_Created) || !control->window()->windowHandle()) {
        m_control.writeLog(QStringLiteral("设置寻边预览窗口失败"));
        window = nullptr;
    }
    device->SetPreviewWindow(window, window);
    device->SetPreviewWindow(window, window);
    m_control.writeLog(QStringLiteral("设置寻边预览窗口成功"));

    m_surface.setTargetSize(control->size());
    device->StartPlay(0);
    m_control.writeLog(QStringLiteral("寻边预览成功，代码:%1").arg(device->GetDeviceState()));
    m_on = true;

    device->SetCaptureOption(0);
    if (m_cameras.mainCameraSelected()) {
        device->SetAutoCrop(1);
        device->SetCropEnabled(1);
    } else {
        device->SetAutoCrop(0);
        device->SetCropEnabled(0);
        device->SetAutoMode(0);
    }
}

void EdgePreview::ManualToAuto() {
    KelpoDevice* device = m_device;
    if (!device)
        return;
    if (m_cameras.mainCameraSelected()) {
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

void EdgePreview::DisableCrop() {
    if (m_device) {
        m_device->SetAutoCrop(0);
        m_device->SetCropEnabled(0);
    }
}

void EdgePreview::SetCropMargin(short range) {
    if (m_device && m_cameras.mainCameraSelected() && range >= -100 && range <= 100)
        m_device->SetCropMargin(range);
}

void EdgePreview::SetOutPutDPI(short x, short y) {
    if (!m_device || !m_cameras.mainCameraSelected())
        return;
    // The preview stays stopped: the caller starts it again with KelpoCapturePlay.
    m_device->StopPlay();
    m_device->SetOutputDpi(x, y, 0);
    m_control.writeLog(QStringLiteral("设置输出图片DPI %1 * %2 ;")
                           .arg(m_device->GetOutputDpiX())
                           .arg(m_device->GetOutputDpiY()));
}

bool EdgePreview::showSettings() {
    if (!m_device)
        return false;
    m_device->ShowSettings(&m_window);
    return true;
}

} // namespace qx::control
