// The list's PDF export: every page of every picture written through qx_pdf into a hidden file that takes
// its dated name only when complete.
#include "qx/desktop/pdf_export.h"

#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/picture_pages.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "qx/ocr/off_thread.h"
#include "qx/ocr/recogniser.h"
#include "qx/pdf/page_placement.h"
#include "qx/pdf/pdf_document.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qx::desktop {

namespace {

constexpr int kJpegQuality = 75;
constexpr double kPageWidth = 595;
constexpr double kPageHeight = 842;

// A JPEG copy of `picture` at `jpeg`; false (and nothing left at `jpeg`) when it cannot be made.
bool convertToJpeg(const QString& picture, const QString& jpeg) {
    QFile file(picture);
    const bool bmp = file.open(QIODevice::ReadOnly) && file.read(2) == "BM";
    file.close();
    // The capture chain's converter streams a BMP without holding it; anything else (and a BMP it
    // does not read) is loaded whole.
    if (bmp && imaging::convertBmpToJpeg(picture, jpeg, kJpegQuality))
        return true;
    const std::optional<imaging::Picture> loaded = imaging::loadPicture(picture);
    return loaded && imaging::saveJpeg(*loaded, jpeg, kJpegQuality);
}

// A JPEG copy of page `index` of a multi-page picture at `jpeg`; false (and nothing left) when that
// page cannot be read or written.
bool convertPageToJpeg(const QString& picture, int index, const QString& jpeg) {
    const std::optional<imaging::Picture> page = imaging::loadPicturePage(picture, index);
    return page && !page->isNull() && imaging::saveJpeg(*page, jpeg, kJpegQuality);
}

// One A4 page holding the JPEG, fitted into the export's box, with the page's words over it.
void addPage(pdf::PdfDocument& doc, const QString& jpeg, const std::optional<pdf::TextLayer>& text) {
    doc.beginPage(kPageWidth, kPageHeight);
    const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
    const QSizeF size = doc.imageSize(image);
    const pdf::PagePlacement at = pdf::exportPlacement(size.width(), size.height());
    doc.fitImage(image, at.x, at.y, pdf::kBoxWidth, pdf::kBoxHeight);
    if (text) {
        // The words are extra: a layer the page cannot take leaves it as it would be without.
        try {
            doc.placeText(image, *text);
        } catch (const pdf::PdfError& e) {
            qWarning().noquote() << "QX_Camera: PDF text layer left out of" << jpeg << "-" << e.what();
        }
    }
    doc.closeImage(image);
    doc.endPage();
}

// The temporary JPEG of a picture: "<picture>-pdf.jpg", or, when a file of that name is there already
// (one of the user's), a numbered name beside it, so that no file is ever overwritten.
QString temporaryJpegFor(const QString& picture) {
    QString name = picture + QStringLiteral("-pdf.jpg");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = picture + QStringLiteral("-pdf-%1.jpg").arg(n);
    return name;
}

// Gives the finished document its name without replacing a file of that name: a second export within
// the same second becomes "<name> (2).pdf". Answers the name taken, or "" on failure.
QString publish(const QString& written, const QString& folder, const QString& name) {
    const QByteArray from = QFile::encodeName(written);
    const QString base = name.chopped(4);
    for (int n = 1; n < 1000; ++n) {
        const QString target = folder + (n == 1 ? name : QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
        const QByteArray to = QFile::encodeName(target);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL)
            return {};
        // A file system without RENAME_NOREPLACE: a hard link is just as exclusive.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return target;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Creates a fresh hidden file in `folder` with the permissions any new file gets there (the umask
// applies); "" when the folder takes no file.
QString reserveHiddenFile(const QString& folder) {
    for (int n = 0; n < 1000; ++n) {
        const QString path = folder + QStringLiteral(".pdf-export-%1-%2").arg(::getpid()).arg(n);
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace

QString pdfExportName(const QDateTime& time) {
    const QDate d = time.date();
    const QTime t = time.time();
    return QString::asprintf("%4d-%02d-%02d %02d-%02d-%02d.pdf", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

bool isConvertedBySuffix(const QString& path) {
    const QString last = path.right(3);
    for (const char* suffix : {"bmp", "tif", "gif", "BMP", "TIF", "GIF"}) {
        if (last == QLatin1String(suffix))
            return true;
    }
    return false;
}

bool hasJpegSignature(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(3) == QByteArray("\xFF\xD8\xFF", 3);
}

PdfExport::PdfExport(PictureList& pictures, UiHost& host)
    : m_pictures(pictures), m_host(host), m_now([] { return QDateTime::currentDateTime(); }) {}

void PdfExport::setClock(std::function<QDateTime()> now) {
    m_now = std::move(now);
}

void PdfExport::setOwner(std::function<QWidget*()> owner) {
    m_owner = std::move(owner);
}

void PdfExport::setTextRecognition(bool enabled, const QString& languages) {
    m_text = enabled;
    m_languages =
        languages.trimmed().isEmpty() ? QString::fromLatin1(ocr::kDefaultLanguages) : languages.trimmed();
}

void PdfExport::setProgress(std::function<void(int, int)> progress) {
    m_progress = std::move(progress);
}

void PdfExport::fail(const QString& text) {
    m_host.messageBox(m_owner ? m_owner() : nullptr, text, QString(), MessageIcon::Warning, false);
}

QString PdfExport::run(const QString& saveFolder, bool deleteAfter) {
    if (m_running)
        return {};
    m_running = true;
    const auto done = qScopeGuard([this] { m_running = false; });
    m_lastPages.clear();
    CListImageCtrl& list = m_pictures.list();
    QStringList pictures;
    QList<QListWidgetItem*> items;
    for (int i = 0; i < list.count(); ++i) {
        QString file = m_pictures.pictureFile(i);
        if (file.isEmpty())
            file = m_pictures.pictureFolder(list.item(i)->text()) + list.item(i)->text();
        pictures.append(file);
        items.append(list.item(i));
    }
    // A document without pages is no document.
    if (pictures.isEmpty())
        return {};
    QStringList whole;
    const QString pdf = write(saveFolder, pictures, whole);
    if (pdf.isEmpty() || !deleteAfter)
        return pdf;
    // Only a picture every page of which is in the document may go, and its item with it. Without
    // text recognition nothing processes events during the export, so the items gathered above are
    // still the list's; with it the list may have changed meanwhile, so items are found again.
    if (!m_text) {
        for (qsizetype i = 0; i < pictures.size(); ++i) {
            if (!whole.contains(pictures[i]))
                continue;
            QFile::remove(pictures[i]);
            delete items[i];
        }
    } else {
        for (const QString& picture : std::as_const(whole))
            QFile::remove(picture);
        for (int i = list.count() - 1; i >= 0; --i) {
            QString file = m_pictures.pictureFile(i);
            if (file.isEmpty())
                file = m_pictures.pictureFolder(list.item(i)->text()) + list.item(i)->text();
            if (whole.contains(file))
                delete list.item(i);
        }
    }
    list.setSelectionMark(-1);
    list.viewport()->update();
    return pdf;
}

QString PdfExport::write(const QString& saveFolder, const QStringList& pictures, QStringList& whole) {
    const QString name = pdfExportName(m_now());
    // Written under a hidden name of its own first: a failed export leaves nothing, and an older
    // document of the same second keeps its name.
    const QString writing = reserveHiddenFile(saveFolder);
    if (writing.isEmpty()) {
        fail(QString::fromUtf8(kPdfWriteFailedText).arg(saveFolder + name));
        return {};
    }
    QString temporary; // the page's temporary JPEG while it exists
    bool published = false;
    const auto cleanUp = qScopeGuard([&] {
        if (!temporary.isEmpty())
            QFile::remove(temporary);
        if (!published)
            QFile::remove(writing);
    });

    pdf::PdfDocument doc;
    doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
    if (!doc.beginDocument(writing)) {
        fail(QString::fromUtf8(kPdfWriteFailedText).arg(saveFolder + name));
        return {};
    }
    // With text recognition: one engine for the document, each page read from its JPEG in turn.
    std::unique_ptr<ocr::Recogniser> recogniser;
    int totalPages = 0;
    int pagesDone = 0;
    bool engineFailed = false;
    if (m_text)
        recogniser = std::make_unique<ocr::Recogniser>(m_languages);
    if (m_progress) {
        for (const QString& picture : pictures)
            totalPages += std::max(0, picturePages(picture));
        m_progress(0, totalPages);
    }
    const auto textOf = [&](const QString& jpeg) -> std::optional<pdf::TextLayer> {
        if (!recogniser || engineFailed)
            return std::nullopt;
        ocr::Recognition recognition;
        ocr::runOffThread([&] { recognition = recogniser->recogniseJpegFile(jpeg); });
        if (!recognition.layer) {
            qWarning().noquote() << "QX_Camera: no text recognised in" << jpeg << "(" << recognition.failure
                                 << "): the page holds its picture only";
            engineFailed = recognition.engineFailed;
        }
        return recognition.layer;
    };
    QString current;
    try {
        doc.setInfo(QStringLiteral("Creator"), QStringLiteral("PDF Creator"));
        doc.setInfo(QStringLiteral("Author"), QString::fromUtf8(kPdfAuthor));
        doc.setInfo(QStringLiteral("Title"), QStringLiteral("Convert to PDF"));
        doc.setInfo(QStringLiteral("Subject"), QStringLiteral("PDF Creator"));
        for (const QString& picture : pictures) {
            current = picture;
            // A merged TIFF holds several pages: each becomes a page of its own, through a temporary
            // JPEG of that page.
            const int pages = picturePages(picture);
            if (pages <= 0) {
                fail(QString::fromUtf8(kPdfPictureFailedText).arg(picture));
                return {};
            }
            for (int index = 0; index < pages; ++index) {
                QString page = picture;
                // The suffix decides as the list names its pictures, but bytes that are not a JPEG's
                // are converted whatever the name says: they could not be embedded as one.
                if (pages > 1 || isConvertedBySuffix(picture) || !hasJpegSignature(picture)) {
                    temporary = temporaryJpegFor(picture);
                    if (!(pages > 1 ? convertPageToJpeg(picture, index, temporary)
                                    : convertToJpeg(picture, temporary))) {
                        fail(QString::fromUtf8(kPdfPictureFailedText).arg(picture));
                        return {};
                    }
                    page = temporary;
                }
                m_lastPages.append(page);
                addPage(doc, page, textOf(page));
                if (m_progress)
                    m_progress(++pagesDone, totalPages);
                // The document holds the file open until it is written, so the name can go now.
                if (!temporary.isEmpty()) {
                    QFile::remove(temporary);
                    temporary.clear();
                }
            }
            whole.append(picture);
        }
        current.clear();
        doc.endDocument();
    } catch (const pdf::PdfError&) {
        fail(current.isEmpty() ? QString::fromUtf8(kPdfWriteFailedText).arg(saveFolder + name)
                               : QString::fromUtf8(kPdfPictureFailedText).arg(current));
        return {};
    }
    const QString target = publish(writing, saveFolder, name);
    if (target.isEmpty()) {
        fail(QString::fromUtf8(kPdfWriteFailedText).arg(saveFolder + name));
        return {};
    }
    published = true;
    return target;
}

} // namespace qx::desktop
