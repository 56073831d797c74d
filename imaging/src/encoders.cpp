// The picture writers: JPEG (libjpeg-turbo), TIFF with LZW (libtiff) and GIF (giflib).
#include "qx/imaging/encoders.h"

#include "bmp_format.h"
#include "file_io.h"
#include "gif_palette.h"
#include "jpeg_codec.h"
#include "tiff_lzw.h"

#include <QFile>
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <gif_lib.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <tiffio.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qx::imaging {

using namespace detail;

namespace {

// Rows of a picture wherever they are stored (a Picture, or a BMP file read block by block).
struct RowSource {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    std::vector<QRgb> palette; // 2^bits entries for 1- and 8-bit sources
    // Makes rows first..first+count-1 available to row(); false on a read error.
    std::function<bool(int first, int count)> load = [](int, int) { return true; };
    std::function<const uint8_t*(int y)> row;
    // Rows per load: bounded by the reader's buffer.
    int batch = 256;
};

JpegRows jpegRowsOf(const RowSource& src, std::vector<uint8_t>& scratch) {
    JpegRows out;
    out.width = src.width;
    out.height = src.height;
    const std::size_t w = static_cast<std::size_t>(src.width);
    auto direct = [&src](int first, int count, const uint8_t** rows) {
        if (!src.load(first, count))
            return false;
        for (int i = 0; i < count; ++i)
            rows[i] = src.row(first + i);
        return true;
    };
    if (src.bitsPerPixel == 24 || src.bitsPerPixel == 32) {
        out.input = src.bitsPerPixel == 24 ? JpegInput::Bgr : JpegInput::Bgrx;
        // Many rows per call: the encoder takes what it needs without our loop in between.
        out.batch = std::min(src.height, src.batch);
        out.fetch = direct;
        return out;
    }
    const std::vector<QRgb>& pal = src.palette;
    const bool grey = isGrey(pal);
    if (grey && src.bitsPerPixel == 8 && isGreyRamp(pal)) {
        out.input = JpegInput::Grey;
        out.batch = std::min(src.height, src.batch);
        out.fetch = direct;
        return out;
    }
    out.input = grey ? JpegInput::Grey : JpegInput::Bgr;
    out.batch = std::min({src.height, src.batch, 16});
    const std::size_t rowBytes = grey ? w : w * 3;
    scratch.resize(rowBytes * static_cast<std::size_t>(out.batch));
    const int bits = src.bitsPerPixel;
    out.fetch = [&src, &scratch, &pal, grey, bits, rowBytes, w](int first, int count, const uint8_t** rows) {
        if (!src.load(first, count))
            return false;
        for (int i = 0; i < count; ++i) {
            const uint8_t* in = src.row(first + i);
            uint8_t* o = scratch.data() + static_cast<std::size_t>(i) * rowBytes;
            for (std::size_t x = 0; x < w; ++x) {
                const unsigned index = bits == 8 ? in[x] : (in[x >> 3] >> (7 - (x & 7))) & 1u;
                const QRgb c = pal[index];
                if (grey) {
                    o[x] = static_cast<uint8_t>(qRed(c));
                } else {
                    o[x * 3] = static_cast<uint8_t>(qBlue(c));
                    o[x * 3 + 1] = static_cast<uint8_t>(qGreen(c));
                    o[x * 3 + 2] = static_cast<uint8_t>(qRed(c));
                }
            }
            rows[i] = o;
        }
        return true;
    };
    return out;
}

RowSource rowsOf(const Picture& p) {
    RowSource s;
    s.width = p.width;
    s.height = p.height;
    s.bitsPerPixel = p.bitsPerPixel;
    s.palette = fullPalette(p);
    const uint8_t* base = p.pixels.data();
    const std::size_t stride = static_cast<std::size_t>(p.stride);
    s.row = [base, stride](int y) { return base + static_cast<std::size_t>(y) * stride; };
    return s;
}

} // namespace

bool convertBmpToJpeg(const QString& bmpPath, const QString& jpegPath, int quality) {
    const std::optional<OpenedBmp> file = openBmp(bmpPath);
    if (!file)
        return false;
    const int fd = file->fd;
    const BmpLayout* layout = &file->layout;

    RowSource src;
    src.width = layout->width;
    src.height = layout->height;
    src.bitsPerPixel = layout->bitsPerPixel;
    src.palette = fullPalette(layout->palette, layout->bitsPerPixel);
    const std::size_t stride = layout->stride;
    // Blocks of about half a megabyte: the rows stay in cache from the read to the encoder, and a
    // reused buffer costs no fresh pages, which are dear in a virtual machine.
    src.batch = static_cast<int>(std::clamp<std::size_t>((512 * 1024) / stride, 16, 1024));
    std::vector<uint8_t> block;
    try {
        block.resize(stride * static_cast<std::size_t>(std::min(src.batch, src.height)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    int blockFirst = 0;
    int blockCount = 0;
    const bool bottomUp = layout->bottomUp;
    const int height = layout->height;
    const uint64_t pixelOffset = layout->pixelOffset;
    // The file's rows go to the encoder where they were read; bottom-up rows are taken in reverse.
    src.load = [&, fd](int first, int count) {
        const int storedFirst = bottomUp ? height - first - count : first;
        const std::size_t bytes = stride * static_cast<std::size_t>(count);
        blockFirst = first;
        blockCount = count;
        return readAt(fd, block.data(), bytes, pixelOffset + static_cast<uint64_t>(storedFirst) * stride) ==
               static_cast<long long>(bytes);
    };
    src.row = [&](int y) {
        const int inBlock = bottomUp ? blockFirst + blockCount - 1 - y : y - blockFirst;
        return block.data() + stride * static_cast<std::size_t>(inBlock);
    };
    std::vector<uint8_t> scratch;
    return encodeJpeg(jpegRowsOf(src, scratch), jpegPath, quality, layout->dpiX, layout->dpiY);
}

bool saveJpeg(const Picture& picture, const QString& path, int quality, double dpiX, double dpiY) {
    if (!isWellFormed(picture))
        return false;
    const RowSource src = rowsOf(picture);
    std::vector<uint8_t> scratch;
    return encodeJpeg(jpegRowsOf(src, scratch), path, quality, dpiX > 0 ? dpiX : picture.dpiX,
                      dpiY > 0 ? dpiY : picture.dpiY);
}

std::optional<QByteArray> encodeJpeg(const Picture& picture, int quality, double dpiX, double dpiY) {
    if (!isWellFormed(picture))
        return std::nullopt;
    const RowSource src = rowsOf(picture);
    std::vector<uint8_t> scratch;
    return encodeJpegBytes(jpegRowsOf(src, scratch), quality, dpiX > 0 ? dpiX : picture.dpiX,
                           dpiY > 0 ? dpiY : picture.dpiY);
}

namespace {

// libtiff's messages go to this handle's own handler instead of standard error.
int tiffError(TIFF*, void* failed, const char*, const char*, va_list) {
    *static_cast<bool*>(failed) = true;
    return 1;
}
int tiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() {
        if (tif)
            TIFFClose(tif);
    }
};

// Strips of about this size: few enough to keep libtiff's per-strip work small, small enough for
// any reader's memory.
constexpr std::size_t kStripBytes = 256 * 1024;

// Strips are coded on every core (libtiff codes one strip after the other) and written in order by
// whichever thread finishes the strip whose turn it is, while the others go on coding. The rows are
// read where they lie in the picture and a few reused buffers hold the coded strips that wait for
// their turn: no copy of the picture, no fresh pages for every strip, and the writes overlap the
// coding.
bool writeStrips(TIFF* tif, const Picture& p, StripPixels pixels, std::size_t rowBytes,
                 uint32_t rowsPerStrip) {
    const uint32_t height = static_cast<uint32_t>(p.height);
    const uint32_t strips = (height + rowsPerStrip - 1) / rowsPerStrip;
    const unsigned helpers = std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()) - 1,
                                                std::min<uint32_t>(strips - 1, 7));
    // No thread waits for another: when the thread of the next strip is held up (a busy machine),
    // the others code on and their strips wait here, as many as it takes.
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> coded(strips);
    std::vector<std::vector<uint8_t>> spare;
    std::vector<char> ready(strips, 0);
    uint32_t claimed = 0;
    uint32_t written = 0;
    bool writing = false;
    bool failed = false;

    auto work = [&]() noexcept {
        try {
            TiffLzwEncoder encoder;
            std::vector<uint8_t> buffer;
            for (;;) {
                uint32_t index;
                {
                    std::unique_lock lock(mutex);
                    if (failed || claimed == strips)
                        return;
                    index = claimed++;
                    if (buffer.capacity() == 0 && !spare.empty()) {
                        buffer = std::move(spare.back());
                        spare.pop_back();
                    }
                }
                const uint32_t first = index * rowsPerStrip;
                const uint8_t* rows = p.pixels.data() + static_cast<std::size_t>(first) * p.stride;
                encoder.encodeRows(rows, static_cast<std::size_t>(p.stride),
                                   std::min(rowsPerStrip, height - first), static_cast<std::size_t>(p.width),
                                   pixels, rowBytes, buffer);
                std::unique_lock lock(mutex);
                coded[index] = std::move(buffer);
                buffer = {};
                ready[index] = 1;
                if (writing)
                    continue; // the thread writing now takes this strip when its turn comes
                writing = true;
                while (!failed && written < strips && ready[written]) {
                    std::vector<uint8_t> strip = std::move(coded[written]);
                    lock.unlock();
                    const bool ok = TIFFWriteRawStrip(tif, written, strip.data(),
                                                      static_cast<tmsize_t>(strip.size())) >= 0;
                    lock.lock();
                    spare.push_back(std::move(strip));
                    ++written;
                    failed = failed || !ok;
                }
                writing = false;
            }
        } catch (const std::bad_alloc&) {
            const std::lock_guard lock(mutex);
            failed = true;
        }
    };
    std::vector<std::thread> threads;
    try {
        for (unsigned i = 0; i < helpers; ++i)
            threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads only make it slower.
    }
    work();
    for (std::thread& t : threads)
        t.join();
    return !failed && written == strips;
}

} // namespace

struct TiffPageWriter::Impl {
    explicit Impl(const QString& path) : file(path) {}
    ReplacingFile file;
    TiffCloser closer{nullptr};
    bool failed = false; // set by libtiff's error handler, or by a page that could not be written
    int pages = 0;
};

TiffPageWriter::TiffPageWriter(const QString& path) : m_impl(std::make_unique<Impl>(path)) {
    Impl& w = *m_impl;
    if (!w.file.open()) {
        w.failed = true;
        return;
    }
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, tiffError, &w.failed);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffWarning, nullptr);
    w.closer.tif = TIFFOpenExt(w.file.temporaryName().constData(), "w", options);
    TIFFOpenOptionsFree(options);
    if (!w.closer.tif)
        w.failed = true;
}

// The temporary file goes with the ReplacingFile when commit() was never reached.
TiffPageWriter::~TiffPageWriter() = default;

int TiffPageWriter::pages() const {
    return m_impl->pages;
}

bool TiffPageWriter::commit() {
    Impl& w = *m_impl;
    if (w.failed || w.pages == 0 || !w.closer.tif)
        return false;
    TIFF* tif = std::exchange(w.closer.tif, nullptr);
    TIFFClose(tif);
    return !w.failed && w.file.commit();
}

bool TiffPageWriter::addPage(const Picture& p, double dpiX, double dpiY) {
    Impl& w = *m_impl;
    if (w.failed || !isWellFormed(p)) {
        w.failed = true;
        return false;
    }
    if (!writePage(p, dpiX, dpiY) || !TIFFWriteDirectory(w.closer.tif) || w.failed) {
        w.failed = true;
        return false;
    }
    ++w.pages;
    return true;
}

bool saveTiffLzw(const Picture& p, const QString& path, double dpiX, double dpiY) {
    TiffPageWriter writer(path);
    return writer.addPage(p, dpiX, dpiY) && writer.commit();
}

bool TiffPageWriter::writePage(const Picture& p, double dpiX, double dpiY) {
    TIFF* tif = m_impl->closer.tif;
    const double resX = dpiX > 0 ? dpiX : p.dpiX;
    const double resY = dpiY > 0 ? dpiY : p.dpiY;
    const int bits = p.bitsPerPixel;
    const bool colour = bits == 24 || bits == 32;
    const std::vector<QRgb> palette = fullPalette(p);
    uint16_t photometric = PHOTOMETRIC_RGB;
    if (bits == 1) {
        const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
        const QRgb c0 = palette[0] | 0xFF000000u, c1 = palette[1] | 0xFF000000u;
        photometric = c0 == white && c1 == black   ? PHOTOMETRIC_MINISWHITE
                      : c0 == black && c1 == white ? PHOTOMETRIC_MINISBLACK
                                                   : PHOTOMETRIC_PALETTE;
    } else if (bits == 8) {
        photometric = isGreyRamp(palette) ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
    }
    const std::size_t rowBytes =
        colour ? static_cast<std::size_t>(p.width) * 3 : (static_cast<std::size_t>(p.width) * bits + 7) / 8;
    const uint32_t rowsPerStrip = static_cast<uint32_t>(
        std::clamp<std::size_t>(kStripBytes / rowBytes, 1, static_cast<std::size_t>(p.height)));
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(p.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(p.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(colour ? 8 : bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(colour ? 3 : 1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    // No horizontal predictor: it would cost a pass over every strip for a little smaller file.
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (resX > 0 && resY > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, resX);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, resY);
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> r(palette.size()), g(palette.size()), b(palette.size());
        for (std::size_t i = 0; i < palette.size(); ++i) {
            r[i] = static_cast<uint16_t>(qRed(palette[i]) * 257);
            g[i] = static_cast<uint16_t>(qGreen(palette[i]) * 257);
            b[i] = static_cast<uint16_t>(qBlue(palette[i]) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }

    const StripPixels pixels = bits == 24   ? StripPixels::Bgr
                               : bits == 32 ? StripPixels::Bgrx
                                            : StripPixels::Bytes;
    return writeStrips(tif, p, pixels, rowBytes, rowsPerStrip);
}

namespace {

int gifWrite(GifFileType* gif, const GifByteType* data, int size) {
    auto* file = static_cast<ReplacingFile*>(gif->UserData);
    return file->write(data, static_cast<std::size_t>(size)) ? size : 0;
}

} // namespace

bool saveGif(const Picture& p, const QString& path) {
    if (!isWellFormed(p) || p.width > 65535 || p.height > 65535)
        return false;
    const bool colour = p.bitsPerPixel == 24 || p.bitsPerPixel == 32;
    std::unique_ptr<ColourMapper> mapper;
    std::vector<QRgb> palette;
    if (colour) {
        mapper = std::make_unique<ColourMapper>(p);
        palette = mapper->palette();
    } else {
        palette = p.palette.empty() ? fullPalette(p) : p.palette;
        if (p.bitsPerPixel == 8) {
            // Indexes past the palette's end show as black, as everywhere else.
            uint8_t highest = 0;
            for (int y = 0; y < p.height; ++y) {
                const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
                highest = std::max(highest, *std::max_element(row, row + p.width));
            }
            if (palette.size() <= highest)
                palette.resize(std::size_t{highest} + 1, qRgb(0, 0, 0));
        }
        palette.resize(std::min<std::size_t>(palette.size(), std::size_t{1} << p.bitsPerPixel));
    }
    // A GIF colour table has 2^n entries, n from 1 to 8.
    int tableBits = 1;
    while ((std::size_t{1} << tableBits) < palette.size())
        ++tableBits;
    std::vector<GifColorType> colours(std::size_t{1} << tableBits, GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < palette.size(); ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(qRed(palette[i])),
                                  static_cast<GifByteType>(qGreen(palette[i])),
                                  static_cast<GifByteType>(qBlue(palette[i]))};

    ReplacingFile file(path);
    if (!file.open())
        return false;
    int error = 0;
    GifFileType* gif = EGifOpen(&file, gifWrite, &error);
    if (!gif)
        return false;
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    bool ok = map && EGifPutScreenDesc(gif, p.width, p.height, tableBits, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<std::size_t>(p.width));
    for (int y = 0; ok && y < p.height; ++y) {
        const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
        if (colour) {
            mapper->mapRow(row, p.width, p.bitsPerPixel / 8, line.data());
        } else if (p.bitsPerPixel == 8) {
            std::memcpy(line.data(), row, line.size());
        } else {
            for (int x = 0; x < p.width; ++x)
                line[x] = static_cast<GifPixelType>((row[x >> 3] >> (7 - (x & 7))) & 1);
        }
        ok = EGifPutLine(gif, line.data(), p.width) == GIF_OK;
    }
    // The screen descriptor keeps its own copy of the colour map.
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok && file.commit();
}

} // namespace qx::imaging
