// Folder lookups: environment precedence for the temporary and data folders, module and program folders.
#include "qx/platform/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

using namespace qx::platform;

namespace {

// Sets or clears one environment variable for the life of a test and puts the old state back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QString>& value) : m_name(name) {
        if (const char* old = getenv(name))
            m_old = std::string(old);
        set(value ? std::optional<std::string>(value->toStdString()) : std::nullopt);
    }
    ~ScopedEnv() { set(m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        if (value)
            setenv(m_name.c_str(), value->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

    std::string m_name;
    std::optional<std::string> m_old;
};

int functionInTheProgram() {
    return 7;
}

} // namespace

TEST(Folders, WithTrailingSlash) {
    EXPECT_EQ(withTrailingSlash(QString()), QString());
    EXPECT_EQ(withTrailingSlash(QStringLiteral("/a/b")), QStringLiteral("/a/b/"));
    EXPECT_EQ(withTrailingSlash(QStringLiteral("/a/b/")), QStringLiteral("/a/b/"));
    EXPECT_EQ(withTrailingSlash(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(Folders, TempFolderPrefersTempOverTmpdir) {
    ScopedEnv temp("Temp", QStringLiteral("/var/qx-temp"));
    ScopedEnv tmpdir("TMPDIR", QStringLiteral("/var/qx-tmpdir"));
    EXPECT_EQ(tempFolder(), QStringLiteral("/var/qx-temp/"));
}

TEST(Folders, TempFolderKeepsAnExistingSlash) {
    ScopedEnv temp("Temp", QStringLiteral("/var/qx-temp/"));
    EXPECT_EQ(tempFolder(), QStringLiteral("/var/qx-temp/"));
}

TEST(Folders, TempFolderFallsBackToTmpdirWhenTempIsEmptyOrUnset) {
    ScopedEnv tmpdir("TMPDIR", QStringLiteral("/var/qx-tmpdir"));
    {
        ScopedEnv temp("Temp", QString());
        EXPECT_EQ(tempFolder(), QStringLiteral("/var/qx-tmpdir/"));
    }
    {
        ScopedEnv temp("Temp", std::nullopt);
        EXPECT_EQ(tempFolder(), QStringLiteral("/var/qx-tmpdir/"));
    }
}

TEST(Folders, TempFolderDefaultsToTmp) {
    ScopedEnv temp("Temp", std::nullopt);
    {
        ScopedEnv tmpdir("TMPDIR", std::nullopt);
        EXPECT_EQ(tempFolder(), QStringLiteral("/tmp/"));
    }
    {
        ScopedEnv tmpdir("TMPDIR", QString());
        EXPECT_EQ(tempFolder(), QStringLiteral("/tmp/"));
    }
}

TEST(Folders, ProgramFolderIsWhereTheTestBinaryWasBuilt) {
    EXPECT_EQ(programFolder(),
              QFileInfo(QStringLiteral(QX_TEST_BINARY_DIR)).canonicalFilePath() + QLatin1Char('/'));
}

TEST(Folders, ModuleFolderOfProgramCodeIsTheProgramFolder) {
    EXPECT_EQ(moduleFolder(reinterpret_cast<const void*>(&functionInTheProgram)), programFolder());
    EXPECT_EQ(functionInTheProgram(), 7);
}

TEST(Folders, ModuleFolderOfNonCodeAddressIsEmpty) {
    int onTheStack = 0;
    EXPECT_TRUE(moduleFolder(&onTheStack).isEmpty());
    EXPECT_TRUE(moduleFolder(nullptr).isEmpty());
}

TEST(Folders, DataFolderIsTheModuleFolderWhenWritable) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(dataFolder(dir.path()), dir.path() + QLatin1Char('/'));
    EXPECT_EQ(dataFolder(dir.path() + QLatin1Char('/')), dir.path() + QLatin1Char('/'));
}

TEST(Folders, DataFolderFallsBackToXdgDataHomeAndCreatesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString xdg = dir.filePath(QStringLiteral("xdg"));
    ScopedEnv env("XDG_DATA_HOME", xdg);
    const QString missing = dir.filePath(QStringLiteral("no-such-folder"));
    const QString expected = xdg + QStringLiteral("/qxcamera/");
    EXPECT_EQ(dataFolder(missing), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST(Folders, DataFolderFallsBackToHomeWithoutXdgDataHome) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(home));
    ScopedEnv homeEnv("HOME", home);
    const QString expected = home + QStringLiteral("/.local/share/qxcamera/");
    {
        ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(dataFolder(QString()), expected);
    }
    {
        // An empty or relative XDG_DATA_HOME does not count.
        ScopedEnv xdg("XDG_DATA_HOME", QString());
        EXPECT_EQ(dataFolder(dir.filePath(QStringLiteral("absent"))), expected);
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", QStringLiteral("relative/data"));
        EXPECT_EQ(dataFolder(dir.filePath(QStringLiteral("absent"))), expected);
    }
    EXPECT_TRUE(QFileInfo(expected).isDir());
}

TEST(Folders, DataFolderFallsBackWhenModuleDirIsAFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("module.so"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ScopedEnv env("XDG_DATA_HOME", dir.filePath(QStringLiteral("xdg")));
    EXPECT_EQ(dataFolder(file), dir.filePath(QStringLiteral("xdg/qxcamera/")));
}

TEST(Folders, DataFolderFallsBackForAFolderNotWritableEvenByRoot) {
    // Process folders in /proc refuse writing whatever the caller's privileges.
    const QString readOnly = QStringLiteral("/proc/self");
    if (access("/proc/self", W_OK) == 0)
        GTEST_SKIP() << "/proc/self is writable here";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScopedEnv env("XDG_DATA_HOME", dir.filePath(QStringLiteral("xdg")));
    EXPECT_EQ(dataFolder(readOnly), dir.filePath(QStringLiteral("xdg/qxcamera/")));
}

namespace {

// A folder tree laid out as a package installs it: <root>/bin/ and the private module folder.
struct InstalledTree {
    QTemporaryDir root;
    QString bin;
    QString modules;

    explicit InstalledTree(bool withControl = true) {
        bin = root.path() + QStringLiteral("/bin/");
        modules = QDir::cleanPath(bin + installedModulesPath()) + QLatin1Char('/');
        QDir().mkpath(bin);
        QDir().mkpath(modules);
        if (withControl)
            touch(modules + QStringLiteral("libQXCameraCtrl.so"));
    }
    static void touch(const QString& path) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.close();
    }
};

} // namespace

TEST(Folders, InstalledModulesPathLeavesTheProgramFolderForAPrivateLibraryFolder) {
    const QString path = installedModulesPath();
    EXPECT_TRUE(path.startsWith(QStringLiteral("../"))) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/qxcamera"))) << path.toStdString();
}

TEST(Folders, ControlModulesFolderIsTheProgramFolderWhenTheControlLiesThere) {
    InstalledTree tree;
    ASSERT_TRUE(tree.root.isValid());
    // A portable copy: the control beside the program wins over an installed one.
    InstalledTree::touch(tree.bin + QStringLiteral("libQXCameraCtrl.so"));
    EXPECT_EQ(controlModulesFolderFor(tree.bin), tree.bin);
    EXPECT_EQ(controlModulesFolderFor(tree.root.path() + QStringLiteral("/bin")), tree.bin);
}

TEST(Folders, ControlModulesFolderIsThePrivateFolderOfAnInstalledProgram) {
    InstalledTree tree;
    ASSERT_TRUE(tree.root.isValid());
    EXPECT_EQ(controlModulesFolderFor(tree.bin),
              QFileInfo(tree.modules).canonicalFilePath() + QLatin1Char('/'));
}

TEST(Folders, ControlModulesFolderNamesThePrivateFolderEvenWhenNothingIsInstalled) {
    // The program's error then names the place the control was looked for.
    InstalledTree tree(false);
    ASSERT_TRUE(tree.root.isValid());
    QDir(tree.modules).removeRecursively();
    EXPECT_EQ(controlModulesFolderFor(tree.bin), tree.modules);
}

TEST(Folders, ControlModulesFolderOfAProgramWithoutTheControlBesideItIsThePrivateFolder) {
    // build/tests/ holds no control and build/lib/.../qxcamera/ does not exist.
    EXPECT_EQ(controlModulesFolder(), controlModulesFolderFor(programFolder()));
    EXPECT_TRUE(controlModulesFolder().endsWith(QStringLiteral("/qxcamera/")));
}

TEST(Folders, TheFoldersOfAnInstalledLayoutAreRecognised) {
    InstalledTree tree;
    ASSERT_TRUE(tree.root.isValid());
    EXPECT_TRUE(isInstalledFolder(tree.modules));
    EXPECT_TRUE(isInstalledFolder(tree.bin));
    EXPECT_FALSE(isInstalledFolder(tree.root.path()));
    EXPECT_FALSE(isInstalledFolder(QString()));
    // A build tree: the control beside the programs.
    QTemporaryDir build;
    ASSERT_TRUE(build.isValid());
    InstalledTree::touch(build.filePath(QStringLiteral("libQXCameraCtrl.so")));
    EXPECT_FALSE(isInstalledFolder(build.path()));
    // A program folder with a control in its private folder and one beside it is a portable copy.
    InstalledTree::touch(tree.bin + QStringLiteral("libQXCameraCtrl.so"));
    EXPECT_FALSE(isInstalledFolder(tree.bin));
}

TEST(Folders, DataFolderNeverWritesIntoAnInstalledLayoutEvenWhenWritable) {
    // An unpacked package, or an installed one run by root: both folders are writable.
    InstalledTree tree;
    ASSERT_TRUE(tree.root.isValid());
    ASSERT_EQ(access(QFile::encodeName(tree.bin).constData(), W_OK), 0);
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    ScopedEnv env("XDG_DATA_HOME", data.path());
    const QString expected = data.path() + QStringLiteral("/qxcamera/");
    EXPECT_EQ(dataFolder(tree.modules), expected);
    EXPECT_EQ(dataFolder(tree.bin), expected);
    EXPECT_EQ(QDir(tree.bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}
