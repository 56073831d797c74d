// Which video inputs are the system's cameras, and the role each one plays.
#pragma once

#include "qx/media/devices.h"

#include <QString>
#include <optional>
#include <vector>

namespace qx::media {

enum class CameraRole { Main, Auxiliary, Cash };

struct CameraRoleRule {
    // The product id text of a device path when the device is one of the vendor's ("vid_2e7a" after
    // the first character; the four characters that start four after the first "pid"), else nothing.
    static std::optional<QString> productIdOf(const QString& devicePath);
    // Whether the product id is one of the four the system counts.
    static bool isCounted(const QString& productId);
};

// The role of a counted product id; `mainSeen` is whether a main camera has been counted before.
std::optional<CameraRole> roleOf(const QString& productId, bool mainSeen);
// The role name shown for a product id; empty for product ids that are not counted.
QString roleNameOf(const QString& productId, bool mainSeen);

// The process-wide memory that a main camera has been counted, set during enumeration and never
// cleared.
struct MainCameraSeen {
    static bool any();
    static void mark(const QString& productId);
};

inline constexpr std::size_t kMaxCountedCameras = 10;

struct CountedCamera {
    std::size_t deviceIndex; // into the enumerated devices
    QString productId;
};

// The devices the role rule counts, in enumeration order; cameras beyond the tenth have no index
// (the control's name table has ten slots) and are left out.
std::vector<CountedCamera> countedCameras(const std::vector<VideoDevice>& devices);

// The first counted camera that plays `role`, judged as an enumeration does (a cash camera only after
// a main camera was seen); nothing when none does.
std::optional<std::size_t> findCameraForRole(const std::vector<VideoDevice>& devices, CameraRole role);

} // namespace qx::media
