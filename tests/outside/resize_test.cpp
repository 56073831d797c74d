// The DPI library through its export, loaded from the build's folder as the control loads it.
#include "qx/platform/library.h"
#include "support/bmp_bytes.h"
#include "support/test_support.h"

#include <QImage>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace qx::test {
namespace {

using ResizeFn = int32_t (*)(const uint8_t*, int32_t, int32_t, uint8_t*);

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::vector<uint8_t> bmp24(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    const QByteArray bytes = makeBmp(colourBmp(w, h, [&](int, int) { return qRgb(r, g, b); }));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class ResizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_lib.load(binFolder() + QStringLiteral("libKelpoFilterImageResize.so")))
            << m_lib.errorText().toStdString();
        m_resize = m_lib.function<ResizeFn>("KelpoFilterImageResize");
        ASSERT_NE(m_resize, nullptr);
    }
    platform::Library m_lib;
    ResizeFn m_resize = nullptr;
};

TEST_F(ResizeTest, SizeQueryThenResampleWithTheTargetResolution) {
    const auto in = bmp24(301, 201, 10, 200, 30);
    const int32_t size = m_resize(in.data(), 200, 100, nullptr);
    const int w = 151, h = 101; // 301 * 0.5 and 201 * 0.5, rounded
    const int stride = (w * 3 + 3) & ~3;
    ASSERT_EQ(size, 54 + stride * h);
    std::vector<uint8_t> out(static_cast<std::size_t>(size), 0xAA);
    ASSERT_EQ(m_resize(in.data(), 200, 100, out.data()), size);
    EXPECT_EQ(le32(out.data() + 2), static_cast<uint32_t>(size));
    EXPECT_EQ(le32(out.data() + 18), static_cast<uint32_t>(w));
    EXPECT_EQ(le32(out.data() + 22), static_cast<uint32_t>(h));
    EXPECT_EQ(le32(out.data() + 38), static_cast<uint32_t>(std::lround(100 / 0.0254)));
    EXPECT_EQ(le32(out.data() + 42), static_cast<uint32_t>(std::lround(100 / 0.0254)));
    // Colour kept, row padding zeroed.
    const uint8_t* px = out.data() + 54 + 50 * stride + 70 * 3;
    EXPECT_EQ(px[0], 10);
    EXPECT_EQ(px[1], 200);
    EXPECT_EQ(px[2], 30);
    EXPECT_EQ(out[54 + stride - 1], 0);
    // An independent reader agrees.
    const QImage image = QImage::fromData(out.data(), size, "BMP");
    EXPECT_EQ(image.width(), w);
    EXPECT_EQ(image.dotsPerMeterX(), static_cast<int>(std::lround(100 / 0.0254)));
}

TEST_F(ResizeTest, EnlargingScalesUp) {
    const auto in = bmp24(40, 30, 0, 0, 255);
    const int32_t size = m_resize(in.data(), 100, 300, nullptr);
    std::vector<uint8_t> out(static_cast<std::size_t>(size));
    ASSERT_EQ(m_resize(in.data(), 100, 300, out.data()), size);
    EXPECT_EQ(le32(out.data() + 18), 120u);
    EXPECT_EQ(le32(out.data() + 22), 90u);
}

TEST_F(ResizeTest, BadInputGivesZero) {
    auto in = bmp24(10, 10, 1, 2, 3);
    EXPECT_EQ(m_resize(nullptr, 100, 200, nullptr), 0);
    EXPECT_EQ(m_resize(in.data(), 0, 200, nullptr), 0);
    EXPECT_EQ(m_resize(in.data(), 100, -1, nullptr), 0);
    auto notBmp = in;
    notBmp[0] = 'X';
    EXPECT_EQ(m_resize(notBmp.data(), 100, 200, nullptr), 0);
    auto lying = in;
    lying[2] = 60; // a file size that cannot hold the rows
    lying[3] = lying[4] = lying[5] = 0;
    EXPECT_EQ(m_resize(lying.data(), 100, 200, nullptr), 0);
    auto eightBit = in;
    eightBit[28] = 8;
    EXPECT_EQ(m_resize(eightBit.data(), 100, 200, nullptr), 0);
}

} // namespace
} // namespace qx::test
