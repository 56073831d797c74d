// MorvelNet: sending the last picture by FTP.
#include "control/features/ftp.h"

#include "control/core/control_context.h"

namespace qx::control {

int FtpSending::MorvelNet(const QString& ServIp, const QString& ServPort, const QString&, const QString&,
                          const QString& FtpPath, const QString&) {
    // User name and password are never logged.
    m_control.writeLog(QStringLiteral("FTP上传:") + ServIp + QLatin1Char(' ') + ServPort + QLatin1Char(' ') +
                       FtpPath);
    // No FTP client is built into this control, so no session can be made.
    m_control.writeLog(QStringLiteral("创建FTP InternetSession失败!"));
    return -2;
}

void FtpSending::ResetFileList() {
    m_control.properties().cFileList.clear();
}

} // namespace qx::control
