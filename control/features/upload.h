// HTTP uploads of pictures, the local upload list, and Base64 encoding of pictures.
#pragma once

#include <QString>
#include <QStringList>

namespace qx::control {

class ControlContext;

class Uploads {
public:
    explicit Uploads(ControlContext& control) : m_control(control) {}

    int SendSeal(const QString& strURL);
    bool SelectLocalImgs();
    QString GetLocalImgName(short index) const;
    short RemoveLocalImg(short index);
    short RefreshLocalImg() const;
    short UploadLocalImg(const QString& strURL);
    bool GetBase64String(const QString& Img);

    // One multipart upload of `file` under the form file name `formFileName`: the routine every HTTP
    // upload of the control shares.
    bool uploadFile(const QString& url, const QString& file, const QString& formFileName,
                    const QString& contentType, const QString& missingFileLog);

private:
    ControlContext& m_control;
    // Pictures chosen for the local upload list.
    QStringList m_localImages;
};

} // namespace qx::control
