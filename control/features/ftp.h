// MorvelNet: sending the last picture by FTP, and the list of files sent.
#pragma once

#include <QString>

namespace qx::control {

class ControlContext;

class FtpSending {
public:
    explicit FtpSending(ControlContext& control) : m_control(control) {}

    int MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                  const QString& UsrPasswd, const QString& FtpPath, const QString& FtpFileName);
    void ResetFileList();

private:
    ControlContext& m_control;
};

} // namespace qx::control
