// CMorvelQxWeb: the desktop program's wrapper of the camera control, one typed call per member, by DISPID.
#pragma once

#include "qx/interface/dispatch.h"

#include <QString>
#include <QVariant>

namespace qx::desktop {

// Every call goes through the control's dispatch interface by DISPID, as a container reaches an
// automation control; nothing of the control's own code is linked. A call the control does not
// answer (no control, or a member it lacks) gives the type's zero value and is remembered in
// lastStatus(), so a missing member never ends the program.
class CMorvelQxWeb : public QxDispatch {
public:
    CMorvelQxWeb() = default;
    // `dispatch` is borrowed and must outlive the calls; null until the control exists.
    explicit CMorvelQxWeb(QxDispatch* dispatch) : m_dispatch(dispatch) {}

    void attach(QxDispatch* dispatch) { m_dispatch = dispatch; }
    QxDispatch* dispatch() const { return m_dispatch; }
    DispatchStatus lastStatus() const { return m_lastStatus; }

    // The untyped calls, for the script hook; they forward to the control.
    DispatchStatus get(int dispid, QVariant& value) override;
    DispatchStatus put(int dispid, const QVariant& value) override;
    DispatchStatus invoke(int dispid, const QVariantList& args, QVariant& result) override;

    // Properties.
    bool GetBIsRecord();
    void SetBIsRecord(bool value);
    QString GetCPicName();
    void SetCPicName(const QString& value);
    QString GetCFileList();
    void SetCFileList(const QString& value);
    QString GetMergegap();
    void SetMergegap(const QString& value);
    QString GetPhotoFormat();
    void SetPhotoFormat(const QString& value);
    bool GetBUploadDel();
    void SetBUploadDel(bool value);
    QString GetCustomSavePath();
    void SetCustomSavePath(const QString& value);
    bool GetWriteLog();
    void SetWriteLog(bool value);
    int GetAsfBitRate();
    void SetAsfBitRate(int value);
    QString GetStrProxyServer();
    void SetStrProxyServer(const QString& value);
    QString GetHttpResponse();
    void SetHttpResponse(const QString& value);
    QString GetProxyUser();
    void SetProxyUser(const QString& value);
    QString GetProxyPassword();
    void SetProxyPassword(const QString& value);
    QString GetImg2Base64();
    void SetImg2Base64(const QString& value);
    bool GetMarkdown();
    void SetMarkdown(bool value);
    QString GetCustomImgName();
    void SetCustomImgName(const QString& value);
    bool GetBDeleteIDBmp();
    void SetBDeleteIDBmp(bool value);
    QString GetSIDInfoChar();
    void SetSIDInfoChar(const QString& value);
    QString GetIdName();
    void SetIdName(const QString& value);
    QString GetIdSex();
    void SetIdSex(const QString& value);
    QString GetIdNation();
    void SetIdNation(const QString& value);
    QString GetIdBirth();
    void SetIdBirth(const QString& value);
    QString GetIdAddress();
    void SetIdAddress(const QString& value);
    QString GetIdNum();
    void SetIdNum(const QString& value);
    QString GetIdIssue();
    void SetIdIssue(const QString& value);
    QString GetIdValidity();
    void SetIdValidity(const QString& value);
    QString GetIdBirthYear();
    void SetIdBirthYear(const QString& value);
    QString GetIdBirthMonth();
    void SetIdBirthMonth(const QString& value);
    QString GetIdBirthDay();
    void SetIdBirthDay(const QString& value);
    QString GetStrIDHeadData();
    void SetStrIDHeadData(const QString& value);
    QString GetIDCardImgName();
    void SetIDCardImgName(const QString& value);
    QString GetIDHeadImgName();
    void SetIDHeadImgName(const QString& value);
    QString GetStrCardImgSavePath();
    void SetStrCardImgSavePath(const QString& value);
    QString GetImgName();
    void SetImgName(const QString& value);
    bool GetBShowMsgBox();
    void SetBShowMsgBox(bool value);
    short GetPDPI();
    void SetPDPI(short value);
    short GetNRotateAngle();
    void SetNRotateAngle(short value);
    short GetNColorSpace();
    void SetNColorSpace(short value);
    short GetWndLeft();
    void SetWndLeft(short value);
    short GetWndTop();
    void SetWndTop(short value);
    short GetWndRight();
    void SetWndRight(short value);
    short GetWndBottom();
    void SetWndBottom(short value);
    bool GetBGB2312Encode();
    void SetBGB2312Encode(bool value);
    // Added after the original surface.
    QString GetStrTlsCaFile();
    void SetStrTlsCaFile(const QString& value);
    bool GetBTlsVerify();
    void SetBTlsVerify(bool value);

    // Methods.
    void setRotate(int angle);
    int MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                  const QString& UsrPasswd, const QString& FtpPath, const QString& FtpFileName);
    void ResetFileList();
    int Morvel(const QString& PhotoFormat);
    int SendSeal(const QString& strURL);
    int StartPreviewProc();
    int StopPreview();
    int RefreshDevList();
    QString GetDevNameByIdx(short idx);
    short SetDevNameSel(short cursel);
    void KelpoCapturePlay();
    int MergeImage();
    bool IsMerge();
    short SetResolution(short resolutionSel);
    QString GetResolutionByIdx(short idx);
    int RefreshResolution(short DevNameSel);
    void ConfigCameraFilter();
    int AddWaterMark();
    int RefreshImgList(const QString& PhotoFormat);
    QString GetImgNameByIdx(short idx);
    short DeleteImg(short cursel);
    void TransImg();
    void ScreenCut();
    void SetOutPutDPI(short x, short y);
    void SetCropMargin(short range);
    void ManualToAuto();
    int VideoRecord(const QString& VideoPath);
    void DisableCrop();
    bool GetBase64String(const QString& Img);
    short DeleteImgByName(const QString& Img);
    bool IDCardRead(const QString& m_strBmpPath);
    bool HttpSendIDCard(const QString& strURL);
    bool HttpSendIDCHeadImg(const QString& strURL);
    short UploadLocalImg(const QString& strURL);
    bool SelectLocalImgs();
    QString GetLocalImgName(short index);
    short RemoveLocalImg(short index);
    short RefreshLocalImg();
    void TifTool();

private:
    template <typename T> T getAs(int dispid);
    void putValue(int dispid, const QVariant& value);
    template <typename T> T invokeAs(int dispid, const QVariantList& args);
    void note(DispatchStatus status, int dispid);

    QxDispatch* m_dispatch = nullptr;
    DispatchStatus m_lastStatus = DispatchStatus::Ok;
};

} // namespace qx::desktop
