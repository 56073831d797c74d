// TIFF's LZW coding of one strip, written here so that strips can be coded on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qx::imaging::detail {

// Codes exactly as libtiff's encoder does (clear code first, 9 to 12 bits, "early change" of the
// code width, a clear when the table is full, end code last), so every TIFF reader decodes it.
class TiffLzwEncoder {
public:
    TiffLzwEncoder();
    // Replaces `out` with the coded strip.
    void encode(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out);

private:
    // The code of string s followed by byte b is m_child[s * 256 + b] (0: not in the table): one
    // load per byte. Only the entries of the current table are cleared at a reset, not all 2 MB; a
    // small hash table was tried and is a third slower on photographs.
    std::vector<uint16_t> m_child;
    std::vector<uint32_t> m_used;
};

} // namespace qx::imaging::detail
