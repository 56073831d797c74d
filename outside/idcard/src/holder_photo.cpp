// Sniffs and decodes the photo block, and draws the placeholder photo.
#include "holder_photo.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace qx::idcard {

namespace {

// A photo block is at most a few kilobytes, so a header that claims more is a broken or hostile
// block, not a photograph; refusing it before decoding keeps the allocation small.
constexpr int kLargestSide = 2048;

const char* formatOf(const QByteArray& block) {
    if (block.startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (block.startsWith("\x89PNG\r\n\x1A\n"))
        return "png";
    if (block.startsWith("BM"))
        return "bmp";
    return nullptr;
}

} // namespace

QImage decodeHolderPhoto(const QByteArray& block) {
    const char* format = formatOf(block);
    if (format == nullptr)
        return QImage();
    QByteArray bytes = block;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestSide || size.height() > kLargestSide)
        return QImage();
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return QImage();
    return image;
}

QImage placeholderPhoto() {
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(QColor(0xE4, 0xE4, 0xE4));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xA8, 0xA8, 0xA8));
    painter.drawEllipse(QPointF(51, 50), 21, 26);
    QPainterPath shoulders;
    shoulders.moveTo(6, 126);
    shoulders.cubicTo(8, 92, 30, 84, 51, 84);
    shoulders.cubicTo(72, 84, 94, 92, 96, 126);
    shoulders.closeSubpath();
    painter.drawPath(shoulders);
    painter.end();
    return image;
}

} // namespace qx::idcard
