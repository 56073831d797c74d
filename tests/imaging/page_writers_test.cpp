// JPEG header facts, row-by-row decoding, band-wise JPEG writing and the multi-page TIFF writer, checked
// against the whole-picture decoder, identify and tiffinfo.
#include "imaging/external_tools.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "qx/imaging/picture.h"
#include "support/test_support.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <vector>

namespace qx::test {
namespace {

using imaging::Picture;

// A 24-bit picture with a different colour in every row and column.
Picture colourPicture(int w, int h, double dpi) {
    Picture p;
    p.width = w;
    p.height = h;
    p.bitsPerPixel = 24;
    p.stride = (w * 3 + 3) & ~3;
    p.pixels.resize(static_cast<std::size_t>(p.stride) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = &p.pixels[static_cast<std::size_t>(y) * p.stride + x * 3];
            px[0] = static_cast<uint8_t>(x * 255 / w);
            px[1] = static_cast<uint8_t>(y * 255 / h);
            px[2] = 128;
        }
    p.dpiX = p.dpiY = dpi;
    return p;
}

Picture greyPicture(int w, int h, double dpi) {
    Picture p;
    p.width = w;
    p.height = h;
    p.bitsPerPixel = 8;
    p.stride = (w + 3) & ~3;
    p.pixels.resize(static_cast<std::size_t>(p.stride) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.pixels[static_cast<std::size_t>(y) * p.stride + x] = static_cast<uint8_t>((x + y) & 0xFF);
    p.dpiX = p.dpiY = dpi;
    return p;
}

class PageWriters : public ::testing::Test {
protected:
    QString file(const char* name) const { return m_folder.file(QString::fromLatin1(name)); }
    Folder m_folder;
};

TEST_F(PageWriters, JpegInfoComesFromTheHeadersAlone) {
    ASSERT_TRUE(imaging::saveJpeg(colourPicture(123, 45, 214), file("colour.jpg"), 75));
    ASSERT_TRUE(imaging::saveJpeg(greyPicture(30, 20, 0), file("grey.jpg"), 75));
    const auto colour = imaging::readJpegInfo(file("colour.jpg"));
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->width, 123);
    EXPECT_EQ(colour->height, 45);
    EXPECT_EQ(colour->components, 3);
    EXPECT_DOUBLE_EQ(colour->dpiX, 214);
    const auto grey = imaging::readJpegInfo(file("grey.jpg"));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->components, 1);
    EXPECT_EQ(grey->dpiX, 0);
    // Not a JPEG, a cut-off header, no file at all.
    ASSERT_TRUE(writeAll(file("text.jpg"), "not a picture"));
    EXPECT_FALSE(imaging::readJpegInfo(file("text.jpg")));
    ASSERT_TRUE(writeAll(file("cut.jpg"), readAll(file("colour.jpg")).left(40)));
    EXPECT_FALSE(imaging::readJpegInfo(file("cut.jpg")));
    EXPECT_FALSE(imaging::readJpegInfo(file("missing.jpg")));
}

TEST_F(PageWriters, RowsReadOneByOneAreTheDecodedPicturesRows) {
    ASSERT_TRUE(imaging::saveJpeg(colourPicture(97, 61, 0), file("colour.jpg"), 90));
    ASSERT_TRUE(imaging::saveJpeg(greyPicture(40, 30, 0), file("grey.jpg"), 90));
    for (const char* name : {"colour.jpg", "grey.jpg"}) {
        SCOPED_TRACE(name);
        const auto whole = imaging::loadPicture(file(name));
        ASSERT_TRUE(whole);
        auto reader = imaging::JpegRowReader::open(file(name));
        ASSERT_NE(reader, nullptr);
        ASSERT_EQ(reader->width(), whole->width);
        ASSERT_EQ(reader->height(), whole->height);
        for (int y = 0; y < whole->height; ++y) {
            const uint8_t* row = reader->nextRow();
            ASSERT_NE(row, nullptr) << y;
            const uint8_t* expected = whole->pixels.data() + static_cast<std::size_t>(y) * whole->stride;
            for (int x = 0; x < whole->width; ++x) {
                // Grey pictures come as B = G = R of the grey level.
                const int bpp = whole->bitsPerPixel / 8;
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(row[x * 3 + c], expected[x * bpp + (bpp == 1 ? 0 : c)]) << x << ',' << y;
            }
        }
        EXPECT_EQ(reader->nextRow(), nullptr);
    }
    ASSERT_TRUE(writeAll(file("text.jpg"), "not a picture"));
    EXPECT_EQ(imaging::JpegRowReader::open(file("text.jpg")), nullptr);
    // A file cut short reads up to where its data ends, and no further.
    const QByteArray bytes = readAll(file("colour.jpg"));
    ASSERT_TRUE(writeAll(file("cut.jpg"), bytes.left(bytes.size() / 2)));
    auto cut = imaging::JpegRowReader::open(file("cut.jpg"));
    ASSERT_NE(cut, nullptr);
    int rows = 0;
    while (cut->nextRow())
        ++rows;
    EXPECT_LT(rows, cut->height());
}

TEST_F(PageWriters, BandWiseJpegHasItsSizeRowsAndDensity) {
    const int w = 64, h = 100;
    std::vector<uint8_t> band;
    std::vector<int> asked;
    const auto fetch = [&](int first, int count, const uint8_t** rows) {
        asked.push_back(first);
        band.assign(static_cast<std::size_t>(w) * 3 * count, 0);
        for (int i = 0; i < count; ++i) {
            uint8_t* row = band.data() + static_cast<std::size_t>(i) * w * 3;
            // The top half blue, the bottom half red (B, G, R).
            for (int x = 0; x < w; ++x)
                row[x * 3 + (first + i < h / 2 ? 0 : 2)] = 255;
            rows[i] = row;
        }
        return true;
    };
    ASSERT_TRUE(imaging::writeJpegRows(w, h, 16, fetch, file("bands.jpg"), 75, 300, 300));
    EXPECT_EQ(asked.front(), 0);
    EXPECT_EQ(asked.size(), 7u); // 100 rows in bands of 16
    const QImage out(file("bands.jpg"));
    ASSERT_EQ(out.size(), QSize(w, h));
    EXPECT_GT(qBlue(out.pixel(10, 10)), 200);
    EXPECT_GT(qRed(out.pixel(10, 90)), 200);
    const ToolRun id = runTool(QStringLiteral("identify"),
                               {QStringLiteral("-format"), QStringLiteral("%x %U"), file("bands.jpg")});
    EXPECT_EQ(id.text().trimmed(), QStringLiteral("300 PixelsPerInch"));

    // A size past what JPEG can hold, or rows that cannot be fetched: no file, an older one kept.
    ASSERT_TRUE(writeAll(file("older.jpg"), "older"));
    EXPECT_FALSE(
        imaging::writeJpegRows(w, imaging::kJpegMaxSide + 1, 16, fetch, file("older.jpg"), 75, 0, 0));
    const auto failing = [&](int first, int count, const uint8_t** rows) {
        return first < 32 && fetch(first, count, rows);
    };
    EXPECT_FALSE(imaging::writeJpegRows(w, h, 16, failing, file("older.jpg"), 75, 0, 0));
    EXPECT_EQ(readAll(file("older.jpg")), QByteArray("older"));
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(PageWriters, EveryTiffPageKeepsItsDepthSizeAndResolution) {
    {
        imaging::TiffPageWriter writer(file("pages.tif"));
        ASSERT_TRUE(writer.addPage(colourPicture(120, 80, 214)));
        ASSERT_TRUE(writer.addPage(greyPicture(60, 90, 300)));
        ASSERT_TRUE(writer.addPage(colourPicture(33, 17, 0)));
        EXPECT_EQ(writer.pages(), 3);
        ASSERT_TRUE(writer.commit());
    }
    const ToolRun info = runTool(QStringLiteral("tiffinfo"), {file("pages.tif")});
    ASSERT_EQ(info.exitCode, 0) << info.err.constData();
    const QString text = info.text();
    EXPECT_EQ(text.count(QStringLiteral("TIFF Directory at offset")), 3);
    EXPECT_EQ(text.count(QStringLiteral("Compression Scheme: LZW")), 3);
    EXPECT_TRUE(text.contains(QStringLiteral("Image Width: 120 Image Length: 80")));
    EXPECT_TRUE(text.contains(QStringLiteral("Image Width: 60 Image Length: 90")));
    EXPECT_TRUE(text.contains(QStringLiteral("Image Width: 33 Image Length: 17")));
    EXPECT_TRUE(text.contains(QStringLiteral("Resolution: 214, 214 pixels/inch")));
    EXPECT_TRUE(text.contains(QStringLiteral("Resolution: 300, 300 pixels/inch")));
    EXPECT_TRUE(text.contains(QStringLiteral("Photometric Interpretation: min-is-black")));
    EXPECT_EQ(text.count(QStringLiteral("Samples/Pixel: 3")), 2);
    // The pixels of a page come back as they were written.
    const ToolRun second =
        runTool(QStringLiteral("identify"),
                {QStringLiteral("-format"), QStringLiteral("%w %h %[colorspace];"), file("pages.tif")});
    EXPECT_EQ(second.text().trimmed(), QStringLiteral("120 80 sRGB;60 90 Gray;33 17 sRGB;"));
}

TEST_F(PageWriters, AFailedOrUnfinishedTiffLeavesNoFile) {
    ASSERT_TRUE(writeAll(file("older.tif"), "older"));
    {
        imaging::TiffPageWriter writer(file("older.tif"));
        ASSERT_TRUE(writer.addPage(colourPicture(20, 20, 0)));
        Picture broken = colourPicture(20, 20, 0);
        broken.pixels.resize(10); // fields that promise pixels it does not hold
        EXPECT_FALSE(writer.addPage(broken));
        EXPECT_FALSE(writer.addPage(colourPicture(20, 20, 0))); // failed once, failed for good
        EXPECT_FALSE(writer.commit());
    }
    {
        imaging::TiffPageWriter unfinished(file("older.tif"));
        ASSERT_TRUE(unfinished.addPage(colourPicture(20, 20, 0)));
    } // destroyed without commit
    {
        imaging::TiffPageWriter empty(file("empty.tif"));
        EXPECT_FALSE(empty.commit());
    }
    EXPECT_EQ(readAll(file("older.tif")), QByteArray("older"));
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("older.tif")});
    imaging::TiffPageWriter nowhere(m_folder.file(QStringLiteral("missing/x.tif")));
    EXPECT_FALSE(nowhere.addPage(colourPicture(20, 20, 0)));
    EXPECT_FALSE(nowhere.commit());
}

} // namespace
} // namespace qx::test
