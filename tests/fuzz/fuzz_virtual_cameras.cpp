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
    if (cameras) {
        for (const auto& camera : *cameras)
            for (const auto& format : camera.formats)
                if (format.width <= 0 || format.height <= 0)
                    std::abort();
    }
    return 0;
}
