// The watermark's settings: text, font description, colour, image and positions, and the file that
// carries them from one dialog to the next.
#pragma once

#include <QFont>
#include <QString>

namespace qx::control {

// The font description as it has always been stored: the fields of a Windows logical font. Only
// height, weight, italic, underline, strike-out and face name shape the text; the others are kept
// so a settings file survives a round trip unchanged.
struct LogicalFont {
    int height = -56; // negative: character height in pixels; positive: cell height in pixels
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 400;
    int italic = 0;
    int underline = 0;
    int strikeOut = 0;
    int charSet = 134;
    int outPrecision = 3;
    int clipPrecision = 2;
    int quality = 1;
    int pitchAndFamily = 2;
    QString faceName = QStringLiteral("华文彩云");
};

// A QFont sized in pixels, so no screen resolution scales the text drawn on a picture. A face that
// is not installed falls back through fontconfig; the description keeps the name it was given.
QFont toQFont(const LogicalFont& font);
// The description of `chosen`, keeping the fields QFont has no counterpart for from `base`.
LogicalFont fromQFont(const QFont& chosen, const LogicalFont& base);

struct WatermarkSettings {
    QString text;
    LogicalFont font;
    double textX = 0;
    double textY = 0;
    double red = 0;
    double green = 0;
    double blue = 0;
    QString image;
    double imageX = 0;
    double imageY = 0;
};

// "WaterMarkData.ini", section "WaterMarkInfo". Numbers are written as C formats them ("%d",
// "%f"), whatever the locale. Line breaks and backslashes in the text are written as "\n" and "\\".
class WatermarkSettingsFile {
public:
    explicit WatermarkSettingsFile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }
    bool exists() const;
    // Every key, each with its default when missing.
    WatermarkSettings read() const;
    // A new file with the six keys of the text, the image and their positions.
    bool writeInitial(const WatermarkSettings& settings) const;
    // The file anew with every key, the whole font description included.
    bool writeAll(const WatermarkSettings& settings) const;

private:
    QString m_path;
};

} // namespace qx::control
