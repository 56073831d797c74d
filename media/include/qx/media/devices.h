// Video input devices as the control counts them: real V4L2 cameras and the virtual cameras.
#pragma once

#include "qx/media/gst_util.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace qx::media {

class VirtualCamera;

struct VideoFormat {
    QString fourcc; // "YUY2", "MJPG", ...
    int width = 0;
    int height = 0;
    int rateNum = 0; // the highest frame rate the device offers at this size and format
    int rateDen = 1;
};

struct VideoDevice {
    QString name;
    // "usb#vid_2e7a&pid_7e41&mi_00#..." built from the USB ids; empty when the ids are unknown, so the
    // role rule does not count the device.
    QString devicePath;
    std::vector<VideoFormat> formats; // in the order the device reports them
    // Exactly one of these is set.
    std::shared_ptr<VirtualCamera> virtualCamera;
    DeviceRef device; // a real camera found by the device monitor
    QString node;     // its device node, for its controls
};

// The device path text of a USB video device.
QString usbDevicePath(unsigned vendorId, unsigned productId, const QString& instance);

// Every video input: the virtual cameras of QX_VIRTUAL_CAMERAS first, in list order, then the real
// cameras in the device monitor's order. Nothing when GStreamer or its device monitor cannot start.
std::optional<std::vector<VideoDevice>> enumerateVideoDevices();

// The YUY2 sizes of a device, in its order, without repeats.
std::vector<VideoFormat> yuy2Formats(const VideoDevice& device);

// The format `fourcc` ("YUY2", "MJPG") of `width` x `height` at the highest rate the device offers it,
// or nothing when the device does not offer it.
std::optional<VideoFormat> findFormat(const VideoDevice& device, const QString& fourcc, int width,
                                      int height);

// The YUY2 format of `width` x `height`, or nothing when the device does not offer that size.
std::optional<VideoFormat> findYuy2Format(const VideoDevice& device, int width, int height);

} // namespace qx::media
