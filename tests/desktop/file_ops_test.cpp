// Moving picture files: never over another file unless asked, and the file-error texts of each refusal.
#include "qx/desktop/file_ops.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace qx::desktop;

TEST(DesktopFileOps, MovesAFileToAFreeName) {
    qx::test::Folder dir;
    ASSERT_TRUE(qx::test::writeAll(dir.file("a.jpg"), "A"));
    EXPECT_EQ(moveFileNoReplace(dir.file("a.jpg"), dir.file("b.jpg")), FileError::None);
    EXPECT_FALSE(QFile::exists(dir.file("a.jpg")));
    EXPECT_EQ(qx::test::readAll(dir.file("b.jpg")), QByteArray("A"));
}

TEST(DesktopFileOps, NeverReplacesAnExistingFile) {
    qx::test::Folder dir;
    ASSERT_TRUE(qx::test::writeAll(dir.file("a.jpg"), "A"));
    ASSERT_TRUE(qx::test::writeAll(dir.file("b.jpg"), "B"));
    EXPECT_EQ(moveFileNoReplace(dir.file("a.jpg"), dir.file("b.jpg")), FileError::AccessDenied);
    EXPECT_EQ(qx::test::readAll(dir.file("a.jpg")), QByteArray("A"));
    EXPECT_EQ(qx::test::readAll(dir.file("b.jpg")), QByteArray("B"));
}

TEST(DesktopFileOps, RefusalsAreTold) {
    qx::test::Folder dir;
    EXPECT_EQ(moveFileNoReplace(dir.file("gone.jpg"), dir.file("b.jpg")), FileError::FileNotFound);
    ASSERT_TRUE(qx::test::writeAll(dir.file("a.jpg"), "A"));
    EXPECT_EQ(moveFileNoReplace(dir.file("a.jpg"), dir.file("no/such/folder/b.jpg")), FileError::BadPath);
    EXPECT_EQ(moveFileNoReplace(dir.file("a.jpg"), dir.file("..")), FileError::BadPath);
    EXPECT_EQ(moveFileNoReplace(dir.file("a.jpg"), dir.path()), FileError::BadPath);
    EXPECT_EQ(moveFileNoReplace(dir.file("a.jpg"), dir.file("a.jpg")), FileError::None);
    EXPECT_EQ(qx::test::readAll(dir.file("a.jpg")), QByteArray("A"));
}

TEST(DesktopFileOps, AReplacingMoveSwapsTheNameOverInOneStep) {
    qx::test::Folder dir;
    ASSERT_TRUE(qx::test::writeAll(dir.file("a.jpg"), "A"));
    ASSERT_TRUE(qx::test::writeAll(dir.file("b.jpg"), "B"));
    EXPECT_EQ(moveFileReplacing(dir.file("a.jpg"), dir.file("b.jpg")), FileError::None);
    EXPECT_FALSE(QFile::exists(dir.file("a.jpg")));
    EXPECT_EQ(qx::test::readAll(dir.file("b.jpg")), QByteArray("A"));
    EXPECT_EQ(moveFileReplacing(dir.file("b.jpg"), dir.file("c.jpg")), FileError::None);
    EXPECT_EQ(qx::test::readAll(dir.file("c.jpg")), QByteArray("A"));

    // A barcode's newer picture takes the place of the older one with the older one's permissions.
    ASSERT_TRUE(qx::test::writeAll(dir.file("older.jpg"), "older"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file("older.jpg")).constData(), 0640), 0);
    EXPECT_EQ(moveFileReplacing(dir.file("c.jpg"), dir.file("older.jpg")), FileError::None);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.file("older.jpg")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(qx::test::readAll(dir.file("older.jpg")), QByteArray("A"));

    // A source that is gone leaves the name it would have taken as it was.
    ASSERT_TRUE(qx::test::writeAll(dir.file("d.jpg"), "D"));
    EXPECT_EQ(moveFileReplacing(dir.file("gone.jpg"), dir.file("d.jpg")), FileError::FileNotFound);
    EXPECT_EQ(qx::test::readAll(dir.file("d.jpg")), QByteArray("D"));
    // Folders are not replaced, and the names keep to their folder.
    ASSERT_TRUE(QDir().mkpath(dir.file("sub/inner")));
    EXPECT_EQ(moveFileReplacing(dir.file("d.jpg"), dir.file("sub")), FileError::AccessDenied);
    EXPECT_EQ(moveFileReplacing(dir.file("d.jpg"), dir.file("..")), FileError::BadPath);
    EXPECT_EQ(moveFileReplacing(dir.file("d.jpg"), dir.file("d.jpg")), FileError::None);
    EXPECT_EQ(qx::test::readAll(dir.file("d.jpg")), QByteArray("D"));
    EXPECT_TRUE(QDir(dir.file("sub/inner")).exists());
}

TEST(DesktopFileOps, MessagesNameThePath) {
    EXPECT_EQ(fileErrorMessage(FileError::FileNotFound, "/p/a.jpg"),
              QStringLiteral("/p/a.jpg was not found."));
    EXPECT_EQ(fileErrorMessage(FileError::AccessDenied, "/p/a.jpg"),
              QStringLiteral("Access to /p/a.jpg was denied."));
    EXPECT_TRUE(fileErrorMessage(FileError::BadPath, "/p/a.jpg").contains("/p/a.jpg"));
    EXPECT_TRUE(fileErrorMessage(FileError::None, "/p/a.jpg").isEmpty());
}
