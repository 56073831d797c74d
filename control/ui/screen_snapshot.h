// The frozen screen under the screen cut: the whole primary screen in device pixels, from wherever
// this session can get it.
#pragma once

#include <QImage>
#include <QString>
#include <optional>

namespace qx::control {

struct ScreenSnapshot {
    QImage image; // device pixels, devicePixelRatio 1
    // Bits per pixel of the screen it stands for; decides the depth of the saved cut.
    int depth = 24;
    QString source; // "override", "x11", "portal", ... for the log
};

// In order: the picture `QX_SCREEN_SNAPSHOT` names (tests, or a cut from a given picture; its depth
// is 32 when it has an alpha channel, else 24), the desktop portal's Screenshot request on Wayland
// (the portal asks the user; awaited for two minutes or `QX_PORTAL_TIMEOUT_MS`; the portal's file
// is removed once read when it lies in the portal's own places), else Qt's grab of the primary
// screen (X11 and the other platforms). std::nullopt with the reason in `failure` when nothing
// could be had.
std::optional<ScreenSnapshot> takeScreenSnapshot(QString* failure);

} // namespace qx::control
