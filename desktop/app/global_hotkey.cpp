// The X11 key grab behind the capture hotkey, and the portal's shortcut on Wayland.
#include "qx/desktop/global_hotkey.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace qx::desktop {

namespace {

// Caps Lock and Num Lock (Mod2 on every common layout) change the state a key press reports; the
// grab is made with each combination of them so that the hotkey does not stop working when one is on.
constexpr quint16 kIgnoredMods[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_connection_t* x11Connection() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

// Sends what is queued and waits for the server's answer to a request behind it: once this returns,
// a given-back grab is free for any other program, not merely on its way to the server.
void waitUntilDone(xcb_connection_t* c) {
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

quint16 x11Modifiers(int modifiers) {
    quint16 mask = 0;
    if (modifiers & kModAlt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & kModCtrl)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & kModShift)
        mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

// Letters grab their lower-case key symbol (the key's first level), digits their own.
xcb_keysym_t keysymOf(int virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return static_cast<xcb_keysym_t>('a' + (virtualKey - 'A'));
    if (virtualKey >= '0' && virtualKey <= '9')
        return static_cast<xcb_keysym_t>(virtualKey);
    return 0;
}

// The portal's notation of the same keys: "CTRL+z", "ALT+SHIFT+5".
QString portalTrigger(int modifiers, xcb_keysym_t keysym) {
    QStringList parts;
    if (modifiers & kModCtrl)
        parts << QStringLiteral("CTRL");
    if (modifiers & kModAlt)
        parts << QStringLiteral("ALT");
    if (modifiers & kModShift)
        parts << QStringLiteral("SHIFT");
    parts << QString(QChar(static_cast<char16_t>(keysym)));
    return parts.join(QLatin1Char('+'));
}

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

GlobalHotkey::GlobalHotkey(QObject* parent) : QObject(parent) {
    connect(&m_portal, &PortalShortcut::activated, this, [this] {
        if (m_portal.state() == PortalShortcut::State::Bound)
            emit activated(m_virtualKey);
    });
    connect(&m_portal, &PortalShortcut::stateChanged, this, [this](PortalShortcut::State state) {
        if (state == PortalShortcut::State::Refused)
            qWarning().noquote() << "QX_Camera: the global hotkey was not bound:" << m_portal.failure()
                                 << "- the capture button and the timer still capture";
    });
}

bool GlobalHotkey::registerWithPortal(int modifiers, int virtualKey) {
    const xcb_keysym_t keysym = keysymOf(virtualKey);
    if (keysym == 0 || modifiers == 0)
        return false;
    m_virtualKey = virtualKey;
    // The description is what the portal shows the user when it asks.
    if (m_portal.bind(portalTrigger(modifiers, keysym), QStringLiteral("拍照")))
        return true;
    qWarning().noquote() << "QX_Camera: the global hotkey is not available on this Wayland session:"
                         << m_portal.failure() << "- the capture button and the timer still capture";
    return false;
}

GlobalHotkey::~GlobalHotkey() {
    unregisterHotkey();
    if (m_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool GlobalHotkey::registerHotkey(int modifiers, int virtualKey) {
    unregisterHotkey();
    if (onWayland())
        return registerWithPortal(modifiers, virtualKey);
    xcb_connection_t* c = x11Connection();
    const xcb_keysym_t keysym = keysymOf(virtualKey);
    if (!c || keysym == 0)
        return false;

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    if (!symbols)
        return false;
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t keycode = codes ? codes[0] : XCB_NO_SYMBOL;
    std::free(codes);
    xcb_key_symbols_free(symbols);
    if (keycode == XCB_NO_SYMBOL)
        return false;

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const quint16 mods = x11Modifiers(modifiers);
    int grabbed = 0;
    for (quint16 extra : kIgnoredMods) {
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, root, mods | extra, keycode, XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC));
        if (error) {
            std::free(error);
            break;
        }
        ++grabbed;
    }
    if (grabbed != static_cast<int>(std::size(kIgnoredMods))) {
        // Another client holds one of the combinations: give back what was taken.
        for (int i = 0; i < grabbed; ++i)
            xcb_ungrab_key(c, keycode, root, mods | kIgnoredMods[i]);
        waitUntilDone(c);
        return false;
    }

    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<quint16>(std::strlen(kAtomName)), kAtomName), nullptr);
    m_atom = atom ? atom->atom : 0;
    std::free(atom);

    m_root = root;
    m_keycode = keycode;
    m_modMask = mods;
    m_virtualKey = virtualKey;
    m_registered = true;
    if (!m_filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    return true;
}

void GlobalHotkey::unregisterHotkey() {
    if (m_portal.state() != PortalShortcut::State::Off)
        m_portal.release();
    if (!m_registered)
        return;
    if (xcb_connection_t* c = x11Connection()) {
        for (quint16 extra : kIgnoredMods)
            xcb_ungrab_key(c, m_keycode, m_root, m_modMask | extra);
        waitUntilDone(c);
    }
    m_registered = false;
    m_atom = 0;
}

bool GlobalHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_registered || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    const quint16 state = press->state & ~(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2) & 0xff;
    if (press->detail != m_keycode || state != m_modMask)
        return false;
    emit activated(m_virtualKey);
    return true;
}

} // namespace qx::desktop
