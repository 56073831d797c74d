// Function types of the outside libraries the control binds by name from its own folder.
#pragma once

#include "qx/interface/kelpo_device.h"
#include "qx/interface/tif_tool_host.h"

#include <cstdint>

namespace qx::control {

using ::CreateKelpoDeviceFn;
using ::DeleteKelpoDeviceFn;
using ::GetKelpoCaptureOutcomeFn;
using ::GetKelpoDeviceCountFn;
using ::GetKelpoDeviceModuleIDFn;
using ::ReleasePlatformHostFn;
using ::SetKelpoEdgeConfidenceFn;
using ::ShowPlatformWithHostFn;
using kelpo::KelpoDevice;

extern "C" {

// Layered-TIFF library (outside/tiff/include/qx_tiff_convert.h): bound at start, never called.
using AddImageToTifLayerFn = int32_t (*)(const char* path);
using Convert2TifFn = int32_t (*)(const char* path);
using CleanImageFromTifLayerFn = int32_t (*)();

// Card-reading library. `IDInfoChar` fills 2048 bytes of text in the Chinese code page.
using IDInfoCharFn = int32_t (*)(char* buffer, int32_t* length);
using IDInfoBMPFn = const char* (*)(const char* folder);

// DPI library: resamples a BMP file image; with a null output it only reports the size.
using KelpoFilterImageResizeFn = int32_t (*)(const uint8_t* bmpFile, int32_t sourceDpi, int32_t targetDpi,
                                             uint8_t* output);

// TIFF tool library (outside/tiff/include/qx_tif_maker.h): 1 when its window is shown.
using ShowPlatformFn = int32_t (*)();
}

} // namespace qx::control
