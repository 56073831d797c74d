// A table-driven LZW coder producing TIFF's code stream (MSB-first codes, early change).
#include "tiff_lzw.h"

namespace qx::imaging::detail {

namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirst = 258;
constexpr unsigned kMinBits = 9;
// libtiff resets at 4094 entries, one short of the 12-bit limit, and decoders rely on nothing more.
constexpr unsigned kFull = 4094;

// Codes go into a 64-bit accumulator and leave four bytes at a time.
class BitSink {
public:
    explicit BitSink(uint8_t* out) : m_out(out) {}
    void put(unsigned code, unsigned bits) {
        m_acc = m_acc << bits | code;
        m_bits += bits;
        if (m_bits >= 32) {
            m_bits -= 32;
            const auto word = static_cast<uint32_t>(m_acc >> m_bits);
            m_out[0] = static_cast<uint8_t>(word >> 24);
            m_out[1] = static_cast<uint8_t>(word >> 16);
            m_out[2] = static_cast<uint8_t>(word >> 8);
            m_out[3] = static_cast<uint8_t>(word);
            m_out += 4;
        }
    }
    // Pads the last byte with zero bits; returns the end of the output.
    uint8_t* finish() {
        while (m_bits >= 8) {
            m_bits -= 8;
            *m_out++ = static_cast<uint8_t>(m_acc >> m_bits);
        }
        if (m_bits > 0)
            *m_out++ = static_cast<uint8_t>(m_acc << (8 - m_bits));
        m_bits = 0;
        return m_out;
    }

private:
    uint8_t* m_out;
    uint64_t m_acc = 0;
    unsigned m_bits = 0;
};

} // namespace

TiffLzwEncoder::TiffLzwEncoder() : m_child(std::size_t{kFull} * 256, 0), m_used(kFull) {}

void TiffLzwEncoder::encode(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out) {
    // At most one code of at most 12 bits per byte, plus clear codes, the last string and the end.
    out.resize(size * 3 / 2 + size / 1024 + 16);
    // Raw pointers: the output bytes could alias the vectors' own fields as far as the compiler
    // knows, which would reload them on every byte.
    uint16_t* const child = m_child.data();
    uint32_t* const used = m_used.data();
    std::size_t usedCount = 0;
    BitSink sink(out.data());
    unsigned bits = kMinBits;
    unsigned maxCode = (1u << bits) - 1;
    unsigned next = kFirst;
    sink.put(kClear, bits);
    if (size > 0) {
        unsigned string = data[0];
        for (std::size_t i = 1; i < size; ++i) {
            const unsigned byte = data[i];
            const uint32_t slot = string * 256 + byte;
            if (const unsigned code = child[slot]) {
                string = code;
                continue;
            }
            sink.put(string, bits);
            child[slot] = static_cast<uint16_t>(next++);
            used[usedCount++] = slot;
            string = byte;
            if (next == kFull) {
                sink.put(kClear, bits);
                for (std::size_t k = 0; k < usedCount; ++k)
                    child[used[k]] = 0;
                usedCount = 0;
                next = kFirst;
                bits = kMinBits;
                maxCode = (1u << bits) - 1;
            } else if (next > maxCode) {
                ++bits;
                maxCode = (1u << bits) - 1;
            }
        }
        sink.put(string, bits);
        // The decoder adds an entry for the last code too, and reads the end code at its new width.
        if (++next == kFull) {
            sink.put(kClear, bits);
            bits = kMinBits;
        } else if (next > maxCode) {
            ++bits;
        }
    }
    sink.put(kEnd, bits);
    out.resize(static_cast<std::size_t>(sink.finish() - out.data()));
    for (std::size_t k = 0; k < usedCount; ++k)
        child[used[k]] = 0;
}

} // namespace qx::imaging::detail
