// HTTP uploads, the local upload list and Base64 encoding of pictures.
#include "control/features/upload.h"

#include "control/core/control_context.h"
#include "qx/interface/ui_host.h"

#include <QFile>
#include <QFileInfo>

namespace qx::control {

namespace {
constexpr qint64 kMaxLocalImageBytes = 1048576;

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

bool Uploads::uploadFile(const QString&, const QString&, const QString&, const QString&, const QString&) {
    // No HTTP client is built into this control: every upload fails before a connection is made.
    return false;
}

int Uploads::SendSeal(const QString& strURL) {
    return uploadFile(strURL, m_control.properties().cPicName, fileNamePart(m_control.properties().cPicName),
                      QStringLiteral("image/pjpeg"), QStringLiteral("没指定上传图片，请拍照!"))
               ? 1
               : 0;
}

bool Uploads::SelectLocalImgs() {
    m_localImages.clear();
    FileDialogOptions options;
    options.filter = QStringLiteral("JPG Files (*.jpg)");
    options.multiple = true;
    if (const auto chosen = m_control.uiHost().openFiles(m_control.controlWindow(), options)) {
        for (const QString& path : *chosen) {
            if (QFileInfo(path).size() <= kMaxLocalImageBytes)
                m_localImages << path;
            else
                m_control.ownMessageBox(QStringLiteral("图片( %1 )的大小超过1M，不能上传!").arg(path));
        }
    }
    m_control.writeLog(QStringLiteral("选择了%1张本地待上传照片").arg(m_localImages.size()));
    return true;
}

QString Uploads::GetLocalImgName(short index) const {
    if (index < 0 || index >= m_localImages.size())
        return QString();
    return fileNamePart(m_localImages[index]);
}

short Uploads::RemoveLocalImg(short index) {
    if (index < 0 || index >= m_localImages.size())
        return -1;
    m_localImages.removeAt(index);
    return 0;
}

short Uploads::RefreshLocalImg() const {
    return static_cast<short>(m_localImages.size());
}

short Uploads::UploadLocalImg(const QString& strURL) {
    if (m_localImages.isEmpty())
        return 0;
    int last = 0;
    for (qsizetype i = 0; i < m_localImages.size(); ++i) {
        m_control.properties().cPicName = m_localImages[i];
        last = SendSeal(strURL);
        if (!last) {
            m_control.writeLog(QStringLiteral("第%1张照片上传失败").arg(i));
            return 0;
        }
    }
    return static_cast<short>(last);
}

bool Uploads::GetBase64String(const QString& Img) {
    QFile f(Img);
    if (Img.isEmpty() || QFileInfo(Img).isDir() || !f.open(QIODevice::ReadOnly)) {
        m_control.writeLog(QStringLiteral("打开待转换base64字符串的图片失败!"));
        m_control.properties().Img2Base64.clear();
        return false;
    }
    m_control.writeLog(QStringLiteral("打开待转换base64字符串的图片成功!"));
    const QByteArray data = f.readAll();
    f.close();
    if (data.isEmpty()) {
        m_control.writeLog(QStringLiteral("待转换base64字符串的图片为空!"));
        m_control.properties().Img2Base64.clear();
        return false;
    }
    const QString text = QString::fromLatin1(data.toBase64());
    m_control.writeLog(QStringLiteral("图片转字符串成功!"));
    m_control.writeLog(QStringLiteral("长度为 %1 个字节").arg(data.size()));
    m_control.properties().Img2Base64 = text;
    m_control.writeLog(QStringLiteral("清空文件buffer!"));
    m_control.writeLog(QStringLiteral("清空内存buffer!"));
    if (m_control.properties().markdown)
        m_control.writeLog(text);
    return true;
}

} // namespace qx::control
