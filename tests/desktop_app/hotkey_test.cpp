// The capture hotkey against a real X server: the grab, its lock-key variants and a capture by key press.
#include "app_fixture.h"

#include "qx/desktop/global_hotkey.h"
#include "qx/desktop/list_image_ctrl.h"

#include <QSignalSpy>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

using namespace qx::desktop;

namespace qx::test {
namespace {

constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kNumLock = 0xff7f;

// Another client of the same X server: it competes for grabs and types through XTEST.
class OtherClient {
public:
    OtherClient() : m_c(xcb_connect(nullptr, nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        m_symbols = xcb_key_symbols_alloc(m_c);
    }
    ~OtherClient() {
        xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_c);
    }
    xcb_keycode_t code(xcb_keysym_t sym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, sym);
        const xcb_keycode_t c = codes ? codes[0] : 0;
        std::free(codes);
        return c;
    }
    // Whether this client may grab Ctrl+`sym`; the grab is given back at once.
    bool canGrab(xcb_keysym_t sym, quint16 mods = XCB_MOD_MASK_CONTROL) {
        xcb_generic_error_t* e =
            xcb_request_check(m_c, xcb_grab_key_checked(m_c, 1, m_root, mods, code(sym), XCB_GRAB_MODE_ASYNC,
                                                        XCB_GRAB_MODE_ASYNC));
        if (e) {
            std::free(e);
            return false;
        }
        xcb_ungrab_key(m_c, code(sym), m_root, mods);
        xcb_flush(m_c);
        return true;
    }
    void key(xcb_keysym_t sym, bool press) {
        xcb_test_fake_input(m_c, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code(sym), XCB_CURRENT_TIME, m_root,
                            0, 0, 0);
        xcb_flush(m_c);
    }
    void tap(xcb_keysym_t sym) {
        key(sym, true);
        key(sym, false);
    }
    void ctrlTap(xcb_keysym_t sym) {
        key(kControlL, true);
        tap(sym);
        key(kControlL, false);
        xcb_aux_sync();
    }
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)); }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
    xcb_key_symbols_t* m_symbols = nullptr;
};

bool noX11() {
    return !qEnvironmentVariableIsEmpty("QX_TEST_NO_X11");
}

bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (condition())
            return true;
        processEvents(20);
    }
    return condition();
}

TEST(DesktopHotkeyX11, GrabsTheKeyWithEveryLockStateAndReportsPresses) {
    if (noX11())
        GTEST_SKIP() << "no X server";
    OtherClient other;
    GlobalHotkey hotkey;
    QSignalSpy activated(&hotkey, &GlobalHotkey::activated);
    ASSERT_TRUE(other.canGrab('z'));
    ASSERT_TRUE(hotkey.registerHotkey(kModCtrl, 'Z'));
    EXPECT_TRUE(hotkey.isRegistered());
    EXPECT_NE(hotkey.identifier(), 0u);
    EXPECT_FALSE(other.canGrab('z'));
    EXPECT_FALSE(other.canGrab('z', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_2));
    EXPECT_FALSE(other.canGrab('z', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK));
    EXPECT_TRUE(other.canGrab('x'));

    other.ctrlTap('z');
    ASSERT_TRUE(waitFor([&] { return activated.count() == 1; }));
    EXPECT_EQ(activated.takeFirst().value(0).toInt(), 'Z');

    // With Num Lock on the press carries Mod2 and still counts.
    other.tap(kNumLock);
    other.ctrlTap('z');
    other.tap(kNumLock);
    EXPECT_TRUE(waitFor([&] { return activated.count() == 1; }));

    hotkey.unregisterHotkey();
    EXPECT_FALSE(hotkey.isRegistered());
    EXPECT_TRUE(other.canGrab('z'));
}

TEST(DesktopHotkeyX11, ACombinationHeldByAnotherClientFailsAndIsNotHalfTaken) {
    if (noX11())
        GTEST_SKIP() << "no X server";
    OtherClient holder;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // The other program holds only the Num Lock variant.
    xcb_grab_key(c, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_2, holder.code('q'), XCB_GRAB_MODE_ASYNC,
                 XCB_GRAB_MODE_ASYNC);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    GlobalHotkey hotkey;
    EXPECT_FALSE(hotkey.registerHotkey(kModCtrl, 'Q'));
    EXPECT_FALSE(hotkey.isRegistered());
    EXPECT_EQ(hotkey.identifier(), 0u);
    xcb_ungrab_key(c, holder.code('q'), root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_2);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    EXPECT_TRUE(holder.canGrab('q')); // nothing of the failed registration was left behind
    EXPECT_FALSE(hotkey.registerHotkey(kModCtrl, '#'));
}

TEST_F(DesktopMainDialog, HotkeyCapturesAndNoModifierRegistersNothing) {
    if (noX11())
        GTEST_SKIP() << "no X server";
    OtherClient other;
    writeIni({}, {"Ctrl=0", "Alt=0", "Shift=0", "Letter=Z"});
    m_options.useGlobalHotkey = true;
    {
        CQX_CameraDlg& d = create();
        EXPECT_FALSE(d.isHotkeyRegistered());
        EXPECT_TRUE(other.canGrab('z', 0));
    }
    writeIni({}, {"Ctrl=1", "Letter="});
    {
        CQX_CameraDlg& d = create();
        EXPECT_FALSE(d.isHotkeyRegistered());
    }
    writeIni({});
    CQX_CameraDlg& d = create();
    ASSERT_TRUE(d.isHotkeyRegistered());
    EXPECT_FALSE(other.canGrab('z'));
    other.ctrlTap('z');
    EXPECT_TRUE(waitFor([&] { return d.list().count() == 1; }, 10000));
    d.close();
    EXPECT_TRUE(other.canGrab('z'));
}

} // namespace
} // namespace qx::test
