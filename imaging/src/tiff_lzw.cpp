// A table-driven LZW coder producing TIFF's code stream (MSB-first codes, early change).
#include "tiff_lzw.h"

#include <cstring>
#include <type_traits>

namespace qx::imaging::detail {

namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirst = 258;
constexpr unsigned kMinBits = 9;
// libtiff resets at 4094 entries, one short of the 12-bit limit, and decoders rely on nothing more.
constexpr unsigned kFull = 4094;
// libtiff also starts a new table early when the compression ratio has fallen since its last look,
// which it takes every this many input bytes.
constexpr long kCheckGap = 10000;

// Codes go into a 64-bit accumulator and leave four bytes at a time.
class BitSink {
public:
    explicit BitSink(uint8_t* out) : m_out(out) {}
    void put(unsigned code, unsigned bits) {
        m_acc = m_acc << bits | code;
        m_bits += bits;
        if (m_bits >= 32) {
            m_bits -= 32;
            const uint32_t word = __builtin_bswap32(static_cast<uint32_t>(m_acc >> m_bits));
            std::memcpy(m_out, &word, 4);
            m_out += 4;
        }
    }
    // The number of bits put since `start`, where this sink began.
    std::size_t bitsSince(const uint8_t* start) const {
        return static_cast<std::size_t>(m_out - start) * 8 + m_bits;
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

// `size` is the strip's length and `first` its first byte; `forEachByte(feed)` hands every later byte
// to `feed` in order, with its place in the strip.
template <class ForEachByte>
void TiffLzwEncoder::code(std::size_t size, unsigned first, ForEachByte&& forEachByte,
                          std::vector<uint8_t>& out) {
    // At most one code of at most 12 bits per byte, plus clear codes, the last string and the end.
    out.resize(size * 3 / 2 + size / 1024 + 16);
    // Raw pointers: the output bytes could alias the vectors' own fields as far as the compiler
    // knows, which would reload them on every byte.
    uint16_t* const child = m_child.data();
    uint32_t* const used = m_used.data();
    std::size_t usedCount = 0;
    uint8_t* const start = out.data();
    BitSink sink(start);
    unsigned bits = kMinBits;
    unsigned maxCode = (1u << bits) - 1;
    unsigned next = kFirst;
    // libtiff's bookkeeping for its early resets: bytes in and bits out since the table was last
    // cleared (counted from where it was cleared), the ratio at the last look (24.8 fixed point) and
    // where the next look is due. Only the place of the next look is touched on every code.
    std::size_t inFrom = 0;
    std::size_t outFrom = 0;
    long ratio = 0;
    long checkpoint = kCheckGap;
    std::size_t lookAt = static_cast<std::size_t>(checkpoint) - 1;
    // Clears the table after the byte at `place`. Inlined where it is used: a call would keep the
    // coder's state in memory rather than in registers.
    auto clearTable = [&](std::size_t place) __attribute__((always_inline)) {
        outFrom = sink.bitsSince(start);
        sink.put(kClear, bits);
        inFrom = place + 1;
        lookAt = inFrom + static_cast<std::size_t>(checkpoint) - 1;
        ratio = 0;
        for (std::size_t k = 0; k < usedCount; ++k)
            child[used[k]] = 0;
        usedCount = 0;
        next = kFirst;
        bits = kMinBits;
        maxCode = (1u << bits) - 1;
    };
    sink.put(kClear, bits);
    if (size > 0) {
        unsigned string = first;
        auto feed = [&](unsigned byte, std::size_t place) __attribute__((always_inline)) {
            const uint32_t slot = string * 256 + byte;
            if (const unsigned code = child[slot]) {
                string = code;
                return;
            }
            sink.put(string, bits);
            child[slot] = static_cast<uint16_t>(next++);
            used[usedCount++] = slot;
            string = byte;
            if (next == kFull) {
                clearTable(place);
            } else if (next > maxCode) {
                ++bits;
                maxCode = (1u << bits) - 1;
            } else if (place >= lookAt) [[unlikely]] {
                const long inCount = static_cast<long>(place + 1 - inFrom);
                const long outCount = static_cast<long>(sink.bitsSince(start) - outFrom);
                checkpoint = inCount + kCheckGap;
                lookAt = inFrom + static_cast<std::size_t>(checkpoint) - 1;
                long now;
                if (inCount > 0x007fffff) {
                    now = outCount >> 8;
                    now = now == 0 ? 0x7fffffff : inCount / now;
                } else {
                    now = (inCount << 8) / outCount;
                }
                if (now <= ratio)
                    clearTable(place);
                else
                    ratio = now;
            }
        };
        forEachByte(feed);
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

void TiffLzwEncoder::encodeRows(const uint8_t* firstRow, std::size_t stride, std::size_t rows,
                                std::size_t width, StripPixels pixels, std::size_t rowBytes,
                                std::vector<uint8_t>& out) {
    if (pixels == StripPixels::Bytes) {
        code(
            rows * rowBytes, rows * rowBytes > 0 ? firstRow[0] : 0,
            [&](auto& feed) {
                for (std::size_t y = 0; y < rows; ++y) {
                    const uint8_t* row = firstRow + y * stride;
                    const std::size_t place = y * rowBytes;
                    for (std::size_t i = y == 0 ? 1 : 0; i < rowBytes; ++i)
                        feed(row[i], place + i);
                }
            },
            out);
        return;
    }
    // The colour layouts differ only in their step, so each gets a loop of its own with a constant one.
    auto colour = [&](auto step) {
        code(
            rows * width * 3, rows * width > 0 ? firstRow[2] : 0,
            [&](auto& feed) {
                std::size_t place = 0;
                for (std::size_t y = 0; y < rows; ++y) {
                    const uint8_t* in = firstRow + y * stride;
                    const uint8_t* const end = in + width * step;
                    if (y == 0) {
                        feed(in[1], 1);
                        feed(in[0], 2);
                        in += step;
                        place = 3;
                    }
                    for (; in != end; in += step, place += 3) {
                        feed(in[2], place);
                        feed(in[1], place + 1);
                        feed(in[0], place + 2);
                    }
                }
            },
            out);
    };
    if (pixels == StripPixels::Bgr)
        colour(std::integral_constant<std::size_t, 3>{});
    else
        colour(std::integral_constant<std::size_t, 4>{});
}

} // namespace qx::imaging::detail
