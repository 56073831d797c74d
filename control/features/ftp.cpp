// MorvelNet: sending the last picture by FTP.
#include "control/features/ftp.h"

#include "control/core/control_context.h"
#include "control/features/network_transfer.h"
#include "qx/net/ftp_upload.h"

#include <QFile>

namespace qx::control {

namespace {
std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}
} // namespace

int FtpSending::MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                          const QString& UsrPasswd, const QString& FtpPath, const QString& FtpFileName) {
    ++m_sends;
    // User name and password are never logged.
    m_control.writeLog(QStringLiteral("FTP上传:") + ServIp + QLatin1Char(' ') + ServPort + QLatin1Char(' ') +
                       FtpPath);
    if (m_transfer.busy()) {
        m_transfer.logRefusal();
        return kTransferBusy;
    }
    const ControlProperties& p = m_control.properties();
    const QString picture = p.cPicName;
    const bool deleteAfter = p.bUploadDel;
    net::FtpUploadRequest request;
    request.server = utf8(ServIp);
    request.port = utf8(ServPort);
    request.user = utf8(UsrName);
    request.password = utf8(UsrPasswd);
    request.folder = utf8(FtpPath);
    request.remoteName = utf8(FtpFileName);
    request.localFile = QFile::encodeName(picture).toStdString();

    const net::FtpUploadResult result = m_transfer.run<net::FtpUploadResult>(
        [&request](const net::LogSink& log, const net::CancelFlag* cancel) {
            net::FtpUploadRequest r = request;
            r.cancel = cancel;
            return net::ftpUpload(r, log);
        });

    using Outcome = net::FtpUploadResult::Outcome;
    switch (result.outcome) {
    case Outcome::Stored:
        // Only a picture the server has stored is deleted.
        if (deleteAfter)
            QFile::remove(picture);
        m_control.properties().cFileList += FtpFileName + QLatin1Char('|');
        return 0;
    case Outcome::StoreRefused:
        m_control.properties().cFileList += FtpFileName + QLatin1Char('|');
        return 0;
    case Outcome::FolderUnavailable:
        return 0;
    case Outcome::LocalFileMissing:
        return -5;
    case Outcome::SessionFailed:
        return -2;
    case Outcome::ConnectFailed:
        return -3;
    case Outcome::BadArgument:
        m_control.writeLog(QStringLiteral("FTP参数含有回车、换行或空字符，拒绝上传!"));
        return kFtpBadArgument;
    case Outcome::Failed:
        m_control.ownMessageBox(QString::fromUtf8(result.errorText));
        m_control.writeLog(QString::fromUtf8(result.errorText));
        return -4;
    }
    return -4;
}

void FtpSending::ResetFileList() {
    m_control.properties().cFileList.clear();
}

} // namespace qx::control
