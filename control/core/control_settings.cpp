// Reads "OCXConfig.ini" with Windows profile rules, creating it only where no file of that name is.
#include "control/core/control_settings.h"

#include "qx/platform/profile.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace qx::control {

namespace {
constexpr const char* kSection = "OCXConfig";
constexpr int kReadSize = 100;
} // namespace

ControlSettings loadControlSettings(const QString& path, const std::function<void(const QString&)>&) {
    ControlSettings settings;
    const QString section = QLatin1String(kSection);
    const QByteArray native = QFile::encodeName(path);
    if (QFileInfo(path).isFile() && ::access(native.constData(), R_OK | W_OK) == 0) {
        settings.jpegQuality = platform::decimalPrefix(platform::readProfileString(
            path, section, QStringLiteral("JPG_Compress"), QStringLiteral("75"), kReadSize));
        settings.bwThreshold = platform::decimalPrefix(platform::readProfileString(
            path, section, QStringLiteral("Threshold"), QStringLiteral("100"), kReadSize));
        return settings;
    }
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.close();
    platform::writeProfileString(path, section, QStringLiteral("JPG_Compress"), QStringLiteral("75"));
    platform::writeProfileString(path, section, QStringLiteral("Threshold"), QStringLiteral("100"));
    return settings;
}

} // namespace qx::control
