// Locating the temporary, module, program and data folders on Linux.
#include "qx/platform/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace qx::platform {

namespace {

constexpr char kControlFile[] = "libQXCameraCtrl.so";

QString folderOfFile(const QString& filePath) {
    const QFileInfo info(filePath);
    // Symbolic links are resolved so that a module reached through a link still finds its neighbours.
    QString folder = info.canonicalPath();
    if (folder.isEmpty())
        folder = info.absolutePath();
    return withTrailingSlash(folder);
}

} // namespace

QString withTrailingSlash(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString joinPath(const QString& folder, const QString& name) {
    return withTrailingSlash(folder) + name;
}

QString tempFolder() {
    QString folder = qEnvironmentVariable("Temp");
    if (folder.isEmpty())
        folder = qEnvironmentVariable("TMPDIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/tmp");
    return withTrailingSlash(folder);
}

QString moduleFolder(const void* address) {
    if (address == nullptr)
        return QString();
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
        return QString();
    // The main program's link map has no name, and dli_fname then only echoes argv[0].
    if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0')
        return programFolder();
    return folderOfFile(QFile::decodeName(map->l_name));
}

QString programFolder() {
    // /proc/self/exe works before (or without) a QCoreApplication and is already free of links.
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (exe.isEmpty())
        return QString();
    return withTrailingSlash(QFileInfo(exe).absolutePath());
}

QString installedModulesPath() {
    return QStringLiteral(QX_PROGRAM_TO_MODULES);
}

QString controlModulesFolderFor(const QString& programDir) {
    const QString program = withTrailingSlash(programDir);
    if (QFileInfo::exists(program + QLatin1String(kControlFile)))
        return program;
    const QString installed = program + installedModulesPath();
    // Resolved like the program folder itself, so the control's own dladdr folder compares equal.
    const QString canonical = QFileInfo(installed).canonicalFilePath();
    return withTrailingSlash(canonical.isEmpty() ? QDir::cleanPath(installed) : canonical);
}

QString controlModulesFolder() {
    return controlModulesFolderFor(programFolder());
}

bool isInstalledFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString dir = withTrailingSlash(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    if (dir.endsWith(QLatin1Char('/') + QStringLiteral(QX_INSTALLED_MODULES_SUFFIX) + QLatin1Char('/')))
        return true;
    // A program folder without the control beside it, whose control lies in the private folder.
    return !QFileInfo::exists(dir + QLatin1String(kControlFile)) &&
           QFileInfo::exists(withTrailingSlash(dir + installedModulesPath()) + QLatin1String(kControlFile));
}

QString dataFolder(const QString& moduleDir) {
    if (!moduleDir.isEmpty() && QFileInfo(moduleDir).isDir() && !isInstalledFolder(moduleDir) &&
        access(QFile::encodeName(moduleDir).constData(), W_OK) == 0)
        return withTrailingSlash(moduleDir);

    // The XDG rules say a relative XDG_DATA_HOME is to be ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            home = QDir::homePath();
        base = withTrailingSlash(home) + QStringLiteral(".local/share");
    }
    const QString folder = withTrailingSlash(base) + QStringLiteral("qxcamera/");
    QDir().mkpath(folder);
    return folder;
}

} // namespace qx::platform
