// PdfExport: the pictures of the list, in list order, as one PDF document of A4 pages in the save folder.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace qx {
class UiHost;
}

namespace qx::desktop {

class PictureList;

inline constexpr const char* kPdfAuthor = "Qorvane";
// The box of an export that failed: the picture it failed on, or the document it could not write.
inline constexpr const char* kPdfPictureFailedText = "图片转换PDF失败，无法处理图片:\n%1";
inline constexpr const char* kPdfWriteFailedText = "图片转换PDF失败，无法写入PDF文件:\n%1";

// "%4d-%02d-%02d %02d-%02d-%02d.pdf" of `time`.
QString pdfExportName(const QDateTime& time);
// Whether the name says the picture must be converted to JPEG first: its last three characters are
// bmp, tif or gif, all lower or all upper case.
bool isConvertedBySuffix(const QString& path);
// Whether the file's bytes start as a JPEG's do (FF D8 FF).
bool hasJpegSignature(const QString& path);

class PdfExport {
public:
    // Borrows the list and the host (the failure box); both must outlive the export.
    PdfExport(PictureList& pictures, UiHost& host);

    // The local time the name is made of; the current time until set.
    void setClock(std::function<QDateTime()> now);
    void setOwner(std::function<QWidget*()> owner);
    // Whether the next runs lay each page's recognised text over it (bPdfOcr, strOcrLanguages).
    void setTextRecognition(bool enabled, const QString& languages);
    // Told (pages done, pages in all) as each page's text is recognised: recognition takes seconds a
    // page, and the export waits for it with the program's events flowing.
    void setProgress(std::function<void(int done, int total)> progress);

    // Writes every page of every item's picture (each page of a multi-page TIFF) as a page of one
    // document into `saveFolder` (with its trailing '/') and answers the document's path, or "" when
    // nothing was written (an empty list, or a failure, which the box names). With `deleteAfter` the
    // pictures all of whose pages are in the document are deleted with their items, after a success
    // only. With text recognition on, a page whose text cannot be recognised (no language pack, a
    // failed recognition) is written pictures-only, with a warning on standard error; the document is
    // still written. A run called while one runs writes nothing.
    QString run(const QString& saveFolder, bool deleteAfter);

    // The page files of the last run, in order, as they were handed to the document (temporary JPEGs
    // for the converted pictures and for each page of a multi-page one).
    QStringList lastPages() const { return m_lastPages; }

private:
    // `whole` gets each picture once its last page is in the document.
    QString write(const QString& saveFolder, const QStringList& pictures, QStringList& whole);
    void fail(const QString& text);

    PictureList& m_pictures;
    UiHost& m_host;
    std::function<QDateTime()> m_now;
    std::function<QWidget*()> m_owner;
    std::function<void(int, int)> m_progress;
    bool m_text = false;
    QString m_languages;
    bool m_running = false;
    QStringList m_lastPages;
};

} // namespace qx::desktop
