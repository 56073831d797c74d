// The exports of libQX_IDCardRead: one card read through libqmrapi, the text record, the card picture.
#define QX_IDCARD_READ_BUILDING
#include "qx_idcard_read.h"

#include "bmp_file.h"
#include "card_picture.h"
#include "card_record.h"
#include "holder_photo.h"

#include "qmrapi.h"
#include "qx/cardtext/card_text.h"
#include "qx/platform/folders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using qx::idcard::CardFields;

// The control may read cards on a worker thread while its window thread calls the picture export.
std::mutex g_mutex;
std::optional<CardFields> g_lastCard;
QByteArray g_lastPictureName;

// "ImgTemp.bmp" lies where the control and the desktop program look for it: beside the modules when
// that folder is writable, else in the user's data folder.
QString holderPhotoPath() {
    const QString moduleDir = qx::platform::moduleFolder(reinterpret_cast<const void*>(&IDInfoChar));
    return qx::platform::dataFolder(moduleDir) + QStringLiteral("ImgTemp.bmp");
}

int32_t fail(char* buffer, int32_t* length, int32_t code) {
    buffer[0] = '\0';
    if (length != nullptr)
        *length = 0;
    return code;
}

// Text drawing needs a QGuiApplication. A process without any application gets one on the offscreen
// platform, kept until the process ends (a library cannot know when its caller is done with Qt). A
// plain QCoreApplication cannot be upgraded, so drawing is refused there.
bool ensureGuiApplication() {
    if (QCoreApplication::instance() != nullptr)
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    static int argc = 3;
    static char name[] = "QX_IDCardRead";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    new QGuiApplication(argc, argv);
    return true;
}

// A file name the card number cannot turn into a path elsewhere.
QString pictureFileName(const QString& number) {
    QString safe;
    for (QChar c : number) {
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
            (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('a') && c <= QLatin1Char('z')))
            safe.append(c);
    }
    if (safe.isEmpty())
        safe = QStringLiteral("IDCard");
    return safe + QStringLiteral(".bmp");
}

} // namespace

extern "C" {

int32_t IDInfoChar(char* buffer, int32_t* length) {
    if (buffer == nullptr) {
        if (length != nullptr)
            *length = 0;
        return QX_IDCARD_BAD_ARGUMENT;
    }
    const std::lock_guard lock(g_mutex);
    g_lastCard.reset();
    // Whatever happens next, the previous holder's photo must not be taken for this card's.
    const QString photoPath = holderPhotoPath();
    QFile::remove(photoPath);

    uint8_t reply[16] = {};
    const int32_t found = QMR_StartFindIDCard(0, reply, 0);
    if (found == QMR_NO_READER)
        return fail(buffer, length, QX_IDCARD_NO_READER);
    if (found != QMR_CARD_FOUND)
        return fail(buffer, length, QX_IDCARD_NO_CARD);
    if (QMR_SelectIDCard(0, reply, 0) != QMR_SUCCESS)
        return fail(buffer, length, QX_IDCARD_SELECT_FAILED);

    std::vector<uint8_t> text(QMR_BASE_MSG_BLOCKS_MAX);
    std::vector<uint8_t> photo(QMR_BASE_MSG_BLOCKS_MAX);
    uint32_t textLength = 0;
    uint32_t photoLength = 0;
    if (QMR_ReadBaseMsg(0, text.data(), &textLength, photo.data(), &photoLength, 0) != QMR_SUCCESS ||
        textLength == 0)
        return fail(buffer, length, QX_IDCARD_READ_FAILED);

    const QByteArray textBlock(reinterpret_cast<const char*>(text.data()),
                               static_cast<qsizetype>(textLength));
    const QByteArray photoBlock(reinterpret_cast<const char*>(photo.data()),
                                static_cast<qsizetype>(photoLength));
    const CardFields fields = qx::idcard::cardFields(qx::cardtext::decodeTextBlock(textBlock));
    const QByteArray record = qx::idcard::buildRecord(fields);
    // The fixed field widths keep a record far below this; the check only guards the buffer.
    if (record.size() >= QX_IDCARD_RECORD_SIZE)
        return fail(buffer, length, QX_IDCARD_READ_FAILED);

    QImage holder = qx::idcard::decodeHolderPhoto(photoBlock);
    if (holder.isNull())
        holder = qx::idcard::placeholderPhoto();
    // A photo that cannot be written leaves no file, which the control reports itself; the text
    // record is still good.
    qx::idcard::writeBmp(holder, photoPath, 24);

    std::memcpy(buffer, record.constData(), static_cast<size_t>(record.size()));
    buffer[record.size()] = '\0';
    if (length != nullptr)
        *length = static_cast<int32_t>(record.size());
    g_lastCard = fields;
    return QX_IDCARD_OK;
}

const char* IDInfoBMP(const char* folder) {
    const std::lock_guard lock(g_mutex);
    g_lastPictureName.clear();
    if (folder == nullptr || folder[0] == '\0' || !g_lastCard)
        return g_lastPictureName.constData();
    const QString dir = qx::platform::withTrailingSlash(QFile::decodeName(folder));
    if (!QFileInfo(dir).isDir() || !ensureGuiApplication())
        return g_lastPictureName.constData();

    QImage photo(holderPhotoPath());
    if (photo.isNull())
        photo = qx::idcard::placeholderPhoto();
    const QImage picture = qx::idcard::composeCardPicture(*g_lastCard, photo);
    const QString name = pictureFileName(g_lastCard->number);
    if (qx::idcard::writeBmp(picture, dir + name, 32))
        g_lastPictureName = name.toUtf8();
    return g_lastPictureName.constData();
}

} // extern "C"
