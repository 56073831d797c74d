// Printing pictures of the list one per page at their true size: CPrinter's page metrics, the direct
// print with its first-print dialog, and the preview window CPrintFrame.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <optional>

class QPainter;
class QPaintDevice;
class QPrinter;
class QPrintPreviewWidget;
class QRect;

namespace qx {
class UiHost;
}

namespace qx::desktop {

inline constexpr const char* kPreviewTitle = "打印预览";
inline constexpr int kPrintViewId = 0xE900;
// A picture that records no resolution is taken as a screen picture.
inline constexpr double kFallbackDpi = 96;

// The page metrics of a printer (or preview) device, in its device pixels.
class CPrinter {
public:
    explicit CPrinter(QPaintDevice* device);

    // Margins from the pixels per inch, the page from the printable area; only when scale is not 0.
    void takeMetrics();

    QPaintDevice* device = nullptr;
    int topMargin = 0;  // vertical pixels per inch / 2
    int leftMargin = 0; // horizontal pixels per inch / 2
    int pageHeight = 0;
    int pageWidth = 0;
    int currentLine = 0;
    int lineHeight = 0;
    int mode = 2;
    bool documentStarted = false;
    int pageCount = 0;
    int currentPage = 0;
    int scale = 0;
    double pictureWidth = 0;  // millimetres
    double pictureHeight = 0; // millimetres
    QString documentName;     // the application's name: the print job's name
};

// The rectangle, in the device's pixels, a picture of `widthMm` x `heightMm` covers at true size,
// centred on the page by integer division; it reaches past the page when the picture is larger.
QRect trueSizeRect(const CPrinter& printer, double widthMm, double heightMm);

// Draws page `page` of the picture file at true size on the painter's current page (cut, not
// reduced, by the page edges); false when that page cannot be loaded.
bool drawTrueSize(QPainter& painter, CPrinter& printer, const QString& file, int page = 0);

class CPrintFrame;

class PicturePrinting : public QObject {
    Q_OBJECT
public:
    // Borrows the host (the print dialog, kind "print", and the preview window, kind
    // "print-preview"); `owner` owns the dialog and the preview.
    PicturePrinting(UiHost& host, QWidget* owner);
    ~PicturePrinting() override;

    // The direct print: the first time (and after every preview) the print dialog chooses the
    // printer, afterwards the default printer. Every page of the picture (each page of a merged
    // TIFF) goes into the one job. True when a job was sent.
    bool printDirect(const QString& file);
    // The preview window of the picture, a preview page per page of it; the first-print flag goes on.
    void openPreview(const QString& file);

    bool firstPrint() const { return m_firstPrint; }
    CPrintFrame* preview() const { return m_preview; }

private:
    bool print(QPrinter& printer, const QString& file, int pages);

    UiHost& m_host;
    QWidget* m_owner;
    bool m_firstPrint = true;
    QPointer<CPrintFrame> m_preview;
};

// The preview frame: the framework's preview toolbar around the preview of one picture's pages.
class CPrintFrame : public QMainWindow {
    Q_OBJECT
public:
    CPrintFrame(const QString& title, QWidget* owner, const QString& file, PicturePrinting& printing);
    ~CPrintFrame() override;

    QPrintPreviewWidget* view() const { return m_view; }

private:
    void paintPage(QPrinter* printer);
    void updatePageCount();

    QString m_file;
    PicturePrinting& m_printing;
    QPrinter* m_printer = nullptr;
    QPrintPreviewWidget* m_view = nullptr;
    QAction* m_pages = nullptr;
};

} // namespace qx::desktop
