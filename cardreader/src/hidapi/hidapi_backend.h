// The HID backend for real readers: hidapi over hidraw.
#pragma once

#include "../hid_backend.h"

namespace qmr {

class HidapiBackend final : public HidBackend {
public:
    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidHandle> open(const std::string& path) override;
    std::vector<uint8_t> reportDescriptor(const std::string& path) override;
};

} // namespace qmr
