// KelpoFilterImageResize: a BMP file image resampled from a source to a target resolution.
#include "qx/imaging/bmp_layout.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace qx::bmp;

constexpr int64_t kMaxSide = 30000;
constexpr int64_t kMaxImage = 1LL << 31;

} // namespace

// The input must be a complete, uncompressed 24- or 32-bit BMP file image; its own file-size field
// bounds what is read. The result is a 24-bit BMP file image of the scaled size with the target
// resolution in its header; 0 for input that is not such an image or resolutions that are not positive.
QX_EXPORT int32_t KelpoFilterImageResize(const uint8_t* bmp, int32_t sourceDpi, int32_t targetDpi,
                                         uint8_t* output) {
    if (!bmp || sourceDpi <= 0 || targetDpi <= 0 || !hasSignature(bmp))
        return 0;
    const int64_t fileSize = get32(bmp + field::kFileSize);
    const int64_t offset = get32(bmp + field::kPixelOffset);
    const int64_t width = static_cast<int32_t>(get32(bmp + field::kWidth));
    const int64_t rawHeight = static_cast<int32_t>(get32(bmp + field::kHeight));
    const int bits = get16(bmp + field::kBitsPerPixel);
    if (get32(bmp + field::kInfoSize) < kInfoHeaderSize || get32(bmp + field::kCompression) != kBiRgb ||
        (bits != 24 && bits != 32) || width <= 0 || width > kMaxSide || rawHeight == 0 ||
        std::llabs(rawHeight) > kMaxSide)
        return 0;
    const int64_t height = std::llabs(rawHeight);
    const auto inStride = static_cast<int64_t>(rowStride(width, bits));
    if (offset < static_cast<int64_t>(kHeadersSize) || offset + inStride * height > fileSize)
        return 0;

    const double scale = static_cast<double>(targetDpi) / sourceDpi;
    const int64_t outWidth = std::max<int64_t>(1, std::llround(width * scale));
    const int64_t outHeight = std::max<int64_t>(1, std::llround(height * scale));
    const auto outStride = static_cast<int64_t>(rowStride(outWidth, 24));
    const int64_t outSize = static_cast<int64_t>(kHeadersSize) + outStride * outHeight;
    if (outWidth > kMaxSide || outHeight > kMaxSide || outSize >= kMaxImage)
        return 0;
    if (!output)
        return static_cast<int32_t>(outSize);

    std::memset(output, 0, static_cast<std::size_t>(outSize));
    Header header;
    header.width = static_cast<int32_t>(outWidth);
    // The row order of the input is kept: resampling does not care which way the rows run.
    header.height = static_cast<int32_t>(rawHeight < 0 ? -outHeight : outHeight);
    header.imageSize = static_cast<uint32_t>(outStride * outHeight);
    header.ppmX = header.ppmY = pixelsPerMetre(targetDpi);
    writeHeaders(header, output);

    cv::Mat in(static_cast<int>(height), static_cast<int>(width), bits == 24 ? CV_8UC3 : CV_8UC4,
               const_cast<uint8_t*>(bmp + offset), static_cast<std::size_t>(inStride));
    cv::Mat in3;
    if (bits == 32)
        cv::cvtColor(in, in3, cv::COLOR_BGRA2BGR);
    else
        in3 = in;
    cv::Mat out(static_cast<int>(outHeight), static_cast<int>(outWidth), CV_8UC3, output + kHeadersSize,
                static_cast<std::size_t>(outStride));
    cv::resize(in3, out, out.size(), 0, 0, scale < 1.0 ? cv::INTER_AREA : cv::INTER_CUBIC);
    return static_cast<int32_t>(outSize);
}
