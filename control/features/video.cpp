// VideoRecord: opening the recording window and its recorder, and destroying them with the control.
#include "control/features/video.h"

#include "control/capture/cameras.h"
#include "control/capture/preview.h"
#include "control/core/control_context.h"
#include "control/features/recorder.h"
#include "control/ui/video_dialog.h"
#include "qx/interface/result_codes.h"

#include <QApplication>

namespace qx::control {

Recording::Recording(ControlContext& control, ProcessModes& modes, Cameras& cameras, NormalPreview& preview)
    : m_control(control), m_modes(modes), m_cameras(cameras), m_preview(preview) {}

Recording::~Recording() {
    closeWindow();
}

int Recording::VideoRecord(const QString& folder, int asfBitRate) {
    // The window streams the auxiliary camera itself: the control's preview lets go of it first.
    if (m_cameras.selectedDevice() >= 0 && m_cameras.selectedDevice() == m_cameras.auxCameraIndex())
        m_preview.StopPreview();
    if (CVideoDlg* open = window(); open && m_recorder && !m_recorder->isClosed())
        open->close();
    closeWindow();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Windows need a widget application; a container without one gets no window.
        m_control.writeLog(QStringLiteral("打开录像界面失败!"));
        return automation::kFailed;
    }
    m_recorder = std::make_unique<Recorder>(
        [&control = m_control](const QString& text) { control.writeLog(text); }, m_modes);
    auto* dialog = new CVideoDlg(m_control.uiHost(), *m_recorder);
    m_videoDialog = dialog;
    m_recorder->setView(dialog);
    m_recorder->setFolder(folder);
    m_recorder->setBitRate(asfBitRate);
    dialog->startUp();
    m_control.writeLog(QStringLiteral("打开录像界面成功!"));
    return 0;
}

CVideoDlg* Recording::window() const {
    return static_cast<CVideoDlg*>(m_videoDialog.data());
}

bool Recording::closeWindow() {
    if (!m_videoDialog && !m_recorder)
        return false;
    delete m_videoDialog.data(); // ends the recorder's pipeline and leaves it
    m_videoDialog = nullptr;
    m_recorder.reset();
    return true;
}

} // namespace qx::control
