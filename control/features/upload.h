// HTTP uploads of pictures, the local upload list, and Base64 encoding of pictures.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace qx::control {

class ControlContext;
class NetworkTransfer;

// Base64 (RFC 4648, padded, one line) of `bytes`: the text pictures are handed to web pages in.
QString base64Text(QByteArrayView bytes);
QString base64Text(const QByteArray& bytes);

class Uploads {
public:
    Uploads(ControlContext& control, NetworkTransfer& transfer) : m_control(control), m_transfer(transfer) {}

    int SendSeal(const QString& strURL);
    bool SelectLocalImgs();
    QString GetLocalImgName(short index) const;
    short RemoveLocalImg(short index);
    short RefreshLocalImg() const;
    short UploadLocalImg(const QString& strURL);
    bool GetBase64String(const QString& Img);

    // One multipart upload of `file` under the form file name `formFileName` (the bytes placed in
    // the form as they are): the routine every HTTP upload of the control shares. True when the
    // server answered with status 200. Refused (false, logged) while another transfer runs.
    bool uploadFile(const QString& url, const QString& file, const QByteArray& formFileName,
                    const QString& contentType, const QString& missingFileLog);

    // A form file name for the disposition header, safe inside its quotes.
    static QByteArray formFileName(const QString& name);

private:
    ControlContext& m_control;
    NetworkTransfer& m_transfer;
    // Pictures chosen for the local upload list.
    QStringList m_localImages;
};

} // namespace qx::control
