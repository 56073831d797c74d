// The HID layer the reader transport runs on: hidapi for real readers, or the virtual reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qmr {

struct HidDeviceInfo {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// One open HID interface. Destroying it closes the interface.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    // Sends one output report (byte 0 is the report id); the number of bytes sent, or -1.
    virtual int write(const uint8_t* report, size_t length) = 0;
    // Fetches one input report into `report` (byte 0 holds the wanted report id on entry); the number
    // of bytes received including the report id, or -1.
    virtual int getInputReport(uint8_t* report, size_t length) = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Every HID interface present now.
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    // Opens an interface for reading and writing; nullptr when it cannot be opened. Ownership moves
    // to the caller.
    virtual std::unique_ptr<HidHandle> open(const std::string& path) = 0;
    // The raw HID report descriptor of an interface; empty when it cannot be read.
    virtual std::vector<uint8_t> reportDescriptor(const std::string& path) = 0;
};

// The backend of this process, chosen at the first call and kept: the virtual reader when
// QX_VIRTUAL_READER is set and not empty, else hidapi. Never destroyed, because the reader's handles
// stay open until the process ends.
HidBackend& processBackend();

} // namespace qmr
