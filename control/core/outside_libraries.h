// The five outside libraries of the control: process-wide handles and the functions bound from them.
#pragma once

#include "control/core/outside_api.h"
#include "qx/platform/library.h"

#include <QString>
#include <functional>

namespace qx::control {

// One set per control. Each control holds its own handles, so the dynamic loader's reference counts
// keep a library mapped while any control of the process still uses it (its camera device, its
// functions): creating or destroying another control never pulls it away.
class OutsideLibraries {
public:
    OutsideLibraries() = default;
    ~OutsideLibraries() { freeAll(); }
    OutsideLibraries(const OutsideLibraries&) = delete;
    OutsideLibraries& operator=(const OutsideLibraries&) = delete;

    // Linux file names of the libraries, in load order.
    static constexpr const char* kCameraLibrary = "libKelpoCameraLibrary.so";
    static constexpr const char* kTiffConvert = "libTiffConvert.so";
    static constexpr const char* kIdCardRead = "libQX_IDCardRead.so";
    static constexpr const char* kImageResize = "libKelpoFilterImageResize.so";
    static constexpr const char* kTiffMaker = "libTiffMakerDLL.so";

    // Loads and binds the libraries from `folder` (with a trailing '/'), logging every step through
    // `log`. Returns false when the creation must stop early (camera library, card library or one of
    // their functions missing); what was loaded up to then stays loaded.
    bool loadAndBind(const QString& folder, const std::function<void(const QString&)>& log);

    // Frees every library and clears every bound function.
    void freeAll();

    bool cameraLibraryLoaded() const { return m_camera.isLoaded(); }
    bool idCardLibraryLoaded() const { return m_idCard.isLoaded(); }

    CreateKelpoDeviceFn createKelpoDevice = nullptr;
    DeleteKelpoDeviceFn deleteKelpoDevice = nullptr;
    GetKelpoDeviceCountFn getKelpoDeviceCount = nullptr;
    GetKelpoDeviceModuleIDFn getKelpoDeviceModuleID = nullptr;
    // Optional: a camera library without them crops whatever outline it finds.
    SetKelpoEdgeConfidenceFn setKelpoEdgeConfidence = nullptr;
    GetKelpoCaptureOutcomeFn getKelpoCaptureOutcome = nullptr;
    AddImageToTifLayerFn addImageToTifLayer = nullptr;
    Convert2TifFn convert2Tif = nullptr;
    CleanImageFromTifLayerFn cleanImageFromTifLayer = nullptr;
    IDInfoCharFn idInfoChar = nullptr;
    IDInfoBMPFn idInfoBmp = nullptr;
    KelpoFilterImageResizeFn kelpoFilterImageResize = nullptr;
    ShowPlatformFn showPlatform = nullptr;
    // Optional, and used only as a pair: a tool library without them shows its own dialogs.
    ShowPlatformWithHostFn showPlatformWithHost = nullptr;
    ReleasePlatformHostFn releasePlatformHost = nullptr;

private:
    void clearFunctions();

    platform::Library m_camera;
    platform::Library m_tiffConvert;
    platform::Library m_idCard;
    platform::Library m_imageResize;
    platform::Library m_tiffMaker;
};

} // namespace qx::control
