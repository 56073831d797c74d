// HTTP uploads, the local upload list and Base64 encoding of pictures.
#include "control/features/upload.h"

#include "control/core/control_context.h"
#include "control/features/network_transfer.h"
#include "qx/interface/ui_host.h"
#include "qx/net/http_upload.h"
#include "qx/net/multipart.h"
#include "qx/platform/files.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstring>

namespace qx::control {

namespace {
constexpr qint64 kMaxLocalImageBytes = 1048576;

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}
} // namespace

QString base64Text(const QByteArray& bytes) {
    return base64Text(QByteArrayView(bytes));
}

QString base64Text(QByteArrayView bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // Two characters per 12 bits: pictures of several megabytes are encoded straight into the
    // property's UTF-16 text, with no byte text in between.
    static const auto pairs = [] {
        std::array<std::array<char16_t, 2>, 4096> table{};
        for (int i = 0; i < 4096; ++i)
            table[i] = {char16_t(kAlphabet[i >> 6]), char16_t(kAlphabet[i & 63])};
        return table;
    }();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString text((size + 2) / 3 * 4, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype i = 0;
    for (; i + 3 <= size; i += 3, out += 4) {
        const unsigned group = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
        std::memcpy(out, pairs[group >> 12].data(), 4);
        std::memcpy(out + 2, pairs[group & 0xfff].data(), 4);
    }
    if (const qsizetype rest = size - i; rest > 0) {
        const unsigned group = unsigned(in[i]) << 16 | (rest == 2 ? unsigned(in[i + 1]) << 8 : 0u);
        out[0] = char16_t(kAlphabet[group >> 18]);
        out[1] = char16_t(kAlphabet[(group >> 12) & 63]);
        out[2] = rest == 2 ? char16_t(kAlphabet[(group >> 6) & 63]) : u'=';
        out[3] = u'=';
    }
    return text;
}

QByteArray Uploads::formFileName(const QString& name) {
    return QByteArray::fromStdString(net::quotableFileName(utf8(name)));
}

UploadOutcome Uploads::uploadFile(const QString& url, const QString& file, const QByteArray& formFileName,
                                  const QString& contentType, const QString& missingFileLog,
                                  const UploadSettings& settings) {
    net::HttpUploadRequest request;
    request.url = utf8(url);
    request.filePath = QFile::encodeName(file).toStdString();
    request.formFileName = formFileName.toStdString();
    request.contentType = utf8(contentType);
    request.missingFileLog = utf8(missingFileLog);
    request.proxyServer = utf8(settings.proxyServer);
    request.proxyUser = utf8(settings.proxyUser);
    request.proxyPassword = utf8(settings.proxyPassword);
    request.tls.verify = settings.verifyTls;
    request.tls.extraCaFile = QFile::encodeName(settings.extraCaFile).toStdString();

    const net::HttpUploadResult result = m_transfer.run<net::HttpUploadResult>(
        [&request](const net::LogSink& log, const net::CancelFlag* cancel) {
            net::HttpUploadRequest r = request;
            r.cancel = cancel;
            return net::uploadMultipart(r, log);
        });

    UploadOutcome outcome;
    // Once read from the environment the proxy stays, as the property shows it.
    if (result.proxyFromEnvironment)
        outcome.proxyFromEnvironment = QString::fromStdString(*result.proxyFromEnvironment);
    using Failure = net::HttpUploadResult::Failure;
    switch (result.failure) {
    case Failure::None:
        outcome.response = QString::fromUtf8(result.response);
        outcome.ok = result.ok();
        if (settings.showBox)
            m_control.ownMessageBox(outcome.ok
                                        ? QStringLiteral("上传成功")
                                        : QStringLiteral("上传失败，服务器返回状态码%1").arg(result.status));
        break;
    case Failure::Internet:
    case Failure::File:
    case Failure::Unknown:
        // These boxes are shown whatever bShowMsgBox says.
        m_control.ownMessageBox(QString::fromUtf8(result.errorBox));
        m_control.writeLog(QString::fromUtf8(result.errorLog));
        break;
    case Failure::BadUrl:
    case Failure::MissingFile:
    case Failure::EmptyFile:
    case Failure::RequestFailed:
        break;
    }
    return outcome;
}

UploadOutcome Uploads::SendSeal(const QString& strURL, const SealRequest& request) {
    const QString name = fileNamePart(request.picture);
    const QByteArray formName = request.gb2312
                                    ? QByteArray::fromStdString(net::percentEncodeFileName(utf8(name)))
                                    : formFileName(name);
    UploadOutcome outcome = uploadFile(strURL, request.picture, formName, QStringLiteral("image/pjpeg"),
                                       QStringLiteral("没指定上传图片，请拍照!"), request.settings);
    // Only a picture the server has taken is deleted: a failed upload never costs the picture.
    if (outcome.ok && request.deleteAfter)
        QFile::remove(request.picture);
    return outcome;
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

LocalUploadResult Uploads::UploadLocalImg(const QString& strURL, SealRequest request,
                                          const ProgressReport& progress) {
    LocalUploadResult result;
    // Scripts may edit the list while an upload runs; this call sends the list it was given.
    const QStringList images = m_localImages;
    const int total = static_cast<int>(images.size());
    if (progress && total > 0)
        progress(0, total);
    for (qsizetype i = 0; i < images.size(); ++i) {
        request.picture = images[i];
        result.picture = images[i];
        result.last = SendSeal(strURL, request);
        // A proxy read from the environment by one upload is the next one's, as the property says.
        if (result.last.proxyFromEnvironment)
            request.settings.proxyServer = *result.last.proxyFromEnvironment;
        if (!result.last.ok) {
            m_control.writeLog(QStringLiteral("第%1张照片上传失败").arg(i));
            result.code = 0;
            return result;
        }
        result.code = 1;
        if (progress)
            progress(static_cast<int>(i) + 1, total);
    }
    return result;
}

std::optional<QString> Uploads::GetBase64String(const QString& Img, bool logText) {
    QFile f;
    // Regular files only, opened without blocking: a FIFO named as the picture would hang the call.
    if (!platform::openRegularFile(f, Img)) {
        m_control.writeLog(QStringLiteral("打开待转换base64字符串的图片失败!"));
        return std::nullopt;
    }
    m_control.writeLog(QStringLiteral("打开待转换base64字符串的图片成功!"));
    const qint64 size = f.size();
    // Mapped rather than copied; a file that cannot be mapped is read.
    QByteArray read;
    const uchar* mapped = size > 0 ? f.map(0, size) : nullptr;
    if (!mapped)
        read = f.readAll();
    const QByteArrayView data = mapped ? QByteArrayView(mapped, size) : QByteArrayView(read);
    if (data.isEmpty()) {
        m_control.writeLog(QStringLiteral("待转换base64字符串的图片为空!"));
        return std::nullopt;
    }
    QString text = base64Text(data);
    m_control.writeLog(QStringLiteral("图片转字符串成功!"));
    m_control.writeLog(QStringLiteral("长度为 %1 个字节").arg(data.size()));
    if (mapped)
        f.unmap(const_cast<uchar*>(mapped));
    read.clear();
    f.close();
    m_control.writeLog(QStringLiteral("清空文件buffer!"));
    m_control.writeLog(QStringLiteral("清空内存buffer!"));
    if (logText)
        m_control.writeLog(text);
    return text;
}

} // namespace qx::control
