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
class EdgePreview;
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

// A property's read and write accessors: every write but bIsRecord's marks the control modified.
#define QX_CONTROL_PROPERTY(Type, ParamType, name, setter)                                                   \
    Type name() const {                                                                                      \
        return m_p.name;                                                                                     \
    }                                                                                                        \
    void setter(ParamType v) {                                                                               \
        m_p.name = v;                                                                                        \
        setModifiedFlag();                                                                                   \
    }

// The control's own meta-object members are exactly its automation surface: no signals or slots of
// its own, so a container (or a script engine) sees nothing but the automation surface.
// Each feature lives in a class of its own that owns that feature's state and knows the control only
// as its ControlContext; the control forwards every method to it.
class CMorvelQxWebCtrl : public QWidget, public QxDispatch, public QxPreviewTap, private ControlContext {
    Q_OBJECT
    Q_INTERFACES(qx::QxDispatch qx::QxPreviewTap)
    Q_PROPERTY(bool bIsRecord READ bIsRecord WRITE setBIsRecord)
    Q_PROPERTY(QString cPicName READ cPicName WRITE setCPicName)
    Q_PROPERTY(QString cFileList READ cFileList WRITE setCFileList)
    Q_PROPERTY(QString mergegap READ mergegap WRITE setMergegap)
    Q_PROPERTY(QString PhotoFormat READ PhotoFormat WRITE setPhotoFormat)
    Q_PROPERTY(bool bUploadDel READ bUploadDel WRITE setBUploadDel)
    Q_PROPERTY(QString CustomSavePath READ CustomSavePath WRITE setCustomSavePath)
    Q_PROPERTY(bool WriteLog READ WriteLog WRITE setWriteLog)
    Q_PROPERTY(int asfBitRate READ asfBitRate WRITE setAsfBitRate)
    Q_PROPERTY(QString strProxyServer READ strProxyServer WRITE setStrProxyServer)
    Q_PROPERTY(QString HttpResponse READ HttpResponse WRITE setHttpResponse)
    Q_PROPERTY(QString ProxyUser READ ProxyUser WRITE setProxyUser)
    Q_PROPERTY(QString ProxyPassword READ ProxyPassword WRITE setProxyPassword)
    Q_PROPERTY(QString Img2Base64 READ Img2Base64 WRITE setImg2Base64)
    Q_PROPERTY(bool markdown READ markdown WRITE setMarkdown)
    Q_PROPERTY(QString CustomImgName READ CustomImgName WRITE setCustomImgName)
    Q_PROPERTY(bool bDeleteIDBmp READ bDeleteIDBmp WRITE setBDeleteIDBmp)
    Q_PROPERTY(QString sIDInfoChar READ sIDInfoChar WRITE setSIDInfoChar)
    Q_PROPERTY(QString idName READ idName WRITE setIdName)
    Q_PROPERTY(QString idSex READ idSex WRITE setIdSex)
    Q_PROPERTY(QString idNation READ idNation WRITE setIdNation)
    Q_PROPERTY(QString idBirth READ idBirth WRITE setIdBirth)
    Q_PROPERTY(QString idAddress READ idAddress WRITE setIdAddress)
    Q_PROPERTY(QString idNum READ idNum WRITE setIdNum)
    Q_PROPERTY(QString idIssue READ idIssue WRITE setIdIssue)
    Q_PROPERTY(QString idValidity READ idValidity WRITE setIdValidity)
    Q_PROPERTY(QString idBirthYear READ idBirthYear WRITE setIdBirthYear)
    Q_PROPERTY(QString idBirthMonth READ idBirthMonth WRITE setIdBirthMonth)
    Q_PROPERTY(QString idBirthDay READ idBirthDay WRITE setIdBirthDay)
    Q_PROPERTY(QString strIDHeadData READ strIDHeadData WRITE setStrIDHeadData)
    Q_PROPERTY(QString IDCardImgName READ IDCardImgName WRITE setIDCardImgName)
    Q_PROPERTY(QString IDHeadImgName READ IDHeadImgName WRITE setIDHeadImgName)
    Q_PROPERTY(QString strCardImgSavePath READ strCardImgSavePath WRITE setStrCardImgSavePath)
    Q_PROPERTY(QString ImgName READ ImgName WRITE setImgName)
    Q_PROPERTY(bool bShowMsgBox READ bShowMsgBox WRITE setBShowMsgBox)
    Q_PROPERTY(short pDPI READ pDPI WRITE setPDPI)
    Q_PROPERTY(short nRotateAngle READ nRotateAngle WRITE setNRotateAngle)
    Q_PROPERTY(short nColorSpace READ nColorSpace WRITE setNColorSpace)
    Q_PROPERTY(short WndLeft READ WndLeft WRITE setWndLeft)
    Q_PROPERTY(short WndTop READ WndTop WRITE setWndTop)
    Q_PROPERTY(short WndRight READ WndRight WRITE setWndRight)
    Q_PROPERTY(short WndBottom READ WndBottom WRITE setWndBottom)
    Q_PROPERTY(bool bGB2312Encode READ bGB2312Encode WRITE setBGB2312Encode)
    Q_PROPERTY(QString strTlsCaFile READ strTlsCaFile WRITE setStrTlsCaFile)
    Q_PROPERTY(bool bTlsVerify READ bTlsVerify WRITE setBTlsVerify)

public:
    // `uiHost` is borrowed and must outlive the control; null means real Qt dialogs. `controlFolder`
    // (with a trailing '/') replaces the folder of the control file, for hosts that keep the outside
    // libraries elsewhere; empty means the folder of the file this control was loaded from.
    explicit CMorvelQxWebCtrl(QWidget* parent = nullptr, UiHost* uiHost = nullptr,
                              const QString& controlFolder = QString());
    ~CMorvelQxWebCtrl() override;

    bool bIsRecord() const { return m_p.bIsRecord; }
    void setBIsRecord(bool v) { m_p.bIsRecord = v; }
    QX_CONTROL_PROPERTY(QString, const QString&, cPicName, setCPicName)
    QX_CONTROL_PROPERTY(QString, const QString&, cFileList, setCFileList)
    QX_CONTROL_PROPERTY(QString, const QString&, mergegap, setMergegap)
    QX_CONTROL_PROPERTY(QString, const QString&, PhotoFormat, setPhotoFormat)
    QX_CONTROL_PROPERTY(bool, bool, bUploadDel, setBUploadDel)
    QX_CONTROL_PROPERTY(QString, const QString&, CustomSavePath, setCustomSavePath)
    QX_CONTROL_PROPERTY(bool, bool, WriteLog, setWriteLog)
    QX_CONTROL_PROPERTY(int, int, asfBitRate, setAsfBitRate)
    QX_CONTROL_PROPERTY(QString, const QString&, strProxyServer, setStrProxyServer)
    QX_CONTROL_PROPERTY(QString, const QString&, HttpResponse, setHttpResponse)
    QX_CONTROL_PROPERTY(QString, const QString&, ProxyUser, setProxyUser)
    QX_CONTROL_PROPERTY(QString, const QString&, ProxyPassword, setProxyPassword)
    QX_CONTROL_PROPERTY(QString, const QString&, Img2Base64, setImg2Base64)
    QX_CONTROL_PROPERTY(bool, bool, markdown, setMarkdown)
    QX_CONTROL_PROPERTY(QString, const QString&, CustomImgName, setCustomImgName)
    QX_CONTROL_PROPERTY(bool, bool, bDeleteIDBmp, setBDeleteIDBmp)
    QX_CONTROL_PROPERTY(QString, const QString&, sIDInfoChar, setSIDInfoChar)
    QX_CONTROL_PROPERTY(QString, const QString&, idName, setIdName)
    QX_CONTROL_PROPERTY(QString, const QString&, idSex, setIdSex)
    QX_CONTROL_PROPERTY(QString, const QString&, idNation, setIdNation)
    QX_CONTROL_PROPERTY(QString, const QString&, idBirth, setIdBirth)
    QX_CONTROL_PROPERTY(QString, const QString&, idAddress, setIdAddress)
    QX_CONTROL_PROPERTY(QString, const QString&, idNum, setIdNum)
    QX_CONTROL_PROPERTY(QString, const QString&, idIssue, setIdIssue)
    QX_CONTROL_PROPERTY(QString, const QString&, idValidity, setIdValidity)
    QX_CONTROL_PROPERTY(QString, const QString&, idBirthYear, setIdBirthYear)
    QX_CONTROL_PROPERTY(QString, const QString&, idBirthMonth, setIdBirthMonth)
    QX_CONTROL_PROPERTY(QString, const QString&, idBirthDay, setIdBirthDay)
    QX_CONTROL_PROPERTY(QString, const QString&, strIDHeadData, setStrIDHeadData)
    QX_CONTROL_PROPERTY(QString, const QString&, IDCardImgName, setIDCardImgName)
    QX_CONTROL_PROPERTY(QString, const QString&, IDHeadImgName, setIDHeadImgName)
    QX_CONTROL_PROPERTY(QString, const QString&, strCardImgSavePath, setStrCardImgSavePath)
    QX_CONTROL_PROPERTY(QString, const QString&, ImgName, setImgName)
    QX_CONTROL_PROPERTY(bool, bool, bShowMsgBox, setBShowMsgBox)
    QX_CONTROL_PROPERTY(short, short, pDPI, setPDPI)
    QX_CONTROL_PROPERTY(short, short, nRotateAngle, setNRotateAngle)
    QX_CONTROL_PROPERTY(short, short, nColorSpace, setNColorSpace)
    QX_CONTROL_PROPERTY(short, short, WndLeft, setWndLeft)
    QX_CONTROL_PROPERTY(short, short, WndTop, setWndTop)
    QX_CONTROL_PROPERTY(short, short, WndRight, setWndRight)
    QX_CONTROL_PROPERTY(short, short, WndBottom, setWndBottom)
    QX_CONTROL_PROPERTY(bool, bool, bGB2312Encode, setBGB2312Encode)
    QX_CONTROL_PROPERTY(QString, const QString&, strTlsCaFile, setStrTlsCaFile)
    QX_CONTROL_PROPERTY(bool, bool, bTlsVerify, setBTlsVerify)

    Q_INVOKABLE void setRotate(int angle);
    Q_INVOKABLE int MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                              const QString& UsrPasswd, const QString& FtpPath, const QString& FtpFileName);
    Q_INVOKABLE void ResetFileList();
    Q_INVOKABLE int Morvel(const QString& PhotoFormat);
    Q_INVOKABLE int SendSeal(const QString& strURL);
    Q_INVOKABLE int StartPreviewProc();
    Q_INVOKABLE int StopPreview();
    Q_INVOKABLE int RefreshDevList();
    Q_INVOKABLE QString GetDevNameByIdx(short idx);
    Q_INVOKABLE short SetDevNameSel(short cursel);
    Q_INVOKABLE void KelpoCapturePlay();
    Q_INVOKABLE int MergeImage();
    Q_INVOKABLE bool IsMerge();
    Q_INVOKABLE short SetResolution(short resolutionSel);
    Q_INVOKABLE QString GetResolutionByIdx(short idx);
    Q_INVOKABLE int RefreshResolution(short DevNameSel);
    Q_INVOKABLE void ConfigCameraFilter();
    Q_INVOKABLE int AddWaterMark();
    Q_INVOKABLE int RefreshImgList(const QString& PhotoFormat);
    Q_INVOKABLE QString GetImgNameByIdx(short idx);
    Q_INVOKABLE short DeleteImg(short cursel);
    Q_INVOKABLE void TransImg();
    Q_INVOKABLE void ScreenCut();
    Q_INVOKABLE void SetOutPutDPI(short x, short y);
    Q_INVOKABLE void SetCropMargin(short range);
    Q_INVOKABLE void ManualToAuto();
    Q_INVOKABLE int VideoRecord(const QString& VideoPath);
    Q_INVOKABLE void DisableCrop();
    Q_INVOKABLE bool GetBase64String(const QString& Img);
    Q_INVOKABLE short DeleteImgByName(const QString& Img);
    Q_INVOKABLE bool IDCardRead(const QString& m_strBmpPath);
    Q_INVOKABLE bool HttpSendIDCard(const QString& strURL);
    Q_INVOKABLE bool HttpSendIDCHeadImg(const QString& strURL);
    Q_INVOKABLE short UploadLocalImg(const QString& strURL);
    Q_INVOKABLE bool SelectLocalImgs();
    Q_INVOKABLE QString GetLocalImgName(short index);
    Q_INVOKABLE short RemoveLocalImg(short index);
    Q_INVOKABLE short RefreshLocalImg();
    Q_INVOKABLE void TifTool();

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
};

#undef QX_CONTROL_PROPERTY

} // namespace qx::control
