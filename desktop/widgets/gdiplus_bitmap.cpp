// Images with transparency for the skinned buttons, from files or from the program's resources.
#include "qx/desktop/gdiplus_bitmap.h"

#include "qx/desktop/artwork.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace qx::desktop {

namespace {
QImage decode(QIODevice& device) {
    QImageReader reader(&device);
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
} // namespace

bool CGdiPlusBitmap::Load(const QString& path) {
    Empty();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_image = decode(file);
    return !m_image.isNull();
}

void CGdiPlusBitmap::setImage(const QImage& image) {
    m_image = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void CGdiPlusBitmap::Empty() {
    m_image = QImage();
}

bool CGdiPlusBitmapResource::Load(int id, const char* type) {
    initArtworkResources();
    return Load(artworkResourcePath(id, type));
}

bool CGdiPlusBitmapResource::Load(const QString& resourcePath) {
    Empty();
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_bytes = file.readAll();
    if (m_bytes.isEmpty())
        return false;
    QBuffer buffer(&m_bytes);
    buffer.open(QIODevice::ReadOnly);
    m_image = decode(buffer);
    if (m_image.isNull()) {
        m_bytes.clear();
        return false;
    }
    return true;
}

void CGdiPlusBitmapResource::Empty() {
    CGdiPlusBitmap::Empty();
    m_bytes.clear();
}

} // namespace qx::desktop
