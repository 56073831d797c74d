// A marker walk over a JPEG file that never trusts a length it has not checked against the file.
#include "jpeg_header.h"

#include "qx/pdf/pdf_document.h"

#include <cstring>

namespace qx::pdf::detail {

namespace {

[[noreturn]] void fail(const std::string& why) {
    throw PdfError("JPEG image: " + why);
}

bool isFrameMarker(int m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

} // namespace

JpegHeader readJpegHeader(const ReadAt& read, uint64_t fileSize) {
    uint8_t b[16];
    if (fileSize < 4 || !read(0, b, 2) || b[0] != 0xFF || b[1] != 0xD8)
        fail("not a JPEG file");
    JpegHeader h;
    uint64_t pos = 2;
    for (;;) {
        if (pos + 2 > fileSize || !read(pos, b, 2))
            fail("the file ends before the frame header");
        if (b[0] != 0xFF)
            fail("a marker is missing where one must be");
        // Any number of 0xFF fill bytes may stand before a marker's code.
        uint64_t at = pos + 1;
        int marker = b[1];
        while (marker == 0xFF) {
            if (++at >= fileSize || !read(at, b, 1))
                fail("the file ends before the frame header");
            marker = b[0];
        }
        pos = at + 1;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // stand-alone markers carry no length
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || marker == 0x00)
            fail("no frame header before the image data");
        if (pos + 2 > fileSize || !read(pos, b, 2))
            fail("the file ends inside a marker segment");
        const unsigned length = static_cast<unsigned>(b[0]) << 8 | b[1];
        if (length < 2 || pos + length > fileSize)
            fail("a marker segment runs past the end of the file");
        if (marker == 0xEE && length >= 2 + 12) {
            if (!read(pos + 2, b, 5))
                fail("the file cannot be read");
            h.adobe = std::memcmp(b, "Adobe", 5) == 0;
        } else if (isFrameMarker(marker)) {
            if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2)
                fail("lossless, hierarchical or arithmetic-coded JPEGs cannot be embedded");
            if (length < 8 || !read(pos + 2, b, 6))
                fail("the frame header is cut short");
            const int precision = b[0];
            h.height = b[1] << 8 | b[2];
            h.width = b[3] << 8 | b[4];
            h.components = b[5];
            if (precision != 8)
                fail("only 8 bits per sample can be embedded");
            if (h.width == 0 || h.height == 0)
                fail("the frame header gives no picture size");
            if (h.components != 1 && h.components != 3 && h.components != 4)
                fail("only 1, 3 or 4 components have a PDF colour space");
            if (length != 8u + 3u * static_cast<unsigned>(h.components))
                fail("the frame header's length does not match its components");
            h.progressive = marker == 0xC2;
            return h;
        }
        pos += length;
    }
}

} // namespace qx::pdf::detail
