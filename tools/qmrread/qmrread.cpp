// qmrread: reads a card through libqmrapi and prints what the reader sent, to check a reader.
#include "qmrapi.h"
#include "qx/cardtext/card_text.h"
#include "qx/platform/codepage.h"
#include "qx_idcard_read.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void print(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void usage(FILE* to) {
    std::fputs("usage: qmrread [--photo FILE] [--image FOLDER]\n"
               "  Reads the security-module id and one card from the reader 1A7E:5C39 (or from the\n"
               "  virtual reader named by QX_VIRTUAL_READER) and prints the text block as the card\n"
               "  stores it.\n"
               "  --photo FILE    also writes the raw photo block to FILE\n"
               "  --image FOLDER  then reads the card again through libQX_IDCardRead, prints its text\n"
               "                  record and writes the card picture into FOLDER\n"
               "Exit status: 0 card read, 1 no reader, no card or a failed read, 2 usage.\n",
               to);
}

QString hexResult(int32_t result) {
    return QStringLiteral("0x%1").arg(static_cast<uint32_t>(result) & 0xFF, 2, 16, QLatin1Char('0'));
}

QString photoFormat(const QByteArray& photo) {
    if (photo.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("JPEG");
    if (photo.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("PNG");
    if (photo.startsWith("BM"))
        return QStringLiteral("BMP");
    return QStringLiteral("not a picture format this system decodes");
}

// The record through the card-reading library, as the camera control gets it.
int readThroughCardLibrary(const QString& folder, int& argc, char** argv) {
    std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    std::vector<char> record(QX_IDCARD_RECORD_SIZE, '\0');
    int32_t length = 0;
    const int32_t result = IDInfoChar(record.data(), &length);
    if (result != QX_IDCARD_OK) {
        print(QStringLiteral("card library: read failed (result %1)").arg(result));
        return 1;
    }
    // The record is GBK; the terminal gets UTF-8, with its CR LF pairs as line breaks.
    print(QStringLiteral("card library record (%1 bytes):").arg(length));
    QString text = qx::platform::fromGbk(QByteArray(record.data(), length));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n  "));
    print(QStringLiteral("  ") + text.trimmed());
    const QString name = QString::fromUtf8(IDInfoBMP(QFile::encodeName(folder).constData()));
    if (name.isEmpty()) {
        print(QStringLiteral("card picture: could not be written into %1").arg(folder));
        return 1;
    }
    print(QStringLiteral("card picture: %1%2").arg(folder, name));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QString photoPath;
    QString imageFolder;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if ((arg == "--photo" || arg == "--image") && i + 1 < argc) {
            (arg == "--photo" ? photoPath : imageFolder) = QFile::decodeName(argv[++i]);
        } else if (arg == "-h" || arg == "--help") {
            usage(stdout);
            return 0;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (!imageFolder.isEmpty() && !imageFolder.endsWith(QLatin1Char('/')))
        imageFolder += QLatin1Char('/');

    const char* virtualReader = std::getenv("QX_VIRTUAL_READER");
    if (virtualReader != nullptr && virtualReader[0] != '\0')
        print(QStringLiteral("reader: virtual, %1").arg(QFile::decodeName(virtualReader)));
    else
        print(QStringLiteral("reader: USB-HID 1A7E:5C39"));

    char samId[QMR_SAM_ID_TEXT_SIZE] = {};
    const int32_t samResult = QMR_GetSAMIDToStr(0, samId, 0);
    if (samResult == QMR_NO_READER) {
        print(QStringLiteral("no reader found (is it plugged in, and may this user open its hidraw node?)"));
        return 1;
    }
    if (samResult == QMR_SUCCESS)
        print(QStringLiteral("SAM id: %1").arg(QString::fromLatin1(samId)));
    else
        print(QStringLiteral("SAM id: the reader refused (result %1)").arg(hexResult(samResult)));

    uint8_t data[16] = {};
    const int32_t found = QMR_StartFindIDCard(0, data, 0);
    if (found != QMR_CARD_FOUND) {
        print(found == QMR_NO_READER
                  ? QStringLiteral("no reader found")
                  : QStringLiteral("no card on the reader (result %1)").arg(hexResult(found)));
        return 1;
    }
    const int32_t selected = QMR_SelectIDCard(0, data, 0);
    if (selected != QMR_SUCCESS) {
        print(QStringLiteral("the card could not be selected (result %1)").arg(hexResult(selected)));
        return 1;
    }
    std::vector<uint8_t> text(QMR_BASE_MSG_BLOCKS_MAX);
    std::vector<uint8_t> photo(QMR_BASE_MSG_BLOCKS_MAX);
    uint32_t textLength = 0;
    uint32_t photoLength = 0;
    const int32_t read = QMR_ReadBaseMsg(0, text.data(), &textLength, photo.data(), &photoLength, 0);
    if (read != QMR_SUCCESS) {
        print(QStringLiteral("the base message could not be read (result %1)").arg(hexResult(read)));
        return 1;
    }

    const QByteArray textBlock(reinterpret_cast<const char*>(text.data()), textLength);
    const QByteArray photoBlock(reinterpret_cast<const char*>(photo.data()), photoLength);
    const qx::cardtext::CardText card = qx::cardtext::decodeTextBlock(textBlock);
    print(QStringLiteral("text block: %1 bytes").arg(textLength));
    const std::pair<const char*, QString> fields[] = {
        {"name", card.name},           {"sex code", card.sex},         {"nation code", card.nation},
        {"birth date", card.birth},    {"address", card.address},      {"number", card.number},
        {"authority", card.authority}, {"valid from", card.validFrom}, {"valid to", card.validTo},
        {"reserved", card.reserved},
    };
    for (const auto& [key, value] : fields)
        print(QStringLiteral("  %1: %2").arg(QLatin1String(key), value));
    print(QStringLiteral("photo block: %1 bytes, %2").arg(photoLength).arg(photoFormat(photoBlock)));

    if (!photoPath.isEmpty()) {
        QFile file(photoPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(photoBlock) != photoBlock.size()) {
            print(QStringLiteral("cannot write %1").arg(photoPath));
            return 1;
        }
        print(QStringLiteral("photo block written to %1").arg(photoPath));
    }
    if (!imageFolder.isEmpty())
        return readThroughCardLibrary(imageFolder, argc, argv);
    return 0;
}
