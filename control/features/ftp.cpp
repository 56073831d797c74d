// MorvelNet: sending the last picture by FTP.
#include "control/features/ftp.h"

#include "control/core/control_context.h"
#include "control/features/network_transfer.h"
#include "qx/interface/result_codes.h"
#include "qx/net/ftp_upload.h"

#include <QFile>

namespace qx::control {

namespace {
std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}
} // namespace

void FtpSending::announce(const FtpRequest& r) {
    ++m_sends;
    m_control.writeLog(QStringLiteral("FTP上传:") + r.server + QLatin1Char(' ') + r.port + QLatin1Char(' ') +
                       r.folder);
}

FtpResult FtpSending::send(const FtpRequest& r) {
    net::FtpUploadRequest request;
    request.server = utf8(r.server);
    request.port = utf8(r.port);
    request.user = utf8(r.user);
    request.password = utf8(r.password);
    request.folder = utf8(r.folder);
    request.remoteName = utf8(r.remoteName);
    request.localFile = QFile::encodeName(r.picture).toStdString();

    const net::FtpUploadResult result = m_transfer.run<net::FtpUploadResult>(
        [&request](const net::LogSink& log, const net::CancelFlag* cancel) {
            net::FtpUploadRequest copy = request;
            copy.cancel = cancel;
            return net::ftpUpload(copy, log);
        });

    using Outcome = net::FtpUploadResult::Outcome;
    switch (result.outcome) {
    case Outcome::Stored:
        // Only a picture the server has stored is deleted.
        if (r.deleteAfter)
            QFile::remove(r.picture);
        return {0, true};
    case Outcome::StoreRefused:
        return {0, true};
    case Outcome::FolderUnavailable:
        return {0, false};
    case Outcome::LocalFileMissing:
        return {automation::kFtpNoPicture, false};
    case Outcome::SessionFailed:
        return {automation::kFtpNoSession, false};
    case Outcome::ConnectFailed:
        return {automation::kFtpNoConnection, false};
    case Outcome::BadArgument:
        m_control.writeLog(QStringLiteral("FTP参数含有回车、换行或空字符，拒绝上传!"));
        return {automation::kFtpBadArgument, false};
    case Outcome::Failed:
        m_control.ownMessageBox(QString::fromUtf8(result.errorText));
        m_control.writeLog(QString::fromUtf8(result.errorText));
        return {automation::kFtpFailed, false};
    }
    return {automation::kFtpFailed, false};
}

} // namespace qx::control
