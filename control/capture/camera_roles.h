// Which video inputs are the system's cameras, and the role each one plays.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace qx::control {

enum class CameraRole { Main, Auxiliary, Cash };

struct CameraRoleRule {
    // The product id text of a device path when the device is one of the vendor's ("vid_2e7a" after
    // the first character; the four characters that start four after the first "pid"), else nothing.
    static std::optional<QString> productIdOf(const QString& devicePath);
    // Whether the product id is one of the four the system counts.
    static bool isCounted(const QString& productId);
};

// The role name shown for a product id; `mainSeen` is whether a main camera has been counted before
// in this process. Empty for product ids that are not counted.
QString roleNameOf(const QString& productId, bool mainSeen);

// The process-wide memory that a main camera has been counted, set during enumeration and never
// cleared.
struct MainCameraSeen {
    static bool any();
    static void mark(const QString& productId);
};

} // namespace qx::control
