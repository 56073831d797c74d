// The vendor and product test of device paths and the camera role table.
#include "control/capture/camera_roles.h"

namespace qx::control {

namespace {
bool g_seen7e41 = false;
bool g_seen7e42 = false;
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
    return id == QLatin1String("7e41") || id == QLatin1String("7e42") || id == QLatin1String("7e43") ||
           id == QLatin1String("7e44");
}

QString roleNameOf(const QString& id, bool mainSeen) {
    if (id == QLatin1String("7e41") || id == QLatin1String("7e42"))
        return QStringLiteral("主摄像头");
    if (id == QLatin1String("7e43"))
        return QStringLiteral("辅摄像头");
    if (id == QLatin1String("7e44"))
        return mainSeen ? QStringLiteral("现金摄像头") : QStringLiteral("主摄像头");
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

} // namespace qx::control
