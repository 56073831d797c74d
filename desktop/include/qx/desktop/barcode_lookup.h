// The barcode a picture is named after: every linear barcode in a picture file, in reading order, and the
// cleaned text of the last one.
#pragma once

#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace qx {
class UiHost;
}
namespace qx::imaging {
struct Picture;
}

namespace qx::desktop {

inline constexpr const char* kBarcodeErrorText = "ScanBarCode returned error number %d\r\n";
inline constexpr const char* kNoBarcodeText = "没找到条码!";

struct FoundBarcode {
    QString text;
    QString format; // the symbology's name, e.g. "Code128"
    QPoint topLeft; // the smallest x and y of the barcode's corners, in picture pixels
};

// The outcome of one scan: the barcodes found, or an error number (negative) when the decoder failed.
struct BarcodeScan {
    int error = 0;
    bool loaded = false; // whether the picture could be read at all
    std::vector<FoundBarcode> barcodes;
};

// Every linear (1D) barcode in the picture, also rotated ones and ones that only read downscaled. The
// order is fixed so that "the last one" means the same on every run: top to bottom by the upper edge,
// then left to right, then by text.
BarcodeScan scanBarcodes(const imaging::Picture& picture);
// The same for a picture file of any format the control writes (1- and 8-bit BMP, JPEG, the first page
// of a TIFF, the first frame of a GIF); decoded in memory, nothing is written beside it.
BarcodeScan scanBarcodeFile(const QString& path);

// The text as a file name: CR LF pairs, spaces and \ / : * ? " ' < > | removed. A text that would
// not be a plain name in its folder ("." or "..", or one holding control characters) is empty.
QString cleanBarcodeText(const QString& text);

// The main dialog's lookup: the cleaned text of the last barcode in the picture, or "" with the box
// that says why (a decoder error, or no barcode). A barcode whose cleaned text is empty answers ""
// without a box.
class BarcodeLookup {
public:
    // Borrows the host; `owner` gives the boxes' owner when they are shown.
    BarcodeLookup(UiHost& host, std::function<QWidget*()> owner);

    QString operator()(const QString& picture) const;

private:
    UiHost& m_host;
    std::function<QWidget*()> m_owner;
};

} // namespace qx::desktop
