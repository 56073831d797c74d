// The edge-finding camera library's device object and the preview window the control gives it.
//
// The device's operations are virtual functions in a fixed order: the control calls them by their
// position in the table, so every entry keeps its number (unused numbers hold placeholders). Results
// are 32-bit integers; 0 means "ready", "no" or "failed" as each operation says.
//
// What the operations mean:
// - SetCaptureSize / SetCaptureFormat: the size and FourCC (only "YUY2") the camera streams at;
//   SetCaptureOption(0) captures at that preview size (the only option).
// - StartPlay(0) binds the camera of the device's model (520701 the main camera, 520702 the auxiliary,
//   520703 the cash camera) and starts the live preview into the window set with SetPreviewWindow.
//   A camera another preview holds cannot be opened a second time: StartPlay then fails and
//   GetDeviceState reports not ready. StopPlay ends the preview; IsPlaying tells whether it runs.
// - GetDeviceState: 0 when ready to capture (playing), non-zero otherwise.
// - OpenDevice(1): non-zero when the camera supports edge finding (the main camera), 0 otherwise.
// - SetAutoMode(1) makes the preview look for the document in every frame and draw its outline;
//   SetAutoMode(0) stops that; IsAutoMode reports it. The main camera's device starts in automatic
//   mode, the others do not.
// - SetCropEnabled(0): Capture keeps the whole frame. SetCropEnabled(1) with SetAutoCrop(1): Capture
//   finds the document in the captured frame and crops and straightens it. SetCropEnabled(1) with
//   SetAutoCrop(0): Capture crops to the last outline the preview found (the whole frame when none).
// - SetCropMargin(m), -100..100: each side of the crop moves outward (m > 0) or inward (m < 0) by
//   m thousandths of the frame's longer side.
// - SetOutputDpi(x, y, 0) / GetOutputDpiX / GetOutputDpiY: the resolution written into captured
//   pictures; by default the camera's field of view, 12.112 inches wide.
// - Capture(): takes the next full-size frame, crops it as set and keeps it as a complete 24-bit BMP
//   file image (bottom-up rows) for GetImageData / GetImageSize until ReleaseImage. Non-zero when a
//   picture was taken.
// - ShowSettings(owner): shows the camera's adjustable controls through `owner`, the preview window.
//
// Two optional exports, bound when the library has them (a library without them cuts out whatever
// outline it finds):
// - SetKelpoEdgeConfidence(device, percent), 0..100: how sure the edge finder must be that an outline
//   is a sheet of paper before the preview draws it and a capture cuts it out; below it a capture
//   keeps the whole view, as with SetCropEnabled(0). 50 unless set. Non-zero when taken.
// - GetKelpoCaptureOutcome(device): what the last Capture did: 0 kept the whole frame as set (no crop
//   asked), 1 cut a page out, 2 was asked to crop but found no page and kept the whole view.
#pragma once

#include <cstdint>

namespace qx::media {
class CameraControls;
}

namespace qx::kelpo {

struct OutlinePoint {
    float x = 0;
    float y = 0;
};

// Implemented by the control; the device never creates widgets itself. "Window handles" passed to the
// device are pointers to this interface (or null).
class KelpoPreviewWindow {
public:
    // Streaming thread: one frame, 24-bit BGR rows top-down, with the document outline found in it
    // (four points in frame pixels, clockwise from top-left) or null.
    virtual void presentFrame(const uint8_t* bgr, int width, int height, int stride,
                              const OutlinePoint* outline) = 0;
    // Control thread: a modal settings dialog for the camera's controls (through the control's UI host).
    virtual void showSettings(media::CameraControls* controls, const char* cameraName) = 0;

protected:
    ~KelpoPreviewWindow() = default;
};

inline constexpr uint32_t kFourccYuy2 = 0x32595559; // "YUY2"

class KelpoDevice {
public:
    virtual int32_t Reserved0();                                              // 0
    virtual int32_t GetDeviceState() = 0;                                     // 1
    virtual int32_t OpenDevice(int32_t mode) = 0;                             // 2
    virtual int32_t Reserved3();                                              // 3
    virtual int32_t Reserved4();                                              // 4
    virtual int32_t GetOutputDpiX() = 0;                                      // 5
    virtual int32_t GetOutputDpiY() = 0;                                      // 6
    virtual int32_t SetCaptureSize(int32_t width, int32_t height) = 0;        // 7
    virtual int32_t SetCaptureFormat(uint32_t fourcc) = 0;                    // 8
    virtual int32_t Reserved9();                                              // 9
    virtual int32_t SetCropMargin(int32_t margin) = 0;                        // 10
    virtual int32_t SetPreviewWindow(void* window, void* window2) = 0;        // 11
    virtual int32_t SetCropEnabled(int32_t enabled) = 0;                      // 12
    virtual int32_t Reserved13();                                             // 13
    virtual int32_t SetAutoCrop(int32_t enabled) = 0;                         // 14
    virtual int32_t IsAutoMode() = 0;                                         // 15
    virtual int32_t SetCaptureOption(int32_t option) = 0;                     // 16
    virtual int32_t Reserved17();                                             // 17
    virtual int32_t Reserved18();                                             // 18
    virtual int32_t IsPlaying() = 0;                                          // 19
    virtual int32_t StartPlay(int32_t mode) = 0;                              // 20
    virtual int32_t StopPlay() = 0;                                           // 21
    virtual int32_t ReleaseImage() = 0;                                       // 22
    virtual int32_t ShowSettings(void* owner) = 0;                            // 23
    virtual int32_t Reserved24();                                             // 24
    virtual int32_t Capture() = 0;                                            // 25
    virtual const uint8_t* GetImageData() = 0;                                // 26
    virtual int32_t GetImageSize() = 0;                                       // 27
    virtual int32_t SetOutputDpi(int32_t x, int32_t y, int32_t reserved) = 0; // 28
    virtual int32_t SetAutoMode(int32_t enabled) = 0;                         // 29

protected:
    // Devices are destroyed through DeleteKelpoDevice only, never through this type.
    ~KelpoDevice() = default;
};

inline int32_t KelpoDevice::Reserved0() {
    return 0;
}
inline int32_t KelpoDevice::Reserved3() {
    return 0;
}
inline int32_t KelpoDevice::Reserved4() {
    return 0;
}
inline int32_t KelpoDevice::Reserved9() {
    return 0;
}
inline int32_t KelpoDevice::Reserved13() {
    return 0;
}
inline int32_t KelpoDevice::Reserved17() {
    return 0;
}
inline int32_t KelpoDevice::Reserved18() {
    return 0;
}
inline int32_t KelpoDevice::Reserved24() {
    return 0;
}

} // namespace qx::kelpo

extern "C" {
using CreateKelpoDeviceFn = qx::kelpo::KelpoDevice* (*)(int32_t modelId);
using DeleteKelpoDeviceFn = void (*)(qx::kelpo::KelpoDevice* device);
using GetKelpoDeviceCountFn = int32_t (*)();
using GetKelpoDeviceModuleIDFn = int32_t (*)(int32_t index);
using SetKelpoEdgeConfidenceFn = int32_t (*)(qx::kelpo::KelpoDevice* device, int32_t percent);
using GetKelpoCaptureOutcomeFn = int32_t (*)(qx::kelpo::KelpoDevice* device);
}
