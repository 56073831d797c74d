// INI reads and writes on real files, checked against the Windows private-profile behaviour.
#include "qx/platform/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qx::platform;

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name = QStringLiteral("settings.ini")) const { return m_dir.filePath(name); }

    void writeBytes(const QByteArray& bytes, const QString& name = QStringLiteral("settings.ini")) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray readBytes(const QString& name = QStringLiteral("settings.ini")) const {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<unreadable>");
        return file.readAll();
    }

    QString read(const QString& section, const QString& key, const QString& fallback = QStringLiteral("dflt"),
                 int bufferSize = 256) const {
        return readProfileString(path(), section, key, fallback, bufferSize);
    }

    bool write(const QString& section, const QString& key, const QString& value) {
        return writeProfileString(path(), section, key, value);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Profile, MissingFileGivesDefault) {
    EXPECT_EQ(read(QStringLiteral("Camera"), QStringLiteral("Width")), QStringLiteral("dflt"));
    EXPECT_FALSE(QFileInfo::exists(path()));
}

TEST_F(Profile, MissingSectionOrKeyGivesDefault) {
    writeBytes("[Camera]\r\nWidth=640\r\n");
    EXPECT_EQ(read(QStringLiteral("Scanner"), QStringLiteral("Width")), QStringLiteral("dflt"));
    EXPECT_EQ(read(QStringLiteral("Camera"), QStringLiteral("Height")), QStringLiteral("dflt"));
    EXPECT_EQ(read(QStringLiteral("Camera"), QStringLiteral("Width")), QStringLiteral("640"));
}

TEST_F(Profile, SectionAndKeyIgnoreCase) {
    writeBytes("[Camera]\r\nWidth=640\r\n[Ärger]\r\nÖl=ja\r\n");
    EXPECT_EQ(read(QStringLiteral("CAMERA"), QStringLiteral("width")), QStringLiteral("640"));
    EXPECT_EQ(read(QStringLiteral("camera"), QStringLiteral("WIDTH")), QStringLiteral("640"));
    EXPECT_EQ(read(QStringLiteral("äRGER"), QStringLiteral("öL")), QStringLiteral("ja"));
}

TEST_F(Profile, FirstOfDuplicateSectionsWins) {
    writeBytes("[A]\r\nk=first\r\n[B]\r\nx=1\r\n[a]\r\nk=second\r\nonlyLater=yes\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("first"));
    // Keys of a later duplicate are not seen at all.
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("onlyLater")), QStringLiteral("dflt"));
}

TEST_F(Profile, FirstOfDuplicateKeysWins) {
    writeBytes("[A]\r\nk=first\r\nK=second\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("first"));
}

TEST_F(Profile, TrimsBlanksAndOnePairOfQuotes) {
    writeBytes("[A]\r\n  spaced  =   some value \t\r\n"
               "dq=\"quoted value\"\r\n"
               "sq='single'\r\n"
               "mixed=\"mixed'\r\n"
               "double=\"\"twice\"\"\r\n"
               "lone=\"\r\n"
               "inner=a \"b\" c\r\n"
               "padded=  \" keep inside \"  \r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("spaced")), QStringLiteral("some value"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("dq")), QStringLiteral("quoted value"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("sq")), QStringLiteral("single"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("mixed")), QStringLiteral("\"mixed'"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("double")), QStringLiteral("\"twice\""));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("lone")), QStringLiteral("\""));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("inner")), QStringLiteral("a \"b\" c"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("padded")), QStringLiteral(" keep inside "));
}

TEST_F(Profile, EmptyValueIsNotTheDefault) {
    writeBytes("[A]\r\nempty=\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("empty")), QString());
}

TEST_F(Profile, CommentsAndLinesWithoutEqualsAreSkipped) {
    writeBytes("[A]\r\n;k=commented\r\n  ; k=indented comment\r\nk\r\nk=real\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("real"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral(";k")), QStringLiteral("dflt"));
}

TEST_F(Profile, KeysBeforeAnySectionBelongToNone) {
    writeBytes("k=orphan\r\n[A]\r\nother=1\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("dflt"));
    EXPECT_EQ(read(QString(), QStringLiteral("k")), QStringLiteral("dflt"));
}

TEST_F(Profile, ReadsLfOnlyAndUnterminatedFiles) {
    writeBytes("[A]\nk=lf\nlast=no newline");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("lf"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("last")), QStringLiteral("no newline"));
}

TEST_F(Profile, ByteOrderMarkIsSkippedOnRead) {
    writeBytes("\xEF\xBB\xBF[A]\r\nk=v\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("v"));
}

TEST_F(Profile, Utf8ValuesAreDecoded) {
    writeBytes("[Reader]\r\nName=身份证阅读器\r\n");
    EXPECT_EQ(read(QStringLiteral("Reader"), QStringLiteral("Name")), QStringLiteral("身份证阅读器"));
}

TEST_F(Profile, ValueIsCutToBufferSizeMinusOne) {
    writeBytes("[A]\r\nk=abcdef\r\n");
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QString(), 4), QStringLiteral("abc"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QString(), 7), QStringLiteral("abcdef"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QString(), 6), QStringLiteral("abcde"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QString(), 1), QString());
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QString(), 0), QString());
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QString(), -5), QString());
}

TEST_F(Profile, DefaultIsCutLikeAValue) {
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("defaultvalue"), 4),
              QStringLiteral("def"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("defaultvalue"), 0), QString());
}

TEST_F(Profile, DefaultLosesTrailingSpaces) {
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral(" pad  ")),
              QStringLiteral(" pad"));
}

TEST_F(Profile, WriteCreatesTheFile) {
    ASSERT_TRUE(write(QStringLiteral("Camera"), QStringLiteral("Width"), QStringLiteral("640")));
    EXPECT_EQ(readBytes(), QByteArray("[Camera]\r\nWidth=640\r\n"));
    EXPECT_EQ(read(QStringLiteral("camera"), QStringLiteral("width")), QStringLiteral("640"));
}

TEST_F(Profile, WriteDoesNotCreateFolders) {
    const QString inMissingFolder = m_dir.filePath(QStringLiteral("missing/settings.ini"));
    EXPECT_FALSE(
        writeProfileString(inMissingFolder, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("missing"))));
}

TEST_F(Profile, WriteToAFolderPathFails) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.ini")));
    EXPECT_FALSE(writeProfileString(path(QStringLiteral("folder.ini")), QStringLiteral("A"),
                                    QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder.ini"))).isDir());
}

TEST_F(Profile, WriteWhereNothingCanBeCreatedFails) {
    EXPECT_FALSE(writeProfileString(QStringLiteral("/proc/self/qx-settings.ini"), QStringLiteral("A"),
                                    QStringLiteral("k"), QStringLiteral("v")));
}

TEST_F(Profile, WriteReplacesOnlyTheKeyLine) {
    const QByteArray before = "; top comment\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "k=untouched\r\n"
                              "garbage line without equals\r\n"
                              "\r\n"
                              "[Camera]\r\n"
                              "; camera comment\r\n"
                              "  Width =  640  \r\n"
                              "Height=480\r\n"
                              "[ broken header\r\n"
                              "\r\n"
                              "\r\n"
                              "[Tail]\r\n"
                              "z = \"quoted\"\r\n";
    writeBytes(before);
    ASSERT_TRUE(write(QStringLiteral("camera"), QStringLiteral("WIDTH"), QStringLiteral("1024")));
    QByteArray expected = before;
    expected.replace("  Width =  640  \r\n", "Width=1024\r\n");
    EXPECT_EQ(readBytes(), expected);
    EXPECT_EQ(read(QStringLiteral("Camera"), QStringLiteral("Width")), QStringLiteral("1024"));
}

TEST_F(Profile, NewKeyGoesToTheEndOfItsSectionBeforeBlankSeparators) {
    writeBytes("[A]\r\nx=1\r\n; note\r\n\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_TRUE(write(QStringLiteral("a"), QStringLiteral("z"), QStringLiteral("3")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nx=1\r\n; note\r\nz=3\r\n\r\n\r\n[B]\r\ny=2\r\n"));
    EXPECT_EQ(read(QStringLiteral("B"), QStringLiteral("z")), QStringLiteral("dflt"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("z")), QStringLiteral("3"));
}

TEST_F(Profile, NewKeyInAnEmptySectionFollowsTheHeader) {
    writeBytes("[A]\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("3")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"));
}

TEST_F(Profile, NewKeyGoesToTheFirstOfDuplicateSections) {
    writeBytes("[A]\r\nx=1\r\n[A]\r\ny=2\r\n");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("y"), QStringLiteral("3")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nx=1\r\ny=3\r\n[A]\r\ny=2\r\n"));
}

TEST_F(Profile, NewKeyAfterAnUnterminatedLastLine) {
    writeBytes("[A]\r\nx=1");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("y"), QStringLiteral("2")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nx=1\r\ny=2\r\n"));
}

TEST_F(Profile, NewKeyAfterALoneCarriageReturnAtTheEnd) {
    // A CR without its LF ends no line: the new key must not be glued onto the header.
    writeBytes("[A]\r");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("y"), QStringLiteral("2")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\r\ny=2\r\n"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("y")), QStringLiteral("2"));
}

TEST_F(Profile, ExistingKeyKeepsItsSpellingAndLineEnd) {
    writeBytes("[Camera]\r\nResolution = 1\r\nNext=2");
    ASSERT_TRUE(write(QStringLiteral("CAMERA"), QStringLiteral("resolution"), QStringLiteral("2")));
    ASSERT_TRUE(write(QStringLiteral("camera"), QStringLiteral("NEXT"), QStringLiteral("3")));
    EXPECT_EQ(readBytes(), QByteArray("[Camera]\r\nResolution=2\r\nNext=3"));
}

TEST_F(Profile, MissingSectionIsAppended) {
    writeBytes("[A]\r\nx=1\r\n");
    ASSERT_TRUE(write(QStringLiteral("B"), QStringLiteral("y"), QStringLiteral("2")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n"));
}

TEST_F(Profile, MissingSectionAfterAnUnterminatedLastLine) {
    writeBytes("[A]\r\nx=1");
    ASSERT_TRUE(write(QStringLiteral("B"), QStringLiteral("y"), QStringLiteral("2")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n"));
}

TEST_F(Profile, LfOnlyFileStaysLfOnly) {
    writeBytes("[A]\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("3")));
    ASSERT_TRUE(write(QStringLiteral("C"), QStringLiteral("w"), QStringLiteral("4")));
    ASSERT_TRUE(write(QStringLiteral("B"), QStringLiteral("y"), QStringLiteral("5")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=5\n[C]\nw=4\n"));
}

TEST_F(Profile, EmptyFileGetsCrLf) {
    writeBytes(QByteArray());
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nk=v\r\n"));
}

TEST_F(Profile, ByteOrderMarkIsKeptOnWrite) {
    writeBytes("\xEF\xBB\xBF[A]\r\nk=old\r\n");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("new")));
    ASSERT_TRUE(write(QStringLiteral("B"), QStringLiteral("j"), QStringLiteral("x")));
    EXPECT_EQ(readBytes(), QByteArray("\xEF\xBB\xBF[A]\r\nk=new\r\n[B]\r\nj=x\r\n"));
}

TEST_F(Profile, ByteOrderMarkOnlyFileGetsNoBlankLine) {
    writeBytes("\xEF\xBB\xBF");
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(readBytes(), QByteArray("\xEF\xBB\xBF[A]\r\nk=v\r\n"));
}

TEST_F(Profile, WrittenUnicodeReadsBack) {
    ASSERT_TRUE(write(QStringLiteral("读卡器"), QStringLiteral("名称"), QStringLiteral("身份证")));
    EXPECT_EQ(readBytes(), QStringLiteral("[读卡器]\r\n名称=身份证\r\n").toUtf8());
    EXPECT_EQ(read(QStringLiteral("读卡器"), QStringLiteral("名称")), QStringLiteral("身份证"));
}

TEST_F(Profile, NonUtf8BytesElsewhereSurviveAWrite) {
    const QByteArray before("[A]\r\nlegacy=\xC4\xD0\xFF\r\nk=1\r\n");
    writeBytes(before);
    ASSERT_TRUE(write(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2")));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nlegacy=\xC4\xD0\xFF\r\nk=2\r\n"));
}

TEST_F(Profile, DecimalPrefixReadsAsTheCLibraryDoes) {
    EXPECT_EQ(decimalPrefix(QStringLiteral("15")), 15);
    EXPECT_EQ(decimalPrefix(QStringLiteral(" 7s")), 7);
    EXPECT_EQ(decimalPrefix(QStringLiteral("-3")), -3);
    EXPECT_EQ(decimalPrefix(QStringLiteral("abc")), 0);
    EXPECT_EQ(decimalPrefix(QString()), 0);
    EXPECT_EQ(decimalPrefix(QStringLiteral("99999999999")), 2147483647);
}
