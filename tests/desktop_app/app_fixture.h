// The main dialog started in-process on the real control plugin and two virtual cameras.
#pragma once

#include "qx/desktop/cam_config.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/morvel_qx_web.h"
#include "qx/desktop/qx_camera_dlg.h"
#include "qx/interface/control_factory.h"
#include "qx/interface/identity.h"
#include "qx/interface/ui_host.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace qx::test {

inline const QString kTwoCameras = QStringLiteral("7e41:1280x960;640x480,7e43:640x480");

// Lines joined with CR LF, as the settings file is written.
inline QByteArray crlf(std::initializer_list<const char*> lines) {
    QByteArray out;
    for (const char* line : lines)
        out += QByteArray(line) + "\r\n";
    return out;
}

inline void processEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The real control in a window of its own on the two virtual cameras, with a temporary folder of its
// own, reached through the program's wrapper as the main dialog reaches it.
class StandaloneControl {
public:
    explicit StandaloneControl(UiHost& ui)
        : m_tempEnv("Temp", m_temp.path()), m_cameras("QX_VIRTUAL_CAMERAS", kTwoCameras) {
        if (!m_plugin.loadFile(binFolder() + QStringLiteral("libQXCameraCtrl.so"),
                               QLatin1String(identity::kControlClsid))) {
            ADD_FAILURE() << m_plugin.errorText().toStdString();
            return;
        }
        m_window.resize(700, 480);
        QWidget* control = m_plugin.factory()->createControl(&m_window, &ui);
        control->setGeometry(0, 0, 693, 474);
        m_control.attach(qobject_cast<QxDispatch*>(control));
        m_window.show();
    }

    desktop::CMorvelQxWeb& wrapper() { return m_control; }

    // As the main dialog starts on camera `camera`: cameras listed, the camera and its first capture
    // size selected, the edge-finding preview running, pictures into `saveFolder` (the temporary
    // folder when empty). Answers the number of cameras.
    int start(const QString& saveFolder, short camera = 0) {
        const int count = m_control.RefreshDevList();
        m_control.SetDevNameSel(camera);
        m_control.RefreshResolution(camera);
        m_control.SetResolution(0);
        m_control.SetCustomSavePath(saveFolder);
        m_control.KelpoCapturePlay();
        m_control.SetCropMargin(0);
        return count;
    }

private:
    Folder m_temp;
    ScopedEnv m_tempEnv;
    ScopedEnv m_cameras;
    ControlPlugin m_plugin;
    QWidget m_window;
    desktop::CMorvelQxWeb m_control;
};

// A scripted host whose dialogs let something happen while they are open, as a modal dialog keeps the
// program's events going: `whileOpen` runs before each dialog is answered.
class ModalScriptedUiHost : public ScriptedUiHost {
public:
    std::function<void(const QString& kind)> whileOpen;

    int runDialog(QDialog* dialog, const QString& kind,
                  const std::function<void(const QVariant& answer)>& applyAnswer) override {
        if (whileOpen)
            whileOpen(kind);
        return ScriptedUiHost::runDialog(dialog, kind, applyAnswer);
    }
};

class DesktopMainDialog : public ::testing::Test {
protected:
    DesktopMainDialog()
        : m_temp("Temp", m_tempFolder.path()), m_cameras("QX_VIRTUAL_CAMERAS", kTwoCameras),
          m_configDir("QX_CAMERA_CONFIG_DIR", m_configFolder.path()) {
        // The session-wide grab is tried only by the tests that run on an X server.
        m_options.useGlobalHotkey = false;
    }
    ~DesktopMainDialog() override { m_dialog.reset(); }

    QString ini() const { return m_configFolder.file(QStringLiteral("QX_CamConfig.ini")); }
    QString saveFolder() const { return m_saveFolder.path(); }

    // A settings file whose pictures go to the test's save folder, plus `extra` lines of CamConfig
    // and the hotkey section `hotkey`.
    void writeIni(std::initializer_list<const char*> camConfig,
                  std::initializer_list<const char*> hotkey = {}) {
        QByteArray text = "[CamConfig]\r\n";
        text += "Save-Path=" + saveFolder().toUtf8() + "\r\n";
        for (const char* line : camConfig)
            text += QByteArray(line) + "\r\n";
        if (hotkey.size() > 0) {
            text += "[Hotkey]\r\n";
            for (const char* line : hotkey)
                text += QByteArray(line) + "\r\n";
        }
        ASSERT_TRUE(writeAll(ini(), text));
    }

    QString readIni(const char* key, const char* section = desktop::kCamSection) const {
        return desktop::readCamConfig(ini(), section, key, QStringLiteral("<missing>"));
    }

    desktop::CQX_CameraDlg& create(bool expectStart = true) {
        if (!m_plugin.factory()) {
            EXPECT_TRUE(m_plugin.loadFile(binFolder() + QStringLiteral("libQXCameraCtrl.so"),
                                          QLatin1String(identity::kControlClsid)))
                << m_plugin.errorText().toStdString();
        }
        m_options.factory = m_plugin.factory();
        m_options.ui = &m_ui;
        m_options.scripted = &m_ui;
        m_options.iniPath = ini();
        m_options.creationPauseMs = 0;
        // One dialog at a time: the preview holds its camera until the dialog is gone.
        m_dialog.reset();
        m_dialog = std::make_unique<desktop::CQX_CameraDlg>(m_options);
        EXPECT_EQ(m_dialog->startUp(), expectStart);
        return *m_dialog;
    }

    // Captures with the capture button and answers the item count afterwards.
    int captureOnce() {
        EXPECT_TRUE(m_dialog->clickControl(desktop::id::kCapture));
        return m_dialog->list().count();
    }

    Folder m_tempFolder;
    Folder m_configFolder;
    Folder m_saveFolder;
    ScopedEnv m_temp;
    ScopedEnv m_cameras;
    ScopedEnv m_configDir;
    ControlPlugin m_plugin;
    ModalScriptedUiHost m_ui;
    desktop::MainDialogOptions m_options;
    std::unique_ptr<desktop::CQX_CameraDlg> m_dialog;
};

} // namespace qx::test
