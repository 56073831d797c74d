// The program's artwork, drawn from vector sources: the catalogue of resource ids and the painters.
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <span>

class QPainter;

namespace qx::desktop {

// Resource ids of the artwork, as the dialogs name them.
namespace res {
inline constexpr int kIcon = 129;
inline constexpr int kSplash = 135;
inline constexpr int kDialogBackground = 136;
inline constexpr int kMinimise = 138;
inline constexpr int kClose = 139;
inline constexpr int kCapture = 142;
inline constexpr int kMerge = 144;
inline constexpr int kUpload = 145;
inline constexpr int kSettings = 146;
inline constexpr int kRecord = 147;
inline constexpr int kWatermark = 148;
inline constexpr int kPdf = 149;
inline constexpr int kClear = 150;
inline constexpr int kTimerStart = 151;
inline constexpr int kTimerStop = 152;
inline constexpr int kCardPanelBackground = 155;
inline constexpr int kCardResume = 157;
inline constexpr int kCardPause = 158;
inline constexpr int kCardSettings = 159;
inline constexpr int kPanelHidden = 160;
inline constexpr int kPanelShown = 161;
inline constexpr int kCardExport = 162;
inline constexpr int kTif = 163;
inline constexpr int kPrint = 165;
} // namespace res

// The resource type an image was declared with: a bitmap, a PNG (with transparency) or the icon.
enum class ArtworkKind { Bitmap, Png, Icon };

struct ArtworkInfo {
    int id;
    ArtworkKind kind;
    const char* name;
    QSize natural; // for DialogUnits::reference(): the size of the control or dialog it belongs to
};

std::span<const ArtworkInfo> artworkCatalog();
const ArtworkInfo* artworkInfo(int id);

// "BITMAP", "PNG" or "ICON".
const char* artworkTypeName(ArtworkKind kind);

// Where the rendered image of `id` lies in the program's resources (":/qx/artwork/<type>/<id>.png").
QString artworkResourcePath(int id);
QString artworkResourcePath(int id, const char* type);

// Draws artwork `id` at `size` (its natural size when `size` is empty) into a new ARGB image; a null
// image for an id that is not in the catalogue. Other sizes are drawn from the vector sources, not
// scaled from pixels.
QImage paintArtwork(int id, QSize size = {});

// Draws the glyph `name` (one of artwork/glyphs/*.svg) into `rect` in `color`.
void paintGlyph(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);

// The CJK font family the artwork and the dialogs use.
QString artworkFontFamily();

} // namespace qx::desktop
