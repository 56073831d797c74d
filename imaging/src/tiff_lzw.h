// TIFF's LZW coding of one strip, written here so that strips can be coded on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qx::imaging::detail {

// How a picture's row is stored; a strip holds the colour pictures' pixels as R, G, B.
enum class StripPixels {
    Bytes, // the row's bytes as they are (1- and 8-bit pictures)
    Bgr,   // 24-bit B, G, R
    Bgrx,  // 32-bit B, G, R and an unused byte
};

// Codes exactly as libtiff's encoder does, byte for byte: clear code first, 9 to 12 bits, "early
// change" of the code width, a clear when the table is full or when the compression ratio has
// fallen since libtiff's last look, end code last. Every TIFF reader decodes it.
class TiffLzwEncoder {
public:
    TiffLzwEncoder();
    // Replaces `out` with the coded strip of `rows` rows of `width` pixels, `stride` bytes apart,
    // read where they lie: the colour pictures' B, G, R become the strip's R, G, B on the way in, so no
    // copy of the strip is made.
    void encodeRows(const uint8_t* firstRow, std::size_t stride, std::size_t rows, std::size_t width,
                    StripPixels pixels, std::size_t rowBytes, std::vector<uint8_t>& out);

private:
    template <class ForEachByte>
    void code(std::size_t size, unsigned first, ForEachByte&& forEachByte, std::vector<uint8_t>& out);

    // The code of string s followed by byte b is m_child[s * 256 + b] (0: not in the table): one
    // load per byte. Only the entries of the current table are cleared at a reset, not all 2 MB.
    // Tried on the benchmark's photograph and slower or no faster: small hash tables (open
    // addressing, two-way buckets, or only for strings longer than one byte), a branch-free loop
    // (1.7 times slower: each byte then waits for the table), two strips interleaved on one thread,
    // prefetching the table.
    std::vector<uint16_t> m_child;
    std::vector<uint32_t> m_used;
};

} // namespace qx::imaging::detail
