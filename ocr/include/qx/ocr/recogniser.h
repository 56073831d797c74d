// Text recognition of page pictures (Tesseract), as words laid over a PDF page: the searchable PDF.
#pragma once

#include "qx/pdf/text_layer.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace qx::ocr {

inline constexpr const char* kDefaultLanguages = "chi_sim+eng";

// Whether a languages setting is Tesseract's form: pack names of letters, digits and '_' joined by
// '+'. Anything else (a path among them) is never handed to the engine.
bool validLanguages(const QString& languages);

// What recognising one page gave: the words, or why there are none to lay over it.
struct Recognition {
    std::optional<pdf::TextLayer> layer; // empty: the page stays pictures-only
    QString failure;                     // why there is no layer (for the log)
    QString note;                        // what else the log should say (orientation unknown, ...)
    bool engineFailed = false;           // the engine could not start: no page of it will do better
};

// One engine for the pages of one document: the language packs are loaded with the first page and
// kept for the next. Not shared between threads: one thread at a time uses an object, and may be
// another thread than the one that made it.
class Recogniser {
public:
    explicit Recogniser(QString languages);
    ~Recogniser();
    Recogniser(const Recogniser&) = delete;
    Recogniser& operator=(const Recogniser&) = delete;

    // A page's JPEG held in memory, decoded as Tesseract's own command decodes a JPEG file: the text
    // is read from the pixels the page shows. Pages whose text runs sideways or upside down are found
    // by Tesseract's orientation detection (the "osd" pack) and read upright; the layer's `turn`
    // says how to lay them back.
    Recognition recogniseJpeg(const QByteArray& jpeg);
    // The same for a page kept as a JPEG file.
    Recognition recogniseJpegFile(const QString& path);

    // The folder the packs are looked for in: TESSDATA_PREFIX when set, else Tesseract's own.
    static QString dataFolder();

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
    QString m_languages;
};

} // namespace qx::ocr
