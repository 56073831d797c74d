// "QX_CamConfig.ini": where the desktop program keeps its settings, its first-run contents and its keys.
#pragma once

#include <QString>
#include <initializer_list>
#include <span>
#include <utility>

namespace qx::desktop {

inline constexpr const char* kCamConfigFile = "QX_CamConfig.ini";
inline constexpr const char* kCamSection = "CamConfig";
inline constexpr const char* kHotkeyWriteSection = "Hotkey"; // written so, read as "HotKey"
inline constexpr const char* kHotkeyReadSection = "HotKey";
inline constexpr int kCamConfigBuffer = 200;

// The settings file: in the folder named by $QX_CAMERA_CONFIG_DIR when set (tests and several
// installs side by side), else beside the executable when that folder is writable, else in the
// user's data folder (see platform::dataFolder).
QString camConfigPath();

// The user's videos folder with a trailing '/', the Video-Path of a first run and of a missing key.
QString defaultVideoPath();

// Whether `path` opens as an existing file for reading and writing; every write but the first run's
// needs this, so a settings file that was removed or made read-only is never recreated or half written.
bool camConfigOpensExisting(const QString& path);

// Creates the file and writes the first-run contents, every key in table order, "CamConfig" first.
// False, and nothing written, when it cannot be created.
bool writeFirstRunCamConfig(const QString& path);

// A key of the file, read into the program's 200-character buffer.
QString readCamConfig(const QString& path, const char* section, const char* key, const QString& defaultValue);
bool writeCamConfig(const QString& path, const char* key, const QString& value);

using CamConfigValue = std::pair<const char*, QString>;
using CamConfigValues = std::initializer_list<CamConfigValue>;
// Writes `values` into "CamConfig", in order, when the file opens as an existing file; false, and
// nothing written, otherwise.
bool writeExistingCamConfig(const QString& path, std::span<const CamConfigValue> values);
inline bool writeExistingCamConfig(const QString& path, CamConfigValues values) {
    return writeExistingCamConfig(path, std::span<const CamConfigValue>(values.begin(), values.size()));
}

inline QString boolText(bool value) {
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

} // namespace qx::desktop
