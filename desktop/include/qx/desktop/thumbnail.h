// Thumbnails of the picture list: where a picture lands in its 120 x 90 box and how it is drawn.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace qx::desktop {

inline constexpr int kThumbnailWidth = 120;
inline constexpr int kThumbnailHeight = 90;
inline constexpr QRgb kThumbnailFrame = 0xffc0c0c0; // RGB(192, 192, 192)

// Where a `width` x `height` picture is drawn inside the box; empty when nothing is drawn (a picture
// without pixels, or one so thin that it rounds to nothing). The ratio is taken in single precision.
// Wider pictures span the width, others the height; one between 4:3 and square, whose full width would
// make it taller than the box, spans the height as well.
QRect thumbnailPlacement(int width, int height);

// A picture file decoded to `target` pixels, together with its stored size. JPEG files are decoded at
// a reduced scale (a DCT scaling factor of at least the target size), so a large photograph costs a
// fraction of a full decode. `image` is null when the file cannot be read.
struct ScaledPicture {
    QImage image;
    QSize original;
};
ScaledPicture loadScaledPicture(const QString& path, const QSize& target);

// The empty framed box: 120 x 90 white with a one-pixel RGB(192, 192, 192) frame.
QImage emptyThumbnailImage();

// The 120 x 90 thumbnail of `path`: the empty framed box with the picture centred over it. A file that
// cannot be read gives the empty framed box. Safe to call from any thread.
QImage makeThumbnailImage(const QString& path);

} // namespace qx::desktop
