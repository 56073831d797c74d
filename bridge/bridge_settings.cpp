// Reading and first writing of "qxbridge.ini".
#include "bridge_settings.h"

#include "qx/platform/folders.h"
#include "qx/platform/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace qx::bridge {

namespace {

constexpr char kSection[] = "Bridge";
// Values are read whole: a buffer one longer than the longest value allowed tells a longer one.
bool value(const QString& path, const char* key, const QString& fallback, QString& out, QString& error) {
    out = platform::readProfileString(path, QLatin1String(kSection), QLatin1String(key), fallback,
                                      kMaxSettingChars + 2);
    if (out.size() <= kMaxSettingChars)
        return true;
    error = QStringLiteral("%1 is over %2 characters long").arg(QLatin1String(key)).arg(kMaxSettingChars);
    return false;
}

QStringList listOf(const QString& text) {
    QStringList items;
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = item.trimmed();
        if (!trimmed.isEmpty())
            items << trimmed;
    }
    return items;
}

bool positiveNumber(const QString& text, qint64 low, qint64 high, qint64& out) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    if (!ok || n < low || n > high)
        return false;
    out = n;
    return true;
}

} // namespace

QString defaultSettingsPath() {
    return platform::dataFolder(platform::programFolder()) + QStringLiteral("qxbridge.ini");
}

QString defaultCaptureFolder() {
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath() + QStringLiteral("/Pictures");
    return platform::withTrailingSlash(pictures) + QStringLiteral("QXCamera/");
}

QString normalizedOrigin(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery() || url.hasFragment())
        return QString();
    const QString scheme = url.scheme().toLower();
    int defaultPort = -1;
    if (scheme == QLatin1String("http"))
        defaultPort = 80;
    else if (scheme == QLatin1String("https"))
        defaultPort = 443;
    else
        return QString();
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    QString origin = scheme + QStringLiteral("://") + host;
    if (url.port() != -1 && url.port() != defaultPort)
        origin += QLatin1Char(':') + QString::number(url.port());
    return origin;
}

bool loadSettings(const QString& path, BridgeSettings& settings, QString& error) {
    settings = BridgeSettings();
    settings.file = path;
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QString section = QLatin1String(kSection);
        platform::writeProfileString(path, section, QStringLiteral("Port"), QString::number(settings.port));
        platform::writeProfileString(path, section, QStringLiteral("AllowedOrigins"), QString());
        platform::writeProfileString(path, section, QStringLiteral("CaptureFolders"), defaultCaptureFolder());
        platform::writeProfileString(path, section, QStringLiteral("MaxMessageBytes"),
                                     QString::number(settings.maxMessageBytes));
    }

    qint64 number = 0;
    QString port;
    QString origins;
    QString folderList;
    QString maxMessage;
    QString maxAnswer;
    if (!value(path, "Port", QString::number(BridgeSettings::kDefaultPort), port, error) ||
        !value(path, "AllowedOrigins", QString(), origins, error) ||
        !value(path, "CaptureFolders", defaultCaptureFolder(), folderList, error) ||
        !value(path, "MaxMessageBytes", QString::number(settings.maxMessageBytes), maxMessage, error) ||
        !value(path, "MaxAnswerBytes", QString::number(settings.maxAnswerBytes), maxAnswer, error))
        return false;
    if (!positiveNumber(port, 1, 65535, number)) {
        error = QStringLiteral("Port=%1 is no port number (1-65535)").arg(port);
        return false;
    }
    settings.port = static_cast<quint16>(number);

    for (const QString& item : listOf(origins)) {
        const QString origin = normalizedOrigin(item);
        if (origin.isEmpty()) {
            error = QStringLiteral("AllowedOrigins: \"%1\" is no origin (scheme://host[:port])").arg(item);
            return false;
        }
        settings.allowedOrigins << origin;
    }

    const QStringList folders = listOf(folderList);
    for (const QString& folder : folders.isEmpty() ? QStringList{defaultCaptureFolder()} : folders) {
        if (QDir::isRelativePath(folder)) {
            error = QStringLiteral("CaptureFolders: \"%1\" is not an absolute folder").arg(folder);
            return false;
        }
        settings.captureFolders << platform::withTrailingSlash(QDir::cleanPath(folder));
    }

    if (!positiveNumber(maxMessage, 1024, 256LL * 1024 * 1024, number)) {
        error = QStringLiteral("MaxMessageBytes=%1 is outside 1024-268435456").arg(maxMessage);
        return false;
    }
    settings.maxMessageBytes = number;

    if (!positiveNumber(maxAnswer, 1024 * 1024, 1024LL * 1024 * 1024, number)) {
        error = QStringLiteral("MaxAnswerBytes=%1 is outside 1048576-1073741824").arg(maxAnswer);
        return false;
    }
    settings.maxAnswerBytes = number;
    return true;
}

} // namespace qx::bridge
