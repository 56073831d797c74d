// Counts the bits of every input and output report a HID report descriptor declares.
#include "report_descriptor.h"

#include <algorithm>
#include <map>

namespace qmr {

namespace {

struct Globals {
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

uint32_t itemValue(const std::vector<uint8_t>& d, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= static_cast<uint32_t>(d[at + i]) << (8 * i);
    return value;
}

uint16_t lengthOf(const std::map<uint32_t, uint64_t>& bitsById) {
    uint64_t bits = 0;
    for (const auto& [id, count] : bitsById)
        bits = std::max(bits, count);
    if (bits == 0)
        return 0;
    // Like the capabilities, the length counts the report-id byte even when the device uses none.
    return static_cast<uint16_t>(std::min<uint64_t>((bits + 7) / 8 + 1, 0xFFFF));
}

} // namespace

ReportLengths reportLengths(const std::vector<uint8_t>& descriptor) {
    std::map<uint32_t, uint64_t> inputBits;
    std::map<uint32_t, uint64_t> outputBits;
    Globals globals;
    std::vector<Globals> stack;

    size_t at = 0;
    while (at < descriptor.size()) {
        const uint8_t prefix = descriptor[at];
        if (prefix == 0xFE) {
            // Long items carry no report layout; skip them by their own size byte.
            if (at + 1 >= descriptor.size())
                break;
            at += 3 + descriptor[at + 1];
            continue;
        }
        static constexpr size_t kSizes[] = {0, 1, 2, 4};
        const size_t size = kSizes[prefix & 0x03];
        if (at + 1 + size > descriptor.size())
            break;
        const uint32_t value = itemValue(descriptor, at + 1, size);
        const uint8_t type = (prefix >> 2) & 0x03;
        const uint8_t tag = prefix >> 4;
        if (type == 0) {
            const uint64_t bits = static_cast<uint64_t>(globals.reportSize) * globals.reportCount;
            if (tag == 0x8)
                inputBits[globals.reportId] += bits;
            else if (tag == 0x9)
                outputBits[globals.reportId] += bits;
        } else if (type == 1) {
            switch (tag) {
            case 0x7:
                globals.reportSize = value;
                break;
            case 0x8:
                globals.reportId = value;
                break;
            case 0x9:
                globals.reportCount = value;
                break;
            case 0xA:
                stack.push_back(globals);
                break;
            case 0xB:
                if (!stack.empty()) {
                    globals = stack.back();
                    stack.pop_back();
                }
                break;
            default:
                break;
            }
        }
        at += 1 + size;
    }
    return ReportLengths{lengthOf(inputBits), lengthOf(outputBits)};
}

} // namespace qmr
