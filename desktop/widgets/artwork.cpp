// The shipped artwork by resource id, and the same drawn afresh for other sizes.
#include "qx/desktop/artwork.h"

#include <QImageReader>
#include <mutex>

static void initShippedArtwork() {
    Q_INIT_RESOURCE(qx_artwork);
}

namespace qx::desktop {

void initArtworkResources() {
    static std::once_flag once;
    std::call_once(once, initShippedArtwork);
}

QImage artworkImage(int id) {
    initArtworkResources();
    const QString path = artworkResourcePath(id);
    if (path.isEmpty())
        return {};
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        return paintArtwork(id); // a resource that failed to decode is drawn instead of lost
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage artworkImage(int id, const QSize& size) {
    const ArtworkInfo* info = artworkInfo(id);
    if (!info)
        return {};
    if (size.isEmpty() || size == info->natural)
        return artworkImage(id);
    return paintArtwork(id, size);
}

QPixmap artwork(int id) {
    return QPixmap::fromImage(artworkImage(id));
}

QPixmap artwork(int id, const QSize& size) {
    return QPixmap::fromImage(artworkImage(id, size));
}

} // namespace qx::desktop
