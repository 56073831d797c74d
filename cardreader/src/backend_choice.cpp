// Picks the HID backend of the process once: the virtual reader when QX_VIRTUAL_READER names a file.
#include "hid_backend.h"

#include "hidapi/hidapi_backend.h"
#include "virtual/virtual_reader.h"

#include <QFile>

#include <cstdlib>

namespace qmr {

HidBackend& processBackend() {
    // Left alive at exit: the transport's handles point into it until the process ends.
    static HidBackend* backend = []() -> HidBackend* {
        const char* path = std::getenv("QX_VIRTUAL_READER");
        if (path != nullptr && path[0] != '\0')
            return new VirtualReaderBackend(loadVirtualReaderConfig(QFile::decodeName(path)));
        return new HidapiBackend;
    }();
    return *backend;
}

} // namespace qmr
