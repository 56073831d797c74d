// MorvelNet: sending the last picture by FTP.
#include "control/core/control.h"

namespace qx::control {

int CMorvelQxWebCtrl::MorvelNet(const QString& ServIp, const QString& ServPort, const QString&,
                                const QString&, const QString& FtpPath, const QString&) {
    // User name and password are never logged.
    writeLog(QStringLiteral("FTP上传:") + ServIp + QLatin1Char(' ') + ServPort + QLatin1Char(' ') + FtpPath);
    // No FTP client is built into this control, so no session can be made.
    writeLog(QStringLiteral("创建FTP InternetSession失败!"));
    return -2;
}

} // namespace qx::control
