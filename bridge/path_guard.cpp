// Paths are checked where they enter the control, so a page can only reach the pictures it made.
#include "path_guard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace qx::bridge {

namespace {

// The absolute path with every link of its existing part resolved, or empty when it cannot be
// trusted.
QString resolved(const QString& path) {
    if (path.isEmpty() || QDir::isRelativePath(path) || path.contains(QChar(0)) ||
        path.contains(QLatin1Char('\\')))
        return QString();
    for (const QString& part : path.split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return QString();
    QString existing = QDir::cleanPath(path);
    QStringList rest;
    while (true) {
        const QFileInfo info(existing);
        if (info.isSymLink() && !info.exists())
            return QString(); // a dangling link would be followed by whoever writes through it
        if (info.exists())
            break;
        if (existing == QLatin1String("/"))
            return QString();
        rest.prepend(info.fileName());
        existing = info.absolutePath();
    }
    QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty())
        return QString();
    for (const QString& part : rest)
        canonical += (canonical.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + part;
    return canonical;
}

} // namespace

PathGuard::PathGuard(const QStringList& folders) : m_folders(folders) {}

QString PathGuard::insideFolder(const QString& target, bool allowFolderItself) const {
    if (target.isEmpty())
        return QString();
    for (const QString& folder : m_folders) {
        QString base = resolved(folder);
        if (base.isEmpty())
            continue;
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        const QString withSlash = target.endsWith(QLatin1Char('/')) ? target : target + QLatin1Char('/');
        if (withSlash == base)
            return allowFolderItself ? withSlash : QString();
        if (target.startsWith(base))
            return target;
    }
    return QString();
}

QString PathGuard::resolvedFile(const QString& path) const {
    // A name ending in '/' names a folder, never a file in it.
    if (path.endsWith(QLatin1Char('/')))
        return QString();
    const QString target = resolved(path);
    return insideFolder(target, false);
}

QString PathGuard::resolvedFolder(const QString& path) const {
    const QString target = resolved(path);
    const QString folder = insideFolder(target, true);
    if (folder.isEmpty())
        return QString();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool PathGuard::plainName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0)) && name != QLatin1String(".") && name != QLatin1String("..");
}

GuardVerdict PathGuard::check(const QString& op, const QString& name, const QVariantList& args,
                              const std::function<QString(const char*)>& property) const {
    GuardVerdict verdict;
    verdict.args = args;
    const QString first = args.isEmpty() ? QString() : args.first().toString();
    const QString folders = m_folders.join(QStringLiteral(", "));
    // The first argument as a file or a folder inside the capture folders.
    const auto file = [&](const char* what) {
        const QString resolvedPath = resolvedFile(first);
        if (resolvedPath.isEmpty())
            verdict.refusal = QStringLiteral("%1 \"%2\" is not a file inside the capture folders (%3)")
                                  .arg(QLatin1String(what), first, folders);
        else
            verdict.args[0] = resolvedPath;
    };
    const auto folder = [&](const char* what) {
        const QString resolvedPath = resolvedFolder(first);
        if (resolvedPath.isEmpty())
            verdict.refusal = QStringLiteral("%1 \"%2\" is not inside the capture folders (%3)")
                                  .arg(QLatin1String(what), first, folders);
        else
            verdict.args[0] = resolvedPath;
    };
    // A property the method reads its path from.
    const auto fromProperty = [&](const char* key, bool isFolder) {
        const QString value = property(key);
        const QString resolvedPath = isFolder ? resolvedFolder(value) : resolvedFile(value);
        if (resolvedPath.isEmpty())
            verdict.refusal =
                QStringLiteral("%1 \"%2\" is not %3 the capture folders (%4)")
                    .arg(QLatin1String(key), value,
                         isFolder ? QStringLiteral("inside") : QStringLiteral("a file inside"), folders);
        else if (resolvedPath != value)
            verdict.properties.emplace_back(QLatin1String(key), resolvedPath);
    };

    if (op == QLatin1String("put")) {
        // Folders the control writes into and the picture its uploads and stamps act on.
        if (name == QLatin1String("CustomSavePath") || name == QLatin1String("strCardImgSavePath"))
            folder(name == QLatin1String("CustomSavePath") ? "CustomSavePath" : "strCardImgSavePath");
        else if (name == QLatin1String("cPicName") && !first.isEmpty())
            file("cPicName");
        // Names the control joins to one of those folders.
        for (const char* joined : {"CustomImgName", "IDCardImgName", "IDHeadImgName", "ImgName", "idNum"})
            if (name == QLatin1String(joined) && !plainName(first))
                verdict.refusal = QStringLiteral("%1 \"%2\" must be a plain file name").arg(name, first);
        // How uploads check their server is the user's setting: a page could otherwise turn the
        // check off, or have any file of the user's trusted as an authority.
        if (name == QLatin1String("bTlsVerify") || name == QLatin1String("strTlsCaFile"))
            verdict.refusal = QStringLiteral("%1 is set in the settings files only").arg(name);
        return verdict;
    }
    if (op != QLatin1String("call"))
        return verdict;
    if (name == QLatin1String("GetBase64String") || name == QLatin1String("DeleteImgByName"))
        file("the picture");
    else if (name == QLatin1String("VideoRecord"))
        folder("the video folder");
    else if (name == QLatin1String("IDCardRead") && !first.isEmpty()) // empty: text only, no files
        folder("the card folder");
    // The methods that send or change the last picture.
    else if (name == QLatin1String("SendSeal") || name == QLatin1String("MorvelNet") ||
             name == QLatin1String("AddWaterMark")) {
        if (!property("cPicName").isEmpty())
            fromProperty("cPicName", false);
    } else if (name == QLatin1String("HttpSendIDCard") || name == QLatin1String("HttpSendIDCHeadImg")) {
        // An empty folder would make the control open the bare name in the working folder.
        fromProperty("strCardImgSavePath", true);
    }
    return verdict;
}

int openResolvedForReading(const QString& resolvedPath) {
    const QByteArray path = QFile::encodeName(resolvedPath);
    if (!path.startsWith('/'))
        return -1;
    // One component at a time, none of them a link: the path was resolved, so a link met now was
    // swapped in after the check.
    int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const QList<QByteArray> parts = path.mid(1).split('/');
    for (qsizetype i = 0; dir >= 0 && i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (parts[i].isEmpty() || parts[i] == "." || parts[i] == "..") {
            ::close(dir);
            return -1;
        }
        const int next = ::openat(dir, parts[i].constData(),
                                  O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (last ? O_NONBLOCK : O_DIRECTORY));
        ::close(dir);
        dir = next;
    }
    return dir;
}

} // namespace qx::bridge
