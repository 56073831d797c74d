// Time-stamp formats for a fixed moment, including the space padding of short years.
#include "qx/platform/timestamp.h"

#include <gtest/gtest.h>

using namespace qx::platform;

namespace {

const QDateTime moment(QDate(2024, 3, 7), QTime(9, 5, 2));
const QDateTime earlyMoment(QDate(987, 11, 23), QTime(23, 59, 0));

} // namespace

TEST(Timestamp, FileStampIsZeroPaddedAndDashed) {
    EXPECT_EQ(fileTimeStamp(moment), QStringLiteral("2024-03-07-09-05-02"));
    EXPECT_EQ(fileTimeStamp(earlyMoment), QStringLiteral(" 987-11-23-23-59-00"));
}

TEST(Timestamp, LogPrefixSeparatesDateAndTimeAndEndsWithColon) {
    EXPECT_EQ(logTimePrefix(moment), QStringLiteral("2024-03-07 09-05-02 : "));
    EXPECT_EQ(logTimePrefix(earlyMoment), QStringLiteral(" 987-11-23 23-59-00 : "));
}

TEST(Timestamp, DateStampHasOnlyTheDate) {
    EXPECT_EQ(dateStamp(moment), QStringLiteral("2024-03-07"));
    EXPECT_EQ(dateStamp(earlyMoment), QStringLiteral(" 987-11-23"));
}

TEST(Timestamp, DefaultArgumentUsesTheCurrentDate) {
    // Bracketing by two reads of the clock keeps this right across a midnight.
    const QString before = dateStamp(QDateTime::currentDateTime());
    const QString now = dateStamp();
    const QString after = dateStamp(QDateTime::currentDateTime());
    EXPECT_TRUE(now == before || now == after) << now.toStdString();
}
