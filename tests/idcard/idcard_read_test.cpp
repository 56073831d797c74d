// libQX_IDCardRead against the virtual reader: the record the control parses, the photo, the picture.
#include "card_library_fixture.h"

#include "qx/platform/codepage.h"

#include <QImage>
#include <QJsonArray>

namespace {

using idcard::test::bmpField;
using idcard::test::CardLibraryTest;
using idcard::test::ControlFields;
using idcard::test::parseLikeTheControl;
using idcard::test::sampleReader;
using qx::platform::fromGbk;

QString cardValue(const QJsonObject& reader, const char* key) {
    return reader.value(QLatin1String("card")).toObject().value(QLatin1String(key)).toString();
}

QString dotted(const QString& yyyymmdd) {
    return yyyymmdd.left(4) + QLatin1Char('.') + yyyymmdd.mid(4, 2) + QLatin1Char('.') + yyyymmdd.mid(6, 2);
}

// Pixels within `tolerance` of `colour` in every channel.
int pixelsNear(const QImage& image, QRgb colour, int tolerance) {
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (std::abs(qRed(line[x]) - qRed(colour)) <= tolerance &&
                std::abs(qGreen(line[x]) - qGreen(colour)) <= tolerance &&
                std::abs(qBlue(line[x]) - qBlue(colour)) <= tolerance)
                ++count;
        }
    }
    return count;
}

bool allGrey(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p))
                return false;
        }
    }
    return true;
}

// A coloured picture where a previous holder's photo would lie.
void leaveStalePhoto(const QString& path) {
    QImage stale(102, 126, QImage::Format_RGB32);
    stale.fill(QColor(200, 30, 40));
    ASSERT_TRUE(stale.save(path, "BMP"));
}

class IdCardRead : public CardLibraryTest {};

TEST_F(IdCardRead, RecordGivesBackEveryFieldAtTheControlsOffsets) {
    const QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    useReader(reader);
    QByteArray record;
    int32_t length = 0;
    ASSERT_EQ(readCard(record, length), 0);
    EXPECT_EQ(length, record.size());
    EXPECT_LT(length, 2048);
    EXPECT_FALSE(record.startsWith("name="));
    EXPECT_EQ(buffer().at(length), '\0');

    const ControlFields f = parseLikeTheControl(record);
    ASSERT_TRUE(f.parsed);
    EXPECT_EQ(fromGbk(f.name), cardValue(reader, "name"));
    EXPECT_EQ(f.sex.size(), 2);
    EXPECT_EQ(fromGbk(f.sex), QStringLiteral("男"));
    EXPECT_EQ(fromGbk(f.nation), QStringLiteral("汉"));
    const QString birth = cardValue(reader, "birth");
    EXPECT_EQ(f.birthYear, birth.left(4).toLatin1());
    EXPECT_EQ(f.birthMonth, birth.mid(4, 2).toLatin1());
    EXPECT_EQ(f.birthDay, birth.mid(6, 2).toLatin1());
    EXPECT_EQ(fromGbk(f.address), cardValue(reader, "address"));
    EXPECT_EQ(fromGbk(f.number), cardValue(reader, "number"));
    EXPECT_EQ(fromGbk(f.authority), cardValue(reader, "authority"));
    EXPECT_EQ(fromGbk(f.validity), dotted(cardValue(reader, "valid_from")) + QLatin1Char('-') +
                                       dotted(cardValue(reader, "valid_to")));

    // The holder photo: the card's JPEG, decoded, as a 24-bit bottom-up BMP.
    QFile photoFile(holderPhoto());
    ASSERT_TRUE(photoFile.open(QIODevice::ReadOnly));
    const QByteArray bmp = photoFile.readAll();
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(bmpField(bmp, 28, 2), 24u);
    EXPECT_EQ(bmpField(bmp, 30, 4), 0u);
    const QImage photo = QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32);
    const QImage jpeg = QImage(cardValue(reader, "photo")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_EQ(photo, jpeg);

    // The card picture: a 32-bit BMP named by the number, holding that photo.
    const QString name = pictureOf(pictures());
    EXPECT_EQ(name, cardValue(reader, "number") + QStringLiteral(".bmp"));
    EXPECT_EQ(pictureFiles(), QStringList{name});
    QFile pictureFile(pictures() + name);
    ASSERT_TRUE(pictureFile.open(QIODevice::ReadOnly));
    const QByteArray picture = pictureFile.readAll();
    EXPECT_TRUE(picture.startsWith("BM"));
    EXPECT_EQ(bmpField(picture, 28, 2), 32u);
    EXPECT_EQ(bmpField(picture, 2, 4), static_cast<uint32_t>(picture.size()));
    const QImage card = QImage::fromData(picture, "BMP");
    ASSERT_FALSE(card.isNull());
    EXPECT_GT(card.width(), card.height() / 2);
    const QRgb skin = photo.pixel(51, 60);
    EXPECT_GT(pixelsNear(card, skin, 8), 1500);
}

TEST_F(IdCardRead, LongTermCardWithoutPictureGetsThePlaceholderPhoto) {
    const QJsonObject reader = sampleReader(QStringLiteral("card2.json"));
    useReader(reader);
    leaveStalePhoto(holderPhoto());
    QByteArray record;
    int32_t length = 0;
    ASSERT_EQ(readCard(record, length), 0);
    const ControlFields f = parseLikeTheControl(record);
    ASSERT_TRUE(f.parsed);
    EXPECT_EQ(fromGbk(f.name), cardValue(reader, "name"));
    EXPECT_EQ(f.sex.size(), 2);
    EXPECT_EQ(fromGbk(f.sex), QStringLiteral("女"));
    EXPECT_EQ(fromGbk(f.nation), QStringLiteral("回"));
    EXPECT_EQ(fromGbk(f.address), cardValue(reader, "address"));
    EXPECT_EQ(fromGbk(f.authority), cardValue(reader, "authority"));
    EXPECT_EQ(fromGbk(f.validity), dotted(cardValue(reader, "valid_from")) + QStringLiteral("-长期"));

    const QImage photo(holderPhoto());
    ASSERT_FALSE(photo.isNull());
    EXPECT_EQ(photo.size(), QSize(102, 126));
    EXPECT_TRUE(allGrey(photo));

    const QString name = pictureOf(pictures());
    ASSERT_FALSE(name.isEmpty());
    const QImage card(pictures() + name);
    ASSERT_FALSE(card.isNull());
    EXPECT_EQ(pixelsNear(card, qRgb(200, 30, 40), 4), 0);
}

TEST_F(IdCardRead, PhotoBlockThatLooksLikeJpegButIsNotGetsThePlaceholder) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    QByteArray broken("\xFF\xD8\xFF\xE0", 4);
    for (int i = 0; i < 600; ++i)
        broken.append(static_cast<char>((i * 37 + 11) & 0xFF));
    const QString brokenPath = modules() + QStringLiteral("broken.jpg");
    QFile file(brokenPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(broken);
    file.close();
    QJsonObject card = reader.value(QLatin1String("card")).toObject();
    card.insert(QLatin1String("photo"), brokenPath);
    reader.insert(QLatin1String("card"), card);
    useReader(reader);
    leaveStalePhoto(holderPhoto());

    QByteArray record;
    int32_t length = 0;
    ASSERT_EQ(readCard(record, length), 0);
    const QImage photo(holderPhoto());
    ASSERT_FALSE(photo.isNull());
    EXPECT_EQ(photo.size(), QSize(102, 126));
    EXPECT_TRUE(allGrey(photo));
}

TEST_F(IdCardRead, NoCardFailsAndLeavesNoFiles) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.remove(QLatin1String("card"));
    useReader(reader);
    leaveStalePhoto(holderPhoto());
    QByteArray record;
    int32_t length = 0;
    EXPECT_NE(readCard(record, length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(record.isEmpty());
    EXPECT_FALSE(QFile::exists(holderPhoto()));
    EXPECT_EQ(pictureOf(pictures()), QString());
    EXPECT_TRUE(pictureFiles().isEmpty());
}

TEST_F(IdCardRead, NoReaderFailsAndLeavesNoFiles) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("attached"), false);
    useReader(reader);
    leaveStalePhoto(holderPhoto());
    QByteArray record;
    int32_t length = 0;
    EXPECT_NE(readCard(record, length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(QFile::exists(holderPhoto()));
    EXPECT_EQ(pictureOf(pictures()), QString());
    EXPECT_TRUE(pictureFiles().isEmpty());
}

TEST_F(IdCardRead, HostileCardTextCannotShiftFieldsOrEscapeTheFolder) {
    QJsonObject reader = sampleReader(QStringLiteral("card2.json"));
    QJsonObject card = reader.value(QLatin1String("card")).toObject();
    card.insert(QLatin1String("name"), QStringLiteral("D'Arcy\r\n王"));
    card.insert(QLatin1String("sex"), QStringLiteral("9"));
    card.insert(QLatin1String("nation"), QStringLiteral("77"));
    card.insert(QLatin1String("birth"), QStringLiteral("19x5"));
    card.insert(QLatin1String("number"), QStringLiteral("../../x1'"));
    card.insert(QLatin1String("authority"), QStringLiteral("很长的签发机关名称正好十五个字符"));
    reader.insert(QLatin1String("card"), card);
    useReader(reader);

    QByteArray record;
    int32_t length = 0;
    ASSERT_EQ(readCard(record, length), 0);
    const ControlFields f = parseLikeTheControl(record);
    ASSERT_TRUE(f.parsed);
    EXPECT_EQ(fromGbk(f.name), QStringLiteral("D＇Arcy  王"));
    EXPECT_EQ(f.sex.size(), 2);
    EXPECT_EQ(fromGbk(f.sex), QStringLiteral("未"));
    EXPECT_EQ(fromGbk(f.nation), QStringLiteral("77"));
    EXPECT_EQ(f.birthYear + f.birthMonth + f.birthDay, QByteArray("19050000"));
    EXPECT_EQ(fromGbk(f.address), cardValue(reader, "address"));
    EXPECT_EQ(fromGbk(f.number), QStringLiteral("../../x1＇"));
    // Fifteen characters fill the 30-byte field; the text block holds no more.
    EXPECT_EQ(fromGbk(f.authority), QStringLiteral("很长的签发机关名称正好十五个字"));
    EXPECT_EQ(fromGbk(f.validity), QStringLiteral("2010.05.20-长期"));

    EXPECT_EQ(pictureOf(pictures()), QStringLiteral("x1.bmp"));
    EXPECT_EQ(pictureFiles(), QStringList{QStringLiteral("x1.bmp")});
}

TEST_F(IdCardRead, NullBufferIsRefusedWithoutReadingTheCard) {
    useReader(sampleReader(QStringLiteral("card1.json")));
    int32_t length = 99;
    EXPECT_NE(idInfoChar(nullptr, &length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(QFile::exists(modules() + QStringLiteral("reports.log")));
}

} // namespace
