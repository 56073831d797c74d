// The camera control: automation properties and methods, creation and destruction, window and messages.
#pragma once

#include "control/core/control_log.h"
#include "control/core/control_state.h"
#include "qx/interface/dispatch.h"
#include "qx/interface/ui_host.h"

#include <QEvent>
#include <QImage>
#include <QPolygonF>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

namespace qx::media {
class PreviewPipeline;
struct VideoDevice;
} // namespace qx::media

namespace qx::control {

class PreviewSurface;
class EdgePreviewWindow;

// The private messages of the frame-grabbing path (the Windows WM_APP+1 and WM_APP+2).
inline constexpr QEvent::Type kFrameCopiedEvent = static_cast<QEvent::Type>(QEvent::User + 0x8001 - 0x8000);
inline constexpr QEvent::Type kFrameSavedEvent = static_cast<QEvent::Type>(QEvent::User + 0x8002 - 0x8000);
// A new preview picture is ready to be painted.
inline constexpr QEvent::Type kPreviewFrameEvent = static_cast<QEvent::Type>(QEvent::User + 0x10);

// Set by IsMerge, cleared by StartPreviewProc and by every merge capture; shared by every control of
// the process.
extern bool mergeMode;
// Morvel's own result codes beyond the ones every container knows.
inline constexpr int kMorvelFrameTimeout = -20; // the preview delivered no frame within the wait
inline constexpr int kMorvelBusy = -21;         // called while another capture waits for its frame

// Whether a video recording runs in the process; RefreshDevList copies it into bIsRecord.
extern bool recordingActive;

// The control's own meta-object members are exactly its automation surface: no signals or slots of
// its own, so a container (or a script engine) sees nothing but the 43 properties and 39 methods.
class CMorvelQxWebCtrl : public QWidget, public QxDispatch {
    Q_OBJECT
    Q_INTERFACES(qx::QxDispatch)
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

public:
    // `uiHost` is borrowed and must outlive the control; null means real Qt dialogs. `controlFolder`
    // (with a trailing '/') replaces the folder of the control file, for hosts that keep the outside
    // libraries elsewhere; empty means the folder of the file this control was loaded from.
    explicit CMorvelQxWebCtrl(QWidget* parent = nullptr, UiHost* uiHost = nullptr,
                              const QString& controlFolder = QString());
    ~CMorvelQxWebCtrl() override;

    bool bIsRecord() const { return m_p.bIsRecord; }
    void setBIsRecord(bool v) { m_p.bIsRecord = v; }
    QString cPicName() const { return m_p.cPicName; }
    void setCPicName(const QString& v) {
        m_p.cPicName = v;
        setModifiedFlag();
    }
    QString cFileList() const { return m_p.cFileList; }
    void setCFileList(const QString& v) {
        m_p.cFileList = v;
        setModifiedFlag();
    }
    QString mergegap() const { return m_p.mergegap; }
    void setMergegap(const QString& v) {
        m_p.mergegap = v;
        setModifiedFlag();
    }
    QString PhotoFormat() const { return m_p.PhotoFormat; }
    void setPhotoFormat(const QString& v) {
        m_p.PhotoFormat = v;
        setModifiedFlag();
    }
    bool bUploadDel() const { return m_p.bUploadDel; }
    void setBUploadDel(bool v) {
        m_p.bUploadDel = v;
        setModifiedFlag();
    }
    QString CustomSavePath() const { return m_p.CustomSavePath; }
    void setCustomSavePath(const QString& v) {
        m_p.CustomSavePath = v;
        setModifiedFlag();
    }
    bool WriteLog() const { return m_p.WriteLog; }
    void setWriteLog(bool v) {
        m_p.WriteLog = v;
        setModifiedFlag();
    }
    int asfBitRate() const { return m_p.asfBitRate; }
    void setAsfBitRate(int v) {
        m_p.asfBitRate = v;
        setModifiedFlag();
    }
    QString strProxyServer() const { return m_p.strProxyServer; }
    void setStrProxyServer(const QString& v) {
        m_p.strProxyServer = v;
        setModifiedFlag();
    }
    QString HttpResponse() const { return m_p.HttpResponse; }
    void setHttpResponse(const QString& v) {
        m_p.HttpResponse = v;
        setModifiedFlag();
    }
    QString ProxyUser() const { return m_p.ProxyUser; }
    void setProxyUser(const QString& v) {
        m_p.ProxyUser = v;
        setModifiedFlag();
    }
    QString ProxyPassword() const { return m_p.ProxyPassword; }
    void setProxyPassword(const QString& v) {
        m_p.ProxyPassword = v;
        setModifiedFlag();
    }
    QString Img2Base64() const { return m_p.Img2Base64; }
    void setImg2Base64(const QString& v) {
        m_p.Img2Base64 = v;
        setModifiedFlag();
    }
    bool markdown() const { return m_p.markdown; }
    void setMarkdown(bool v) {
        m_p.markdown = v;
        setModifiedFlag();
    }
    QString CustomImgName() const { return m_p.CustomImgName; }
    void setCustomImgName(const QString& v) {
        m_p.CustomImgName = v;
        setModifiedFlag();
    }
    bool bDeleteIDBmp() const { return m_p.bDeleteIDBmp; }
    void setBDeleteIDBmp(bool v) {
        m_p.bDeleteIDBmp = v;
        setModifiedFlag();
    }
    QString sIDInfoChar() const { return m_p.sIDInfoChar; }
    void setSIDInfoChar(const QString& v) {
        m_p.sIDInfoChar = v;
        setModifiedFlag();
    }
    QString idName() const { return m_p.idName; }
    void setIdName(const QString& v) {
        m_p.idName = v;
        setModifiedFlag();
    }
    QString idSex() const { return m_p.idSex; }
    void setIdSex(const QString& v) {
        m_p.idSex = v;
        setModifiedFlag();
    }
    QString idNation() const { return m_p.idNation; }
    void setIdNation(const QString& v) {
        m_p.idNation = v;
        setModifiedFlag();
    }
    QString idBirth() const { return m_p.idBirth; }
    void setIdBirth(const QString& v) {
        m_p.idBirth = v;
        setModifiedFlag();
    }
    QString idAddress() const { return m_p.idAddress; }
    void setIdAddress(const QString& v) {
        m_p.idAddress = v;
        setModifiedFlag();
    }
    QString idNum() const { return m_p.idNum; }
    void setIdNum(const QString& v) {
        m_p.idNum = v;
        setModifiedFlag();
    }
    QString idIssue() const { return m_p.idIssue; }
    void setIdIssue(const QString& v) {
        m_p.idIssue = v;
        setModifiedFlag();
    }
    QString idValidity() const { return m_p.idValidity; }
    void setIdValidity(const QString& v) {
        m_p.idValidity = v;
        setModifiedFlag();
    }
    QString idBirthYear() const { return m_p.idBirthYear; }
    void setIdBirthYear(const QString& v) {
        m_p.idBirthYear = v;
        setModifiedFlag();
    }
    QString idBirthMonth() const { return m_p.idBirthMonth; }
    void setIdBirthMonth(const QString& v) {
        m_p.idBirthMonth = v;
        setModifiedFlag();
    }
    QString idBirthDay() const { return m_p.idBirthDay; }
    void setIdBirthDay(const QString& v) {
        m_p.idBirthDay = v;
        setModifiedFlag();
    }
    QString strIDHeadData() const { return m_p.strIDHeadData; }
    void setStrIDHeadData(const QString& v) {
        m_p.strIDHeadData = v;
        setModifiedFlag();
    }
    QString IDCardImgName() const { return m_p.IDCardImgName; }
    void setIDCardImgName(const QString& v) {
        m_p.IDCardImgName = v;
        setModifiedFlag();
    }
    QString IDHeadImgName() const { return m_p.IDHeadImgName; }
    void setIDHeadImgName(const QString& v) {
        m_p.IDHeadImgName = v;
        setModifiedFlag();
    }
    QString strCardImgSavePath() const { return m_p.strCardImgSavePath; }
    void setStrCardImgSavePath(const QString& v) {
        m_p.strCardImgSavePath = v;
        setModifiedFlag();
    }
    QString ImgName() const { return m_p.ImgName; }
    void setImgName(const QString& v) {
        m_p.ImgName = v;
        setModifiedFlag();
    }
    bool bShowMsgBox() const { return m_p.bShowMsgBox; }
    void setBShowMsgBox(bool v) {
        m_p.bShowMsgBox = v;
        setModifiedFlag();
    }
    short pDPI() const { return m_p.pDPI; }
    void setPDPI(short v) {
        m_p.pDPI = v;
        setModifiedFlag();
    }
    short nRotateAngle() const { return m_p.nRotateAngle; }
    void setNRotateAngle(short v) {
        m_p.nRotateAngle = v;
        setModifiedFlag();
    }
    short nColorSpace() const { return m_p.nColorSpace; }
    void setNColorSpace(short v) {
        m_p.nColorSpace = v;
        setModifiedFlag();
    }
    short WndLeft() const { return m_p.WndLeft; }
    void setWndLeft(short v) {
        m_p.WndLeft = v;
        setModifiedFlag();
    }
    short WndTop() const { return m_p.WndTop; }
    void setWndTop(short v) {
        m_p.WndTop = v;
        setModifiedFlag();
    }
    short WndRight() const { return m_p.WndRight; }
    void setWndRight(short v) {
        m_p.WndRight = v;
        setModifiedFlag();
    }
    short WndBottom() const { return m_p.WndBottom; }
    void setWndBottom(short v) {
        m_p.WndBottom = v;
        setModifiedFlag();
    }
    bool bGB2312Encode() const { return m_p.bGB2312Encode; }
    void setBGB2312Encode(bool v) {
        m_p.bGB2312Encode = v;
        setModifiedFlag();
    }

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

    // The control-modified mark that every property change but bIsRecord sets.
    bool isModified() const { return m_modified; }
    void setModifiedFlag() { m_modified = true; }

    // Folder of the control file, with a trailing '/'.
    QString controlFolder() const { return m_controlFolder; }
    // Where "OCXConfig.ini" lives: the control folder when it is writable, else the data folder.
    QString settingsPath() const;
    const ControlState& state() const { return m_s; }
    CControlLog& log() { return m_log; }
    UiHost& uiHost() { return *m_ui; }

    // The task-modal error box captioned "Error!", shown whatever bShowMsgBox says.
    void errorBox(const QString& text);
    // The control's own message box: owner the control window, default caption, OK.
    void ownMessageBox(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void create(const QString& controlFolder);
    void readSettings();
    void windowDestroyed();
    void writeLog(const QString& text) { m_log.Write(text); }

    // Cameras: the machine's video inputs in enumeration order, or nothing when the enumeration
    // cannot be made.
    std::optional<std::vector<media::VideoDevice>> videoDevices();
    bool cameraPresent();
    // The counted camera `n` (the role rule's counting), with the log lines of a failed binding.
    // `bindFailed` tells a failed binding operation from a count with no camera behind it.
    std::optional<media::VideoDevice> bindCamera(int n, bool* bindFailed = nullptr);
    bool buildPreview();
    void releaseEdgeDevice(const QString& logLine);
    bool mainCameraSelected() const;
    friend class EdgePreviewWindow;
    // The capture folder rule shared by capture and the image list: CustomSavePath when set (it must
    // end with '/' and be an existing folder), else the temporary folder; nothing when unusable.
    std::optional<QString> captureFolder() const;
    // The dated merge folder below the capture folder, made when missing; the capture folder itself
    // when it cannot be made.
    QString mergeFolderFor(const QString& captureFolder);
    int normalCapture(bool merge);
    int edgeCapture(bool merge);
    void applyColourMode(const QString& bmp);
    void applyRotation(const QString& bmp);
    // Converts the captured BMP to lastFormat and leaves the result in cPicName; 0, or -18/-19 from
    // the PDF step.
    int convertCapture(const QString& bmp, bool edgeVariant, double dpi);
    int makePdf(const QString& jpeg, const QString& pdfPath);
    void writeCaptureJpeg(const QString& bmp, const QString& jpg, bool edgeVariant, double dpi);
    bool applyCustomName();
    // One multipart upload of `file` (the routine shared by the three HTTP methods).
    bool uploadFile(const QString& url, const QString& file, const QString& formFileName,
                    const QString& contentType, const QString& missingFileLog);

    ControlProperties m_p;
    ControlState m_s;
    CControlLog m_log;
    std::unique_ptr<UiHost> m_ownUi;
    UiHost* m_ui = nullptr;
    std::unique_ptr<MetaObjectDispatcher> m_dispatcher;
    QString m_controlFolder;
    std::unique_ptr<media::PreviewPipeline> m_pipeline;
    std::unique_ptr<PreviewSurface> m_surface;
    QImage m_previewImage;
    QPolygonF m_previewOutline;
    std::unique_ptr<EdgePreviewWindow> m_edgeWindow;
    QString m_boundCameraName;
    bool m_morvelWaiting = false;
    QWidget* m_videoDialog = nullptr;
    bool m_modified = false;
};

} // namespace qx::control
