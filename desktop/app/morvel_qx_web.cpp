// The wrapper's calls: conversions between automation values and C++ types around the DISPID calls.
#include "qx/desktop/morvel_qx_web.h"

#include "qx/interface/members.h"

#include <QDebug>
#include <string_view>

namespace qx::desktop {

namespace {

constexpr bool named(int dispid, std::string_view name) {
    // By index rather than through memberByDispid: a sanitizer build does not fold pointer tests.
    const int i = dispid - automation::kFirstDispid;
    return i >= 0 && i < automation::kMemberCount &&
           name == automation::kMembers[static_cast<std::size_t>(i)].name;
}

// The DISPIDs below are the control's; a table that moved a member would fail here, not at run time.
static_assert(named(1, "bIsRecord"));
static_assert(named(2, "cPicName"));
static_assert(named(3, "cFileList"));
static_assert(named(4, "mergegap"));
static_assert(named(5, "PhotoFormat"));
static_assert(named(6, "bUploadDel"));
static_assert(named(7, "CustomSavePath"));
static_assert(named(8, "WriteLog"));
static_assert(named(9, "asfBitRate"));
static_assert(named(10, "strProxyServer"));
static_assert(named(11, "HttpResponse"));
static_assert(named(12, "ProxyUser"));
static_assert(named(13, "ProxyPassword"));
static_assert(named(14, "Img2Base64"));
static_assert(named(15, "markdown"));
static_assert(named(16, "CustomImgName"));
static_assert(named(17, "bDeleteIDBmp"));
static_assert(named(18, "sIDInfoChar"));
static_assert(named(19, "idName"));
static_assert(named(20, "idSex"));
static_assert(named(21, "idNation"));
static_assert(named(22, "idBirth"));
static_assert(named(23, "idAddress"));
static_assert(named(24, "idNum"));
static_assert(named(25, "idIssue"));
static_assert(named(26, "idValidity"));
static_assert(named(27, "idBirthYear"));
static_assert(named(28, "idBirthMonth"));
static_assert(named(29, "idBirthDay"));
static_assert(named(30, "strIDHeadData"));
static_assert(named(31, "IDCardImgName"));
static_assert(named(32, "IDHeadImgName"));
static_assert(named(33, "strCardImgSavePath"));
static_assert(named(34, "ImgName"));
static_assert(named(35, "bShowMsgBox"));
static_assert(named(36, "pDPI"));
static_assert(named(37, "nRotateAngle"));
static_assert(named(38, "nColorSpace"));
static_assert(named(39, "WndLeft"));
static_assert(named(40, "WndTop"));
static_assert(named(41, "WndRight"));
static_assert(named(42, "WndBottom"));
static_assert(named(43, "bGB2312Encode"));
static_assert(named(44, "setRotate"));
static_assert(named(45, "MorvelNet"));
static_assert(named(46, "ResetFileList"));
static_assert(named(47, "Morvel"));
static_assert(named(48, "SendSeal"));
static_assert(named(49, "StartPreviewProc"));
static_assert(named(50, "StopPreview"));
static_assert(named(51, "RefreshDevList"));
static_assert(named(52, "GetDevNameByIdx"));
static_assert(named(53, "SetDevNameSel"));
static_assert(named(54, "KelpoCapturePlay"));
static_assert(named(55, "MergeImage"));
static_assert(named(56, "IsMerge"));
static_assert(named(57, "SetResolution"));
static_assert(named(58, "GetResolutionByIdx"));
static_assert(named(59, "RefreshResolution"));
static_assert(named(60, "ConfigCameraFilter"));
static_assert(named(61, "AddWaterMark"));
static_assert(named(62, "RefreshImgList"));
static_assert(named(63, "GetImgNameByIdx"));
static_assert(named(64, "DeleteImg"));
static_assert(named(65, "TransImg"));
static_assert(named(66, "ScreenCut"));
static_assert(named(67, "SetOutPutDPI"));
static_assert(named(68, "SetCropMargin"));
static_assert(named(69, "ManualToAuto"));
static_assert(named(70, "VideoRecord"));
static_assert(named(71, "DisableCrop"));
static_assert(named(72, "GetBase64String"));
static_assert(named(73, "DeleteImgByName"));
static_assert(named(74, "IDCardRead"));
static_assert(named(75, "HttpSendIDCard"));
static_assert(named(76, "HttpSendIDCHeadImg"));
static_assert(named(77, "UploadLocalImg"));
static_assert(named(78, "SelectLocalImgs"));
static_assert(named(79, "GetLocalImgName"));
static_assert(named(80, "RemoveLocalImg"));
static_assert(named(81, "RefreshLocalImg"));
static_assert(named(82, "TifTool"));
static_assert(named(83, "strTlsCaFile"));
static_assert(named(84, "bTlsVerify"));

} // namespace

void CMorvelQxWeb::note(DispatchStatus status, int dispid) {
    m_lastStatus = status;
    if (status != DispatchStatus::Ok) {
        const automation::Member* m = automation::memberByDispid(dispid);
        qWarning().noquote() << "QX_Camera: the control did not answer" << (m ? m->name : "?") << '('
                             << dispid << "):" << dispatchStatusText(status);
    }
}

DispatchStatus CMorvelQxWeb::get(int dispid, QVariant& value) {
    const DispatchStatus s = m_dispatch ? m_dispatch->get(dispid, value) : DispatchStatus::Unbound;
    m_lastStatus = s;
    return s;
}

DispatchStatus CMorvelQxWeb::put(int dispid, const QVariant& value) {
    const DispatchStatus s = m_dispatch ? m_dispatch->put(dispid, value) : DispatchStatus::Unbound;
    m_lastStatus = s;
    return s;
}

DispatchStatus CMorvelQxWeb::invoke(int dispid, const QVariantList& args, QVariant& result) {
    const DispatchStatus s = m_dispatch ? m_dispatch->invoke(dispid, args, result) : DispatchStatus::Unbound;
    m_lastStatus = s;
    return s;
}

template <typename T> T CMorvelQxWeb::getAs(int dispid) {
    QVariant value;
    const DispatchStatus s = get(dispid, value);
    note(s, dispid);
    return s == DispatchStatus::Ok ? value.value<T>() : T{};
}

void CMorvelQxWeb::putValue(int dispid, const QVariant& value) {
    note(put(dispid, value), dispid);
}

template <typename T> T CMorvelQxWeb::invokeAs(int dispid, const QVariantList& args) {
    QVariant result;
    const DispatchStatus s = invoke(dispid, args, result);
    note(s, dispid);
    if constexpr (std::is_void_v<T>)
        return;
    else
        return s == DispatchStatus::Ok ? result.value<T>() : T{};
}

bool CMorvelQxWeb::GetBIsRecord() {
    return getAs<bool>(1);
}
void CMorvelQxWeb::SetBIsRecord(bool value) {
    putValue(1, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetCPicName() {
    return getAs<QString>(2);
}
void CMorvelQxWeb::SetCPicName(const QString& value) {
    putValue(2, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetCFileList() {
    return getAs<QString>(3);
}
void CMorvelQxWeb::SetCFileList(const QString& value) {
    putValue(3, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetMergegap() {
    return getAs<QString>(4);
}
void CMorvelQxWeb::SetMergegap(const QString& value) {
    putValue(4, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetPhotoFormat() {
    return getAs<QString>(5);
}
void CMorvelQxWeb::SetPhotoFormat(const QString& value) {
    putValue(5, QVariant::fromValue(value));
}
bool CMorvelQxWeb::GetBUploadDel() {
    return getAs<bool>(6);
}
void CMorvelQxWeb::SetBUploadDel(bool value) {
    putValue(6, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetCustomSavePath() {
    return getAs<QString>(7);
}
void CMorvelQxWeb::SetCustomSavePath(const QString& value) {
    putValue(7, QVariant::fromValue(value));
}
bool CMorvelQxWeb::GetWriteLog() {
    return getAs<bool>(8);
}
void CMorvelQxWeb::SetWriteLog(bool value) {
    putValue(8, QVariant::fromValue(value));
}
int CMorvelQxWeb::GetAsfBitRate() {
    return getAs<int>(9);
}
void CMorvelQxWeb::SetAsfBitRate(int value) {
    putValue(9, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetStrProxyServer() {
    return getAs<QString>(10);
}
void CMorvelQxWeb::SetStrProxyServer(const QString& value) {
    putValue(10, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetHttpResponse() {
    return getAs<QString>(11);
}
void CMorvelQxWeb::SetHttpResponse(const QString& value) {
    putValue(11, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetProxyUser() {
    return getAs<QString>(12);
}
void CMorvelQxWeb::SetProxyUser(const QString& value) {
    putValue(12, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetProxyPassword() {
    return getAs<QString>(13);
}
void CMorvelQxWeb::SetProxyPassword(const QString& value) {
    putValue(13, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetImg2Base64() {
    return getAs<QString>(14);
}
void CMorvelQxWeb::SetImg2Base64(const QString& value) {
    putValue(14, QVariant::fromValue(value));
}
bool CMorvelQxWeb::GetMarkdown() {
    return getAs<bool>(15);
}
void CMorvelQxWeb::SetMarkdown(bool value) {
    putValue(15, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetCustomImgName() {
    return getAs<QString>(16);
}
void CMorvelQxWeb::SetCustomImgName(const QString& value) {
    putValue(16, QVariant::fromValue(value));
}
bool CMorvelQxWeb::GetBDeleteIDBmp() {
    return getAs<bool>(17);
}
void CMorvelQxWeb::SetBDeleteIDBmp(bool value) {
    putValue(17, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetSIDInfoChar() {
    return getAs<QString>(18);
}
void CMorvelQxWeb::SetSIDInfoChar(const QString& value) {
    putValue(18, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdName() {
    return getAs<QString>(19);
}
void CMorvelQxWeb::SetIdName(const QString& value) {
    putValue(19, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdSex() {
    return getAs<QString>(20);
}
void CMorvelQxWeb::SetIdSex(const QString& value) {
    putValue(20, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdNation() {
    return getAs<QString>(21);
}
void CMorvelQxWeb::SetIdNation(const QString& value) {
    putValue(21, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdBirth() {
    return getAs<QString>(22);
}
void CMorvelQxWeb::SetIdBirth(const QString& value) {
    putValue(22, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdAddress() {
    return getAs<QString>(23);
}
void CMorvelQxWeb::SetIdAddress(const QString& value) {
    putValue(23, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdNum() {
    return getAs<QString>(24);
}
void CMorvelQxWeb::SetIdNum(const QString& value) {
    putValue(24, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdIssue() {
    return getAs<QString>(25);
}
void CMorvelQxWeb::SetIdIssue(const QString& value) {
    putValue(25, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdValidity() {
    return getAs<QString>(26);
}
void CMorvelQxWeb::SetIdValidity(const QString& value) {
    putValue(26, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdBirthYear() {
    return getAs<QString>(27);
}
void CMorvelQxWeb::SetIdBirthYear(const QString& value) {
    putValue(27, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdBirthMonth() {
    return getAs<QString>(28);
}
void CMorvelQxWeb::SetIdBirthMonth(const QString& value) {
    putValue(28, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIdBirthDay() {
    return getAs<QString>(29);
}
void CMorvelQxWeb::SetIdBirthDay(const QString& value) {
    putValue(29, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetStrIDHeadData() {
    return getAs<QString>(30);
}
void CMorvelQxWeb::SetStrIDHeadData(const QString& value) {
    putValue(30, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIDCardImgName() {
    return getAs<QString>(31);
}
void CMorvelQxWeb::SetIDCardImgName(const QString& value) {
    putValue(31, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetIDHeadImgName() {
    return getAs<QString>(32);
}
void CMorvelQxWeb::SetIDHeadImgName(const QString& value) {
    putValue(32, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetStrCardImgSavePath() {
    return getAs<QString>(33);
}
void CMorvelQxWeb::SetStrCardImgSavePath(const QString& value) {
    putValue(33, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetImgName() {
    return getAs<QString>(34);
}
void CMorvelQxWeb::SetImgName(const QString& value) {
    putValue(34, QVariant::fromValue(value));
}
bool CMorvelQxWeb::GetBShowMsgBox() {
    return getAs<bool>(35);
}
void CMorvelQxWeb::SetBShowMsgBox(bool value) {
    putValue(35, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetPDPI() {
    return getAs<short>(36);
}
void CMorvelQxWeb::SetPDPI(short value) {
    putValue(36, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetNRotateAngle() {
    return getAs<short>(37);
}
void CMorvelQxWeb::SetNRotateAngle(short value) {
    putValue(37, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetNColorSpace() {
    return getAs<short>(38);
}
void CMorvelQxWeb::SetNColorSpace(short value) {
    putValue(38, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetWndLeft() {
    return getAs<short>(39);
}
void CMorvelQxWeb::SetWndLeft(short value) {
    putValue(39, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetWndTop() {
    return getAs<short>(40);
}
void CMorvelQxWeb::SetWndTop(short value) {
    putValue(40, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetWndRight() {
    return getAs<short>(41);
}
void CMorvelQxWeb::SetWndRight(short value) {
    putValue(41, QVariant::fromValue(value));
}
short CMorvelQxWeb::GetWndBottom() {
    return getAs<short>(42);
}
void CMorvelQxWeb::SetWndBottom(short value) {
    putValue(42, QVariant::fromValue(value));
}
bool CMorvelQxWeb::GetBGB2312Encode() {
    return getAs<bool>(43);
}
void CMorvelQxWeb::SetBGB2312Encode(bool value) {
    putValue(43, QVariant::fromValue(value));
}
QString CMorvelQxWeb::GetStrTlsCaFile() {
    return getAs<QString>(83);
}
void CMorvelQxWeb::SetStrTlsCaFile(const QString& value) {
    putValue(83, value);
}
bool CMorvelQxWeb::GetBTlsVerify() {
    return getAs<bool>(84);
}
void CMorvelQxWeb::SetBTlsVerify(bool value) {
    putValue(84, QVariant::fromValue(value));
}
void CMorvelQxWeb::setRotate(int angle) {
    invokeAs<void>(44, {QVariant::fromValue(angle)});
}
int CMorvelQxWeb::MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                            const QString& UsrPasswd, const QString& FtpPath, const QString& FtpFileName) {
    return invokeAs<int>(45, {QVariant::fromValue(ServIp), QVariant::fromValue(ServPort),
                              QVariant::fromValue(UsrName), QVariant::fromValue(UsrPasswd),
                              QVariant::fromValue(FtpPath), QVariant::fromValue(FtpFileName)});
}
void CMorvelQxWeb::ResetFileList() {
    invokeAs<void>(46, {});
}
int CMorvelQxWeb::Morvel(const QString& PhotoFormat) {
    return invokeAs<int>(47, {QVariant::fromValue(PhotoFormat)});
}
int CMorvelQxWeb::SendSeal(const QString& strURL) {
    return invokeAs<int>(48, {QVariant::fromValue(strURL)});
}
int CMorvelQxWeb::StartPreviewProc() {
    return invokeAs<int>(49, {});
}
int CMorvelQxWeb::StopPreview() {
    return invokeAs<int>(50, {});
}
int CMorvelQxWeb::RefreshDevList() {
    return invokeAs<int>(51, {});
}
QString CMorvelQxWeb::GetDevNameByIdx(short idx) {
    return invokeAs<QString>(52, {QVariant::fromValue(idx)});
}
short CMorvelQxWeb::SetDevNameSel(short cursel) {
    return invokeAs<short>(53, {QVariant::fromValue(cursel)});
}
void CMorvelQxWeb::KelpoCapturePlay() {
    invokeAs<void>(54, {});
}
int CMorvelQxWeb::MergeImage() {
    return invokeAs<int>(55, {});
}
bool CMorvelQxWeb::IsMerge() {
    return invokeAs<bool>(56, {});
}
short CMorvelQxWeb::SetResolution(short resolutionSel) {
    return invokeAs<short>(57, {QVariant::fromValue(resolutionSel)});
}
QString CMorvelQxWeb::GetResolutionByIdx(short idx) {
    return invokeAs<QString>(58, {QVariant::fromValue(idx)});
}
int CMorvelQxWeb::RefreshResolution(short DevNameSel) {
    return invokeAs<int>(59, {QVariant::fromValue(DevNameSel)});
}
void CMorvelQxWeb::ConfigCameraFilter() {
    invokeAs<void>(60, {});
}
int CMorvelQxWeb::AddWaterMark() {
    return invokeAs<int>(61, {});
}
int CMorvelQxWeb::RefreshImgList(const QString& PhotoFormat) {
    return invokeAs<int>(62, {QVariant::fromValue(PhotoFormat)});
}
QString CMorvelQxWeb::GetImgNameByIdx(short idx) {
    return invokeAs<QString>(63, {QVariant::fromValue(idx)});
}
short CMorvelQxWeb::DeleteImg(short cursel) {
    return invokeAs<short>(64, {QVariant::fromValue(cursel)});
}
void CMorvelQxWeb::TransImg() {
    invokeAs<void>(65, {});
}
void CMorvelQxWeb::ScreenCut() {
    invokeAs<void>(66, {});
}
void CMorvelQxWeb::SetOutPutDPI(short x, short y) {
    invokeAs<void>(67, {QVariant::fromValue(x), QVariant::fromValue(y)});
}
void CMorvelQxWeb::SetCropMargin(short range) {
    invokeAs<void>(68, {QVariant::fromValue(range)});
}
void CMorvelQxWeb::ManualToAuto() {
    invokeAs<void>(69, {});
}
int CMorvelQxWeb::VideoRecord(const QString& VideoPath) {
    return invokeAs<int>(70, {QVariant::fromValue(VideoPath)});
}
void CMorvelQxWeb::DisableCrop() {
    invokeAs<void>(71, {});
}
bool CMorvelQxWeb::GetBase64String(const QString& Img) {
    return invokeAs<bool>(72, {QVariant::fromValue(Img)});
}
short CMorvelQxWeb::DeleteImgByName(const QString& Img) {
    return invokeAs<short>(73, {QVariant::fromValue(Img)});
}
bool CMorvelQxWeb::IDCardRead(const QString& m_strBmpPath) {
    return invokeAs<bool>(74, {QVariant::fromValue(m_strBmpPath)});
}
bool CMorvelQxWeb::HttpSendIDCard(const QString& strURL) {
    return invokeAs<bool>(75, {QVariant::fromValue(strURL)});
}
bool CMorvelQxWeb::HttpSendIDCHeadImg(const QString& strURL) {
    return invokeAs<bool>(76, {QVariant::fromValue(strURL)});
}
short CMorvelQxWeb::UploadLocalImg(const QString& strURL) {
    return invokeAs<short>(77, {QVariant::fromValue(strURL)});
}
bool CMorvelQxWeb::SelectLocalImgs() {
    return invokeAs<bool>(78, {});
}
QString CMorvelQxWeb::GetLocalImgName(short index) {
    return invokeAs<QString>(79, {QVariant::fromValue(index)});
}
short CMorvelQxWeb::RemoveLocalImg(short index) {
    return invokeAs<short>(80, {QVariant::fromValue(index)});
}
short CMorvelQxWeb::RefreshLocalImg() {
    return invokeAs<short>(81, {});
}
void CMorvelQxWeb::TifTool() {
    invokeAs<void>(82, {});
}

} // namespace qx::desktop
