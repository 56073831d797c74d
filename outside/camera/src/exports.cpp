// The camera library's four exports: its models and the device objects.
#include "camera_device.h"

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr int32_t kModels[] = {520701, 520702, 520703};
}

QX_EXPORT qx::kelpo::KelpoDevice* CreateKelpoDevice(int32_t modelId) {
    if (!qx::kelpo::CameraDevice::isKnownModel(modelId))
        return nullptr;
    return new qx::kelpo::CameraDevice(modelId);
}

QX_EXPORT void DeleteKelpoDevice(qx::kelpo::KelpoDevice* device) {
    delete static_cast<qx::kelpo::CameraDevice*>(device);
}

QX_EXPORT int32_t GetKelpoDeviceCount() {
    return static_cast<int32_t>(std::size(kModels));
}

QX_EXPORT int32_t SetKelpoEdgeConfidence(qx::kelpo::KelpoDevice* device, int32_t percent) {
    return device ? static_cast<qx::kelpo::CameraDevice*>(device)->setEdgeConfidence(percent) : 0;
}

QX_EXPORT int32_t GetKelpoCaptureOutcome(qx::kelpo::KelpoDevice* device) {
    return device ? static_cast<qx::kelpo::CameraDevice*>(device)->captureOutcome() : 0;
}

QX_EXPORT int32_t GetKelpoDeviceModuleID(int32_t index) {
    if (index < 0 || index >= GetKelpoDeviceCount())
        return 0;
    return kModels[index];
}
