// What 清空图像列表 deletes: the save folder's pictures, the control's pictures in Temp, today's merge
// folder.
#include "app_fixture.h"

#include "qx/desktop/history_cleaner.h"
#include "qx/desktop/picture_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace qx::desktop;

namespace qx::test {
namespace {

class DesktopHistoryCleaner : public ::testing::Test {
protected:
    QStringList files(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString mergeFolder(const QString& folder, const QDate& day) const {
        return folder + mergeFolderName(day);
    }
    void write(const QString& path) { ASSERT_TRUE(writeAll(path, "x")); }

    Folder m_save;
    Folder m_temp;
    Folder m_outside;
    ScopedEnv m_tempEnv{"Temp", m_temp.path()};
    QDate m_today{2026, 12, 8};
    HistoryCleaner m_cleaner{[this] { return m_today; }};
};

TEST_F(DesktopHistoryCleaner, TheRuleNamesPicturesAndInTempOnlyTheControls) {
    EXPECT_EQ(HistoryCleaner::folderFor(QString()), m_temp.path());
    EXPECT_EQ(HistoryCleaner::folderFor(QStringLiteral("/srv/pics")), QStringLiteral("/srv/pics/"));
    for (const char* name : {"a.jpg", "B.TIF", "c.Gif", "d.bmp", "e.pdf", "x.tif"})
        EXPECT_TRUE(HistoryCleaner::removes(QLatin1String(name), true)) << name;
    for (const char* name : {"notes.txt", "a.jpeg", "a.tiff", "a.png"})
        EXPECT_FALSE(HistoryCleaner::removes(QLatin1String(name), true)) << name;
    EXPECT_TRUE(HistoryCleaner::removes(QStringLiteral("2026-12-08-10-11-12.jpg"), false));
    EXPECT_TRUE(HistoryCleaner::removes(QStringLiteral("2026-12-08-10-11-12ForJpgMerge.jpg"), false));
    EXPECT_FALSE(HistoryCleaner::removes(QStringLiteral("holiday.jpg"), false));
    EXPECT_FALSE(HistoryCleaner::removes(QStringLiteral("2026-12-08.jpg"), false));
    EXPECT_FALSE(HistoryCleaner::removes(QStringLiteral("2026-12-08-10-11-12.txt"), false));
}

TEST_F(DesktopHistoryCleaner, TheSaveFolderLosesItsPicturesAndTodaysMergeFolderOnly) {
    for (const char* name : {"a.jpg", "B.TIF", ".hidden.gif", "scan.PDF", "notes.txt", "a.jpeg"})
        write(m_save.file(QLatin1String(name)));
    ASSERT_TRUE(QDir().mkpath(m_save.file(QStringLiteral("folder.jpg"))));
    const QString today = mergeFolder(m_save.path(), m_today);
    const QString yesterday = mergeFolder(m_save.path(), m_today.addDays(-1));
    ASSERT_TRUE(QDir().mkpath(today + QStringLiteral("sub")));
    write(today + QStringLiteral("sub/a.jpg"));
    ASSERT_TRUE(QDir().mkpath(yesterday));
    write(yesterday + QStringLiteral("b.jpg"));

    m_cleaner.clear(m_save.path());
    EXPECT_EQ(files(m_save.path()), (QStringList{"a.jpeg", "notes.txt"}));
    EXPECT_TRUE(QFileInfo(m_save.file(QStringLiteral("folder.jpg"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(today));
    EXPECT_TRUE(QFileInfo::exists(yesterday + QStringLiteral("b.jpg")));
}

TEST_F(DesktopHistoryCleaner, WithoutASavePathOnlyTheControlsPicturesLeaveTheSharedTemporaryFolder) {
    for (const char* name : {"2026-12-08-10-11-12.jpg", "2026-12-08-10-11-13ForJpgMerge.jpg", "holiday.jpg",
                             "2026-12-08-10-11-14.txt"})
        write(m_temp.file(QLatin1String(name)));
    const QString merge = mergeFolder(m_temp.path(), m_today);
    ASSERT_TRUE(QDir().mkpath(merge));
    write(merge + QStringLiteral("2026-12-08-10-11-15ForJpgMerge.jpg"));
    write(m_save.file(QStringLiteral("a.jpg")));

    m_cleaner.clear(QString());
    EXPECT_EQ(files(m_temp.path()), (QStringList{"2026-12-08-10-11-14.txt", "holiday.jpg"}));
    EXPECT_FALSE(QFileInfo::exists(merge));
    EXPECT_TRUE(QFileInfo::exists(m_save.file(QStringLiteral("a.jpg"))));
}

TEST_F(DesktopHistoryCleaner, LinksAreDeletedThemselvesAndNeverFollowed) {
    const QString target = m_outside.file(QStringLiteral("target.jpg"));
    write(target);
    ASSERT_TRUE(QDir().mkpath(m_outside.file(QStringLiteral("dir"))));
    write(m_outside.file(QStringLiteral("dir/inside.jpg")));
    ASSERT_TRUE(QFile::link(target, m_save.file(QStringLiteral("link.jpg"))));
    ASSERT_TRUE(
        QFile::link(m_outside.file(QStringLiteral("gone.jpg")), m_save.file(QStringLiteral("dangling.jpg"))));
    const QString merge = mergeFolder(m_save.path(), m_today);
    ASSERT_TRUE(QDir().mkpath(merge));
    ASSERT_TRUE(QFile::link(m_outside.file(QStringLiteral("dir")), merge + QStringLiteral("dir")));
    ASSERT_TRUE(QFile::link(target, merge + QStringLiteral("target.jpg")));

    m_cleaner.clear(m_save.path());
    EXPECT_FALSE(QFileInfo(m_save.file(QStringLiteral("link.jpg"))).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(merge));
    EXPECT_EQ(readAll(target), QByteArray("x"));
    EXPECT_TRUE(QFileInfo::exists(m_outside.file(QStringLiteral("dir/inside.jpg"))));

    // A merge folder that is itself a link: the link goes, the folder it names stays whole.
    ASSERT_TRUE(QFile::link(m_outside.file(QStringLiteral("dir")), merge.chopped(1)));
    m_cleaner.clear(m_save.path());
    EXPECT_FALSE(QFileInfo(merge.chopped(1)).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(m_outside.file(QStringLiteral("dir/inside.jpg"))));
}

TEST_F(DesktopHistoryCleaner, TheMergeFolderIsTheOneOfTheDayOfTheClear) {
    const QString before = mergeFolder(m_save.path(), m_today);
    ASSERT_TRUE(QDir().mkpath(before));
    m_today = m_today.addDays(1); // the list is cleared after midnight
    const QString after = mergeFolder(m_save.path(), m_today);
    ASSERT_TRUE(QDir().mkpath(after));
    m_cleaner.clear(m_save.path());
    EXPECT_TRUE(QFileInfo::exists(before));
    EXPECT_FALSE(QFileInfo::exists(after));
}

} // namespace
} // namespace qx::test
