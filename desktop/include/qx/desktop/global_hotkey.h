// A system-wide capture hotkey: a key grab on the X11 root window, a shortcut of the desktop portal on
// Wayland, or a remembered failure elsewhere.
#pragma once

#include "qx/desktop/portal_shortcut.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

namespace qx::desktop {

// Modifier flags as the settings file's hotkey section chooses them.
inline constexpr int kModAlt = 1;
inline constexpr int kModCtrl = 2;
inline constexpr int kModShift = 4;

class GlobalHotkey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The name of the atom that identifies the registration.
    static constexpr const char* kAtomName = "QX_CAMERA_CAPTURE_HOTKEY";

    explicit GlobalHotkey(QObject* parent = nullptr);
    ~GlobalHotkey() override;
    GlobalHotkey(const GlobalHotkey&) = delete;
    GlobalHotkey& operator=(const GlobalHotkey&) = delete;

    // Grabs `virtualKey` ('A'-'Z' or '0'-'9') with `modifiers` (kMod* flags) for the whole session,
    // also with Caps Lock and Num Lock on, so the key works whatever their state. False when the
    // session is neither X11 nor Wayland, the key has no key code, or another client holds the
    // combination; a registration held before is released first.
    // On Wayland the desktop portal's GlobalShortcuts binds it instead, answering later (the portal
    // may ask the user): true when the binding was asked for, and isRegistered() once it is bound.
    // Without that portal it is false, with a line on standard error saying so.
    bool registerHotkey(int modifiers, int virtualKey);
    void unregisterHotkey();

    bool isRegistered() const { return m_registered || m_portal.state() == PortalShortcut::State::Bound; }
    // The atom of the registration; 0 when none is held.
    quint32 identifier() const { return m_atom; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // The grabbed key was pressed (or the portal's shortcut activated); `virtualKey` is the key registered.
    void activated(int virtualKey);

private:
    bool registerWithPortal(int modifiers, int virtualKey);

    PortalShortcut m_portal;
    bool m_registered = false;
    bool m_filterInstalled = false;
    quint32 m_atom = 0;
    quint32 m_root = 0;
    quint8 m_keycode = 0;
    quint16 m_modMask = 0;
    int m_virtualKey = 0;
};

} // namespace qx::desktop
