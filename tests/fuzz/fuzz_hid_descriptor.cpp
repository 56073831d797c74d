// Fuzzes the HID report descriptor walk: the reader's descriptor comes from the device.
#include "fuzz_target.h"

#include "report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> descriptor(data, data + size);
    qmr::reportLengths(descriptor);
    return 0;
}
