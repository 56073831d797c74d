// Function types of the outside libraries the control binds by name from its own folder.
#pragma once

#include <cstdint>

namespace qx::control {

// The camera library's device object; its operations are declared with the camera library.
struct KelpoDevice;

extern "C" {
// Camera library.
using CreateKelpoDeviceFn = KelpoDevice* (*)(int32_t modelId);
using DeleteKelpoDeviceFn = void (*)(KelpoDevice* device);
using GetKelpoDeviceCountFn = int32_t (*)();
using GetKelpoDeviceModuleIDFn = int32_t (*)(int32_t index);

// Layered-TIFF library: bound at start and never called, so their arguments do not matter here.
using TiffLayerFn = int32_t (*)();

// Card-reading library. `IDInfoChar` fills 2048 bytes of text in the Chinese code page.
using IDInfoCharFn = int32_t (*)(char* buffer, int32_t* length);
using IDInfoBMPFn = const char* (*)(const char* folder);

// DPI library: resamples a BMP file image; with a null output it only reports the size.
using KelpoFilterImageResizeFn = int32_t (*)(const uint8_t* bmpFile, int32_t sourceDpi, int32_t targetDpi,
                                             uint8_t* output);

// TIFF tool library.
using ShowPlatformFn = int32_t (*)();
}

} // namespace qx::control
