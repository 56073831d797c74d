// Loading the test library, binding its export, and the errors for missing files and symbols.
#include "qx/platform/folders.h"
#include "qx/platform/library.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <utility>

using namespace qx::platform;

namespace {

const QString testLibrary = QStringLiteral(QX_TEST_SYMBOLS_PATH);
using AnswerFn = int (*)();

} // namespace

TEST(Library, LoadsAndCallsExportedFunction) {
    Library library;
    ASSERT_TRUE(library.load(testLibrary)) << library.errorText().toStdString();
    EXPECT_TRUE(library.isLoaded());
    EXPECT_EQ(library.path(), testLibrary);
    const auto answer = library.function<AnswerFn>("qxTestAnswer");
    ASSERT_NE(answer, nullptr) << library.errorText().toStdString();
    EXPECT_EQ(answer(), 42);
}

TEST(Library, MissingFileFailsWithText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Library library;
    EXPECT_FALSE(library.load(dir.filePath(QStringLiteral("libabsent.so"))));
    EXPECT_FALSE(library.isLoaded());
    EXPECT_FALSE(library.errorText().isEmpty());
    EXPECT_TRUE(library.errorText().contains(QStringLiteral("libabsent.so")))
        << library.errorText().toStdString();
}

TEST(Library, FileThatIsNoLibraryFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("fake.so"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an ELF file\n");
    file.close();
    Library library;
    EXPECT_FALSE(library.load(path));
    EXPECT_FALSE(library.isLoaded());
    EXPECT_FALSE(library.errorText().isEmpty());
}

TEST(Library, EmptyPathFails) {
    Library library;
    EXPECT_FALSE(library.load(QString()));
    EXPECT_FALSE(library.isLoaded());
    EXPECT_FALSE(library.errorText().isEmpty());
}

TEST(Library, MissingSymbolIsNullWithText) {
    Library library;
    ASSERT_TRUE(library.load(testLibrary));
    EXPECT_EQ(library.symbol("qxNoSuchFunction"), nullptr);
    EXPECT_TRUE(library.errorText().contains(QStringLiteral("qxNoSuchFunction")))
        << library.errorText().toStdString();
    EXPECT_NE(library.symbol("qxTestAnswer"), nullptr);
}

TEST(Library, UnloadedLibraryGivesNoSymbols) {
    Library library;
    EXPECT_EQ(library.symbol("qxTestAnswer"), nullptr);
    EXPECT_FALSE(library.errorText().isEmpty());
    ASSERT_TRUE(library.load(testLibrary));
    library.unload();
    EXPECT_FALSE(library.isLoaded());
    EXPECT_TRUE(library.path().isEmpty());
    EXPECT_EQ(library.symbol("qxTestAnswer"), nullptr);
}

TEST(Library, FailedLoadDropsThePreviousLibrary) {
    Library library;
    ASSERT_TRUE(library.load(testLibrary));
    EXPECT_FALSE(library.load(QStringLiteral("/nonexistent/libqx.so")));
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(library.symbol("qxTestAnswer"), nullptr);
}

TEST(Library, MoveTransfersOwnership) {
    Library first;
    ASSERT_TRUE(first.load(testLibrary));
    Library second(std::move(first));
    EXPECT_FALSE(first.isLoaded());
    ASSERT_TRUE(second.isLoaded());
    EXPECT_EQ(second.path(), testLibrary);

    Library third;
    third = std::move(second);
    EXPECT_FALSE(second.isLoaded());
    ASSERT_TRUE(third.isLoaded());
    const auto answer = third.function<AnswerFn>("qxTestAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
}

TEST(Library, ModuleFolderOfExportIsTheLibraryFolder) {
    Library library;
    ASSERT_TRUE(library.load(testLibrary));
    const void* address = library.symbol("qxTestAnswer");
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(moduleFolder(address), QFileInfo(testLibrary).canonicalPath() + QLatin1Char('/'));
    EXPECT_NE(moduleFolder(address), programFolder());
}
