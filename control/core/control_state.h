// A snapshot of the state the control's features hold, for diagnostics and tests; it owns nothing.
#pragma once

#include "control/capture/cameras.h"
#include "control/capture/edge_preview.h"

#include <QString>
#include <array>
#include <cstdint>

namespace qx::control {

struct ControlState {
    // Cameras found by the last enumeration.
    int deviceCount = 0;
    int selectedDevice = -1;
    int mainCameraIndex = -1;
    int auxCameraIndex = -1;
    int cashCameraIndex = -1;

    // Capture sizes of the last size enumeration.
    int resolutionCount = 0;
    int selectedResolution = -1;

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
};

} // namespace qx::control
