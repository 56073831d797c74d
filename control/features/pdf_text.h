// The searchable PDF's text: each page's picture recognised on a worker thread, the words handed to
// the PDF document as its invisible layer.
#pragma once

#include "qx/pdf/text_layer.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace qx::ocr {
class Recogniser;
}

namespace qx::control {

// From bPdfOcr and strOcrLanguages (OCXConfig.ini's PdfOcr and OcrLanguages).
struct PdfTextRequest {
    bool enabled = false;
    QString languages;
};

// One document's recognition: the engine is started with the first page and serves the others.
// A page without a layer is written pictures-only; the log says why, and the document is written all
// the same. Runs on the control's thread; the recognition itself runs on a worker while the
// container's events flow.
class PdfText {
public:
    PdfText(PdfTextRequest request, std::function<void(const QString&)> log);
    ~PdfText();
    PdfText(const PdfText&) = delete;
    PdfText& operator=(const PdfText&) = delete;

    bool enabled() const { return m_request.enabled; }
    // The captured page's JPEG in memory, made of the picture after colour mode and rotation: the
    // words are read from the pixels the page shows. Nothing when the setting is off or recognition
    // failed.
    std::optional<pdf::TextLayer> ofJpeg(const QByteArray& jpeg);
    // A page kept as a JPEG file (a merged page); read when it is its turn, one page at a time.
    std::optional<pdf::TextLayer> ofJpegFile(const QString& path);

private:
    template <typename Read> std::optional<pdf::TextLayer> run(const Read& read);

    PdfTextRequest m_request;
    std::function<void(const QString&)> m_log;
    std::unique_ptr<ocr::Recogniser> m_recogniser;
    bool m_engineFailed = false;
};

} // namespace qx::control
