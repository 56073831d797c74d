// The exports' request frames, results, status tests and data copies against the virtual reader.
#include "qmrapi.h"
#include "virtual_reader_fixture.h"

#include <QJsonArray>

#include <array>
#include <cstring>
#include <vector>

namespace {

using qmr::test::sampleReader;
using qmr::test::VirtualReaderTest;

constexpr uint8_t kUntouched = 0xCC;

std::vector<uint8_t> guarded(size_t size) {
    return std::vector<uint8_t>(size, kUntouched);
}

bool untouched(const std::vector<uint8_t>& buffer, size_t from = 0) {
    for (size_t i = from; i < buffer.size(); ++i) {
        if (buffer[i] != kUntouched)
            return false;
    }
    return true;
}

QJsonObject withFaults(QJsonObject reader, const QJsonObject& faults) {
    reader.insert(QLatin1String("faults"), faults);
    return reader;
}

// The report as the reader receives it: report id 0, the ten request bytes, zeros to 64 frame bytes.
QString expectedReport(uint8_t command, uint8_t parameter, uint8_t checksum) {
    QByteArray report(65, '\0');
    const uint8_t head[] = {0xAA, 0xAA, 0xAA, 0x96, 0x69, 0x00, 0x03, command, parameter, checksum};
    std::memcpy(report.data() + 1, head, sizeof head);
    return QString::fromLatin1(report.toHex());
}

class Exports : public VirtualReaderTest {};

TEST_F(Exports, SendsTheNineRequestFramesByteForByte) {
    useReader(sampleReader(QStringLiteral("card1.json")));
    auto buffer = guarded(2048);
    uint32_t textLength = 0;
    uint32_t photoLength = 0;
    std::vector<uint8_t> text(QMR_BASE_MSG_BLOCKS_MAX);
    std::vector<uint8_t> photo(QMR_BASE_MSG_BLOCKS_MAX);

    EXPECT_EQ(QMR_ResetSAM(0, 0), 0x90);
    EXPECT_EQ(QMR_GetSAMStatus(0, 0), 0x90);
    EXPECT_EQ(QMR_GetSAMID(0, buffer.data(), 0), 0x90);
    EXPECT_EQ(QMR_GetSAMIDToStr(0, reinterpret_cast<char*>(buffer.data()), 0), 0x90);
    EXPECT_EQ(QMR_StartFindIDCard(0, buffer.data(), 0), 0x9F);
    EXPECT_EQ(QMR_SelectIDCard(0, buffer.data(), 0), 0x90);
    EXPECT_EQ(QMR_ReadBaseMsg(0, text.data(), &textLength, photo.data(), &photoLength, 0), 0x90);
    EXPECT_EQ(QMR_ReadNewAppMsg(0, buffer.data(), 0, 0), 0x90);
    EXPECT_EQ(QMR_ReadMngInfo(0, buffer.data(), 0), 0x90);

    const QStringList expected = {
        expectedReport(0x10, 0xFF, 0xEC), expectedReport(0x11, 0xFF, 0xED), expectedReport(0x12, 0xFF, 0xEE),
        expectedReport(0x12, 0xFF, 0xEE), expectedReport(0x20, 0x01, 0x22), expectedReport(0x20, 0x02, 0x21),
        expectedReport(0x30, 0x01, 0x32), expectedReport(0x30, 0x03, 0x30), expectedReport(0x30, 0x05, 0x36),
    };
    EXPECT_EQ(recorded(QStringLiteral("out")), expected);
    EXPECT_TRUE(recorded(QStringLiteral("out-refused")).isEmpty());
}

TEST_F(Exports, NoOpExportsSucceedWithoutTouchingTheReader) {
    useReader(sampleReader(QStringLiteral("card1.json")));
    EXPECT_EQ(QMR_OpenPort(1001), 0x90);
    EXPECT_EQ(QMR_ClosePort(-7), 0x90);
    EXPECT_EQ(QMR_GetCOMBaud(1, 115200), 0x90);
    EXPECT_EQ(QMR_SetCOMBaud(1, 9600, 115200), 0x90);
    EXPECT_EQ(QMR_SetMaxRFByte(1, 80, 1), 0x90);
    EXPECT_EQ(QMR_GetErrorString(0x41, 0), 0x90);
    EXPECT_EQ(GetTextInfo(1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 1);
    // Not even discovery ran: the reader never saw a handle opened.
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(Exports, FindWithoutCardIsNoCardAndCopiesNothing) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.remove(QLatin1String("card"));
    useReader(reader);
    auto found = guarded(16);
    auto selected = guarded(16);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x80);
    EXPECT_EQ(QMR_SelectIDCard(0, selected.data(), 0), 0x81);
    EXPECT_TRUE(untouched(found));
    EXPECT_TRUE(untouched(selected));
}

TEST_F(Exports, FindAnsweredWithPlainSuccessIsNoCard) {
    useReader(withFaults(
        sampleReader(QStringLiteral("card1.json")),
        {{QStringLiteral("status"), QJsonObject{{QStringLiteral("find"), QStringLiteral("00 00 90")}}}}));
    auto found = guarded(16);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x80);
    EXPECT_TRUE(untouched(found));
}

TEST_F(Exports, FindAndSelectCopyTheirReplyData) {
    useReader(sampleReader(QStringLiteral("card1.json")));
    auto found = guarded(16);
    auto selected = guarded(16);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
    EXPECT_EQ(QMR_SelectIDCard(0, selected.data(), 0), 0x90);
    // The reader's data bytes (zeros) and then its checksum: the exclusive-or of length and status
    // bytes, 00 08 00 00 9F for find and 00 0C 00 00 90 for select.
    const std::vector<uint8_t> findData = {0x00, 0x00, 0x00, 0x00, 0x08 ^ 0x9F};
    const std::vector<uint8_t> selectData = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C ^ 0x90};
    EXPECT_EQ(std::vector<uint8_t>(found.begin(), found.begin() + QMR_FIND_DATA_SIZE), findData);
    EXPECT_TRUE(untouched(found, QMR_FIND_DATA_SIZE));
    EXPECT_EQ(std::vector<uint8_t>(selected.begin(), selected.begin() + QMR_SELECT_DATA_SIZE), selectData);
    EXPECT_TRUE(untouched(selected, QMR_SELECT_DATA_SIZE));
}

TEST_F(Exports, AnyNonZeroLeadingStatusByteFailsTheTest) {
    useReader(withFaults(
        sampleReader(QStringLiteral("card1.json")),
        {{QStringLiteral("status"), QJsonObject{{QStringLiteral("sam_id"), QStringLiteral("01 00 90")},
                                                {QStringLiteral("mng"), QStringLiteral("00 01 90")}}}}));
    auto samId = guarded(64);
    auto samText = guarded(64);
    auto info = guarded(64);
    // The result is the third status byte, which here is the success value itself.
    EXPECT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0x90);
    EXPECT_EQ(QMR_GetSAMIDToStr(0, reinterpret_cast<char*>(samText.data()), 0), 0x90);
    EXPECT_EQ(QMR_ReadMngInfo(0, info.data(), 0), 0x90);
    EXPECT_TRUE(untouched(samId));
    EXPECT_TRUE(untouched(samText));
    EXPECT_TRUE(untouched(info));
}

TEST_F(Exports, ReaderErrorCodesPassThroughExceptForFindAndSelect) {
    useReader(withFaults(
        sampleReader(QStringLiteral("card1.json")),
        {{QStringLiteral("status"), QJsonObject{{QStringLiteral("reset_sam"), QStringLiteral("00 00 62")},
                                                {QStringLiteral("sam_status"), QStringLiteral("00 00 60")},
                                                {QStringLiteral("select"), QStringLiteral("00 00 62")}}}}));
    auto selected = guarded(16);
    EXPECT_EQ(QMR_ResetSAM(0, 0), 0x62);
    EXPECT_EQ(QMR_GetSAMStatus(0, 0), 0x60);
    EXPECT_EQ(QMR_SelectIDCard(0, selected.data(), 0), 0x81);
    EXPECT_TRUE(untouched(selected));
}

TEST_F(Exports, WithoutReaderCommandsReturnZeroAndLeaveBuffers) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("attached"), false);
    useReader(reader);
    auto samId = guarded(32);
    auto found = guarded(16);
    EXPECT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0);
    EXPECT_EQ(QMR_ResetSAM(0, 0), 0);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0);
    EXPECT_TRUE(untouched(samId));
    EXPECT_TRUE(untouched(found));
    EXPECT_TRUE(recorded(QStringLiteral("open")).isEmpty());
    EXPECT_TRUE(recorded(QStringLiteral("out")).isEmpty());
}

TEST_F(Exports, RepliesWithWrongPreambleOrLengthAreAcceptedOnGoodStatus) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("sam_id"), QStringLiteral("0102030405060708090a0b0c0d0e0f10"));
    useReader(withFaults(reader, {{QStringLiteral("preamble"), QStringLiteral("00 11 22 33 44")},
                                  {QStringLiteral("length"), 0xFFFF}}));
    auto found = guarded(16);
    auto samId = guarded(32);
    auto message = guarded(128);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
    ASSERT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0x90);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(samId[i], i + 1);
    EXPECT_EQ(QMR_ReadNewAppMsg(0, message.data(), 0, 0), 0x90);
    EXPECT_FALSE(untouched(std::vector<uint8_t>(message.begin(), message.begin() + QMR_APP_MSG_SIZE)));
}

TEST_F(Exports, SamIdAsBytesAndAsText) {
    useReader(sampleReader(QStringLiteral("card1.json"))); // sam_id [1, 2, 3, 4, 5]
    auto samId = guarded(32);
    auto text = guarded(64);
    ASSERT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0x90);
    const std::array<uint8_t, 16> raw = {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00,
                                         0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), samId.begin()));
    EXPECT_TRUE(untouched(samId, QMR_SAM_ID_SIZE));

    ASSERT_EQ(QMR_GetSAMIDToStr(0, reinterpret_cast<char*>(text.data()), 0), 0x90);
    const std::string expected = "01-02-00000003-0000000004-0000000005";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data())), expected);
    for (size_t i = expected.size(); i < QMR_SAM_ID_TEXT_SIZE; ++i)
        EXPECT_EQ(text[i], 0) << "byte " << i;
    EXPECT_TRUE(untouched(text, QMR_SAM_ID_TEXT_SIZE));
}

TEST_F(Exports, SamIdTextTooLongIsCutAndStillTerminated) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("sam_id"),
                  QJsonArray{65535, 65535, -2147483647 - 1, -2147483647 - 1, -2147483647 - 1});
    useReader(reader);
    auto text = guarded(64);
    ASSERT_EQ(QMR_GetSAMIDToStr(0, reinterpret_cast<char*>(text.data()), 0), 0x90);
    const std::string full = "65535-65535--2147483648--2147483648--2147483648";
    EXPECT_EQ(text[QMR_SAM_ID_TEXT_SIZE - 1], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data())),
              full.substr(0, QMR_SAM_ID_TEXT_SIZE - 1));
    EXPECT_TRUE(untouched(text, QMR_SAM_ID_TEXT_SIZE));
}

TEST_F(Exports, ManagementInformationIsSixteenBytes) {
    useReader(sampleReader(QStringLiteral("card1.json"))); // management 01..10
    auto info = guarded(32);
    ASSERT_EQ(QMR_ReadMngInfo(0, info.data(), 0), 0x90);
    for (int i = 0; i < QMR_MNG_INFO_SIZE; ++i)
        EXPECT_EQ(info[i], i + 1);
    EXPECT_TRUE(untouched(info, QMR_MNG_INFO_SIZE));
}

// The holder's name as the text block's first field stores it (UCS-2, padded with spaces).
QString nameIn(const std::vector<uint8_t>& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.data()), 15).trimmed();
}

TEST_F(Exports, ChangingTheFileLaysAnotherCardOnTheReaderAndRemovingItTakesTheCardOff) {
    useReader(sampleReader(QStringLiteral("card1.json")));
    const QString path = folder() + QStringLiteral("reader.json");
    std::vector<uint8_t> found(16);
    std::vector<uint8_t> text(QMR_BASE_MSG_BLOCKS_MAX);
    std::vector<uint8_t> photo(QMR_BASE_MSG_BLOCKS_MAX);
    uint32_t textLength = 0;
    uint32_t photoLength = 0;
    ASSERT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
    ASSERT_EQ(QMR_ReadBaseMsg(0, text.data(), &textLength, photo.data(), &photoLength, 0), 0x90);
    EXPECT_EQ(nameIn(text), QStringLiteral("王小明"));

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x80);
    EXPECT_EQ(QMR_SelectIDCard(0, found.data(), 0), 0x81);

    // Another card, written at once under the same name (same second, maybe the same size).
    QJsonObject second = sampleReader(QStringLiteral("card2.json"));
    second.insert(QLatin1String("record"), recordPath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(second).toJson());
    file.close();
    ASSERT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
    ASSERT_EQ(QMR_ReadBaseMsg(0, text.data(), &textLength, photo.data(), &photoLength, 0), 0x90);
    EXPECT_EQ(nameIn(text), QStringLiteral("赵丽华"));

    // A file that does not parse leaves the card as it was.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("{ not json");
    file.close();
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
}

} // namespace
