// The two multi-chunk reads: the base message's blocks and lengths, the appended message, their bounds.
#include "qmrapi.h"
#include "virtual_reader_fixture.h"

#include <algorithm>
#include <vector>

namespace {

using qmr::test::sampleReader;
using qmr::test::VirtualReaderTest;

constexpr uint8_t kUntouched = 0xCC;
constexpr uint32_t kLengthUntouched = 0xDEADBEEF;

QJsonObject withFaults(QJsonObject reader, const QJsonObject& faults) {
    reader.insert(QLatin1String("faults"), faults);
    return reader;
}

// One UCS-2 little-endian field of the text block, padding removed; written from the card layout
// (name 30, sex 2, nation 4, birth 16, address 70, number 36, authority 30, dates 16 + 16).
QString field(const std::vector<uint8_t>& block, int offset, int bytes) {
    QString text;
    for (int i = offset; i + 1 < offset + bytes; i += 2)
        text.append(QChar(static_cast<char16_t>(block[i] | block[i + 1] << 8)));
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

struct BaseMessage {
    int32_t result = -1;
    std::vector<uint8_t> text = std::vector<uint8_t>(QMR_BASE_MSG_BLOCKS_MAX, kUntouched);
    std::vector<uint8_t> photo = std::vector<uint8_t>(QMR_BASE_MSG_BLOCKS_MAX, kUntouched);
    uint32_t textLength = kLengthUntouched;
    uint32_t photoLength = kLengthUntouched;
};

BaseMessage readBaseMessage() {
    BaseMessage m;
    m.result = QMR_ReadBaseMsg(0, m.text.data(), &m.textLength, m.photo.data(), &m.photoLength, 0);
    return m;
}

bool untouched(const std::vector<uint8_t>& buffer, size_t from = 0) {
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(),
                       [](uint8_t b) { return b == kUntouched; });
}

bool nothingWritten(const BaseMessage& m) {
    return m.textLength == kLengthUntouched && m.photoLength == kLengthUntouched && untouched(m.text) &&
           untouched(m.photo);
}

class Messages : public VirtualReaderTest {};

TEST_F(Messages, BaseMessageDeliversTheTextAndPhotoBlocks) {
    const QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    useReader(reader);
    const BaseMessage m = readBaseMessage();
    ASSERT_EQ(m.result, 0x90);
    ASSERT_EQ(m.textLength, 256u);
    ASSERT_EQ(m.photoLength, 1024u);
    EXPECT_TRUE(untouched(m.text, 256));
    EXPECT_TRUE(untouched(m.photo, 1024));

    const QJsonObject card = reader.value(QLatin1String("card")).toObject();
    auto value = [&card](const char* key) { return card.value(QLatin1String(key)).toString(); };
    EXPECT_EQ(field(m.text, 0, 30), value("name"));
    EXPECT_EQ(field(m.text, 30, 2), value("sex"));
    EXPECT_EQ(field(m.text, 32, 4), value("nation"));
    EXPECT_EQ(field(m.text, 36, 16), value("birth"));
    EXPECT_EQ(field(m.text, 52, 70), value("address"));
    EXPECT_EQ(field(m.text, 122, 36), value("number"));
    EXPECT_EQ(field(m.text, 158, 30), value("authority"));
    EXPECT_EQ(field(m.text, 188, 16), value("valid_from"));
    EXPECT_EQ(field(m.text, 204, 16), value("valid_to"));
    EXPECT_EQ(field(m.text, 220, 36), QString());

    QFile jpeg(value("photo"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    const QByteArray picture = jpeg.readAll();
    ASSERT_LE(picture.size(), 1024);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(m.photo.data()), picture.size()), picture);
    EXPECT_TRUE(std::all_of(m.photo.begin() + picture.size(), m.photo.begin() + 1024,
                            [](uint8_t b) { return b == 0; }));
}

TEST_F(Messages, BaseMessageWithFailedStatusWritesNeitherBlocksNorLengths) {
    useReader(withFaults(
        sampleReader(QStringLiteral("card1.json")),
        {{QStringLiteral("status"), QJsonObject{{QStringLiteral("base"), QStringLiteral("01 00 90")}}}}));
    const BaseMessage m = readBaseMessage();
    EXPECT_EQ(m.result, 0x90);
    EXPECT_TRUE(nothingWritten(m));
}

TEST_F(Messages, EmptyBaseMessageSucceedsWithZeroLengths) {
    useReader(withFaults(sampleReader(QStringLiteral("card1.json")),
                         {{QStringLiteral("text_length"), 0}, {QStringLiteral("photo_length"), 0}}));
    const BaseMessage m = readBaseMessage();
    EXPECT_EQ(m.result, 0x90);
    EXPECT_EQ(m.textLength, 0u);
    EXPECT_EQ(m.photoLength, 0u);
    EXPECT_TRUE(untouched(m.text));
    EXPECT_TRUE(untouched(m.photo));
}

TEST_F(Messages, BaseMessageWhoseLengthsOverrunTheReplyCopiesNothing) {
    // 14 + 256 + 1075 = 1345: one byte past the 21 chunks.
    useReader(withFaults(sampleReader(QStringLiteral("card1.json")),
                         {{QStringLiteral("text_length"), 256}, {QStringLiteral("photo_length"), 1075}}));
    const BaseMessage m = readBaseMessage();
    EXPECT_EQ(m.result, QMR_BAD_LENGTHS);
    EXPECT_TRUE(nothingWritten(m));
}

TEST_F(Messages, BaseMessageWhoseLengthsFillTheReplyExactlyIsCopied) {
    // 14 + 300 + 1030 = 1344: every collected byte, none beyond.
    useReader(withFaults(sampleReader(QStringLiteral("card1.json")),
                         {{QStringLiteral("text_length"), 300}, {QStringLiteral("photo_length"), 1030}}));
    const BaseMessage m = readBaseMessage();
    ASSERT_EQ(m.result, 0x90);
    EXPECT_EQ(m.textLength, 300u);
    EXPECT_EQ(m.photoLength, 1030u);
    EXPECT_TRUE(untouched(m.text, 300));
    EXPECT_TRUE(untouched(m.photo, 1030));
    // The text block's last 44 bytes are the photo block's first ones, as the lengths say.
    EXPECT_EQ(m.text[256], 0xFF);
    EXPECT_EQ(m.text[257], 0xD8);
}

TEST_F(Messages, BaseMessageWithoutReaderEndsWithNoReader) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("attached"), false);
    useReader(reader);
    const BaseMessage m = readBaseMessage();
    EXPECT_EQ(m.result, QMR_NO_READER);
    EXPECT_TRUE(nothingWritten(m));
}

TEST_F(Messages, AppendedMessageFromAReaderThatStopsAnsweringEnds) {
    // The request is accepted, and then no input report ever comes.
    useReader(
        withFaults(sampleReader(QStringLiteral("card1.json")), {{QStringLiteral("mute_after_reports"), 1}}));
    std::vector<uint8_t> message(128, kUntouched);
    EXPECT_EQ(QMR_ReadNewAppMsg(0, message.data(), 0, 0), QMR_NO_READER);
    EXPECT_TRUE(untouched(message));
    EXPECT_EQ(recorded(QStringLiteral("out")).size(), 1);
    EXPECT_GE(recorded(QStringLiteral("in-none")).size(), 2);
}

TEST_F(Messages, AppendedMessageIsSeventyBytes) {
    const QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    useReader(reader);
    std::vector<uint8_t> message(128, kUntouched);
    ASSERT_EQ(QMR_ReadNewAppMsg(0, message.data(), 0, 0), 0x90);
    EXPECT_TRUE(untouched(message, QMR_APP_MSG_SIZE));
    EXPECT_EQ(field(message, 0, QMR_APP_MSG_SIZE),
              reader.value(QLatin1String("card")).toObject().value(QLatin1String("new_address")).toString());
}

TEST_F(Messages, ARefusalInAShortReplyIsReportedOnceTheCollectionEnds) {
    // A card without an appended message: the reader answers with one chunk carrying its refusal.
    QJsonObject reader = sampleReader(QStringLiteral("card2.json"));
    useReader(reader);
    std::vector<uint8_t> message(128, kUntouched);
    EXPECT_EQ(QMR_ReadNewAppMsg(0, message.data(), 0, 0), 0x91);
    EXPECT_TRUE(untouched(message));
    EXPECT_EQ(recorded(QStringLiteral("in")).size(), 1);
}

} // namespace
