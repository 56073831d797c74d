// VideoRecord: opening the video recording window.
#include "control/core/control.h"

namespace qx::control {

bool recordingActive = false;

int CMorvelQxWebCtrl::VideoRecord(const QString&) {
    // No recording window is built into this control, so none can be created and none records.
    m_p.bIsRecord = recordingActive;
    writeLog(QStringLiteral("打开录像界面失败!"));
    return -1;
}

} // namespace qx::control
