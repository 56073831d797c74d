// MorvelNet: sending a picture by FTP.
#pragma once

#include <QString>

namespace qx::control {

class ControlContext;
class NetworkTransfer;

struct FtpRequest {
    QString server;
    QString port; // decimal text; its leading digits count
    QString user;
    QString password;
    QString folder;
    QString remoteName;
    QString picture;          // the local file (cPicName)
    bool deleteAfter = false; // bUploadDel: only after a completed STOR
};

struct FtpResult {
    int code = 0;
    // The remote name joins the list of files sent (cFileList): after every STOR, refused or not.
    bool listed = false;
};

class FtpSending {
public:
    FtpSending(ControlContext& control, NetworkTransfer& transfer)
        : m_control(control), m_transfer(transfer) {}

    // The call's first log line, written before anything else is decided (a refused call too). User
    // name and password are never logged.
    void announce(const FtpRequest& request);
    FtpResult send(const FtpRequest& request);

private:
    ControlContext& m_control;
    NetworkTransfer& m_transfer;
    // Calls of MorvelNet, sent or not.
    int m_sends = 0;
};

} // namespace qx::control
