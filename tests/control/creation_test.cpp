// Creation and destruction of the control: outside libraries, the log file and "OCXConfig.ini".
#include "control/core/outside_libraries.h"
#include "control_fixture.h"
#include "qx/platform/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <dlfcn.h>

namespace qx::test {
namespace {

// Whether the library file at `path` is mapped in this process (RTLD_NOLOAD loads nothing).
bool isLoaded(const QString& path) {
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

class CreationTest : public ControlTest {
protected:
    QString settingsFile() const { return m_controlFolder.file(QStringLiteral("OCXConfig.ini")); }
    QStringList creationLines() const {
        QStringList lines = log();
        // Drop the first two (log opening, load path); they are checked on their own.
        return lines.mid(2);
    }
};

TEST_F(CreationTest, NewLogStartsWithTheVersionLineAndTheLoadPath) {
    createControl();
    const QByteArray raw = readAll(logPath());
    static const QRegularExpression first(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}-\\d{2}-\\d{2} : 创建日志成功，控件初始化成功！Version = "
                       "1\\.4\\.0\\.0\r\n"));
    EXPECT_TRUE(first.match(QString::fromUtf8(raw)).hasMatch()) << raw.left(120).toStdString();
    EXPECT_FALSE(raw.startsWith("\xEF\xBB\xBF"));
    ASSERT_GE(log().size(), 2);
    EXPECT_EQ(log().at(1), QStringLiteral("Current Load Path:Success,") + m_controlFolder.path());
}

TEST_F(CreationTest, RestartAppendsAnEmptyLineAndAVersionlessLine) {
    createControl();
    destroyControl();
    const int first = static_cast<int>(log().size());
    createControl();
    const QStringList lines = log();
    ASSERT_GT(lines.size(), first + 1);
    EXPECT_EQ(lines.at(first - 1), QStringLiteral("控件释放!"));
    EXPECT_EQ(lines.at(first), QString());
    EXPECT_EQ(lines.at(first + 1), QStringLiteral("创建日志成功，控件初始化成功！"));
    // Every line ends in CR LF and no bare LF appears.
    const QByteArray raw = readAll(logPath());
    EXPECT_TRUE(raw.endsWith("\r\n"));
    EXPECT_EQ(raw.count("\n"), raw.count("\r\n"));
}

TEST_F(CreationTest, WriteNeverCreatesTheLogAndWriteLogFalseDoesNotStopIt) {
    auto& c = createControl();
    c.setWriteLog(false);
    const int before = static_cast<int>(log().size());
    c.IsMerge();
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("选择合并模式!")});

    ASSERT_TRUE(QFile::remove(logPath()));
    c.IsMerge();
    EXPECT_FALSE(QFileInfo::exists(logPath()));
}

TEST_F(CreationTest, LogFollowsTheTempVariable) {
    Folder other;
    ScopedEnv temp("Temp", other.path().chopped(1)); // without the trailing separator
    createControl();
    EXPECT_TRUE(QFileInfo::exists(other.file(QStringLiteral("QXCameraCtrlLog.txt"))));
    EXPECT_FALSE(QFileInfo::exists(logPath()));
}

TEST_F(CreationTest, AllLibrariesLoadAndBindInOrder) {
    auto& c = createControl(kAllLibraries);
    EXPECT_EQ(creationLines(), (QStringList{
                                   QStringLiteral("加载寻边库成功!"),
                                   QStringLiteral("加载分层tif库成功!"),
                                   QStringLiteral("加载二代证库成功!"),
                                   QStringLiteral("加载DPI转换库成功!"),
                                   QStringLiteral("加载TifMaker库成功!"),
                                   QStringLiteral("加载寻边库函数成功!"),
                                   QStringLiteral("加载分层tif库函数成功!"),
                                   QStringLiteral("加载寻二代证库函数成功!"),
                                   QStringLiteral("加载DPI转换库函数成功!"),
                                   QStringLiteral("加载TifMaker库函数成功!"),
                               }));
    EXPECT_EQ(c.state().cameraModelCount, 3);
    EXPECT_EQ(c.state().cameraModelIds[0], 520701);
    EXPECT_EQ(c.state().cameraModelIds[2], 520703);
}

TEST_F(CreationTest, OptionalLibrariesMayBeMissing) {
    createControl({QStringLiteral("camera_full"), QStringLiteral("idcard_full")});
    EXPECT_EQ(creationLines(), (QStringList{
                                   QStringLiteral("加载寻边库成功!"),
                                   QStringLiteral("加载分层tif库失败!"),
                                   QStringLiteral("加载二代证库成功!"),
                                   QStringLiteral("加载DPI转换库失败!"),
                                   QStringLiteral("加载TifMaker失败!"),
                                   QStringLiteral("加载寻边库函数成功!"),
                                   QStringLiteral("加载分层tif库函数失败!"),
                                   QStringLiteral("加载寻二代证库函数成功!"),
                               }));
    EXPECT_TRUE(QFileInfo::exists(settingsFile()));
}

TEST_F(CreationTest, LibrariesWithoutTheirFunctionsAreLogged) {
    createControl({QStringLiteral("camera_full"), QStringLiteral("tiffconvert_partial"),
                   QStringLiteral("idcard_full"), QStringLiteral("resize_empty"),
                   QStringLiteral("tiffmaker_empty")});
    const QStringList lines = creationLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("加载分层tif库成功!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("加载分层tif库函数失败!")));
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{QStringLiteral("加载DPI转换库函数失败!"),
                                                        QStringLiteral("加载TifMaker库函数失败!")}));
}

TEST_F(CreationTest, WithoutTheCameraLibraryTheSettingsFileIsNeitherReadNorCreated) {
    auto& c = createControl({QStringLiteral("idcard_full")});
    EXPECT_EQ(creationLines(), QStringList{QStringLiteral("加载寻边库失败!")});
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));
    EXPECT_EQ(c.state().jpegQuality, 75);
    EXPECT_EQ(c.state().bwThreshold, 100);

    // An existing file is not read either.
    ASSERT_TRUE(platform::writeProfileString(settingsFile(), QStringLiteral("OCXConfig"),
                                             QStringLiteral("JPG_Compress"), QStringLiteral("90")));
    auto& again = createControl({QStringLiteral("idcard_full")});
    EXPECT_EQ(again.state().jpegQuality, 75);
}

TEST_F(CreationTest, EachEarlyStopLeavesAControlWithDefaults) {
    struct Case {
        QStringList libraries;
        QString lastLine;
    };
    const std::vector<Case> cases{
        {{QStringLiteral("camera_full")}, QStringLiteral("加载二代证库失败!")},
        {{QStringLiteral("camera_partial"), QStringLiteral("idcard_full")},
         QStringLiteral("加载寻边库函数失败!")},
        {{QStringLiteral("camera_full"), QStringLiteral("idcard_partial")},
         QStringLiteral("加载二代证库函数失败!")},
    };
    for (const Case& k : cases) {
        Folder tempFolder;
        Folder controlFolder;
        ScopedEnv temp("Temp", tempFolder.path());
        auto& c = createControl(k.libraries, controlFolder.path());
        const QStringList lines = logTexts(tempFolder.file(QStringLiteral("QXCameraCtrlLog.txt")));
        EXPECT_EQ(lines.last(), k.lastLine) << k.libraries.join(u',').toStdString();
        EXPECT_FALSE(QFileInfo::exists(controlFolder.file(QStringLiteral("OCXConfig.ini"))));
        EXPECT_EQ(c.state().cameraModelCount, 0);
        EXPECT_EQ(c.StopPreview(), 0); // still usable
        destroyControl();
    }
}

TEST_F(CreationTest, FirstStartWritesTheSettingsAndASecondStartReadsThem) {
    createControl(kAllLibraries);
    ASSERT_TRUE(QFileInfo::exists(settingsFile()));
    const QByteArray raw = readAll(settingsFile());
    EXPECT_FALSE(raw.startsWith("\xEF\xBB\xBF"));
    const QString section = QStringLiteral("OCXConfig");
    EXPECT_EQ(platform::readProfileString(settingsFile(), section, QStringLiteral("JPG_Compress"), {}, 100),
              QStringLiteral("75"));
    EXPECT_EQ(platform::readProfileString(settingsFile(), section, QStringLiteral("Threshold"), {}, 100),
              QStringLiteral("100"));
    EXPECT_TRUE(raw.contains("[OCXConfig]"));

    ASSERT_TRUE(platform::writeProfileString(settingsFile(), section, QStringLiteral("JPG_Compress"),
                                             QStringLiteral("90")));
    ASSERT_TRUE(platform::writeProfileString(settingsFile(), section, QStringLiteral("threshold"),
                                             QStringLiteral("128")));
    auto& c = createControl(kAllLibraries);
    EXPECT_EQ(c.state().jpegQuality, 90);
    EXPECT_EQ(c.state().bwThreshold, 128);
}

TEST_F(CreationTest, TheTlsCheckOfUploadsComesFromTheSettingsFileWhateverElseFailed) {
    auto& defaults = createControl({QStringLiteral("idcard_full")});
    EXPECT_TRUE(defaults.bTlsVerify());
    EXPECT_EQ(defaults.strTlsCaFile(), QString());

    // Read even when the camera library is missing (the other keys are not), and never written.
    const QByteArray settings("[OCXConfig]\r\nTlsVerify=false\r\nTlsCaFile=ca/counter.pem\r\n");
    ASSERT_TRUE(writeAll(settingsFile(), settings));
    auto& c = createControl({QStringLiteral("idcard_full")});
    EXPECT_FALSE(c.bTlsVerify());
    EXPECT_EQ(c.strTlsCaFile(), m_controlFolder.file(QStringLiteral("ca/counter.pem")));
    EXPECT_EQ(readAll(settingsFile()), settings);
    ASSERT_TRUE(writeAll(settingsFile(), "[OCXConfig]\r\nTlsVerify=yes\r\nTlsCaFile=/etc/counter.pem\r\n"));
    auto& again = createControl(kAllLibraries);
    EXPECT_TRUE(again.bTlsVerify());
    EXPECT_EQ(again.strTlsCaFile(), QStringLiteral("/etc/counter.pem"));
}

TEST_F(CreationTest, MissingKeysTakeTheirDefaults) {
    ASSERT_TRUE(
        writeAll(m_controlFolder.file(QStringLiteral("OCXConfig.ini")), "[OCXConfig]\r\nThreshold=60\r\n"));
    auto& c = createControl(kAllLibraries);
    EXPECT_EQ(c.state().jpegQuality, 75);
    EXPECT_EQ(c.state().bwThreshold, 60);
    // The file is read, not rewritten.
    EXPECT_EQ(readAll(settingsFile()), QByteArray("[OCXConfig]\r\nThreshold=60\r\n"));
}

TEST_F(CreationTest, ASettingsFileThatCannotBeReadIsNeverOverwritten) {
    const QByteArray settings("[OCXConfig]\r\nJPG_Compress=90\r\nThreshold=128\r\n");
    const QString file = settingsFile();
    ASSERT_TRUE(writeAll(file, settings));
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::WriteOwner)); // written by the owner, not readable
    {
        ObeyFilePermissions obey;
        ASSERT_TRUE(obey.active());
        auto& c = createControl(kAllLibraries);
        EXPECT_EQ(c.state().jpegQuality, 75);
        EXPECT_EQ(c.state().bwThreshold, 100);
        EXPECT_TRUE(log().contains(QStringLiteral("配置文件OCXConfig.ini无法读取，使用默认设置!")));
        destroyControl();
    }
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readAll(file), settings);

    // A read-only file is read: it is somebody's choice of settings, and nothing needs writing.
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    {
        ObeyFilePermissions obey;
        auto& c = createControl(kAllLibraries);
        EXPECT_EQ(c.state().jpegQuality, 90);
        EXPECT_EQ(c.state().bwThreshold, 128);
        destroyControl();
    }
    EXPECT_EQ(readAll(file), settings);
}

TEST_F(CreationTest, AFolderOrADanglingLinkInPlaceOfTheSettingsFileIsLeftAlone) {
    Folder elsewhere;
    const QString target = elsewhere.file(QStringLiteral("not-there.ini"));
    ASSERT_TRUE(QFile::link(target, settingsFile()));
    auto& c = createControl(kAllLibraries);
    EXPECT_EQ(c.state().jpegQuality, 75);
    EXPECT_TRUE(log().contains(QStringLiteral("配置文件OCXConfig.ini无法读取，使用默认设置!")));
    // Nothing was written through the link.
    EXPECT_FALSE(QFileInfo::exists(target));
    destroyControl();

    ASSERT_TRUE(QFile::remove(settingsFile()));
    ASSERT_TRUE(QDir().mkdir(settingsFile()));
    createControl(kAllLibraries);
    EXPECT_TRUE(QFileInfo(settingsFile()).isDir());
    EXPECT_TRUE(log().contains(QStringLiteral("配置文件OCXConfig.ini无法读取，使用默认设置!")));
}

TEST_F(CreationTest, DestructionLogsItsStepsAndFreesTheLibraries) {
    createControl(kAllLibraries);
    ASSERT_TRUE(isLoaded(m_controlFolder.file(QLatin1String(control::OutsideLibraries::kCameraLibrary))));
    const int before = static_cast<int>(log().size());
    destroyControl();
    EXPECT_EQ(logSince(before), (QStringList{QStringLiteral("关闭预览!"), QStringLiteral("关闭预览!"),
                                             QStringLiteral("释放动态库资源!"),
                                             QStringLiteral("释放GDI资源!"), QStringLiteral("控件释放!")}));
    // No handle of the control keeps its libraries mapped in the process.
    for (const char* name :
         {control::OutsideLibraries::kCameraLibrary, control::OutsideLibraries::kIdCardRead})
        EXPECT_FALSE(isLoaded(m_controlFolder.file(QLatin1String(name)))) << name;
}

TEST_F(CreationTest, TifToolCallsTheToolWhenItIsBound) {
    Folder markers;
    const QString marker = markers.file(QStringLiteral("calls.txt"));
    ScopedEnv env("QX_TEST_MARKER", marker);
    auto& c = createControl(kAllLibraries);
    c.TifTool();
    EXPECT_TRUE(readAll(marker).contains("ShowPlatform"));

    QFile::remove(marker);
    Folder otherFolder;
    auto& without =
        createControl({QStringLiteral("camera_full"), QStringLiteral("idcard_full")}, otherFolder.path());
    without.TifTool();
    EXPECT_FALSE(readAll(marker).contains("ShowPlatform"));
}

} // namespace
} // namespace qx::test
