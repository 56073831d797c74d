// The control's settings file "OCXConfig.ini": JPEG quality and black-and-white threshold.
#pragma once

#include <QString>
#include <functional>

namespace qx::control {

struct ControlSettings {
    int jpegQuality = 75;
    int bwThreshold = 100;
};

inline constexpr const char* kControlSettingsFile = "OCXConfig.ini";

// Reads the settings file at `path` when it can be read and written; otherwise creates it with the
// defaults.
ControlSettings loadControlSettings(const QString& path, const std::function<void(const QString&)>& log);

} // namespace qx::control
