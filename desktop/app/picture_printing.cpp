// True-size printing on Qt Print Support (CUPS underneath) and the print preview window.
#include "qx/desktop/picture_printing.h"

#include "qx/desktop/picture_pages.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"

#include <QAction>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QToolBar>
#include <QVariantMap>

namespace qx::desktop {

namespace {

struct LoadedPicture {
    QImage image;
    double dpi = 0;
};

// Page `page` of the picture with the resolution it records. Every format the control writes goes
// through the capture chain's reader, which keeps a BMP's whole dpi (Qt's reader gives 299.9994 for
// 300).
std::optional<LoadedPicture> loadForPrint(const QString& file, int page) {
    const std::optional<imaging::Picture> pic = imaging::loadPicturePage(file, page);
    if (!pic || pic->isNull())
        return std::nullopt;
    QImage image;
    const auto* bits = pic->pixels.data();
    switch (pic->bitsPerPixel) {
    case 32:
        image = QImage(bits, pic->width, pic->height, pic->stride, QImage::Format_RGB32).copy();
        break;
    case 24:
        image = QImage(bits, pic->width, pic->height, pic->stride, QImage::Format_BGR888).copy();
        break;
    case 8:
    case 1: {
        QImage indexed(bits, pic->width, pic->height, pic->stride,
                       pic->bitsPerPixel == 8 ? QImage::Format_Indexed8 : QImage::Format_Mono);
        QList<QRgb> table(pic->bitsPerPixel == 8 ? 256 : 2, qRgb(0, 0, 0));
        for (int i = 0; i < table.size(); ++i) {
            if (i < static_cast<int>(pic->palette.size()))
                table[i] = pic->palette[i];
            else if (pic->palette.empty())
                table[i] =
                    pic->bitsPerPixel == 8 ? qRgb(i, i, i) : (i == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
        indexed.setColorTable(table);
        image = indexed.convertToFormat(QImage::Format_RGB32);
        break;
    }
    default:
        return std::nullopt;
    }
    if (image.isNull())
        return std::nullopt;
    return LoadedPicture{image, pic->dpiX > 0 ? pic->dpiX : kFallbackDpi};
}

} // namespace

CPrinter::CPrinter(QPaintDevice* dev) : device(dev), documentName(QCoreApplication::applicationName()) {}

void CPrinter::takeMetrics() {
    if (scale == 0 || !device)
        return;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics metrics(fixed, device);
    lineHeight = metrics.height() + metrics.leading();
    topMargin = device->logicalDpiY() / 2;
    leftMargin = device->logicalDpiX() / 2;
    // A painter on a printer starts at the printable area's corner, and the device's size is that area.
    pageHeight = device->height();
    pageWidth = device->width();
    currentLine = topMargin;
    pageCount = 1;
}

QRect trueSizeRect(const CPrinter& printer, double widthMm, double heightMm) {
    const int targetHeight = static_cast<int>(printer.topMargin * heightMm * 2 / 25.4);
    const int targetWidth = static_cast<int>(printer.leftMargin * widthMm * 2 / 25.4);
    const int left = (printer.pageWidth - targetWidth) / 2;
    const int top = (printer.pageHeight - targetHeight) / 2;
    return QRect(left, top, targetWidth, targetHeight);
}

bool drawTrueSize(QPainter& painter, CPrinter& printer, const QString& file, int page) {
    const std::optional<LoadedPicture> picture = loadForPrint(file, page);
    if (!picture)
        return false;
    printer.pictureWidth = picture->image.width() * 25.4 / picture->dpi;
    printer.pictureHeight = picture->image.height() * 25.4 / picture->dpi;
    painter.save();
    painter.setClipRect(QRect(0, 0, printer.pageWidth, printer.pageHeight));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(trueSizeRect(printer, printer.pictureWidth, printer.pictureHeight), picture->image);
    painter.restore();
    return true;
}

PicturePrinting::PicturePrinting(UiHost& host, QWidget* owner) : m_host(host), m_owner(owner) {}

PicturePrinting::~PicturePrinting() {
    delete m_preview.data();
}

bool PicturePrinting::printDirect(const QString& file) {
    // Checked before any printer is chosen: a picture that cannot be printed asks nothing. Every page
    // is read once here, as a job once begun cannot be taken back: CUPS would print the pages drawn
    // before one that fails.
    const int pages = picturePages(file);
    if (pages <= 0)
        return false;
    for (int index = 0; index < pages; ++index) {
        if (!loadForPrint(file, index))
            return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QCoreApplication::applicationName());
    const bool asked = m_firstPrint;
    if (asked) {
        QPrintDialog dialog(&printer, m_owner);
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        const int result = m_host.runDialog(&dialog, QStringLiteral("print"), [&](const QVariant& answer) {
            printer.setPrinterName(answer.toMap().value(QStringLiteral("printer")).toString());
        });
        if (result != QDialog::Accepted)
            return false;
        // The dialog offers no file, but a queue that is gone leaves Qt's PDF writer behind.
        if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName().isEmpty() ||
            QPrinterInfo::printerInfo(printer.printerName()).isNull())
            return false;
    } else {
        const QPrinterInfo standard = QPrinterInfo::defaultPrinter();
        if (standard.isNull())
            return false;
        printer.setPrinterName(standard.printerName());
        if (printer.outputFormat() != QPrinter::NativeFormat)
            return false;
    }
    const bool printed = print(printer, file, pages);
    if (asked)
        m_firstPrint = false;
    return printed;
}

bool PicturePrinting::print(QPrinter& printer, const QString& file, int pages) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    CPrinter page(&printer);
    page.scale = 100;
    page.takeMetrics();
    page.documentStarted = true;
    // Every page of a merged TIFF in one job. A page that can no longer be loaded (the file changed
    // since it was checked) ends the job and the print counts as failed; engines that can cancel a
    // job cancel it, CUPS prints what was drawn.
    for (int index = 0; index < pages; ++index) {
        ++page.currentPage;
        if ((index > 0 && !printer.newPage()) || !drawTrueSize(painter, page, file, index)) {
            printer.abort();
            painter.end();
            return false;
        }
    }
    const bool ended = painter.end();
    page.currentPage = 0;
    page.documentStarted = false;
    return ended;
}

void PicturePrinting::openPreview(const QString& file) {
    m_firstPrint = true;
    delete m_preview.data();
    m_preview = new CPrintFrame(QString::fromUtf8(kPreviewTitle), m_owner, file, *this);
    m_host.windowOpened(QStringLiteral("print-preview"), m_preview);
    m_preview->showMaximized();
}

CPrintFrame::CPrintFrame(const QString& title, QWidget* owner, const QString& file, PicturePrinting& printing)
    : QMainWindow(owner, Qt::Window), m_file(file), m_printing(printing) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(screen->geometry().adjusted(100, 100, -100, -100));

    m_printer = new QPrinter(QPrinter::HighResolution);
    m_printer->setDocName(QCoreApplication::applicationName());
    m_view = new QPrintPreviewWidget(m_printer, this);
    qx::setControlId(m_view, kPrintViewId);
    setCentralWidget(m_view);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &CPrintFrame::paintPage);

    auto* bar = addToolBar(QStringLiteral("preview"));
    bar->setMovable(false);
    QAction* print = bar->addAction(QStringLiteral("打印(&P)..."));
    QAction* next = bar->addAction(QStringLiteral("下一页(&N)"));
    QAction* previous = bar->addAction(QStringLiteral("前一页(&V)"));
    m_pages = bar->addAction(QStringLiteral("两页(&T)"));
    QAction* zoomIn = bar->addAction(QStringLiteral("放大(&I)"));
    QAction* zoomOut = bar->addAction(QStringLiteral("缩小(&O)"));
    QAction* close = bar->addAction(QStringLiteral("关闭(&C)"));
    connect(print, &QAction::triggered, this, [this] {
        // As the preview's print command: the direct print (with its dialog), then the preview closes.
        m_printing.printDirect(m_file);
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    // The view does not report a page chosen this way, so the buttons are brought up to date here.
    connect(next, &QAction::triggered, this, [this] {
        m_view->setCurrentPage(m_view->currentPage() + 1);
        updatePageCount();
    });
    connect(previous, &QAction::triggered, this, [this] {
        m_view->setCurrentPage(m_view->currentPage() - 1);
        updatePageCount();
    });
    connect(m_pages, &QAction::triggered, this, [this] {
        const bool two = m_view->viewMode() == QPrintPreviewWidget::SinglePageView;
        m_view->setViewMode(two ? QPrintPreviewWidget::FacingPagesView : QPrintPreviewWidget::SinglePageView);
        m_pages->setText(two ? QStringLiteral("一页(&O)") : QStringLiteral("两页(&T)"));
    });
    connect(zoomIn, &QAction::triggered, m_view, [this] { m_view->zoomIn(); });
    connect(zoomOut, &QAction::triggered, m_view, [this] { m_view->zoomOut(); });
    connect(close, &QAction::triggered, this, &QWidget::close);
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &CPrintFrame::updatePageCount);
    updatePageCount();
}

CPrintFrame::~CPrintFrame() {
    delete m_view;
    delete m_printer;
}

void CPrintFrame::updatePageCount() {
    // A picture of one page leaves next and previous nowhere to go; a merged TIFF has several.
    const bool several = m_view->pageCount() > 1;
    for (QAction* a : findChildren<QAction*>()) {
        if (a->text() == QStringLiteral("下一页(&N)"))
            a->setEnabled(several && m_view->currentPage() < m_view->pageCount());
        else if (a->text() == QStringLiteral("前一页(&V)"))
            a->setEnabled(several && m_view->currentPage() > 1);
    }
}

void CPrintFrame::paintPage(QPrinter* printer) {
    QPainter painter(printer);
    CPrinter page(printer);
    page.scale = 100;
    page.takeMetrics();
    // One preview page per page of the picture, as the print has them.
    const int pages = picturePages(m_file);
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            printer->newPage();
        page.currentPage = index + 1;
        drawTrueSize(painter, page, m_file, index);
    }
}

} // namespace qx::desktop
