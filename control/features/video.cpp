// VideoRecord: opening the video recording window.
#include "control/features/video.h"

#include "control/core/control_context.h"

#include <QWidget>

namespace qx::control {

bool recordingActive = false;

Recording::~Recording() {
    closeWindow();
}

int Recording::VideoRecord(const QString&) {
    // No recording window is built into this control, so none can be created and none records.
    m_control.properties().bIsRecord = recordingActive;
    m_control.writeLog(QStringLiteral("打开录像界面失败!"));
    return -1;
}

bool Recording::closeWindow() {
    if (!m_videoDialog)
        return false;
    delete m_videoDialog;
    m_videoDialog = nullptr;
    return true;
}

} // namespace qx::control
