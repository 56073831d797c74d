// A private Wayland desktop for the tests: a headless Weston on a runtime folder of its own, and a
// session bus of its own for the desktop-portal stand-in.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace qx::test {

// Starts `weston --backend=headless-backend.so` on a fresh 0700 XDG_RUNTIME_DIR with a socket name of
// its own, waits for the socket and stops the compositor at the end. The pixman renderer and the
// debug protocols are on so that weston-screenshooter can take a picture of what it shows. Everything
// runs in the test's own process group; nothing reaches the user's session.
class WestonSession {
public:
    WestonSession();
    ~WestonSession();
    WestonSession(const WestonSession&) = delete;
    WestonSession& operator=(const WestonSession&) = delete;

    bool running() const { return m_running; }
    // Why it is not running: a sentence for GTEST_SKIP().
    QString failure() const { return m_failure; }
    QString runtimeDir() const { return m_runtime.path(); }
    QString socketName() const { return m_socket; }

    // The environment of a client on this compositor: XDG_RUNTIME_DIR, WAYLAND_DISPLAY and
    // QT_QPA_PLATFORM=wayland set, DISPLAY removed, so nothing can fall back to X11.
    void addTo(QProcessEnvironment& env) const;

    // The compositor's whole output as PNG (weston-screenshooter); false with the reason on stderr.
    bool screenshot(const QString& pngPath);

private:
    QTemporaryDir m_runtime;
    QString m_socket;
    QProcess m_weston;
    bool m_running = false;
    QString m_failure;
};

// A dbus-daemon of type session listening only on a socket in a fresh folder, with no service
// activation, so no real portal can be started behind the stand-in's back.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool running() const { return !m_address.isEmpty(); }
    QString failure() const { return m_failure; }
    QString address() const { return m_address; }
    void addTo(QProcessEnvironment& env) const;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QString m_failure;
};

// tests/support/portal_standin.py on a private bus: owns org.freedesktop.portal.Desktop and answers
// as the arguments say (see the script). Its standard output is its record of the calls.
class PortalStandIn {
public:
    PortalStandIn(const PrivateSessionBus& bus, const QStringList& arguments);
    ~PortalStandIn();
    PortalStandIn(const PortalStandIn&) = delete;
    PortalStandIn& operator=(const PortalStandIn&) = delete;

    bool ready() const { return m_ready; }
    QString failure() const { return m_failure; }
    // Every line it has written so far.
    QString record();

private:
    QProcess m_process;
    QByteArray m_out;
    bool m_ready = false;
    QString m_failure;
};

} // namespace qx::test
