// MorvelNet: sending the last picture by FTP, and the list of files sent.
#pragma once

#include <QString>

namespace qx::control {

class ControlContext;
class NetworkTransfer;

// MorvelNet's result when a text sent to the server holds CR, LF or NUL: they would end the
// command line and start another one of the caller's choosing.
inline constexpr int kFtpBadArgument = -6;

class FtpSending {
public:
    FtpSending(ControlContext& control, NetworkTransfer& transfer)
        : m_control(control), m_transfer(transfer) {}

    int MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                  const QString& UsrPasswd, const QString& FtpPath, const QString& FtpFileName);
    void ResetFileList();

private:
    ControlContext& m_control;
    NetworkTransfer& m_transfer;
    // Calls of MorvelNet, sent or not.
    int m_sends = 0;
};

} // namespace qx::control
