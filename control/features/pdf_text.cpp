// PdfText: the recogniser driven off the control's thread, its outcome turned into log lines.
#include "control/features/pdf_text.h"

#include "qx/ocr/off_thread.h"
#include "qx/ocr/recogniser.h"

namespace qx::control {

PdfText::PdfText(PdfTextRequest request, std::function<void(const QString&)> log)
    : m_request(std::move(request)), m_log(std::move(log)) {
    if (m_request.languages.trimmed().isEmpty())
        m_request.languages = QString::fromLatin1(ocr::kDefaultLanguages);
}

PdfText::~PdfText() = default;

template <typename Read> std::optional<pdf::TextLayer> PdfText::run(const Read& read) {
    if (!m_request.enabled || m_engineFailed)
        return std::nullopt;
    if (!m_recogniser)
        m_recogniser = std::make_unique<ocr::Recogniser>(m_request.languages.trimmed());
    ocr::Recognition recognition;
    ocr::runOffThread([&] { recognition = read(*m_recogniser); });
    if (!recognition.note.isEmpty())
        m_log(QStringLiteral("文字识别:") + recognition.note);
    if (!recognition.layer) {
        m_log(QStringLiteral("文字识别失败，PDF只含图片:") + recognition.failure);
        // An engine that cannot start fails the same way for every page: said once.
        m_engineFailed = recognition.engineFailed;
        return std::nullopt;
    }
    m_log(QStringLiteral("文字识别完成:%1个词").arg(recognition.layer->words.size()));
    return recognition.layer;
}

std::optional<pdf::TextLayer> PdfText::ofJpeg(const QByteArray& jpeg) {
    return run([&jpeg](ocr::Recogniser& r) { return r.recogniseJpeg(jpeg); });
}

std::optional<pdf::TextLayer> PdfText::ofJpegFile(const QString& path) {
    return run([&path](ocr::Recogniser& r) { return r.recogniseJpegFile(path); });
}

} // namespace qx::control
