// IDCardRead: reading an identity card through the outside card-reading library, and the card uploads.
#include "control/features/idcard.h"

#include "control/core/control_context.h"
#include "control/features/upload.h"

namespace qx::control {

bool CardReading::IDCardRead(const QString&) {
    // Without the card-reading functions the read fails as a failed card read does. The record parse
    // and the card image are not built into this control, so a bound library is not called either.
    m_control.writeLog(QStringLiteral("读取二代证信息失败!"));
    return false;
}

bool CardReading::HttpSendIDCard(const QString& strURL) {
    const ControlProperties& p = m_control.properties();
    return m_uploads.uploadFile(strURL, p.strCardImgSavePath + p.ImgName, Uploads::formFileName(p.ImgName),
                                QStringLiteral("image/bmp"), QStringLiteral("找不到待上传照片!"));
}

bool CardReading::HttpSendIDCHeadImg(const QString& strURL) {
    const ControlProperties& p = m_control.properties();
    const QString formName = p.idNum + QLatin1String("-head.bmp");
    const QString file = p.strCardImgSavePath + (p.IDHeadImgName.isEmpty() ? formName : p.IDHeadImgName);
    return m_uploads.uploadFile(strURL, file, Uploads::formFileName(formName), QStringLiteral("image/bmp"),
                                QStringLiteral("找不到待上传照片!"));
}

} // namespace qx::control
