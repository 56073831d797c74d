// Fuzzes the virtual-camera description a user writes into QX_VIRTUAL_CAMERAS.
#include "fuzz_target.h"

#include "qx/media/virtual_camera.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto cameras = qx::media::parseVirtualCameras(text, &error);
    if (!cameras && error.isEmpty())
        std::abort(); // a refusal always says why
    if (!cameras)
        return 0;
    for (const auto& camera : *cameras) {
        for (const auto& format : camera.formats)
            if (format.width <= 0 || format.height <= 0)
                std::abort();
        // What was read is what the description says: written out and read again, it is the same camera.
        const QString description = qx::media::describeVirtualCamera(camera);
        const auto again = qx::media::parseVirtualCameras(description);
        if (!again || again->size() != 1)
            std::abort();
        const auto& same = again->front();
        if (same.vendorId != camera.vendorId || same.productId != camera.productId ||
            same.stallAfter != camera.stallAfter || same.unplugAfter != camera.unplugAfter ||
            same.videoFile != camera.videoFile || same.loop != camera.loop ||
            same.formats.size() != camera.formats.size())
            std::abort();
        for (std::size_t i = 0; i < same.formats.size(); ++i)
            if (same.formats[i].fourcc != camera.formats[i].fourcc ||
                same.formats[i].width != camera.formats[i].width ||
                same.formats[i].height != camera.formats[i].height ||
                same.formats[i].rateNum != camera.formats[i].rateNum)
                std::abort();
    }
    return 0;
}
