// Parses the virtual reader's JSON file.
#include "virtual_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qmr {

namespace {

constexpr qsizetype kPhotoBlockSize = 1024;

QString resolved(const QDir& base, const QString& path) {
    return QDir::isAbsolutePath(path) ? path : base.filePath(path);
}

// "00 00 90", "000090" or "00-00-90" alike; nullopt unless exactly `size` bytes.
template <size_t N> std::optional<std::array<uint8_t, N>> hexBytes(const QJsonValue& value) {
    if (!value.isString())
        return std::nullopt;
    QString digits = value.toString();
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char(':'));
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    if (digits.size() != static_cast<qsizetype>(2 * N) || bytes.size() != static_cast<qsizetype>(N))
        return std::nullopt;
    std::array<uint8_t, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = static_cast<uint8_t>(bytes.at(static_cast<qsizetype>(i)));
    return out;
}

std::optional<uint16_t> u16(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (d < 0 || d > 0xFFFF || d != static_cast<double>(static_cast<int>(d)))
        return std::nullopt;
    return static_cast<uint16_t>(d);
}

void putLe(std::array<uint8_t, 16>& out, size_t at, uint32_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Real cards hold a compressed photo only a licensed decoder reads; a card without a picture file
// gets bytes of that kind of look, the same for the same card number.
QByteArray standInPhoto(const QString& number) {
    uint32_t state = 2166136261u;
    for (QChar c : number)
        state = (state ^ c.unicode()) * 16777619u;
    QByteArray block(kPhotoBlockSize, '\0');
    for (qsizetype i = 0; i < block.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        block[i] = static_cast<char>(state >> 24);
    }
    // Never by chance the start of a picture format the card library would try to decode.
    block[0] = 'W';
    block[1] = 0x00;
    return block;
}

VirtualReaderConfig failed(VirtualReaderConfig config, const QString& why) {
    config.attached = false;
    config.error = why;
    return config;
}

bool readCard(const QJsonObject& o, const QDir& base, VirtualReaderConfig& config, QString& error) {
    qx::cardtext::CardText& c = config.card;
    c.name = o.value(QLatin1String("name")).toString();
    c.sex = o.value(QLatin1String("sex")).toString();
    c.nation = o.value(QLatin1String("nation")).toString();
    c.birth = o.value(QLatin1String("birth")).toString();
    c.address = o.value(QLatin1String("address")).toString();
    c.number = o.value(QLatin1String("number")).toString();
    c.authority = o.value(QLatin1String("authority")).toString();
    c.validFrom = o.value(QLatin1String("valid_from")).toString();
    c.validTo = o.value(QLatin1String("valid_to")).toString();
    if (o.contains(QLatin1String("new_address")))
        config.newAddress = o.value(QLatin1String("new_address")).toString();

    const QJsonValue photo = o.value(QLatin1String("photo"));
    if (photo.isString() && !photo.toString().isEmpty()) {
        QFile file(resolved(base, photo.toString()));
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the photo %1").arg(file.fileName());
            return false;
        }
        config.photo = file.readAll();
        if (config.photo.size() > kPhotoBlockSize) {
            error = QStringLiteral("the photo %1 has %2 bytes, more than the card's 1024-byte photo block")
                        .arg(file.fileName())
                        .arg(config.photo.size());
            return false;
        }
        config.photo.append(QByteArray(kPhotoBlockSize - config.photo.size(), '\0'));
    } else {
        config.photo = standInPhoto(c.number);
    }
    config.cardPresent = true;
    return true;
}

bool readSamId(const QJsonValue& value, VirtualReaderConfig& config) {
    if (value.isUndefined())
        return true;
    if (value.isArray()) {
        const QJsonArray a = value.toArray();
        if (a.size() != 5)
            return false;
        static constexpr size_t kOffsets[] = {0, 2, 4, 8, 12};
        static constexpr size_t kWidths[] = {2, 2, 4, 4, 4};
        for (qsizetype i = 0; i < 5; ++i) {
            const double d = a.at(i).toDouble();
            // Negative values stand for the 32-bit fields' signed reading.
            putLe(config.samId, kOffsets[i], static_cast<uint32_t>(static_cast<int64_t>(d)), kWidths[i]);
        }
        return true;
    }
    const auto bytes = hexBytes<16>(value);
    if (!bytes)
        return false;
    config.samId = *bytes;
    return true;
}

bool readFaults(const QJsonObject& f, VirtualReaderConfig& config, QString& error) {
    const QJsonObject status = f.value(QLatin1String("status")).toObject();
    for (auto it = status.begin(); it != status.end(); ++it) {
        const auto bytes = hexBytes<3>(it.value());
        if (!bytes) {
            error = QStringLiteral("faults.status.%1 is not three hex bytes").arg(it.key());
            return false;
        }
        config.status[it.key().toStdString()] = *bytes;
    }
    config.unplugAfterReports = f.value(QLatin1String("unplug_after_reports")).toInt(-1);
    config.replug = f.value(QLatin1String("replug")).toBool(true);
    config.muteAfterReports = f.value(QLatin1String("mute_after_reports")).toInt(-1);
    if (f.contains(QLatin1String("preamble"))) {
        config.preamble = hexBytes<5>(f.value(QLatin1String("preamble")));
        if (!config.preamble) {
            error = QStringLiteral("faults.preamble is not five hex bytes");
            return false;
        }
    }
    config.lengthField = u16(f.value(QLatin1String("length")));
    config.textLength = u16(f.value(QLatin1String("text_length")));
    config.photoLength = u16(f.value(QLatin1String("photo_length")));
    return true;
}

} // namespace

VirtualReaderConfig loadVirtualReaderConfig(const QString& path) {
    VirtualReaderConfig config;
    config.sourcePath = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(config, QStringLiteral("cannot read %1").arg(path));
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject())
        return failed(config,
                      QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString()));
    const QJsonObject root = doc.object();
    const QDir base = QFileInfo(path).absoluteDir();
    QString error;

    config.attached = root.value(QLatin1String("attached")).toBool(true);
    const QJsonValue card = root.value(QLatin1String("card"));
    if (card.isObject() && !readCard(card.toObject(), base, config, error))
        return failed(config, error);
    if (!readSamId(root.value(QLatin1String("sam_id")), config))
        return failed(config, QStringLiteral("sam_id is neither five numbers nor 16 hex bytes"));
    if (root.contains(QLatin1String("management"))) {
        const auto bytes = hexBytes<16>(root.value(QLatin1String("management")));
        if (!bytes)
            return failed(config, QStringLiteral("management is not 16 hex bytes"));
        config.management = *bytes;
    }
    if (!readFaults(root.value(QLatin1String("faults")).toObject(), config, error))
        return failed(config, error);

    for (const QJsonValue& d : root.value(QLatin1String("decoys")).toArray()) {
        const QStringList ids = d.toString().split(QLatin1Char(':'));
        bool okVendor = false;
        bool okProduct = false;
        const uint vendor = ids.value(0).toUInt(&okVendor, 16);
        const uint product = ids.value(1).toUInt(&okProduct, 16);
        if (ids.size() != 2 || !okVendor || !okProduct || vendor > 0xFFFF || product > 0xFFFF)
            return failed(config, QStringLiteral("decoy %1 is not vvvv:pppp").arg(d.toString()));
        config.decoys.emplace_back(static_cast<uint16_t>(vendor), static_cast<uint16_t>(product));
    }
    const QJsonObject lengths = root.value(QLatin1String("report_lengths")).toObject();
    config.inputReportLength = u16(lengths.value(QLatin1String("input"))).value_or(65);
    config.outputReportLength = u16(lengths.value(QLatin1String("output"))).value_or(65);

    const QString record = root.value(QLatin1String("record")).toString();
    if (!record.isEmpty())
        config.recordPath = resolved(base, record);
    return config;
}

bool reloadVirtualReaderCard(const QString& path, VirtualReaderConfig& config, QString& error) {
    VirtualReaderConfig fresh = loadVirtualReaderConfig(path);
    if (!fresh.error.isEmpty()) {
        error = fresh.error;
        return false;
    }
    config.cardPresent = fresh.cardPresent;
    config.card = fresh.card;
    config.photo = fresh.photo;
    config.newAddress = fresh.newAddress;
    return true;
}

} // namespace qmr
