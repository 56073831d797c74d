// Taking the screen cut's snapshot: the test override, the desktop portal on Wayland, Qt's grab elsewhere.
#include "control/ui/screen_snapshot.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <unistd.h>

namespace qx::control {

namespace {

// The portal asks the user before it hands over the screen; a user who walks away must not keep the
// control's call open for ever. QX_PORTAL_TIMEOUT_MS shortens the wait (tests of the unanswered request).
constexpr int kPortalAnswerMs = 120000;

int portalAnswerMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("QX_PORTAL_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : kPortalAnswerMs;
}

bool liesIn(const QString& file, const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString root = QFileInfo(folder).canonicalFilePath();
    return !root.isEmpty() && file.startsWith(root + QLatin1Char('/'));
}

// The portal writes the picture it hands over into a file of its own and leaves it there; once it is
// read that file is only litter. Only a file in the portal's own places goes (the temporary folder,
// the runtime folder, the cache), never one elsewhere: some portals save into the user's pictures
// folder, and those are the user's screenshots.
void removePortalFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.ownerId() != ::getuid())
        return;
    const QString file = info.canonicalFilePath();
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    if (liesIn(file, QDir::tempPath()) || liesIn(file, qEnvironmentVariable("XDG_RUNTIME_DIR")) ||
        liesIn(file, cache))
        QFile::remove(file);
}

std::optional<ScreenSnapshot> fromFile(const QString& path, QString* failure) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        *failure = QStringLiteral("QX_SCREEN_SNAPSHOT=%1: %2").arg(path, reader.errorString());
        return std::nullopt;
    }
    ScreenSnapshot shot;
    shot.depth = image.hasAlphaChannel() ? 32 : 24;
    shot.image =
        image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    shot.image.setDevicePixelRatio(1);
    shot.source = QStringLiteral("override");
    return shot;
}

// Receives the portal request's Response signal: (response code, results).
class PortalAnswer : public QObject {
    Q_OBJECT
public:
    QEventLoop loop;
    bool answered = false;
    uint response = 2;
    QVariantMap results;

public Q_SLOTS:
    void onResponse(uint code, const QVariantMap& values) {
        answered = true;
        response = code;
        results = values;
        loop.quit();
    }
};

std::optional<ScreenSnapshot> fromPortal(QString* failure) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *failure = QStringLiteral("no session bus for the desktop portal");
        return std::nullopt;
    }
    // The request's object path is known before the call (sender and token), so the answer is
    // subscribed to first and cannot slip past.
    const QString token = QStringLiteral("qxcamera%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    PortalAnswer answer;
    bus.connect(QStringLiteral("org.freedesktop.portal.Desktop"), requestPath,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), &answer,
                SLOT(onResponse(uint, QVariantMap)));

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("modal"), true},
                        {QStringLiteral("interactive"), false}};
    const QDBusReply<QDBusObjectPath> reply = bus.call(call);
    if (!reply.isValid()) {
        *failure = QStringLiteral("desktop portal: ") + reply.error().message();
        return std::nullopt;
    }
    if (reply.value().path() != requestPath) {
        // Older portals choose their own path.
        bus.connect(QStringLiteral("org.freedesktop.portal.Desktop"), reply.value().path(),
                    QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), &answer,
                    SLOT(onResponse(uint, QVariantMap)));
    }
    const QString answeredPath = reply.value().path();
    const int waitMs = portalAnswerMs();
    if (!answer.answered) {
        QTimer::singleShot(waitMs, &answer.loop, &QEventLoop::quit);
        answer.loop.exec();
    }
    if (!answer.answered) {
        // Takes the portal's question off the screen; an answer after this is not listened to.
        bus.call(QDBusMessage::createMethodCall(
                     QStringLiteral("org.freedesktop.portal.Desktop"), answeredPath,
                     QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")),
                 QDBus::NoBlock);
        *failure =
            QStringLiteral("desktop portal: no answer to the screenshot request within %1 ms").arg(waitMs);
        return std::nullopt;
    }
    if (answer.response == 1) {
        *failure = QStringLiteral("desktop portal: the user declined the screenshot (response 1)");
        return std::nullopt;
    }
    if (answer.response != 0) {
        *failure =
            QStringLiteral("desktop portal: the screenshot request ended without a picture (response %1)")
                .arg(answer.response);
        return std::nullopt;
    }
    const QString file = QUrl(answer.results.value(QStringLiteral("uri")).toString()).toLocalFile();
    QImage image(file);
    if (image.isNull()) {
        *failure = QStringLiteral("desktop portal: unreadable screenshot ") + file;
        return std::nullopt;
    }
    removePortalFile(file);
    ScreenSnapshot shot;
    shot.image = image.convertToFormat(QImage::Format_RGB32);
    shot.image.setDevicePixelRatio(1);
    const QScreen* screen = QGuiApplication::primaryScreen();
    shot.depth = screen ? screen->depth() : 24;
    shot.source = QStringLiteral("portal");
    return shot;
}

std::optional<ScreenSnapshot> fromScreen(QString* failure) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        *failure = QStringLiteral("no screen");
        return std::nullopt;
    }
    const QPixmap pixmap = screen->grabWindow(0);
    if (pixmap.isNull()) {
        *failure =
            QStringLiteral("the screen cannot be grabbed on platform ") + QGuiApplication::platformName();
        return std::nullopt;
    }
    ScreenSnapshot shot;
    shot.image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    shot.image.setDevicePixelRatio(1);
    shot.depth = screen->depth();
    shot.source = QGuiApplication::platformName();
    return shot;
}

} // namespace

std::optional<ScreenSnapshot> takeScreenSnapshot(QString* failure) {
    QString ignored;
    if (!failure)
        failure = &ignored;
    const QString override = qEnvironmentVariable("QX_SCREEN_SNAPSHOT");
    if (!override.isEmpty())
        return fromFile(override, failure);
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return fromPortal(failure);
    return fromScreen(failure);
}

} // namespace qx::control

#include "screen_snapshot.moc"
