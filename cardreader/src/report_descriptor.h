// Report lengths from a HID report descriptor, as the HID capabilities would give them.
#pragma once

#include <cstdint>
#include <vector>

namespace qmr {

struct ReportLengths {
    // Bytes of the longest report in each direction including the report-id byte; 0 when the
    // descriptor declares no report of that direction.
    uint16_t input = 0;
    uint16_t output = 0;
};

// Walks the descriptor's main and global items (with push and pop). A truncated or malformed
// descriptor yields what was counted before the fault; lengths beyond 16 bits are clamped.
ReportLengths reportLengths(const std::vector<uint8_t>& descriptor);

} // namespace qmr
