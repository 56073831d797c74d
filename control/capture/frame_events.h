// The control window's private events: the frame-grabbing path's two messages and the preview's repaint.
#pragma once

#include <QEvent>

namespace qx::control {

// The private messages of the frame-grabbing path (the Windows WM_APP+1 and WM_APP+2).
inline constexpr QEvent::Type kFrameCopiedEvent = static_cast<QEvent::Type>(QEvent::User + 0x8001 - 0x8000);
inline constexpr QEvent::Type kFrameSavedEvent = static_cast<QEvent::Type>(QEvent::User + 0x8002 - 0x8000);
// A new preview picture is ready to be painted.
inline constexpr QEvent::Type kPreviewFrameEvent = static_cast<QEvent::Type>(QEvent::User + 0x10);

} // namespace qx::control
