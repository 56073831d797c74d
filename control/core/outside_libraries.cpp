// Loads the outside libraries in their fixed order and binds their functions, logging each step.
#include "control/core/outside_libraries.h"

namespace qx::control {

void OutsideLibraries::clearFunctions() {
    createKelpoDevice = nullptr;
    deleteKelpoDevice = nullptr;
    getKelpoDeviceCount = nullptr;
    getKelpoDeviceModuleID = nullptr;
    setKelpoEdgeConfidence = nullptr;
    getKelpoCaptureOutcome = nullptr;
    addImageToTifLayer = nullptr;
    convert2Tif = nullptr;
    cleanImageFromTifLayer = nullptr;
    idInfoChar = nullptr;
    idInfoBmp = nullptr;
    kelpoFilterImageResize = nullptr;
    showPlatform = nullptr;
    showPlatformWithHost = nullptr;
    releasePlatformHost = nullptr;
}

void OutsideLibraries::freeAll() {
    clearFunctions();
    m_camera.unload();
    m_tiffConvert.unload();
    m_idCard.unload();
    m_imageResize.unload();
    m_tiffMaker.unload();
}

bool OutsideLibraries::loadAndBind(const QString& folder, const std::function<void(const QString&)>& log) {
    // Every library is loaded by full path, so nothing but the control folder is searched; their own
    // dependencies are found through each library's RUNPATH $ORIGIN.
    m_camera.load(folder + QLatin1String(kCameraLibrary));
    m_tiffConvert.load(folder + QLatin1String(kTiffConvert));
    m_idCard.load(folder + QLatin1String(kIdCardRead));
    m_imageResize.load(folder + QLatin1String(kImageResize));
    m_tiffMaker.load(folder + QLatin1String(kTiffMaker));

    if (!m_camera.isLoaded()) {
        log(QStringLiteral("加载寻边库失败!"));
        return false;
    }
    log(QStringLiteral("加载寻边库成功!"));
    log(m_tiffConvert.isLoaded() ? QStringLiteral("加载分层tif库成功!")
                                 : QStringLiteral("加载分层tif库失败!"));

    if (!m_idCard.isLoaded()) {
        log(QStringLiteral("加载二代证库失败!"));
        return false;
    }
    log(QStringLiteral("加载二代证库成功!"));
    log(m_imageResize.isLoaded() ? QStringLiteral("加载DPI转换库成功!")
                                 : QStringLiteral("加载DPI转换库失败!"));
    log(m_tiffMaker.isLoaded() ? QStringLiteral("加载TifMaker库成功!") : QStringLiteral("加载TifMaker失败!"));

    createKelpoDevice = m_camera.function<CreateKelpoDeviceFn>("CreateKelpoDevice");
    deleteKelpoDevice = m_camera.function<DeleteKelpoDeviceFn>("DeleteKelpoDevice");
    getKelpoDeviceCount = m_camera.function<GetKelpoDeviceCountFn>("GetKelpoDeviceCount");
    getKelpoDeviceModuleID = m_camera.function<GetKelpoDeviceModuleIDFn>("GetKelpoDeviceModuleID");
    if (!createKelpoDevice || !deleteKelpoDevice || !getKelpoDeviceCount || !getKelpoDeviceModuleID) {
        // A half-bound camera library must not be used at all.
        createKelpoDevice = nullptr;
        deleteKelpoDevice = nullptr;
        getKelpoDeviceCount = nullptr;
        getKelpoDeviceModuleID = nullptr;
        log(QStringLiteral("加载寻边库函数失败!"));
        return false;
    }
    log(QStringLiteral("加载寻边库函数成功!"));
    setKelpoEdgeConfidence = m_camera.function<SetKelpoEdgeConfidenceFn>("SetKelpoEdgeConfidence");
    getKelpoCaptureOutcome = m_camera.function<GetKelpoCaptureOutcomeFn>("GetKelpoCaptureOutcome");

    if (m_tiffConvert.isLoaded()) {
        addImageToTifLayer = m_tiffConvert.function<AddImageToTifLayerFn>("AddImageToTifLayer");
        convert2Tif = m_tiffConvert.function<Convert2TifFn>("Convert2Tif");
        cleanImageFromTifLayer = m_tiffConvert.function<CleanImageFromTifLayerFn>("CleanImageFromTifLayer");
    }
    log(addImageToTifLayer && convert2Tif && cleanImageFromTifLayer
            ? QStringLiteral("加载分层tif库函数成功!")
            : QStringLiteral("加载分层tif库函数失败!"));

    idInfoChar = m_idCard.function<IDInfoCharFn>("IDInfoChar");
    idInfoBmp = m_idCard.function<IDInfoBMPFn>("IDInfoBMP");
    if (!idInfoChar || !idInfoBmp) {
        idInfoChar = nullptr;
        idInfoBmp = nullptr;
        log(QStringLiteral("加载二代证库函数失败!"));
        return false;
    }
    log(QStringLiteral("加载寻二代证库函数成功!"));

    if (m_imageResize.isLoaded()) {
        kelpoFilterImageResize = m_imageResize.function<KelpoFilterImageResizeFn>("KelpoFilterImageResize");
        log(kelpoFilterImageResize ? QStringLiteral("加载DPI转换库函数成功!")
                                   : QStringLiteral("加载DPI转换库函数失败!"));
    }
    if (m_tiffMaker.isLoaded()) {
        showPlatform = m_tiffMaker.function<ShowPlatformFn>("ShowPlatform");
        log(showPlatform ? QStringLiteral("加载TifMaker库函数成功!")
                         : QStringLiteral("加载TifMaker库函数失败!"));
        showPlatformWithHost = m_tiffMaker.function<ShowPlatformWithHostFn>("ShowPlatformWithHost");
        releasePlatformHost = m_tiffMaker.function<ReleasePlatformHostFn>("ReleasePlatformHost");
        if (!showPlatformWithHost || !releasePlatformHost) {
            // A host lent without a way to take it back would be called after its control is gone.
            showPlatformWithHost = nullptr;
            releasePlatformHost = nullptr;
        }
    }
    return true;
}

} // namespace qx::control
