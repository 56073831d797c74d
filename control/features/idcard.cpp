// IDCardRead: reading an identity card through the outside card-reading library, and the card uploads.
#include "control/features/idcard.h"

#include "control/core/control_context.h"
#include "control/core/outside_libraries.h"
#include "control/features/card_record.h"
#include "control/features/network_transfer.h"
#include "control/features/upload.h"
#include "qx/imaging/bmp_layout.h"
#include "qx/imaging/picture.h"
#include "qx/platform/codepage.h"
#include "qx/platform/files.h"
#include "qx/platform/folders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <vector>

namespace qx::control {

namespace {

constexpr int kRecordBytes = 2048;

// A file name a container may set: it must stay in the card folder and hold no control character.
bool isSafeCardFileName(const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1String("..")))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

struct LibraryRead {
    int32_t result = -1;
    QByteArray record;
    QByteArray imageName;
    bool imageAsked = false;
};

} // namespace

CardReadResult CardReading::IDCardRead(const CardReadRequest& request) {
    // Nothing of the previous holder may pass for this one's: whatever step fails below, the files
    // the uploads may send are this read's or none.
    m_cardImage.clear();
    m_photoCopy.clear();
    CardReadResult result;
    CardHolder& h = result.holder;
    OutsideLibraries& libs = m_control.libraries();
    if (!libs.idInfoChar || !libs.idInfoBmp) {
        m_control.writeLog(QStringLiteral("读取二代证信息失败!"));
        return result;
    }
    const qint64 readStart = QDateTime::currentMSecsSinceEpoch();
    const IDInfoCharFn idInfoChar = libs.idInfoChar;
    const IDInfoBMPFn idInfoBmp = libs.idInfoBmp;
    // The library joins the folder and its name as they are: a folder named without its '/' would
    // have it write beside the folder.
    const QString folder = platform::withTrailingSlash(request.folder);
    const QByteArray folderBytes = QFile::encodeName(folder);

    // The library blocks for the whole exchange with the reader (seconds): the control's thread
    // keeps handling events meanwhile.
    LibraryRead read = m_worker.run<LibraryRead>([&](const net::LogSink&, const net::CancelFlag*) {
        LibraryRead r;
        std::vector<char> buffer(kRecordBytes + 1, '\0');
        int32_t length = 0;
        r.result = idInfoChar(buffer.data(), &length);
        buffer[kRecordBytes] = '\0';
        r.record = QByteArray(buffer.data(), qsizetype(std::strlen(buffer.data())));
        return r;
    });
    if (read.result != 0) {
        m_control.writeLog(QStringLiteral("读取二代证信息失败!"));
        return result;
    }
    m_control.writeLog(QStringLiteral("拍摄仪：读二代证成功！"));
    const QByteArray record = withoutLineBreaks(read.record);
    h.record = platform::fromGbk(record);
    if (const auto fields = parseCardRecord(record)) {
        h.name = fields->name;
        h.sex = fields->sex;
        h.nation = fields->nation;
        h.birthYear = fields->birthYear;
        h.birthMonth = fields->birthMonth;
        h.birthDay = fields->birthDay;
        h.birth =
            fields->birthYear + QLatin1Char('-') + fields->birthMonth + QLatin1Char('-') + fields->birthDay;
        h.address = fields->address;
        h.number = fields->number;
        h.issue = fields->issue;
        h.validity = fields->validity;
    }

    h.folder = folder;
    result.ok = true;
    if (folder.isEmpty()) {
        m_control.writeLog(QStringLiteral("拍摄仪：二代证路径为空，不生成合成图片！"));
        return result;
    }
    read = m_worker.run<LibraryRead>([&](const net::LogSink&, const net::CancelFlag*) {
        LibraryRead r;
        const char* name = idInfoBmp(folderBytes.constData());
        r.imageName = name ? QByteArray(name) : QByteArray();
        return r;
    });
    const QString imageName = QString::fromUtf8(read.imageName);
    // A name handed back for a picture that is not there (a folder the library could not write) is
    // no card picture either. The read answers TRUE with the text fields alone, as without a folder.
    if (imageName.isEmpty() || !isSafeCardFileName(imageName) ||
        !platform::isRegularFile(platform::joinPath(folder, imageName))) {
        m_control.writeLog(QStringLiteral("生成二代证图片失败!"));
        return result;
    }
    h.imageName = imageName;
    m_cardImage = platform::joinPath(folder, imageName);
    m_control.writeLog(QStringLiteral("拍摄仪：生成二代证合成图片成功！"));
    const QString source = m_cardImage;
    const QString& wanted = request.imageName;
    if (!wanted.isEmpty() && !isSafeCardFileName(wanted)) {
        m_control.writeLog(QStringLiteral("二代证合成图片名无效，保留原名:") + wanted);
        rewriteAs24Bit(folder, source, imageName);
    } else if (!wanted.isEmpty()) {
        if (rewriteAs24Bit(folder, source, wanted)) {
            m_control.writeLog(QStringLiteral("拍摄仪：重命名二代证合成图片成功！"));
            h.imageName = wanted;
            m_cardImage = platform::joinPath(folder, wanted);
        }
    } else {
        rewriteAs24Bit(folder, source, imageName);
    }
    result.ok = takePhoto(request, folder, readStart, h);
    return result;
}

bool CardReading::rewriteAs24Bit(const QString& folder, const QString& source, const QString& name) {
    const auto picture = imaging::loadBmp(source);
    if (!picture || picture->isNull()) {
        m_control.writeLog(QStringLiteral("拍摄仪：二代证图片无法解码，保留原图片！"));
        return false;
    }
    bmp::Header h;
    h.width = picture->width;
    h.height = picture->height;
    h.bitsPerPixel = 24;
    const size_t stride = bmp::rowStride(h.width, 24);
    h.imageSize = uint32_t(stride * size_t(h.height));
    QByteArray bytes(qsizetype(bmp::kHeadersSize + h.imageSize), '\0');
    auto* out = reinterpret_cast<uint8_t*>(bytes.data());
    bmp::writeHeaders(h, out);
    m_control.writeLog(QStringLiteral("拍摄仪：二代证图片文件头写入成功！"));
    m_control.writeLog(QStringLiteral("拍摄仪：二代证图片图像头写入成功！"));
    // Bottom-up B, G, R rows, whatever the depth of the library's picture.
    for (int y = 0; y < h.height; ++y) {
        uint8_t* row = out + bmp::kHeadersSize + size_t(h.height - 1 - y) * stride;
        for (int x = 0; x < h.width; ++x) {
            const QRgb rgb = picture->colourAt(x, y);
            row[3 * x] = uint8_t(qBlue(rgb));
            row[3 * x + 1] = uint8_t(qGreen(rgb));
            row[3 * x + 2] = uint8_t(qRed(rgb));
        }
    }
    m_control.writeLog(QStringLiteral("拍摄仪：二代证图片行数为 %1").arg(h.height));
    const QString target = platform::joinPath(folder, name);
    if (!platform::replaceFileContents(target, bytes)) {
        m_control.writeLog(QStringLiteral("拍摄仪：二代证图片32位转24位失败，保留原图片！"));
        return false;
    }
    m_control.writeLog(QStringLiteral("拍摄仪：二代证图片数据写入成功！写入大小 %1").arg(h.imageSize));
    m_control.writeLog(QStringLiteral("拍摄仪：复制24位图片成功！"));
    // The library's picture goes only now that its successor is in place, and never when the two
    // are one file.
    if (QFileInfo(source).absoluteFilePath() != QFileInfo(target).absoluteFilePath() && QFile::remove(source))
        m_control.writeLog(QStringLiteral("拍摄仪：删除32位图片成功！"));
    m_control.writeLog(QStringLiteral("拍摄仪：二代证图片32位转24位成功！"));
    return true;
}

bool CardReading::takePhoto(const CardReadRequest& request, const QString& folder, qint64 readStartMs,
                            CardHolder& h) {
    const QString photo = platform::dataFolder(m_control.controlFolder()) + QStringLiteral("ImgTemp.bmp");
    QFile file;
    // A photo older than this read belongs to an earlier holder (a library that failed to replace it).
    const QFileInfo info(photo);
    const bool fresh = info.isFile() && info.lastModified().toMSecsSinceEpoch() >= readStartMs - 1000;
    if (!fresh || !platform::openRegularFile(file, photo)) {
        m_control.writeLog(QStringLiteral("打开二代证头像图片失败!"));
        return false;
    }
    m_control.writeLog(QStringLiteral("打开二代证头像图片成功!"));
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty())
        return false;
    h.photoBase64 = base64Text(bytes);
    m_control.writeLog(QStringLiteral("二代证头像图片转字符串成功!"));
    m_control.writeLog(QStringLiteral("清空文件buffer!"));
    m_control.writeLog(QStringLiteral("清空内存buffer!"));

    const bool customName = !request.photoName.isEmpty();
    const QString name = customName ? request.photoName : h.number + QStringLiteral("-head.bmp");
    if (!isSafeCardFileName(name)) {
        m_control.writeLog(QStringLiteral("头像图片名无效，未复制头像图片:") + name);
    } else if (platform::replaceFileContents(platform::joinPath(folder, name), bytes)) {
        m_photoCopy = platform::joinPath(folder, name);
        m_control.writeLog(customName ? QStringLiteral("拍摄仪：复制自定义名称头像图片成功！")
                                      : QStringLiteral("拍摄仪：复制头像图片成功！"));
    }
    if (request.deleteFiles) {
        if (!m_photoCopy.isEmpty())
            QFile::remove(m_photoCopy);
        if (!m_cardImage.isEmpty())
            QFile::remove(m_cardImage);
        m_photoCopy.clear();
        m_cardImage.clear();
    }
    return true;
}

UploadOutcome CardReading::uploadOwnFile(const QString& url, const QString& file, const QString& ownFile,
                                         const QString& formName, const UploadSettings& settings) {
    // Only what the last read wrote goes out under its holder's name: a file of an earlier card,
    // or one a container named after the read, never does.
    if (ownFile.isEmpty() || QFileInfo(file).absoluteFilePath() != QFileInfo(ownFile).absoluteFilePath()) {
        m_control.writeLog(QStringLiteral("待上传的二代证图片不是本次读卡生成的，拒绝上传:") + file);
        return {};
    }
    return m_uploads.uploadFile(url, file, Uploads::formFileName(formName), QStringLiteral("image/bmp"),
                                QStringLiteral("找不到待上传照片!"), settings);
}

UploadOutcome CardReading::HttpSendIDCard(const QString& strURL, const CardUploadRequest& r,
                                          const UploadSettings& settings) {
    return uploadOwnFile(strURL, platform::joinPath(r.folder, r.imageName), m_cardImage, r.imageName,
                         settings);
}

UploadOutcome CardReading::HttpSendIDCHeadImg(const QString& strURL, const CardUploadRequest& r,
                                              const UploadSettings& settings) {
    const QString formName = r.number + QLatin1String("-head.bmp");
    const QString file = platform::joinPath(r.folder, r.photoName.isEmpty() ? formName : r.photoName);
    return uploadOwnFile(strURL, file, m_photoCopy, formName, settings);
}

} // namespace qx::control
