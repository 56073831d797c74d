// The libjpeg-turbo encoder and decoder with their error handling and a large-buffer destination.
#include "jpeg_codec.h"

#include "qx/imaging/jpeg_stream.h"

#include "bmp_format.h"
#include "file_io.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>
#include <memory>
#include <new>
#include <vector>

namespace qx::imaging::detail {

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return; a longjmp back to the
// function that set it up is the library's own documented way. The functions holding the jmp_buf
// keep only trivially destructible locals, so nothing is skipped by the jump.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (a corrupt but decodable stream) are not worth a line on standard error here.
void silentMessage(j_common_ptr) {}

void initErrors(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silentMessage;
}

// The stdio destination writes 4 KB at a time; this one hands the file large blocks.
constexpr std::size_t kDestinationBytes = 256 * 1024;

struct Destination {
    jpeg_destination_mgr pub;
    ReplacingFile* file;
    uint8_t* buffer;
};

void initDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kDestinationBytes;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!d->file->write(d->buffer, kDestinationBytes))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kDestinationBytes;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    const std::size_t used = kDestinationBytes - d->pub.free_in_buffer;
    if (used > 0 && !d->file->write(d->buffer, used))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

uint16_t densityOf(double dpi) {
    return static_cast<uint16_t>(std::clamp(std::lround(dpi), 1L, 65535L));
}

// `dest` is the file destination, or null for libjpeg's memory destination into `memory`.
bool runEncoder(jpeg_compress_struct& c, ErrorManager& err, Destination* dest, unsigned char** memory,
                unsigned long* memorySize, const JpegRows& src, int quality, double dpiX, double dpiY,
                const uint8_t** rowPointers) {
    c.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        return false;
    }
    jpeg_create_compress(&c);
    if (dest)
        c.dest = &dest->pub;
    else
        jpeg_mem_dest(&c, memory, memorySize);
    c.image_width = static_cast<JDIMENSION>(src.width);
    c.image_height = static_cast<JDIMENSION>(src.height);
    switch (src.input) {
    case JpegInput::Grey:
        c.input_components = 1;
        c.in_color_space = JCS_GRAYSCALE;
        break;
    case JpegInput::Bgr:
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;
        break;
    case JpegInput::Bgrx:
        c.input_components = 4;
        c.in_color_space = JCS_EXT_BGRX;
        break;
    }
    jpeg_set_defaults(&c);
    // The accurate integer DCT: with SIMD it costs little over the fast one and keeps quality honest.
    c.dct_method = JDCT_ISLOW;
    jpeg_set_quality(&c, std::clamp(quality, 1, 100), TRUE);
    c.write_JFIF_header = TRUE;
    if (dpiX > 0 && dpiY > 0) {
        c.density_unit = 1;
        c.X_density = densityOf(dpiX);
        c.Y_density = densityOf(dpiY);
    } else {
        c.density_unit = 0;
        c.X_density = 1;
        c.Y_density = 1;
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        const int first = static_cast<int>(c.next_scanline);
        const int count = std::min(src.batch, src.height - first);
        if (!src.fetch(first, count, rowPointers)) {
            jpeg_destroy_compress(&c);
            return false;
        }
        jpeg_write_scanlines(&c, const_cast<JSAMPARRAY>(reinterpret_cast<const JSAMPLE* const*>(rowPointers)),
                             static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

} // namespace

bool encodeJpeg(const JpegRows& src, const QString& path, int quality, double dpiX, double dpiY) {
    if (src.width <= 0 || src.height <= 0 || src.width > JPEG_MAX_DIMENSION ||
        src.height > JPEG_MAX_DIMENSION || src.batch <= 0 || !src.fetch)
        return false;
    ReplacingFile file(path);
    if (!file.open())
        return false;
    std::vector<uint8_t> buffer(kDestinationBytes);
    std::vector<const uint8_t*> rowPointers(static_cast<std::size_t>(src.batch));
    Destination dest{};
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutputBuffer;
    dest.pub.term_destination = termDestination;
    dest.file = &file;
    dest.buffer = buffer.data();
    jpeg_compress_struct c{};
    ErrorManager err{};
    initErrors(err);
    if (!runEncoder(c, err, &dest, nullptr, nullptr, src, quality, dpiX, dpiY, rowPointers.data()))
        return false;
    return file.commit();
}

std::optional<QByteArray> encodeJpegBytes(const JpegRows& src, int quality, double dpiX, double dpiY) {
    if (src.width <= 0 || src.height <= 0 || src.width > JPEG_MAX_DIMENSION ||
        src.height > JPEG_MAX_DIMENSION || src.batch <= 0 || !src.fetch)
        return std::nullopt;
    std::vector<const uint8_t*> rowPointers(static_cast<std::size_t>(src.batch));
    jpeg_compress_struct c{};
    ErrorManager err{};
    initErrors(err);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    const bool ok = runEncoder(c, err, nullptr, &memory, &size, src, quality, dpiX, dpiY, rowPointers.data());
    std::optional<QByteArray> out;
    if (ok && memory && size > 0)
        out = QByteArray(reinterpret_cast<const char*>(memory), static_cast<qsizetype>(size));
    std::free(memory);
    return out;
}

namespace {

constexpr uint64_t kMaxDecodedBytes = uint64_t{1} << 31;

// Adobe's CMYK JPEGs store inverted values (255 = no ink).
void cmykToBgr(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted) {
    for (int x = 0; x < width; ++x) {
        const uint8_t* k4 = &cmyk[static_cast<std::size_t>(x) * 4];
        const int k = inverted ? k4[3] : 255 - k4[3];
        for (int ch = 0; ch < 3; ++ch) {
            const int ink = inverted ? k4[2 - ch] : 255 - k4[2 - ch];
            bgr[x * 3 + ch] = static_cast<uint8_t>((ink * k + 127) / 255);
        }
    }
}

bool isCmyk(const jpeg_decompress_struct& d) {
    return d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
}

// The JFIF density in dots per inch, or 0 when the file records none.
void densityOf(const jpeg_decompress_struct& d, double& dpiX, double& dpiY) {
    if (d.saw_JFIF_marker && d.X_density > 0 && d.Y_density > 0 && d.density_unit != 0) {
        const double perInch = d.density_unit == 2 ? 2.54 : 1.0;
        dpiX = d.X_density * perInch;
        dpiY = d.Y_density * perInch;
    }
}

bool runDecoder(jpeg_decompress_struct& d, ErrorManager& err, const uint8_t* data, std::size_t size,
                Picture& out, std::vector<uint8_t>& cmykRow, bool refuseDamaged) {
    d.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d, TRUE);
    const bool grey = d.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = isCmyk(d);
    d.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&d);
    out.width = static_cast<int>(d.output_width);
    out.height = static_cast<int>(d.output_height);
    out.bitsPerPixel = grey ? 8 : 24;
    out.stride = static_cast<int>(minimumStride(out.width, out.bitsPerPixel));
    // A header may promise a picture far larger than memory; that is a failure, not a crash.
    const uint64_t bytes = static_cast<uint64_t>(out.stride) * static_cast<uint64_t>(out.height);
    bool allocated = bytes <= kMaxDecodedBytes;
    if (allocated) {
        try {
            out.pixels.resize(static_cast<std::size_t>(bytes));
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    if (grey)
        out.palette = fullPalette({}, 8);
    densityOf(d, out.dpiX, out.dpiY);
    if (cmyk)
        cmykRow.resize(static_cast<std::size_t>(out.width) * 4);
    while (d.output_scanline < d.output_height) {
        uint8_t* row = out.pixels.data() + static_cast<std::size_t>(d.output_scanline) * out.stride;
        JSAMPROW target = cmyk ? cmykRow.data() : row;
        jpeg_read_scanlines(&d, &target, 1);
        if (cmyk)
            cmykToBgr(cmykRow.data(), row, out.width, d.saw_Adobe_marker);
        if (refuseDamaged && err.pub.num_warnings > 0) {
            jpeg_destroy_decompress(&d);
            return false;
        }
    }
    jpeg_finish_decompress(&d);
    const bool whole = !refuseDamaged || err.pub.num_warnings == 0;
    jpeg_destroy_decompress(&d);
    return whole;
}

} // namespace

std::optional<Picture> decodeJpegBytes(const uint8_t* data, std::size_t size, bool refuseDamaged) {
    if (size < 4)
        return std::nullopt;
    Picture out;
    std::vector<uint8_t> cmykRow;
    jpeg_decompress_struct d{};
    ErrorManager err{};
    initErrors(err);
    if (!runDecoder(d, err, data, size, out, cmykRow, refuseDamaged))
        return std::nullopt;
    return out;
}

std::optional<Picture> decodeJpegFile(const QString& path, bool refuseDamaged) {
    std::optional<FileBytes> bytes = readFile(path);
    if (!bytes)
        return std::nullopt;
    return decodeJpegBytes(bytes->data.get(), bytes->size, refuseDamaged);
}

} // namespace qx::imaging::detail

namespace qx::imaging {

using namespace detail;

namespace {

struct FileCloser {
    std::FILE* file = nullptr;
    ~FileCloser() {
        if (file)
            std::fclose(file);
    }
};

bool readInfo(jpeg_decompress_struct& d, ErrorManager& err, std::FILE* file, JpegInfo& info) {
    d.err = &err.pub;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, file);
    jpeg_read_header(&d, TRUE);
    info.width = static_cast<int>(d.image_width);
    info.height = static_cast<int>(d.image_height);
    info.components = d.num_components;
    densityOf(d, info.dpiX, info.dpiY);
    jpeg_destroy_decompress(&d);
    return info.width > 0 && info.height > 0;
}

} // namespace

std::optional<JpegInfo> readJpegInfo(const QString& path) {
    FileCloser closer{openStream(path)};
    if (!closer.file)
        return std::nullopt;
    JpegInfo info;
    jpeg_decompress_struct d{};
    ErrorManager err{};
    initErrors(err);
    if (!readInfo(d, err, closer.file, info))
        return std::nullopt;
    return info;
}

struct JpegRowReader::Impl {
    FileCloser closer;
    jpeg_decompress_struct d{};
    ErrorManager err{};
    bool created = false;
    bool failed = false;
    bool cmyk = false;
    std::vector<uint8_t> decoded; // a CMYK row as libjpeg gives it
    std::vector<uint8_t> row;     // B, G, R

    ~Impl() {
        if (created)
            jpeg_destroy_decompress(&d);
    }

    // Each libjpeg call of the reader runs in one of these two: a fatal error lands on their setjmp,
    // and their frames hold nothing that needs destroying.
    bool start() {
        d.err = &err.pub;
        if (setjmp(err.jump))
            return false;
        jpeg_create_decompress(&d);
        created = true;
        jpeg_stdio_src(&d, closer.file);
        jpeg_read_header(&d, TRUE);
        cmyk = isCmyk(d);
        d.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
        jpeg_start_decompress(&d);
        return d.output_width > 0 && d.output_height > 0;
    }

    bool readRow() {
        if (setjmp(err.jump))
            return false;
        JSAMPROW target = cmyk ? decoded.data() : row.data();
        // A file that ends early or holds corrupt data reads on with warnings (the rest grey): that is
        // no picture to pass on.
        if (jpeg_read_scanlines(&d, &target, 1) != 1 || err.pub.num_warnings > 0)
            return false;
        if (cmyk)
            cmykToBgr(decoded.data(), row.data(), static_cast<int>(d.output_width), d.saw_Adobe_marker);
        return true;
    }
};

JpegRowReader::JpegRowReader(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
JpegRowReader::~JpegRowReader() = default;

std::unique_ptr<JpegRowReader> JpegRowReader::open(const QString& path) {
    auto impl = std::make_unique<Impl>();
    impl->closer.file = openStream(path);
    if (!impl->closer.file)
        return nullptr;
    initErrors(impl->err);
    if (!impl->start())
        return nullptr;
    const std::size_t width = impl->d.output_width;
    try {
        impl->row.resize(width * 3);
        if (impl->cmyk)
            impl->decoded.resize(width * 4);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return std::unique_ptr<JpegRowReader>(new JpegRowReader(std::move(impl)));
}

int JpegRowReader::width() const {
    return static_cast<int>(m_impl->d.output_width);
}

int JpegRowReader::height() const {
    return static_cast<int>(m_impl->d.output_height);
}

const uint8_t* JpegRowReader::nextRow() {
    Impl& r = *m_impl;
    if (r.failed || r.d.output_scanline >= r.d.output_height)
        return nullptr;
    if (!r.readRow()) {
        r.failed = true;
        return nullptr;
    }
    return r.row.data();
}

bool writeJpegRows(int width, int height, int batch, const JpegRowFetch& fetch, const QString& path,
                   int quality, double dpiX, double dpiY) {
    if (width > kJpegMaxSide || height > kJpegMaxSide)
        return false;
    JpegRows rows;
    rows.width = width;
    rows.height = height;
    rows.input = JpegInput::Bgr;
    rows.batch = batch;
    rows.fetch = fetch;
    return encodeJpeg(rows, path, quality, dpiX, dpiY);
}

} // namespace qx::imaging
