// A control created in-process in a fresh control folder, with its log in a fresh temporary folder.
#pragma once

#include "control/core/control.h"
#include "support/test_support.h"

#include <QVariant>
#include <gtest/gtest.h>
#include <memory>

namespace qx::test {

class ControlTest : public ::testing::Test {
protected:
    ControlTest() : m_temp("Temp", m_tempFolder.path()), m_cameras("QX_VIRTUAL_CAMERAS", QString()) {}
    ~ControlTest() override { destroyControl(); }

    // Creates the control with the given outside-library variants in its folder.
    // `folder` defaults to the fixture's control folder.
    control::CMorvelQxWebCtrl& createControl(const QStringList& libraries = {}, QString folder = {}) {
        destroyControl();
        if (folder.isEmpty())
            folder = m_controlFolder.path();
        EXPECT_TRUE(installTestLibraries(folder, libraries));
        m_container = std::make_unique<QWidget>();
        m_container->resize(320, 240);
        m_control = new control::CMorvelQxWebCtrl(m_container.get(), &m_ui, folder);
        m_control->resize(320, 240);
        return *m_control;
    }
    void destroyControl() {
        m_container.reset();
        m_control = nullptr;
    }
    // A control with the normal preview of the first camera at its first size, saving into `folder`.
    control::CMorvelQxWebCtrl& createWithNormalPreview(const QString& folder) {
        auto& c = createControl();
        EXPECT_GT(c.RefreshDevList(), 0);
        EXPECT_GT(c.RefreshResolution(0), 0);
        EXPECT_EQ(c.StartPreviewProc(), 0);
        c.setCustomSavePath(folder);
        return c;
    }
    // A control with the edge-finding preview of the real camera library (and the real DPI library
    // when `withResize`), saving into `folder`.
    control::CMorvelQxWebCtrl& createWithEdgePreview(const QString& folder, bool withResize = true) {
        QStringList libs{QStringLiteral("libKelpoCameraLibrary.so")};
        if (withResize)
            libs << QStringLiteral("libKelpoFilterImageResize.so");
        for (const QString& lib : libs)
            EXPECT_TRUE(copyFile(binFolder() + lib, m_controlFolder.file(lib)));
        auto& c = createControl({QStringLiteral("idcard_full")});
        EXPECT_GT(c.RefreshDevList(), 0);
        EXPECT_GT(c.RefreshResolution(0), 0);
        c.KelpoCapturePlay();
        EXPECT_NE(c.state().cameraDevice, nullptr);
        c.setCustomSavePath(folder);
        return c;
    }

    QString logPath() const { return m_tempFolder.file(QStringLiteral("QXCameraCtrlLog.txt")); }
    QStringList log() const { return logTexts(logPath()); }
    // The log lines written after the first `skip` lines.
    QStringList logSince(int skip) const { return log().mid(skip); }

    QVariant get(int dispid) {
        QVariant v;
        EXPECT_EQ(m_control->get(dispid, v), DispatchStatus::Ok) << dispid;
        return v;
    }
    QVariant call(int dispid, const QVariantList& args = {}) {
        QVariant r;
        EXPECT_EQ(m_control->invoke(dispid, args, r), DispatchStatus::Ok) << dispid;
        return r;
    }

    Folder m_tempFolder;
    Folder m_controlFolder;
    ScopedEnv m_temp;
    ScopedEnv m_cameras; // no virtual camera unless a test sets one
    ScriptedUiHost m_ui;
    std::unique_ptr<QWidget> m_container;
    control::CMorvelQxWebCtrl* m_control = nullptr;
};

inline const QStringList kAllLibraries{QStringLiteral("camera_full"), QStringLiteral("tiffconvert_full"),
                                       QStringLiteral("idcard_full"), QStringLiteral("resize_full"),
                                       QStringLiteral("tiffmaker_full")};

} // namespace qx::test
