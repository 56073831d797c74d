// The settings file's location, first-run contents and its reads and writes.
#include "qx/desktop/cam_config.h"

#include "qx/platform/folders.h"
#include "qx/platform/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <utility>

namespace qx::desktop {

QString camConfigPath() {
    const QString overridden = qEnvironmentVariable("QX_CAMERA_CONFIG_DIR");
    const QString folder = overridden.isEmpty() ? platform::dataFolder(platform::programFolder())
                                                : platform::withTrailingSlash(overridden);
    return folder + QLatin1String(kCamConfigFile);
}

QString defaultVideoPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/Videos");
    return platform::withTrailingSlash(folder);
}

bool camConfigOpensExisting(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}

bool writeFirstRunCamConfig(const QString& path) {
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return false;
    }
    const std::pair<const char*, QString> camConfig[] = {
        {"camera", QStringLiteral("0")},
        {"resolution", QStringLiteral("0")},
        {"Is-Merge", QStringLiteral("FALSE")},
        {"BarCode", QStringLiteral("FALSE")},
        {"Img-Format", QStringLiteral("jpg")},
        {"Img-Rotate", QStringLiteral("0")},
        {"Img-DPI", QStringLiteral("0")},
        {"Img-Color", QStringLiteral("0")},
        {"Save-Path", QString()},
        {"Video-Path", defaultVideoPath()},
        {"URL", QString()},
        {"UpLoad-Del", QStringLiteral("TRUE")},
        {"PDF-Del", QStringLiteral("FALSE")},
        {"Is-TimeCap", QStringLiteral("FALSE")},
        {"TickTime", QStringLiteral("5")},
        {"IDCSavePath", QString()},
        {"IDCTimeCount", QStringLiteral("3000")},
    };
    const std::pair<const char*, QString> hotkey[] = {
        {"Ctrl", QStringLiteral("1")},
        {"Alt", QStringLiteral("0")},
        {"Shift", QStringLiteral("0")},
        {"Letter", QStringLiteral("Z")},
    };
    bool ok = true;
    for (const auto& [key, value] : camConfig)
        ok = platform::writeProfileString(path, QLatin1String(kCamSection), QLatin1String(key), value) && ok;
    for (const auto& [key, value] : hotkey)
        ok = platform::writeProfileString(path, QLatin1String(kHotkeyWriteSection), QLatin1String(key),
                                          value) &&
             ok;
    return ok;
}

QString readCamConfig(const QString& path, const char* section, const char* key,
                      const QString& defaultValue) {
    return platform::readProfileString(path, QLatin1String(section), QLatin1String(key), defaultValue,
                                       kCamConfigBuffer);
}

bool writeCamConfig(const QString& path, const char* key, const QString& value) {
    return platform::writeProfileString(path, QLatin1String(kCamSection), QLatin1String(key), value);
}

bool writeExistingCamConfig(const QString& path, std::span<const CamConfigValue> values) {
    if (!camConfigOpensExisting(path))
        return false;
    bool ok = true;
    for (const auto& [key, value] : values)
        ok = writeCamConfig(path, key, value) && ok;
    return ok;
}

} // namespace qx::desktop
