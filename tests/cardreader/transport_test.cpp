// The transport seen through the exports: discovery, the open/close rhythm, unplugging, report lengths.
#include "qmrapi.h"
#include "virtual_reader_fixture.h"

#include <QJsonArray>

#include <vector>

namespace {

using qmr::test::sampleReader;
using qmr::test::VirtualReaderTest;

QJsonObject withFaults(QJsonObject reader, const QJsonObject& faults) {
    reader.insert(QLatin1String("faults"), faults);
    return reader;
}

// The recorded lines reduced to what the transport did: opened, closed, sent, fetched.
QStringList events(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines)
        out << line.section(QLatin1Char(' '), 0, 0);
    return out;
}

class Transport : public VirtualReaderTest {};

TEST_F(Transport, FirstReadKeepsTheReaderOpenLaterReadsCloseIt) {
    useReader(sampleReader(QStringLiteral("card1.json")));
    ASSERT_EQ(QMR_GetSAMStatus(0, 0), 0x90);
    ASSERT_EQ(QMR_GetSAMStatus(0, 0), 0x90);
    ASSERT_EQ(QMR_GetSAMStatus(0, 0), 0x90);
    // Two handles per discovery (output and input); the second command reuses the open reader and its
    // read closes it, so the third rediscovers.
    const QStringList expected = {
        QStringLiteral("open"),  QStringLiteral("open"),  QStringLiteral("out"),   QStringLiteral("in"),
        QStringLiteral("out"),   QStringLiteral("in"),    QStringLiteral("close"), QStringLiteral("close"),
        QStringLiteral("open"),  QStringLiteral("open"),  QStringLiteral("out"),   QStringLiteral("in"),
        QStringLiteral("close"), QStringLiteral("close"),
    };
    EXPECT_EQ(events(recorded()), expected);
}

TEST_F(Transport, UnpluggedWhileOpenTheNextCommandFailsAndTheOneAfterRediscovers) {
    // The reader goes away after the first command's two reports and comes back at once.
    useReader(withFaults(sampleReader(QStringLiteral("card1.json")),
                         {{QStringLiteral("unplug_after_reports"), 2}}));
    ASSERT_EQ(QMR_GetSAMStatus(0, 0), 0x90);
    EXPECT_EQ(recorded(QStringLiteral("open")).size(), 2);

    auto samId = std::vector<uint8_t>(16, 0xCC);
    EXPECT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0);
    EXPECT_EQ(samId, std::vector<uint8_t>(16, 0xCC));
    EXPECT_EQ(recorded(QStringLiteral("out-refused")).size(), 1);

    EXPECT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0x90);
    EXPECT_EQ(recorded(QStringLiteral("open")).size(), 4);
    EXPECT_EQ(samId[0], 1);
}

TEST_F(Transport, OnlyTheReaderIsOpenedAmongOtherHidDevices) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(
        QLatin1String("decoys"),
        QJsonArray{QStringLiteral("046d:c52b"), QStringLiteral("1a7e:0001"), QStringLiteral("0001:5c39")});
    useReader(reader);
    auto found = std::vector<uint8_t>(16);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0x9F);
    const QStringList opened = recorded(QStringLiteral("open"));
    ASSERT_FALSE(opened.isEmpty());
    for (const QString& path : opened)
        EXPECT_EQ(path, QStringLiteral("virtual:hidraw0"));
}

TEST_F(Transport, ReportsShorterOrLongerThanSixtyFiveBytesAreHandled) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("report_lengths"),
                  QJsonObject{{QStringLiteral("output"), 33}, {QStringLiteral("input"), 129}});
    useReader(reader);
    auto samId = std::vector<uint8_t>(16);
    EXPECT_EQ(QMR_StartFindIDCard(0, samId.data(), 0), 0x9F);
    ASSERT_EQ(QMR_GetSAMID(0, samId.data(), 0), 0x90);
    EXPECT_EQ(samId[0], 1);
    EXPECT_EQ(samId[12], 5);
    // Each output report is as long as the descriptor says: the id byte and 32 frame bytes.
    for (const QString& report : recorded(QStringLiteral("out")))
        EXPECT_EQ(report.size(), 2 * 33) << report.toStdString();
}

TEST_F(Transport, AnOutputReportTooShortForARequestCountsAsAFailedSend) {
    QJsonObject reader = sampleReader(QStringLiteral("card1.json"));
    reader.insert(QLatin1String("report_lengths"),
                  QJsonObject{{QStringLiteral("output"), 9}, {QStringLiteral("input"), 65}});
    useReader(reader);
    auto found = std::vector<uint8_t>(16, 0xCC);
    EXPECT_EQ(QMR_StartFindIDCard(0, found.data(), 0), 0);
    EXPECT_EQ(found, std::vector<uint8_t>(16, 0xCC));
    EXPECT_TRUE(recorded(QStringLiteral("out")).isEmpty());
}

} // namespace
