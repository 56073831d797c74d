// GBK conversion: byte counts, round trips, and what happens to bytes and characters GBK lacks.
#include "qx/platform/codepage.h"

#include <gtest/gtest.h>

using namespace qx::platform;

TEST(Codepage, ChineseCharacterIsTwoKnownBytes) {
    const QByteArray bytes = toGbk(QStringLiteral("男"));
    EXPECT_EQ(bytes, QByteArray("\xC4\xD0"));
    EXPECT_EQ(bytes.size(), 2);
}

TEST(Codepage, ChineseTextRoundTrips) {
    const QString text = QStringLiteral("中华人民共和国居民身份证 姓名：张三，民族：汉");
    const QByteArray bytes = toGbk(text);
    EXPECT_EQ(bytes.left(4), QByteArray("\xD6\xD0\xBB\xAA"));
    EXPECT_EQ(fromGbk(bytes), text);
}

TEST(Codepage, AsciiIsUnchanged) {
    EXPECT_EQ(toGbk(QStringLiteral("ID 123-abc")), QByteArray("ID 123-abc"));
    EXPECT_EQ(fromGbk(QByteArray("ID 123-abc")), QStringLiteral("ID 123-abc"));
}

TEST(Codepage, EmptyStaysEmpty) {
    EXPECT_TRUE(toGbk(QString()).isEmpty());
    EXPECT_TRUE(fromGbk(QByteArray()).isEmpty());
}

TEST(Codepage, InvalidGbkBytesBecomeReplacementCharacters) {
    const QChar replacement(QChar::ReplacementCharacter);
    // A lead byte with a trail byte GBK never uses: only the lead byte is lost.
    EXPECT_EQ(fromGbk(QByteArray("\x81\x20x")), QString(replacement) + QStringLiteral(" x"));
    EXPECT_EQ(fromGbk(QByteArray("a\xFF"
                                 "b")),
              QStringLiteral("a") + replacement + QStringLiteral("b"));
    // A lead byte cut off at the end of the input.
    EXPECT_EQ(fromGbk(QByteArray("\xC4\xD0\xC4")), QStringLiteral("男") + replacement);
}

TEST(Codepage, ArbitraryBytesNeverCrash) {
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>((i * 7919 + 13) & 0xFF));
    const QString text = fromGbk(noise);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(toGbk(text).isEmpty());
}

TEST(Codepage, CharactersOutsideGbkBecomeQuestionMarks) {
    EXPECT_EQ(toGbk(QStringLiteral("a😀b")), QByteArray("a?b"));
    EXPECT_EQ(toGbk(QStringLiteral("男😀")), QByteArray("\xC4\xD0?"));
}
