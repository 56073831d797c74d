// KelpoFilterImageResize: a BMP file image resampled from a source to a target resolution.
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int64_t kMaxSide = 30000;
constexpr int64_t kMaxImage = 1LL << 31;

uint32_t get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

// The input must be a complete, uncompressed 24- or 32-bit BMP file image; its own file-size field
// bounds what is read. The result is a 24-bit BMP file image of the scaled size with the target
// resolution in its header; 0 for input that is not such an image or resolutions that are not positive.
QX_EXPORT int32_t KelpoFilterImageResize(const uint8_t* bmp, int32_t sourceDpi, int32_t targetDpi,
                                         uint8_t* output) {
    if (!bmp || sourceDpi <= 0 || targetDpi <= 0 || bmp[0] != 'B' || bmp[1] != 'M')
        return 0;
    const int64_t fileSize = get32(bmp + 2);
    const int64_t offset = get32(bmp + 10);
    const int64_t width = static_cast<int32_t>(get32(bmp + 18));
    const int64_t rawHeight = static_cast<int32_t>(get32(bmp + 22));
    const int bits = get16(bmp + 28);
    if (get32(bmp + 14) < 40 || get32(bmp + 30) != 0 || (bits != 24 && bits != 32) || width <= 0 ||
        width > kMaxSide || rawHeight == 0 || std::llabs(rawHeight) > kMaxSide)
        return 0;
    const int64_t height = std::llabs(rawHeight);
    const int64_t inStride = ((width * bits + 31) / 32) * 4;
    if (offset < 54 || offset + inStride * height > fileSize)
        return 0;

    const double scale = static_cast<double>(targetDpi) / sourceDpi;
    const int64_t outWidth = std::max<int64_t>(1, std::llround(width * scale));
    const int64_t outHeight = std::max<int64_t>(1, std::llround(height * scale));
    const int64_t outStride = (outWidth * 3 + 3) & ~int64_t{3};
    const int64_t outSize = 54 + outStride * outHeight;
    if (outWidth > kMaxSide || outHeight > kMaxSide || outSize >= kMaxImage)
        return 0;
    if (!output)
        return static_cast<int32_t>(outSize);

    std::memset(output, 0, static_cast<std::size_t>(outSize));
    output[0] = 'B';
    output[1] = 'M';
    put32(output + 2, static_cast<uint32_t>(outSize));
    put32(output + 10, 54);
    put32(output + 14, 40);
    put32(output + 18, static_cast<uint32_t>(outWidth));
    // The row order of the input is kept: resampling does not care which way the rows run.
    put32(output + 22, static_cast<uint32_t>(rawHeight < 0 ? -outHeight : outHeight));
    put16(output + 26, 1);
    put16(output + 28, 24);
    put32(output + 34, static_cast<uint32_t>(outStride * outHeight));
    const auto ppm = static_cast<uint32_t>(std::lround(targetDpi / 0.0254));
    put32(output + 38, ppm);
    put32(output + 42, ppm);

    cv::Mat in(static_cast<int>(height), static_cast<int>(width), bits == 24 ? CV_8UC3 : CV_8UC4,
               const_cast<uint8_t*>(bmp + offset), static_cast<std::size_t>(inStride));
    cv::Mat in3;
    if (bits == 32)
        cv::cvtColor(in, in3, cv::COLOR_BGRA2BGR);
    else
        in3 = in;
    cv::Mat out(static_cast<int>(outHeight), static_cast<int>(outWidth), CV_8UC3, output + 54,
                static_cast<std::size_t>(outStride));
    cv::resize(in3, out, out.size(), 0, 0, scale < 1.0 ? cv::INTER_AREA : cv::INTER_CUBIC);
    return static_cast<int32_t>(outSize);
}
