// Reads "OCXConfig.ini" with Windows profile rules, creating it only where no file of that name is.
#include "control/core/control_settings.h"

#include "qx/platform/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace qx::control {

namespace {
constexpr const char* kSection = "OCXConfig";
constexpr int kReadSize = 100;
} // namespace

ControlSettings loadControlSettings(const QString& path, const std::function<void(const QString&)>& log) {
    ControlSettings settings;
    const QString section = QLatin1String(kSection);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        // NewOnly: a file that appeared meanwhile is somebody's settings, not ours to empty.
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            f.close();
        platform::writeProfileString(path, section, QStringLiteral("JPG_Compress"), QStringLiteral("75"));
        platform::writeProfileString(path, section, QStringLiteral("Threshold"), QStringLiteral("100"));
        return settings;
    }
    QFile probe(path);
    if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        log(QStringLiteral("配置文件OCXConfig.ini无法读取，使用默认设置!"));
        return settings;
    }
    probe.close();
    settings.jpegQuality = platform::decimalPrefix(platform::readProfileString(
        path, section, QStringLiteral("JPG_Compress"), QStringLiteral("75"), kReadSize));
    settings.bwThreshold = platform::decimalPrefix(platform::readProfileString(
        path, section, QStringLiteral("Threshold"), QStringLiteral("100"), kReadSize));
    settings.edgeConfidence =
        std::clamp(platform::decimalPrefix(platform::readProfileString(
                       path, section, QStringLiteral("EdgeConfidence"),
                       QString::number(ControlSettings::kDefaultEdgeConfidence), kReadSize)),
                   0, 100);
    return settings;
}

TlsSettings readTlsSettings(const QString& path) {
    TlsSettings tls;
    if (!QFileInfo(path).isFile())
        return tls;
    const QString section = QLatin1String(kSection);
    const QString verify = platform::readProfileString(path, section, QStringLiteral("TlsVerify"),
                                                       QStringLiteral("TRUE"), kReadSize)
                               .trimmed();
    tls.verify =
        verify.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) != 0 && verify != QLatin1String("0");
    // A path names a file, so it may be longer than the other values.
    const QString ca =
        platform::readProfileString(path, section, QStringLiteral("TlsCaFile"), QString(), 4096).trimmed();
    if (!ca.isEmpty())
        tls.caFile = QFileInfo(ca).isAbsolute() ? ca : QFileInfo(path).absoluteDir().filePath(ca);
    return tls;
}

OcrSettings readOcrSettings(const QString& path) {
    OcrSettings ocr;
    if (!QFileInfo(path).isFile())
        return ocr;
    const QString section = QLatin1String(kSection);
    const QString on = platform::readProfileString(path, section, QStringLiteral("PdfOcr"),
                                                   QStringLiteral("FALSE"), kReadSize)
                           .trimmed();
    ocr.enabled = on.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || on == QLatin1String("1");
    const QString languages =
        platform::readProfileString(path, section, QStringLiteral("OcrLanguages"), ocr.languages, kReadSize)
            .trimmed();
    if (!languages.isEmpty())
        ocr.languages = languages;
    return ocr;
}

} // namespace qx::control
