// Paths are checked where they enter the control, so a page can only reach the pictures it made.
#include "path_guard.h"

#include <QDir>
#include <QFileInfo>

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

bool PathGuard::inside(const QString& path) const {
    const QString target = resolved(path);
    if (target.isEmpty())
        return false;
    for (const QString& folder : m_folders) {
        QString base = resolved(folder);
        if (base.isEmpty())
            continue;
        if (target == base)
            return true;
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        if (target.startsWith(base))
            return true;
    }
    return false;
}

bool PathGuard::plainName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0)) && name != QLatin1String(".") && name != QLatin1String("..");
}

QString PathGuard::insideText(const char* what, const QString& path) const {
    if (inside(path))
        return QString();
    return QStringLiteral("%1 \"%2\" is not inside the capture folders (%3)")
        .arg(QLatin1String(what), path, m_folders.join(QStringLiteral(", ")));
}

QString PathGuard::refusal(const QString& op, const QString& name, const QVariantList& args,
                           const std::function<QString(const char*)>& property) const {
    const QString first = args.isEmpty() ? QString() : args.first().toString();
    if (op == QLatin1String("put")) {
        // Folders the control writes into and the picture its uploads and stamps act on.
        if (name == QLatin1String("CustomSavePath") || name == QLatin1String("strCardImgSavePath"))
            return insideText(name.toLatin1().constData(), first);
        if (name == QLatin1String("cPicName"))
            return first.isEmpty() ? QString() : insideText("cPicName", first);
        // Names the control joins to one of those folders.
        for (const char* joined : {"CustomImgName", "IDCardImgName", "IDHeadImgName", "ImgName", "idNum"})
            if (name == QLatin1String(joined) && !plainName(first))
                return QStringLiteral("%1 \"%2\" must be a plain file name").arg(name, first);
        return QString();
    }
    if (op != QLatin1String("call"))
        return QString();
    if (name == QLatin1String("GetBase64String") || name == QLatin1String("DeleteImgByName"))
        return insideText("the picture", first);
    if (name == QLatin1String("VideoRecord"))
        return insideText("the video folder", first);
    if (name == QLatin1String("IDCardRead"))
        return first.isEmpty() ? QString() : insideText("the card folder", first);
    // The methods that send or change the last picture.
    if (name == QLatin1String("SendSeal") || name == QLatin1String("MorvelNet") ||
        name == QLatin1String("AddWaterMark")) {
        const QString picture = property("cPicName");
        return picture.isEmpty() ? QString() : insideText("cPicName", picture);
    }
    if (name == QLatin1String("HttpSendIDCard") || name == QLatin1String("HttpSendIDCHeadImg")) {
        // An empty folder would make the control open the bare name in the working folder.
        return insideText("strCardImgSavePath", property("strCardImgSavePath"));
    }
    return QString();
}

} // namespace qx::bridge
