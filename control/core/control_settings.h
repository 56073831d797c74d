// The control's settings file "OCXConfig.ini": JPEG quality, black-and-white threshold and how sure the
// edge finder must be of a page before a capture is cut to it.
#pragma once

#include <QString>
#include <functional>

namespace qx::control {

struct ControlSettings {
    int jpegQuality = 75;
    int bwThreshold = 100;
    // `EdgeConfidence`, 0..100 (0 cuts out any outline found); only read, never written.
    int edgeConfidence = kDefaultEdgeConfidence;
    static constexpr int kDefaultEdgeConfidence = 50;
};

inline constexpr const char* kControlSettingsFile = "OCXConfig.ini";

// How uploads to https servers check the server, from the same file: `TlsVerify` (TRUE unless the
// value is "FALSE" or 0: FALSE brings back the old tolerance of any certificate, logged at every
// secure upload) and `TlsCaFile` (a PEM file of authorities trusted beside the system's, relative to
// the settings file's folder unless absolute). Read whenever the file is there, whatever else failed
// at start; the file is never written for them.
struct TlsSettings {
    bool verify = true;
    QString caFile;
};
TlsSettings readTlsSettings(const QString& path);

// Whether PDFs carry the recognised text, from the same file: `PdfOcr` (FALSE unless "TRUE" or 1;
// recognition costs seconds a page) and `OcrLanguages` (Tesseract's packs joined by '+', default
// "chi_sim+eng"). The starting values of bPdfOcr and strOcrLanguages; only read, never written.
struct OcrSettings {
    bool enabled = false;
    QString languages = QStringLiteral("chi_sim+eng");
};
OcrSettings readOcrSettings(const QString& path);

// Reads the settings file at `path`, or creates it with the defaults when there is none. A file that
// is there but cannot be read (no read permission, a folder or a dangling link of that name) is
// never rewritten: the defaults are used for this run and `log` says so, so an administrator's
// settings survive a permission mistake. A file that can be read but not written is still read.
ControlSettings loadControlSettings(const QString& path, const std::function<void(const QString&)>& log);

} // namespace qx::control
