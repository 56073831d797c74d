// Opens a picture's folder in the file manager with the picture selected, or the folder alone.
#include "qx/desktop/file_manager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace qx::desktop {

void showInFileManager(const QString& filePath) {
    const QFileInfo info(filePath);
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!info.exists() || !bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
    // Asynchronous: a file manager that is slow to start must not freeze the dialog.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* w) {
        if (w->isError())
            QDesktopServices::openUrl(folder);
        w->deleteLater();
    });
}

} // namespace qx::desktop
