// The control window's private event: a new preview picture to paint.
#pragma once

#include <QEvent>

namespace qx::control {

// A new preview picture is ready to be painted.
inline constexpr QEvent::Type kPreviewFrameEvent = static_cast<QEvent::Type>(QEvent::User + 0x10);

} // namespace qx::control
