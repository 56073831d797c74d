// The control's properties with their defaults, and the capture state one control object owns.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace qx::kelpo {
class KelpoDevice;
}

namespace qx::control {

using kelpo::KelpoDevice;

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
};

inline constexpr int kDeviceSlots = 10;
inline constexpr int kResolutionSlots = 15;
inline constexpr int kImageSlots = 100;
inline constexpr int kCameraModelSlots = 3;

struct ControlState {
    // Cameras found by the last enumeration.
    std::array<QString, kDeviceSlots> deviceNames;
    int deviceCount = 0;
    int selectedDevice = -1;
    int mainCameraIndex = -1;
    int auxCameraIndex = -1;
    int cashCameraIndex = -1;

    // Capture sizes of the last size enumeration.
    std::array<QString, kResolutionSlots> resolutionNames;
    int resolutionCount = 0;
    int selectedResolution = -1;
    std::array<int32_t, kResolutionSlots> resolutionWidths{};
    std::array<int32_t, kResolutionSlots> resolutionHeights{};

    // Pictures listed by the last image-list refresh.
    std::array<QString, kImageSlots> imageNames;
    int imageCount = 0;

    int captureWidth = 0;
    int captureHeight = 0;

    bool normalPreviewOn = false;
    bool edgePreviewOn = false;
    bool previewing = false;
    bool capturePending = false;

    KelpoDevice* cameraDevice = nullptr;
    int cameraModelCount = 0;
    std::array<int32_t, kCameraModelSlots> cameraModelIds{};

    QString mergeFolder;
    int jpegQuality = 75;
    int bwThreshold = 100;
    QString lastFormat;

    // Pictures chosen for the local upload list.
    QStringList localImages;
};

} // namespace qx::control
