// HTTP uploads of pictures, the local upload list, and Base64 encoding of pictures.
#pragma once

#include "control/core/progress_report.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace qx::control {

class ControlContext;
class NetworkTransfer;

// Base64 (RFC 4648, padded, one line) of `bytes`: the text pictures are handed to web pages in.
QString base64Text(QByteArrayView bytes);
QString base64Text(const QByteArray& bytes);

// What an HTTP upload takes from the control's properties at the moment it starts: a script may
// change them while the transfer runs.
struct UploadSettings {
    QString proxyServer; // empty: the environment's proxy
    QString proxyUser;
    QString proxyPassword;
    bool verifyTls = true;
    QString extraCaFile;
    bool showBox = true; // bShowMsgBox: the success and status boxes (transport errors always show)
};

struct UploadOutcome {
    bool ok = false;                             // status 200 to the whole body
    std::optional<QString> response;             // HttpResponse, when an answer came
    std::optional<QString> proxyFromEnvironment; // strProxyServer from now on, when it was read now
};

struct SealRequest {
    QString picture;          // cPicName
    bool deleteAfter = false; // bUploadDel: only after status 200 to the whole body
    bool gb2312 = false;      // bGB2312Encode
    UploadSettings settings;
};

struct LocalUploadResult {
    short code = 0;
    UploadOutcome last;             // of the last upload that ran
    std::optional<QString> picture; // cPicName afterwards: the entry sent last
};

class Uploads {
public:
    Uploads(ControlContext& control, NetworkTransfer& transfer) : m_control(control), m_transfer(transfer) {}

    UploadOutcome SendSeal(const QString& strURL, const SealRequest& request);
    bool SelectLocalImgs();
    QString GetLocalImgName(short index) const;
    short RemoveLocalImg(short index);
    short RefreshLocalImg() const;
    // `progress` hears the entries sent of the list's.
    LocalUploadResult UploadLocalImg(const QString& strURL, SealRequest request,
                                     const ProgressReport& progress = {});
    // The Base64 text of a picture (empty when it cannot be read or is empty); the text itself is
    // logged when `logText` (markdown).
    std::optional<QString> GetBase64String(const QString& Img, bool logText);

    // One multipart upload of `file` under the form file name `formFileName` (the bytes placed in
    // the form as they are): the routine every HTTP upload of the control shares.
    UploadOutcome uploadFile(const QString& url, const QString& file, const QByteArray& formFileName,
                             const QString& contentType, const QString& missingFileLog,
                             const UploadSettings& settings);

    // A form file name for the disposition header, safe inside its quotes.
    static QByteArray formFileName(const QString& name);

private:
    ControlContext& m_control;
    NetworkTransfer& m_transfer;
    // Pictures chosen for the local upload list.
    QStringList m_localImages;
};

} // namespace qx::control
