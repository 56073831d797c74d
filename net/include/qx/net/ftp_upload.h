// Sending one file to an FTP server over a single control connection.
#pragma once

#include "qx/net/transfer.h"

#include <string>

namespace qx::net {

struct FtpUploadRequest {
    std::string server;
    std::string port; // decimal text; leading digits count, no number means the default port 21
    std::string user; // empty: anonymous
    std::string password;
    std::string folder;     // sent verbatim to CWD and, when that fails, to one MKD
    std::string remoteName; // sent verbatim to STOR, in that folder
    std::string localFile;
    Seconds connectTimeout{30}; // until the server has greeted and accepted the login
    Seconds replyTimeout{60};   // for each answer to a command
    Seconds dataIdle{60};       // nothing moves on the data connection
    const CancelFlag* cancel = nullptr;
};

struct FtpUploadResult {
    enum class Outcome {
        Stored,            // "FTP上传成功!"
        StoreRefused,      // the server refused STOR: "FTP上传失败!"
        FolderUnavailable, // neither CWD nor MKD and CWD again worked; nothing was sent
        LocalFileMissing,  // checked after the folder step, as the server's folder may be what matters
        SessionFailed,     // the transport could not be set up at all
        ConnectFailed,     // no connection or no login
        BadArgument,       // CR, LF or NUL in a text sent to the server: nothing was sent at all
        Failed,            // the transport failed after login (a dropped connection, a silent server)
    };
    Outcome outcome = Outcome::Failed;
    std::string errorText; // for Failed: the transport's reason
};

// Passive mode, binary type. Log lines go to `log` as they happen; the password is never in them.
FtpUploadResult ftpUpload(const FtpUploadRequest& request, const LogSink& log);

// Whether `text` can go into an FTP command line: no CR, LF or NUL.
bool isSafeFtpText(const std::string& text);

} // namespace qx::net
