// hidapi (hidraw) under the reader transport; the report descriptor comes from sysfs.
#include "hidapi_backend.h"

#include <hidapi.h>

#include <fstream>
#include <iterator>

namespace qmr {

namespace {

class HidapiHandle final : public HidHandle {
public:
    explicit HidapiHandle(hid_device* device) : m_device(device) {}
    ~HidapiHandle() override { hid_close(m_device); }
    HidapiHandle(const HidapiHandle&) = delete;
    HidapiHandle& operator=(const HidapiHandle&) = delete;

    // hidapi 0.13 has no separate output-report call; on hidraw, hid_write sends an output report.
    int write(const uint8_t* report, size_t length) override { return hid_write(m_device, report, length); }

    int getInputReport(uint8_t* report, size_t length) override {
        return hid_get_input_report(m_device, report, length);
    }

private:
    hid_device* m_device;
};

} // namespace

std::vector<HidDeviceInfo> HidapiBackend::enumerate() {
    std::vector<HidDeviceInfo> out;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
        if (d->path != nullptr)
            out.push_back(HidDeviceInfo{d->path, d->vendor_id, d->product_id});
    }
    hid_free_enumeration(list);
    return out;
}

std::unique_ptr<HidHandle> HidapiBackend::open(const std::string& path) {
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr)
        return nullptr;
    return std::make_unique<HidapiHandle>(device);
}

std::vector<uint8_t> HidapiBackend::reportDescriptor(const std::string& path) {
    // hidraw paths are /dev/hidrawN, and the kernel publishes the descriptor under the same name.
    const size_t slash = path.rfind('/');
    const std::string node = slash == std::string::npos ? path : path.substr(slash + 1);
    if (node.rfind("hidraw", 0) != 0 || node.find("..") != std::string::npos)
        return {};
    std::ifstream file("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
    if (!file)
        return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace qmr
