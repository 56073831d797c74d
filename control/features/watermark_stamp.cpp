// Stamping a picture: QPainter on a 24-bit copy, written as a BMP beside the temporary files.
#include "control/features/watermark_stamp.h"

#include "qx/imaging/picture.h"
#include "qx/platform/files.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <cstring>

namespace qx::control {

namespace {

int component(double value) {
    // Toward zero, then the low eight bits, as a colour component has always been made.
    if (!std::isfinite(value))
        return 0;
    return int(std::trunc(std::clamp(value, -2147483648.0, 2147483647.0))) & 0xff;
}

int position(double value) {
    if (!std::isfinite(value))
        return 0;
    return int(std::trunc(std::clamp(value, -1.0e9, 1.0e9)));
}

QImage toImage(const imaging::Picture& p) {
    QImage image(p.width, p.height, QImage::Format_RGB32);
    for (int y = 0; y < p.height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < p.width; ++x)
            out[x] = p.colourAt(x, y);
    }
    return image;
}

imaging::Picture toPicture(const QImage& image, double dpi) {
    imaging::Picture p;
    p.width = image.width();
    p.height = image.height();
    p.bitsPerPixel = 24;
    p.stride = (p.width * 3 + 3) & ~3;
    p.pixels.assign(size_t(p.stride) * size_t(p.height), 0);
    for (int y = 0; y < p.height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* row = p.pixels.data() + size_t(y) * size_t(p.stride);
        for (int x = 0; x < p.width; ++x) {
            row[3 * x] = uint8_t(qBlue(in[x]));
            row[3 * x + 1] = uint8_t(qGreen(in[x]));
            row[3 * x + 2] = uint8_t(qRed(in[x]));
        }
    }
    p.dpiX = p.dpiY = dpi;
    return p;
}

} // namespace

QString stampedPath(const QString& tempFolder, const QString& picture) {
    const QString name = picture.mid(picture.lastIndexOf(QLatin1Char('/')) + 1);
    return tempFolder + name.left(std::max<qsizetype>(0, name.size() - 4)) + QStringLiteral("AW.bmp");
}

StampResult stampWatermark(const QString& picture, const WatermarkSettings& settings,
                           const QString& tempFolder) {
    StampResult result;
    // The stamped copy replaces the picture: a JPEG with damaged data must not come back whole-looking
    // with its grey remainder.
    const auto source = imaging::loadIntactPicture(picture);
    if (!source || source->isNull()) {
        result.failure = QStringLiteral("添加水印失败，无法读取图片:") + picture;
        return result;
    }
    // QPainter cannot draw on indexed pictures: 1- and 8-bit sources are drawn on a colour copy.
    QImage canvas = toImage(*source);
    {
        QPainter painter(&canvas);
        if (!settings.text.isEmpty()) {
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setFont(toQFont(settings.font));
            painter.setPen(
                QColor(component(settings.red), component(settings.green), component(settings.blue)));
            painter.drawText(QRectF(position(settings.textX), position(settings.textY), 0, 0),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, settings.text.left(256));
        }
        if (!settings.image.isEmpty()) {
            QImageReader reader(settings.image);
            const QImage mark = reader.read();
            if (!mark.isNull())
                painter.drawImage(QPoint(position(settings.imageX), position(settings.imageY)), mark);
        }
    }
    // A name of its own beside "<name>AW.bmp": two pictures of one name stamped at once (two
    // folders, two programs) never take each other's copy.
    const QString named = stampedPath(tempFolder, picture);
    result.path = platform::createSiblingFile(named);
    if (result.path.isEmpty() || !imaging::saveBmp(toPicture(canvas, source->dpiX), result.path)) {
        if (!result.path.isEmpty())
            QFile::remove(result.path);
        result.path.clear();
        result.failure = QStringLiteral("添加水印失败，无法写入:") + named;
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace qx::control
