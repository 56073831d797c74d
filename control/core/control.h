// The camera control: its automation surface (43 properties and 39 methods, and the members added
// after them) and its window.
#pragma once

#include "control/capture/capture.h"
#include "control/capture/frame_events.h"
#include "control/core/call_gate.h"
#include "control/core/control_context.h"
#include "control/core/control_log.h"
#include "control/core/control_properties.h"
#include "control/core/control_state.h"
#include "control/core/outside_libraries.h"
#include "control/features/auto_capture.h"
#include "control/features/ftp.h"
#include "control/features/idcard.h"
#include "control/features/merge.h"
#include "control/features/upload.h"
#include "control/features/video.h"
#include "qx/interface/dispatch.h"
#include "qx/interface/preview_tap.h"
#include "qx/interface/ui_host.h"

#include <QWidget>
#include <memory>

namespace qx::control {

class Cameras;
class CaptureFolders;
class CardReading;
class AutoCapture;
class EdgePreview;
class FrameWatch;
class FtpSending;
class ImageList;
class NormalPreview;
class PreviewSurface;
class PreviewTap;
class Recording;
class Tools;
class Uploads;
class NetworkTransfer;
class Watermark;

// The surface's declarations come from its one list (qx/interface/automation_surface.h); moc sees
// them through these macros. A property's read and write accessors: every write but bIsRecord's
// (DISPID 1) marks the control modified.
#define QX_DECLARE_PROPERTY(dispid, name, Name, ValueType, CppType, ParamType, def)                          \
    Q_PROPERTY(CppType name READ name WRITE set##Name)
#define QX_PROPERTY_ACCESSORS(dispid, name, Name, ValueType, CppType, ParamType, def)                        \
    CppType name() const {                                                                                   \
        return m_p.name;                                                                                     \
    }                                                                                                        \
    void set##Name(ParamType v) {                                                                            \
        m_p.name = v;                                                                                        \
        if constexpr (dispid != 1)                                                                           \
            setModifiedFlag();                                                                               \
    }
#define QX_DECLARE_METHOD0(dispid, name, ValueType, CppType) Q_INVOKABLE CppType name();
#define QX_DECLARE_METHOD1(dispid, name, ValueType, CppType, A1, P1, a1) Q_INVOKABLE CppType name(P1 a1);
#define QX_DECLARE_METHOD2(dispid, name, ValueType, CppType, A1, P1, a1, A2, P2, a2)                         \
    Q_INVOKABLE CppType name(P1 a1, P2 a2);
#define QX_DECLARE_METHOD6(dispid, name, ValueType, CppType, A1, P1, a1, A2, P2, a2, A3, P3, a3, A4, P4, a4, \
                           A5, P5, a5, A6, P6, a6)                                                           \
    Q_INVOKABLE CppType name(P1 a1, P2 a2, P3 a3, P4 a4, P5 a5, P6 a6);

// The control's own meta-object members are exactly its automation surface and its three signals
// (hands-free capture's two and the progress of long work: its events to the container), so a container (or a
// script engine) sees nothing but the surface's properties and methods and those events. Each feature lives
// in a class of its own that owns that feature's state and knows the control only as its ControlContext; the
// control maps properties to the feature's request and its result back.
class CMorvelQxWebCtrl : public QWidget, public QxDispatch, public QxPreviewTap, private ControlContext {
    Q_OBJECT
    Q_INTERFACES(qx::QxDispatch qx::QxPreviewTap)
    QX_AUTOMATION_PROPERTIES(QX_DECLARE_PROPERTY)

signals:
    // Hands-free capture's state changed: 0 off, 1 waiting for a page, 2 steady, 3 capturing.
    void AutoCaptureStateChanged(int state);
    // A hands-free capture ended: Morvel's code and cPicName afterwards ("" when nothing was written).
    void AutoCaptured(int result, const QString& path);
    // Long work went a step further: `task` "merge" (MergeImage's pictures written) or "upload"
    // (UploadLocalImg's files sent), `done` of `total`, 0 at the start.
    void WorkProgress(const QString& task, int done, int total);

public:
    // `uiHost` is borrowed and must outlive the control; null means real Qt dialogs. `controlFolder`
    // (with a trailing '/') replaces the folder of the control file, for hosts that keep the outside
    // libraries elsewhere; empty means the folder of the file this control was loaded from.
    explicit CMorvelQxWebCtrl(QWidget* parent = nullptr, UiHost* uiHost = nullptr,
                              const QString& controlFolder = QString());
    ~CMorvelQxWebCtrl() override;

    QX_AUTOMATION_PROPERTIES(QX_PROPERTY_ACCESSORS)
    QX_AUTOMATION_METHODS(QX_DECLARE_METHOD0, QX_DECLARE_METHOD1, QX_DECLARE_METHOD2, QX_DECLARE_METHOD6)

    // Calls by DISPID.
    DispatchStatus get(int dispid, QVariant& value) override;
    DispatchStatus put(int dispid, const QVariant& value) override;
    DispatchStatus invoke(int dispid, const QVariantList& args, QVariant& result) override;

    // Frames for a container that serves the preview elsewhere.
    void setPreviewSink(Sink sink) override;
    void requestPreviewFrame() override;

    // The control-modified mark that every property change but bIsRecord sets.
    bool isModified() const { return m_modified; }
    void setModifiedFlag() { m_modified = true; }

    // Folder of the control file, with a trailing '/'.
    QString controlFolder() const override { return m_controlFolder; }
    // Where "OCXConfig.ini" lives: the control folder when it is writable, else the data folder.
    QString settingsPath() const;
    // A snapshot of the state the features hold, for diagnostics and tests.
    ControlState state() const;
    CControlLog& log() { return m_log; }
    // The recording feature, whose window tests and hosts look at.
    Recording& recording() { return *m_recording; }
    // The capture feature, which the fault tests watch.
    Capture& capture() { return *m_capture; }

    // ControlContext, public for the control's own helpers and hosts.
    UiHost& uiHost() override { return *m_ui; }
    void errorBox(const QString& text) override;
    void ownMessageBox(const QString& text) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void create(const QString& controlFolder);
    void windowDestroyed();

    void writeLog(const QString& text) override { m_log.Write(text); }
    QWidget* controlWindow() override { return this; }
    ControlSettings& settings() override { return m_settings; }

    // The properties an upload takes, and those its outcome changes.
    UploadSettings uploadSettings() const;
    SealRequest sealRequest() const;
    void apply(const UploadOutcome& outcome);
    void apply(const CardHolder& holder);
    CardUploadRequest cardUploadRequest() const;
    OutsideLibraries& libraries() override { return m_libs; }
    // One hands-free capture through Morvel, as AutoCapture asks for it.
    AutoCaptureShot autoCaptureShot(const QString& format);

    ControlProperties m_p;
    ControlSettings m_settings;
    CControlLog m_log;
    std::unique_ptr<UiHost> m_ownUi;
    UiHost* m_ui = nullptr;
    std::unique_ptr<MetaObjectDispatcher> m_dispatcher;
    QString m_controlFolder;
    OutsideLibraries m_libs;
    bool m_modified = false;
    // Calls that wait with events flowing, one of a kind at a time.
    CallGate m_gate{[this](const QString& line) { writeLog(line); }};

    // The features, in the order they depend on one another.
    std::unique_ptr<PreviewTap> m_tap;
    std::unique_ptr<FrameWatch> m_frameWatch;
    std::unique_ptr<PreviewSurface> m_surface;
    std::unique_ptr<Cameras> m_cameras;
    std::unique_ptr<EdgePreview> m_edge;
    std::unique_ptr<NormalPreview> m_normal;
    std::unique_ptr<CaptureFolders> m_folders;
    std::unique_ptr<Capture> m_capture;
    std::unique_ptr<ImageList> m_images;
    std::unique_ptr<Merge> m_merge;
    std::unique_ptr<Watermark> m_watermark;
    std::unique_ptr<NetworkTransfer> m_transfer;
    std::unique_ptr<Uploads> m_uploads;
    std::unique_ptr<FtpSending> m_ftp;
    std::unique_ptr<NetworkTransfer> m_cardWorker;
    std::unique_ptr<CardReading> m_cards;
    std::unique_ptr<Recording> m_recording;
    std::unique_ptr<Tools> m_tools;
    std::unique_ptr<AutoCapture> m_auto;
};

#undef QX_DECLARE_PROPERTY
#undef QX_PROPERTY_ACCESSORS
#undef QX_DECLARE_METHOD0
#undef QX_DECLARE_METHOD1
#undef QX_DECLARE_METHOD2
#undef QX_DECLARE_METHOD6

} // namespace qx::control
