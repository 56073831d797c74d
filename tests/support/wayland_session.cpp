// Implements the private Weston, the private session bus and the portal stand-in's process.
#include "support/wayland_session.h"

#include "support/test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace qx::test {

namespace {

// Stops a helper process: SIGTERM first so it can clean up, SIGKILL if it does not go.
void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QString tail(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromUtf8(lines.mid(qMax(0, lines.size() - 3)).join(" / "));
}

} // namespace

WestonSession::WestonSession()
    : m_runtime(QDir::tempPath() + QStringLiteral("/qxweston-XXXXXX")),
      m_socket(QStringLiteral("qx-wayland-%1").arg(getpid())) {
    if (!m_runtime.isValid()) {
        m_failure = QStringLiteral("no runtime folder could be made");
        return;
    }
    // Wayland clients refuse a runtime folder that others may enter.
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
    if (weston.isEmpty()) {
        m_failure = QStringLiteral("weston is not installed (Debian package weston)");
        return;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"})
        env.remove(QLatin1String(name));
    m_weston.setProcessEnvironment(env);
    // Into a file, so that a compositor that keeps logging never blocks on a full pipe.
    const QString logFile = m_runtime.filePath(QStringLiteral("weston.log"));
    m_weston.setProcessChannelMode(QProcess::MergedChannels);
    m_weston.setStandardOutputFile(logFile);
    m_weston.start(weston,
                   {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + m_socket,
                    QStringLiteral("--width=1280"), QStringLiteral("--height=800"),
                    QStringLiteral("--use-pixman"), QStringLiteral("--debug"),
                    QStringLiteral("--idle-time=0"), QStringLiteral("--no-config")});
    if (!m_weston.waitForStarted(5000)) {
        m_failure = QStringLiteral("weston could not be started: ") + m_weston.errorString();
        return;
    }
    const QString socket = m_runtime.filePath(m_socket);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && m_weston.state() == QProcess::Running) {
        if (QFileInfo(socket).exists()) {
            // The socket is made just before the shell is launched; a moment later it is up.
            QThread::msleep(300);
            m_running = m_weston.state() == QProcess::Running;
            if (m_running)
                return;
            break;
        }
        m_weston.waitForFinished(50);
    }
    m_failure = QStringLiteral("headless weston did not come up: ") + tail(readAll(logFile));
    stop(m_weston);
}

WestonSession::~WestonSession() {
    stop(m_weston);
}

void WestonSession::addTo(QProcessEnvironment& env) const {
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.remove(QStringLiteral("DISPLAY"));
}

bool WestonSession::screenshot(const QString& pngPath) {
    // The screenshooter names its file by the time, in the folder it runs in.
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/qxshot-XXXXXX"));
    QProcess shooter;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    addTo(env);
    shooter.setProcessEnvironment(env);
    shooter.setWorkingDirectory(folder.path());
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    if (!shooter.waitForFinished(10000) || shooter.exitCode() != 0) {
        std::fprintf(stderr, "weston-screenshooter failed: %s\n", shooter.readAllStandardError().constData());
        stop(shooter);
        return false;
    }
    const QStringList shots = QDir(folder.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
    if (shots.size() != 1)
        return false;
    QFile::remove(pngPath);
    return QFile::rename(folder.filePath(shots.first()), pngPath);
}

PrivateSessionBus::PrivateSessionBus() : m_folder(QDir::tempPath() + QStringLiteral("/qxbus-XXXXXX")) {
    const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
    const QString socket = m_folder.filePath(QStringLiteral("bus"));
    QFile file(config);
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly)) {
        m_failure = QStringLiteral("no folder for the bus");
        return;
    }
    file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path=" +
               socket.toUtf8() +
               "</listen><auth>EXTERNAL</auth>"
               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    file.close();
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000)) {
        m_failure = QStringLiteral("dbus-daemon could not be started: ") + m_daemon.errorString();
        return;
    }
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (!out.contains('\n') && timer.elapsed() < 10000 && m_daemon.state() == QProcess::Running) {
        m_daemon.waitForReadyRead(100);
        out += m_daemon.readAllStandardOutput();
    }
    if (!out.contains('\n')) {
        m_failure = QStringLiteral("dbus-daemon gave no address: ") + tail(m_daemon.readAllStandardError());
        stop(m_daemon);
        return;
    }
    m_address = QString::fromUtf8(out.trimmed());
}

PrivateSessionBus::~PrivateSessionBus() {
    stop(m_daemon);
}

void PrivateSessionBus::addTo(QProcessEnvironment& env) const {
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
}

PortalStandIn::PortalStandIn(const PrivateSessionBus& bus, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    bus.addTo(env);
    m_process.setProcessEnvironment(env);
    // The system's interpreter: its python3-dbus and python3-gi, whatever python3 the PATH finds first.
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{QStringLiteral(QX_TEST_SUPPORT_DIR "/portal_standin.py")} + arguments);
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("python3 could not be started: ") + m_process.errorString();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_out.contains("ready\n") && timer.elapsed() < 10000 && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        m_out += m_process.readAllStandardOutput();
    }
    m_ready = m_out.contains("ready\n");
    if (!m_ready) {
        m_failure =
            QStringLiteral("the portal stand-in did not start: ") + tail(m_process.readAllStandardError());
        stop(m_process);
    }
}

PortalStandIn::~PortalStandIn() {
    stop(m_process);
}

QString PortalStandIn::record() {
    m_process.waitForReadyRead(50);
    m_out += m_process.readAllStandardOutput();
    return QString::fromUtf8(m_out);
}

} // namespace qx::test
