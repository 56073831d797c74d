// The vendor and product test of device paths and the camera role table.
#include "qx/media/camera_roles.h"

#include <atomic>

namespace qx::media {

namespace {
std::atomic<bool> g_seen7e41{false};
std::atomic<bool> g_seen7e42{false};

bool isMainId(const QString& id) {
    return id == QLatin1String("7e41") || id == QLatin1String("7e42");
}
} // namespace

std::optional<QString> CameraRoleRule::productIdOf(const QString& devicePath) {
    if (devicePath.indexOf(QLatin1String("vid_2e7a")) <= 0)
        return std::nullopt;
    const qsizetype pid = devicePath.indexOf(QLatin1String("pid"));
    if (pid < 0 || pid + 8 > devicePath.size())
        return std::nullopt;
    return devicePath.mid(pid + 4, 4);
}

bool CameraRoleRule::isCounted(const QString& id) {
    return isMainId(id) || id == QLatin1String("7e43") || id == QLatin1String("7e44");
}

std::optional<CameraRole> roleOf(const QString& id, bool mainSeen) {
    if (isMainId(id))
        return CameraRole::Main;
    if (id == QLatin1String("7e43"))
        return CameraRole::Auxiliary;
    if (id == QLatin1String("7e44"))
        return mainSeen ? CameraRole::Cash : CameraRole::Main;
    return std::nullopt;
}

QString roleNameOf(const QString& id, bool mainSeen) {
    switch (roleOf(id, mainSeen).value_or(CameraRole::Main)) {
    case CameraRole::Main:
        return CameraRoleRule::isCounted(id) ? QStringLiteral("主摄像头") : QString();
    case CameraRole::Auxiliary:
        return QStringLiteral("辅摄像头");
    case CameraRole::Cash:
        return QStringLiteral("现金摄像头");
    }
    return QString();
}

bool MainCameraSeen::any() {
    return g_seen7e41 || g_seen7e42;
}

void MainCameraSeen::mark(const QString& id) {
    if (id == QLatin1String("7e41"))
        g_seen7e41 = true;
    else if (id == QLatin1String("7e42"))
        g_seen7e42 = true;
}

std::vector<CountedCamera> countedCameras(const std::vector<VideoDevice>& devices) {
    std::vector<CountedCamera> out;
    for (std::size_t i = 0; i < devices.size() && out.size() < kMaxCountedCameras; ++i) {
        const auto id = CameraRoleRule::productIdOf(devices[i].devicePath);
        if (id && CameraRoleRule::isCounted(*id))
            out.push_back({i, *id});
    }
    return out;
}

std::optional<std::size_t> findCameraForRole(const std::vector<VideoDevice>& devices, CameraRole role) {
    bool mainSeen = MainCameraSeen::any();
    for (const CountedCamera& c : countedCameras(devices)) {
        if (roleOf(c.productId, mainSeen) == role)
            return c.deviceIndex;
        mainSeen = mainSeen || isMainId(c.productId);
    }
    return std::nullopt;
}

} // namespace qx::media
