// The barcode lookup over ZXing-cpp: the picture decoded in memory, every linear barcode in reading order.
#include "qx/desktop/barcode_lookup.h"

#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <tuple>

namespace qx::desktop {

namespace {

// The decoder failed inside (out of memory, an unexpected state): the error number of the box.
constexpr int kDecoderFailed = -1;

ZXing::DecodeHints linearHints() {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    // ZXing-cpp 1.4 aborts on an assertion when it merges a linear code found at two scales, so the
    // downscaled try is ours (see halfScale).
    hints.setTryDownscale(false);
    return hints;
}

std::vector<FoundBarcode> read(const ZXing::ImageView& view) {
    std::vector<FoundBarcode> found;
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, linearHints())) {
        if (!result.isValid())
            continue;
        FoundBarcode b;
        b.text = QString::fromStdString(result.text());
        b.format = QString::fromLatin1(ZXing::ToString(result.format()));
        int x = INT_MAX;
        int y = INT_MAX;
        for (const ZXing::PointI& p : result.position()) {
            x = std::min(x, p.x);
            y = std::min(y, p.y);
        }
        b.topLeft = QPoint(x, y);
        found.push_back(std::move(b));
    }
    // ZXing reports in the order its scan lines met the codes, which depends on the rotation and the
    // scale that found each; reading order makes "the last one" a property of the page instead.
    std::stable_sort(found.begin(), found.end(), [](const FoundBarcode& a, const FoundBarcode& b) {
        return std::tuple(a.topLeft.y(), a.topLeft.x(), a.text) <
               std::tuple(b.topLeft.y(), b.topLeft.x(), b.text);
    });
    return found;
}

// The picture at half size in grey levels (each pixel the mean of four), for codes whose bars are so
// wide or noisy that they only read smaller.
std::vector<uint8_t> halfScale(const imaging::Picture& picture, int& width, int& height) {
    width = picture.width / 2;
    height = picture.height / 2;
    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sum =
                qGray(picture.colourAt(2 * x, 2 * y)) + qGray(picture.colourAt(2 * x + 1, 2 * y)) +
                qGray(picture.colourAt(2 * x, 2 * y + 1)) + qGray(picture.colourAt(2 * x + 1, 2 * y + 1));
            grey[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(sum / 4);
        }
    }
    return grey;
}

std::vector<FoundBarcode> readFullSize(const imaging::Picture& picture) {
    const int w = picture.width;
    const int h = picture.height;
    if (picture.bitsPerPixel == 24 || picture.bitsPerPixel == 32) {
        // The rows as they lie: ZXing takes B, G, R(, X) with the picture's stride.
        const auto format = picture.bitsPerPixel == 24 ? ZXing::ImageFormat::BGR : ZXing::ImageFormat::BGRX;
        return read(ZXing::ImageView(picture.pixels.data(), w, h, format, picture.stride));
    }
    if (picture.bitsPerPixel == 8 && picture.palette.empty())
        return read(ZXing::ImageView(picture.pixels.data(), w, h, ZXing::ImageFormat::Lum, picture.stride));
    // Palette pictures (1 and 8 bits) become grey levels through their palette.
    std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        uint8_t* out = grey.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x)
            out[x] = static_cast<uint8_t>(qGray(picture.colourAt(x, y)));
    }
    return read(ZXing::ImageView(grey.data(), w, h, ZXing::ImageFormat::Lum));
}

} // namespace

BarcodeScan scanBarcodes(const imaging::Picture& picture) {
    BarcodeScan scan;
    if (picture.isNull() ||
        static_cast<size_t>(picture.stride) * static_cast<size_t>(picture.height) > picture.pixels.size())
        return scan;
    scan.loaded = true;
    try {
        scan.barcodes = readFullSize(picture);
        if (scan.barcodes.empty() && picture.width >= 800 && picture.height >= 800) {
            int w = 0;
            int h = 0;
            const std::vector<uint8_t> half = halfScale(picture, w, h);
            scan.barcodes = read(ZXing::ImageView(half.data(), w, h, ZXing::ImageFormat::Lum));
            for (FoundBarcode& b : scan.barcodes)
                b.topLeft *= 2;
        }
    } catch (const std::exception&) {
        scan.barcodes.clear();
        scan.error = kDecoderFailed;
    }
    return scan;
}

BarcodeScan scanBarcodeFile(const QString& path) {
    std::optional<imaging::Picture> picture;
    try {
        picture = imaging::loadPicture(path);
    } catch (const std::exception&) {
        picture.reset();
    }
    if (!picture)
        return {};
    return scanBarcodes(*picture);
}

QString cleanBarcodeText(const QString& text) {
    QString name = text;
    name.remove(QStringLiteral("\r\n"));
    for (const QChar c : {QChar(u' '), QChar(u'\\'), QChar(u'/'), QChar(u':'), QChar(u'*'), QChar(u'?'),
                          QChar(u'"'), QChar(u'\''), QChar(u'<'), QChar(u'>'), QChar(u'|')})
        name.remove(c);
    // Code 128 and Code 39 Extended carry control characters (a lone CR, TAB, NUL, the GS1 separator);
    // none of them belongs in a file name, and "." or ".." would name a folder.
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return {};
    }
    return name;
}

BarcodeLookup::BarcodeLookup(UiHost& host, std::function<QWidget*()> owner)
    : m_host(host), m_owner(std::move(owner)) {}

QString BarcodeLookup::operator()(const QString& picture) const {
    const BarcodeScan scan = scanBarcodeFile(picture);
    QWidget* owner = m_owner ? m_owner() : nullptr;
    if (scan.error < 0) {
        m_host.messageBox(owner, QString::asprintf(kBarcodeErrorText, scan.error), QString(),
                          MessageIcon::None, false);
        return {};
    }
    if (scan.barcodes.empty()) {
        m_host.messageBox(owner, QString::fromUtf8(kNoBarcodeText), QString(), MessageIcon::None, false);
        return {};
    }
    return cleanBarcodeText(scan.barcodes.back().text);
}

} // namespace qx::desktop
