// The control's automation properties with their defaults: plain stored values, set by containers.
#pragma once

#include <QString>

namespace qx::control {

struct ControlProperties {
    bool bIsRecord = false;
    QString cPicName;
    QString cFileList;
    QString mergegap;
    QString PhotoFormat;
    bool bUploadDel = false;
    QString CustomSavePath;
    bool WriteLog = true;
    int asfBitRate = 1000;
    QString strProxyServer;
    QString HttpResponse;
    QString ProxyUser;
    QString ProxyPassword;
    QString Img2Base64;
    bool markdown = true;
    QString CustomImgName;
    bool bDeleteIDBmp = false;
    QString sIDInfoChar;
    QString idName;
    QString idSex;
    QString idNation;
    QString idBirth;
    QString idAddress;
    QString idNum;
    QString idIssue;
    QString idValidity;
    QString idBirthYear;
    QString idBirthMonth;
    QString idBirthDay;
    QString strIDHeadData;
    QString IDCardImgName;
    QString IDHeadImgName;
    QString strCardImgSavePath;
    QString ImgName;
    bool bShowMsgBox = true;
    short pDPI = 0;
    short nRotateAngle = 0;
    short nColorSpace = 0;
    short WndLeft = 100;
    short WndTop = 100;
    short WndRight = 100;
    short WndBottom = 100;
    bool bGB2312Encode = false;
    // Added after the original surface.
    QString strTlsCaFile;
    bool bTlsVerify = true;
};

} // namespace qx::control
