// Function types of the outside libraries the control binds by name from its own folder.
#pragma once

#include "qx/interface/kelpo_device.h"

#include <cstdint>

namespace qx::control {

using ::CreateKelpoDeviceFn;
using ::DeleteKelpoDeviceFn;
using ::GetKelpoDeviceCountFn;
using ::GetKelpoDeviceModuleIDFn;
using kelpo::KelpoDevice;

extern "C" {

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
