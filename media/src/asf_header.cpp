// Reading an ASF header object by object, every size checked against what encloses it: the file is
// the user's recording, and a header that does not add up must leave it untouched.
#include "qx/media/asf_header.h"

#include <QFile>
#include <QUuid>
#include <array>
#include <cstring>
#include <optional>

namespace qx::media {

namespace {

// GUIDs as ASF stores them (the first three fields little-endian).
using Guid = std::array<unsigned char, 16>;

Guid guid(const char* text) {
    const QByteArray rfc = QUuid::fromString(QLatin1String(text)).toRfc4122();
    Guid g{};
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        g[static_cast<size_t>(i)] = static_cast<unsigned char>(rfc[order[i]]);
    return g;
}

const Guid kHeader = guid("75b22630-668e-11cf-a6d9-00aa0062ce6c");
const Guid kStreamProperties = guid("b7dc0791-a9b7-11cf-8ee6-00c00c205365");
const Guid kVideoMedia = guid("bc19efc0-5b4d-11cf-a8fd-00805f5c442b");
const Guid kHeaderExtension = guid("5fbf03b5-a92e-11cf-8ee3-00c00c205365");
const Guid kExtendedStreamProperties = guid("14e6a5cb-c672-4332-8399-a96952065b5a");

constexpr qint64 kObjectHead = 24;       // GUID and 64-bit size
constexpr qint64 kHeaderHead = 30;       // the header object's head: object count and two reserved bytes
constexpr qint64 kExtensionHead = 46;    // the header extension's head: GUID, 16-bit field, data size
constexpr qint64 kStreamFlags = 72;      // stream properties: flags, the stream number in the low 7 bits
constexpr qint64 kExtStreamNumber = 72;  // extended stream properties: the stream number
constexpr qint64 kExtTimePerFrame = 76;  // ... and the average time per frame in 100 ns
constexpr qint64 kExtMinimumSize = 88;   // the object without names and payload extensions
constexpr qint64 kHeaderLimit = 1 << 24; // no header of a recording comes near this

quint64 le(const QByteArray& b, qint64 at, int bytes) {
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[static_cast<int>(at) + i]);
    return v;
}

bool is(const QByteArray& b, qint64 at, const Guid& g) {
    return std::memcmp(b.constData() + at, g.data(), g.size()) == 0;
}

// Calls `each(offset, size)` for every object in [begin, end); false when one does not fit.
template <typename Each> bool objects(const QByteArray& b, qint64 begin, qint64 end, Each each) {
    for (qint64 at = begin; at < end;) {
        if (end - at < kObjectHead)
            return false;
        const quint64 size = le(b, at + 16, 8);
        if (size < static_cast<quint64>(kObjectHead) || size > static_cast<quint64>(end - at))
            return false;
        each(at, static_cast<qint64>(size));
        at += static_cast<qint64>(size);
    }
    return true;
}

bool fail(QString* why, const QString& text) {
    if (why)
        *why = text;
    return false;
}

} // namespace

bool writeAsfFrameRate(const QString& path, int framesPerSecond, QString* why) {
    if (framesPerSecond <= 0)
        return fail(why, QStringLiteral("no frame rate to write"));
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return fail(why, file.errorString());
    const QByteArray head = file.read(kHeaderHead);
    if (head.size() < kHeaderHead || !is(head, 0, kHeader))
        return fail(why, QStringLiteral("not an ASF file"));
    const quint64 headerSize = le(head, 16, 8);
    if (headerSize < static_cast<quint64>(kHeaderHead) || headerSize > static_cast<quint64>(kHeaderLimit) ||
        static_cast<qint64>(headerSize) > file.size())
        return fail(why, QStringLiteral("the header's size does not fit the file"));
    file.seek(0);
    const QByteArray header = file.read(static_cast<qint64>(headerSize));
    if (header.size() != static_cast<int>(headerSize))
        return fail(why, file.errorString());

    std::optional<quint64> videoStream;
    qint64 extension = -1, extensionEnd = -1;
    bool extensionFits = true;
    const bool fits = objects(header, kHeaderHead, header.size(), [&](qint64 at, qint64 size) {
        if (is(header, at, kStreamProperties) && size >= kStreamFlags + 2 &&
            is(header, at + kObjectHead, kVideoMedia) && !videoStream)
            videoStream = le(header, at + kStreamFlags, 2) & 0x7f;
        if (is(header, at, kHeaderExtension)) {
            if (size < kExtensionHead || le(header, at + 42, 4) > static_cast<quint64>(size - kExtensionHead))
                extensionFits = false;
            else {
                extension = at + kExtensionHead;
                extensionEnd = extension + static_cast<qint64>(le(header, at + 42, 4));
            }
        }
    });
    if (!fits || !extensionFits)
        return fail(why, QStringLiteral("the header's objects do not add up"));
    if (!videoStream)
        return fail(why, QStringLiteral("no video stream"));
    if (extension < 0)
        return fail(why, QStringLiteral("no header extension"));

    qint64 field = -1;
    const bool extFits = objects(header, extension, extensionEnd, [&](qint64 at, qint64 size) {
        if (field < 0 && is(header, at, kExtendedStreamProperties) && size >= kExtMinimumSize &&
            le(header, at + kExtStreamNumber, 2) == *videoStream)
            field = at + kExtTimePerFrame;
    });
    if (!extFits)
        return fail(why, QStringLiteral("the header extension's objects do not add up"));
    if (field < 0)
        return fail(why, QStringLiteral("no extended properties of the video stream"));
    if (le(header, field, 8) != 0)
        return true;

    const quint64 timePerFrame =
        (10'000'000ULL + static_cast<quint64>(framesPerSecond) / 2) / static_cast<quint64>(framesPerSecond);
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>((timePerFrame >> (8 * i)) & 0xff);
    if (!file.seek(field) || file.write(bytes, 8) != 8 || !file.flush())
        return fail(why, file.errorString());
    return true;
}

} // namespace qx::media
