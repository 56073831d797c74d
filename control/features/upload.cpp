// HTTP uploads, the local upload list and Base64 encoding of pictures.
#include "control/core/control.h"

#include <QFile>
#include <QFileInfo>

namespace qx::control {

namespace {
constexpr qint64 kMaxLocalImageBytes = 1048576;

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

bool CMorvelQxWebCtrl::uploadFile(const QString&, const QString&, const QString&, const QString&,
                                  const QString&) {
    // No HTTP client is built into this control: every upload fails before a connection is made.
    return false;
}

int CMorvelQxWebCtrl::SendSeal(const QString& strURL) {
    return uploadFile(strURL, m_p.cPicName, fileNamePart(m_p.cPicName), QStringLiteral("image/pjpeg"),
                      QStringLiteral("没指定上传图片，请拍照!"))
               ? 1
               : 0;
}

bool CMorvelQxWebCtrl::HttpSendIDCard(const QString& strURL) {
    return uploadFile(strURL, m_p.strCardImgSavePath + m_p.ImgName, m_p.ImgName, QStringLiteral("image/bmp"),
                      QStringLiteral("找不到待上传照片!"));
}

bool CMorvelQxWebCtrl::HttpSendIDCHeadImg(const QString& strURL) {
    const QString formName = m_p.idNum + QLatin1String("-head.bmp");
    const QString file =
        m_p.strCardImgSavePath + (m_p.IDHeadImgName.isEmpty() ? formName : m_p.IDHeadImgName);
    return uploadFile(strURL, file, formName, QStringLiteral("image/bmp"),
                      QStringLiteral("找不到待上传照片!"));
}

bool CMorvelQxWebCtrl::SelectLocalImgs() {
    m_s.localImages.clear();
    FileDialogOptions options;
    options.filter = QStringLiteral("JPG Files (*.jpg)");
    options.multiple = true;
    if (const auto chosen = m_ui->openFiles(this, options)) {
        for (const QString& path : *chosen) {
            if (QFileInfo(path).size() <= kMaxLocalImageBytes)
                m_s.localImages << path;
            else
                ownMessageBox(QStringLiteral("图片( %1 )的大小超过1M，不能上传!").arg(path));
        }
    }
    writeLog(QStringLiteral("选择了%1张本地待上传照片").arg(m_s.localImages.size()));
    return true;
}

QString CMorvelQxWebCtrl::GetLocalImgName(short index) {
    if (index < 0 || index >= m_s.localImages.size())
        return QString();
    return fileNamePart(m_s.localImages[index]);
}

short CMorvelQxWebCtrl::RemoveLocalImg(short index) {
    if (index < 0 || index >= m_s.localImages.size())
        return -1;
    m_s.localImages.removeAt(index);
    return 0;
}

short CMorvelQxWebCtrl::RefreshLocalImg() {
    return static_cast<short>(m_s.localImages.size());
}

short CMorvelQxWebCtrl::UploadLocalImg(const QString& strURL) {
    if (m_s.localImages.isEmpty())
        return 0;
    int last = 0;
    for (qsizetype i = 0; i < m_s.localImages.size(); ++i) {
        m_p.cPicName = m_s.localImages[i];
        last = SendSeal(strURL);
        if (!last) {
            writeLog(QStringLiteral("第%1张照片上传失败").arg(i));
            return 0;
        }
    }
    return static_cast<short>(last);
}

bool CMorvelQxWebCtrl::GetBase64String(const QString& Img) {
    QFile f(Img);
    if (Img.isEmpty() || QFileInfo(Img).isDir() || !f.open(QIODevice::ReadOnly)) {
        writeLog(QStringLiteral("打开待转换base64字符串的图片失败!"));
        m_p.Img2Base64.clear();
        return false;
    }
    writeLog(QStringLiteral("打开待转换base64字符串的图片成功!"));
    const QByteArray data = f.readAll();
    f.close();
    if (data.isEmpty()) {
        writeLog(QStringLiteral("待转换base64字符串的图片为空!"));
        m_p.Img2Base64.clear();
        return false;
    }
    const QString text = QString::fromLatin1(data.toBase64());
    writeLog(QStringLiteral("图片转字符串成功!"));
    writeLog(QStringLiteral("长度为 %1 个字节").arg(data.size()));
    m_p.Img2Base64 = text;
    writeLog(QStringLiteral("清空文件buffer!"));
    writeLog(QStringLiteral("清空内存buffer!"));
    if (m_p.markdown)
        writeLog(text);
    return true;
}

} // namespace qx::control
