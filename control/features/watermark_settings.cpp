// Reading and writing "WaterMarkData.ini", and the font description as a QFont.
#include "control/features/watermark_settings.h"

#include "qx/platform/profile.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <vector>

namespace qx::control {

namespace {

const QString kSection = QStringLiteral("WaterMarkInfo");

QString escapeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\r')) {
            // CR LF and a lone CR are both one line break.
            out += QLatin1String("\\n");
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

// "\n" is a line break and "\\" a backslash; any other backslash stands for itself, as it does in
// files written before line breaks were escaped.
QString unescapeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            if (text[i + 1] == QLatin1Char('n')) {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (text[i + 1] == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString number(double value) {
    // QString::number never uses the locale's decimal comma.
    return QString::number(value, 'f', 6);
}

// The number at the start of the value, as atof reads it in the C locale: "12.5abc" is 12.5.
double leadingDouble(const QString& text) {
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('-') || t[end] == QLatin1Char('+')))
        ++end;
    while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128)
        ++end;
    if (end < t.size() && t[end] == QLatin1Char('.')) {
        ++end;
        while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128)
            ++end;
    }
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

} // namespace

QFont toQFont(const LogicalFont& font) {
    QFont f(font.faceName);
    f.setWeight(QFont::Weight(std::clamp(font.weight == 0 ? 400 : font.weight, 1, 1000)));
    f.setItalic(font.italic != 0);
    f.setUnderline(font.underline != 0);
    f.setStrikeOut(font.strikeOut != 0);
    f.setStyleStrategy(QFont::PreferAntialias);
    if (font.height < 0) {
        f.setPixelSize(std::min(-font.height, 100000));
    } else if (font.height > 0) {
        // A cell height: the character height that gives a line of that many pixels in this face.
        f.setPixelSize(std::min(font.height, 100000));
        const double cell = QFontMetricsF(f).height();
        if (cell > 0)
            f.setPixelSize(std::max(1, int(std::lround(font.height * font.height / cell))));
    } else {
        f.setPixelSize(16);
    }
    return f;
}

LogicalFont fromQFont(const QFont& chosen, const LogicalFont& base) {
    LogicalFont font = base;
    if (chosen.pixelSize() > 0)
        font.height = -chosen.pixelSize();
    else if (chosen.pointSizeF() > 0)
        font.height = -int(std::lround(chosen.pointSizeF() * 96.0 / 72.0));
    font.weight = int(chosen.weight());
    font.italic = chosen.italic() ? 1 : 0;
    font.underline = chosen.underline() ? 1 : 0;
    font.strikeOut = chosen.strikeOut() ? 1 : 0;
    if (!chosen.family().isEmpty())
        font.faceName = chosen.family();
    return font;
}

bool WatermarkSettingsFile::exists() const {
    return QFileInfo(m_path).isFile();
}

WatermarkSettings WatermarkSettingsFile::read() const {
    const auto text = [this](const char* key, const char* fallback, int buffer = 1024) {
        return platform::readProfileString(m_path, kSection, QLatin1String(key), QString::fromUtf8(fallback),
                                           buffer);
    };
    const auto integer = [&](const char* key, const char* fallback) {
        return platform::decimalPrefix(text(key, fallback));
    };
    const auto real = [&](const char* key) { return leadingDouble(text(key, "0")); };
    WatermarkSettings s;
    s.text = unescapeText(text("text", " ", 4096));
    s.font.charSet = integer("text-CharSet", "134");
    s.font.clipPrecision = integer("text-ClipPrecision", "2");
    s.font.escapement = integer("text-Escapement", "0");
    s.font.faceName = text("text-FaceName", "华文彩云", 32);
    s.font.height = integer("text-lfHeight", "-56");
    s.font.italic = integer("text-Italic", "0");
    s.font.orientation = integer("text-Orientation", "0");
    s.font.outPrecision = integer("text-OutPrecision", "3");
    s.font.pitchAndFamily = integer("text-PitchAndFamily", "2");
    s.font.quality = integer("text-Quality", "1");
    s.font.strikeOut = integer("text-StrikeOut", "0");
    s.font.underline = integer("text-Underline", "0");
    s.font.weight = integer("text-Weight", "400");
    s.font.width = integer("text-Width", "0");
    s.textX = real("text-x");
    s.textY = real("text-y");
    s.red = real("text-r");
    s.green = real("text-g");
    s.blue = real("text-b");
    s.image = text("img", " ", 4096);
    s.imageX = real("img-x");
    s.imageY = real("img-y");
    return s;
}

namespace {

using Entries = std::vector<std::pair<const char*, QString>>;

// The whole file at once, through a temporary file: settings are never left half written.
bool writeFile(const QString& path, const Entries& entries) {
    QByteArray text = "[" + kSection.toUtf8() + "]\r\n";
    for (const auto& [key, value] : entries)
        text += QByteArray(key) + "=" + value.toUtf8() + "\r\n";
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

// A path cannot hold a line break in this file; it would end the value.
QString singleLine(QString value) {
    value.remove(QLatin1Char('\r'));
    value.remove(QLatin1Char('\n'));
    return value;
}

} // namespace

bool WatermarkSettingsFile::writeInitial(const WatermarkSettings& s) const {
    return writeFile(m_path, {{"text", escapeText(s.text)},
                              {"text-x", number(s.textX)},
                              {"text-y", number(s.textY)},
                              {"img", singleLine(s.image)},
                              {"img-x", number(s.imageX)},
                              {"img-y", number(s.imageY)}});
}

bool WatermarkSettingsFile::writeAll(const WatermarkSettings& s) const {
    const auto n = [](int value) { return QString::number(value); };
    return writeFile(m_path, {{"text", escapeText(s.text)},
                              {"text-CharSet", n(s.font.charSet)},
                              {"text-ClipPrecision", n(s.font.clipPrecision)},
                              {"text-Escapement", n(s.font.escapement)},
                              {"text-FaceName", s.font.faceName},
                              {"text-lfHeight", n(s.font.height)},
                              {"text-Italic", n(s.font.italic)},
                              {"text-Orientation", n(s.font.orientation)},
                              {"text-OutPrecision", n(s.font.outPrecision)},
                              {"text-PitchAndFamily", n(s.font.pitchAndFamily)},
                              {"text-Quality", n(s.font.quality)},
                              {"text-StrikeOut", n(s.font.strikeOut)},
                              {"text-Underline", n(s.font.underline)},
                              {"text-Weight", n(s.font.weight)},
                              {"text-Width", n(s.font.width)},
                              {"text-x", number(s.textX)},
                              {"text-y", number(s.textY)},
                              {"text-r", number(s.red)},
                              {"text-g", number(s.green)},
                              {"text-b", number(s.blue)},
                              {"img", singleLine(s.image)},
                              {"img-x", number(s.imageX)},
                              {"img-y", number(s.imageY)}});
}

} // namespace qx::control
