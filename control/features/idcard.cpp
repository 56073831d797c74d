// IDCardRead: reading an identity card through the outside card-reading library.
#include "control/core/control.h"
#include "control/core/outside_libraries.h"

namespace qx::control {

bool CMorvelQxWebCtrl::IDCardRead(const QString&) {
    // Without the card-reading functions the read fails as a failed card read does. The record parse
    // and the card image are not built into this control, so a bound library is not called either.
    writeLog(QStringLiteral("读取二代证信息失败!"));
    return false;
}

} // namespace qx::control
