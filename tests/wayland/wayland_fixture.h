// The programs as they run on a Wayland desktop: a private headless Weston and a private session bus
// for each test, the programs started on them with DISPLAY unset.
#pragma once

#include "support/test_support.h"
#include "support/wayland_session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>
#include <utility>

namespace qx::test {

inline const QString kCameras = QStringLiteral("7e41:640x480,7e43:640x480");

class WaylandTest : public ::testing::Test {
protected:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };

    void SetUp() override {
        if (!m_weston.running())
            GTEST_SKIP() << "no Wayland compositor: " << m_weston.failure().toStdString();
        if (!m_bus.running())
            GTEST_SKIP() << "no private session bus: " << m_bus.failure().toStdString();
        QDir().mkpath(artifacts());
    }

    // A program's environment: the compositor, the private bus (never the user's), fresh folders for
    // the settings, the control's temporary folder and the temporary and cache folders of Qt.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        m_weston.addTo(env);
        m_bus.addTo(env);
        env.insert(QStringLiteral("QX_VIRTUAL_CAMERAS"), kCameras);
        env.insert(QStringLiteral("QX_CAMERA_CONFIG_DIR"), m_config.path());
        env.insert(QStringLiteral("Temp"), m_temp.path());
        env.insert(QStringLiteral("TMPDIR"), m_temp.path());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_temp.file(QStringLiteral("cache")));
        env.remove(QStringLiteral("QX_VIRTUAL_READER"));
        env.remove(QStringLiteral("QX_SCREEN_SNAPSHOT"));
        return env;
    }

    // Runs `program`; whenever the first file of a pair in `shots` appears (the script writes it,
    // e.g. with app.screenshot, and then waits two seconds), the compositor's screen is saved as the second.
    Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
            QList<std::pair<QString, QString>> shots = {}) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(binFolder() + program, arguments);
        QElapsedTimer timer;
        timer.start();
        while (!process.waitForFinished(50) && timer.elapsed() < 60000) {
            if (!shots.isEmpty() && QFileInfo::exists(shots.first().first)) {
                // The window on the screen follows the program's own picture of it at its next repaint.
                process.waitForFinished(700);
                EXPECT_TRUE(m_weston.screenshot(shots.first().second)) << shots.first().second.toStdString();
                shots.removeFirst();
            }
        }
        if (process.state() != QProcess::NotRunning) {
            ADD_FAILURE() << program.toStdString() << " did not end";
            process.kill();
            process.waitForFinished(5000);
        }
        Run r;
        r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_TRUE(shots.isEmpty()) << "the script never asked for " << shots.size() << " screenshots";
        return r;
    }

    QString script(const QByteArray& code) {
        const QString path = m_temp.file(QStringLiteral("script.js"));
        EXPECT_TRUE(writeAll(path, code));
        return path;
    }

    // Where the compositor's screenshots are kept for a look (the README's come from here).
    static QString artifacts() { return QStringLiteral(QX_TEST_ARTIFACTS_DIR "/"); }

    WestonSession m_weston;
    PrivateSessionBus m_bus;
    Folder m_config;
    Folder m_temp;
    Folder m_pictures;
};

} // namespace qx::test
