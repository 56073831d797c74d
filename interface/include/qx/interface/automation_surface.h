// The control's automation surface in one list: every property and method with its DISPID, types,
// names and default. The DISPID table, the control's property fields, Q_PROPERTYs and method
// declarations, and the desktop program's wrapper are all made from it, so they cannot drift apart.
#pragma once

// P(dispid, name, Name, ValueType, CppType, ParamType, default): `Name` is the name with its first
// letter in upper case, as the setter (setName) and the wrapper's GetName/SetName spell it.
// M<n>(dispid, name, ValueType, CppType, then per argument: ValueType, ParamType, name): a method of n
// arguments; ValueType is what the dispatch table answers with (for a few methods BOOL where the
// type library says long or BSTR).
//
// Properties 1..43 and methods 44..82 are the surface every container has always called; members
// added since take the DISPIDs after 82, in the order they came, and never move. A DISPID may be
// missing from this list where it belongs to a member another line of work adds.

// clang-format off
#define QX_AUTOMATION_PROPERTIES(P) \
    P(1, bIsRecord, BIsRecord, Bool, bool, bool, false) \
    P(2, cPicName, CPicName, Bstr, QString, const QString&, {}) \
    P(3, cFileList, CFileList, Bstr, QString, const QString&, {}) \
    P(4, mergegap, Mergegap, Bstr, QString, const QString&, {}) \
    P(5, PhotoFormat, PhotoFormat, Bstr, QString, const QString&, {}) \
    P(6, bUploadDel, BUploadDel, Bool, bool, bool, false) \
    P(7, CustomSavePath, CustomSavePath, Bstr, QString, const QString&, {}) \
    P(8, WriteLog, WriteLog, Bool, bool, bool, true) \
    P(9, asfBitRate, AsfBitRate, Long, int, int, 1000) \
    P(10, strProxyServer, StrProxyServer, Bstr, QString, const QString&, {}) \
    P(11, HttpResponse, HttpResponse, Bstr, QString, const QString&, {}) \
    P(12, ProxyUser, ProxyUser, Bstr, QString, const QString&, {}) \
    P(13, ProxyPassword, ProxyPassword, Bstr, QString, const QString&, {}) \
    P(14, Img2Base64, Img2Base64, Bstr, QString, const QString&, {}) \
    P(15, markdown, Markdown, Bool, bool, bool, true) \
    P(16, CustomImgName, CustomImgName, Bstr, QString, const QString&, {}) \
    P(17, bDeleteIDBmp, BDeleteIDBmp, Bool, bool, bool, false) \
    P(18, sIDInfoChar, SIDInfoChar, Bstr, QString, const QString&, {}) \
    P(19, idName, IdName, Bstr, QString, const QString&, {}) \
    P(20, idSex, IdSex, Bstr, QString, const QString&, {}) \
    P(21, idNation, IdNation, Bstr, QString, const QString&, {}) \
    P(22, idBirth, IdBirth, Bstr, QString, const QString&, {}) \
    P(23, idAddress, IdAddress, Bstr, QString, const QString&, {}) \
    P(24, idNum, IdNum, Bstr, QString, const QString&, {}) \
    P(25, idIssue, IdIssue, Bstr, QString, const QString&, {}) \
    P(26, idValidity, IdValidity, Bstr, QString, const QString&, {}) \
    P(27, idBirthYear, IdBirthYear, Bstr, QString, const QString&, {}) \
    P(28, idBirthMonth, IdBirthMonth, Bstr, QString, const QString&, {}) \
    P(29, idBirthDay, IdBirthDay, Bstr, QString, const QString&, {}) \
    P(30, strIDHeadData, StrIDHeadData, Bstr, QString, const QString&, {}) \
    P(31, IDCardImgName, IDCardImgName, Bstr, QString, const QString&, {}) \
    P(32, IDHeadImgName, IDHeadImgName, Bstr, QString, const QString&, {}) \
    P(33, strCardImgSavePath, StrCardImgSavePath, Bstr, QString, const QString&, {}) \
    P(34, ImgName, ImgName, Bstr, QString, const QString&, {}) \
    P(35, bShowMsgBox, BShowMsgBox, Bool, bool, bool, true) \
    P(36, pDPI, PDPI, Short, short, short, 0) \
    P(37, nRotateAngle, NRotateAngle, Short, short, short, 0) \
    P(38, nColorSpace, NColorSpace, Short, short, short, 0) \
    P(39, WndLeft, WndLeft, Short, short, short, 100) \
    P(40, WndTop, WndTop, Short, short, short, 100) \
    P(41, WndRight, WndRight, Short, short, short, 100) \
    P(42, WndBottom, WndBottom, Short, short, short, 100) \
    P(43, bGB2312Encode, BGB2312Encode, Bool, bool, bool, false) \
    P(83, strTlsCaFile, StrTlsCaFile, Bstr, QString, const QString&, {}) \
    P(84, bTlsVerify, BTlsVerify, Bool, bool, bool, true) \
    P(85, bPdfOcr, BPdfOcr, Bool, bool, bool, false) \
    P(86, strOcrLanguages, StrOcrLanguages, Bstr, QString, const QString&, QStringLiteral("chi_sim+eng")) \
    P(89, nAutoSettleTime, NAutoSettleTime, Long, int, int, 800)

#define QX_AUTOMATION_METHODS(M0, M1, M2, M6) \
    M1(44, setRotate, Void, void, Long, int, angle) \
    M6(45, MorvelNet, Long, int, Bstr, const QString&, ServIp, Bstr, const QString&, ServPort, Bstr, const QString&, UsrName, Bstr, const QString&, UsrPasswd, Bstr, const QString&, FtpPath, Bstr, const QString&, FtpFileName) \
    M0(46, ResetFileList, Void, void) \
    M1(47, Morvel, Long, int, Bstr, const QString&, PhotoFormat) \
    M1(48, SendSeal, Long, int, Bstr, const QString&, strURL) \
    M0(49, StartPreviewProc, Long, int) \
    M0(50, StopPreview, Long, int) \
    M0(51, RefreshDevList, Long, int) \
    M1(52, GetDevNameByIdx, Bstr, QString, Short, short, idx) \
    M1(53, SetDevNameSel, Short, short, Short, short, cursel) \
    M0(54, KelpoCapturePlay, Void, void) \
    M0(55, MergeImage, Long, int) \
    M0(56, IsMerge, Bool, bool) \
    M1(57, SetResolution, Short, short, Short, short, resolutionSel) \
    M1(58, GetResolutionByIdx, Bstr, QString, Short, short, idx) \
    M1(59, RefreshResolution, Long, int, Short, short, DevNameSel) \
    M0(60, ConfigCameraFilter, Void, void) \
    M0(61, AddWaterMark, Long, int) \
    M1(62, RefreshImgList, Long, int, Bstr, const QString&, PhotoFormat) \
    M1(63, GetImgNameByIdx, Bstr, QString, Short, short, idx) \
    M1(64, DeleteImg, Short, short, Short, short, cursel) \
    M0(65, TransImg, Void, void) \
    M0(66, ScreenCut, Void, void) \
    M2(67, SetOutPutDPI, Void, void, Short, short, x, Short, short, y) \
    M1(68, SetCropMargin, Void, void, Short, short, range) \
    M0(69, ManualToAuto, Void, void) \
    M1(70, VideoRecord, Long, int, Bstr, const QString&, VideoPath) \
    M0(71, DisableCrop, Void, void) \
    M1(72, GetBase64String, Bool, bool, Bstr, const QString&, Img) \
    M1(73, DeleteImgByName, Short, short, Bstr, const QString&, Img) \
    M1(74, IDCardRead, Bool, bool, Bstr, const QString&, m_strBmpPath) \
    M1(75, HttpSendIDCard, Bool, bool, Bstr, const QString&, strURL) \
    M1(76, HttpSendIDCHeadImg, Bool, bool, Bstr, const QString&, strURL) \
    M1(77, UploadLocalImg, Short, short, Bstr, const QString&, strURL) \
    M0(78, SelectLocalImgs, Bool, bool) \
    M1(79, GetLocalImgName, Bstr, QString, Short, short, index) \
    M1(80, RemoveLocalImg, Short, short, Short, short, index) \
    M0(81, RefreshLocalImg, Short, short) \
    M0(82, TifTool, Void, void) \
    M1(87, StartAutoCapture, Long, int, Bstr, const QString&, PhotoFormat) \
    M0(88, StopAutoCapture, Long, int) \
    M0(90, GetAutoCaptureState, Long, int) \
    M0(91, GetAutoCaptureCount, Long, int)
// clang-format on
