// Reading pages, writing them as one TIFF, and single pictures out of them.
#include "tif_layers.h"

#include "qx/imaging/encoders.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace qx::tiff {

bool TifLayers::add(const QString& path, int page, QString* failure) {
    if (path.isEmpty()) {
        if (failure)
            *failure = QStringLiteral("no file given");
        return false;
    }
    std::optional<imaging::Picture> picture = imaging::loadPicturePage(path, page);
    if (!picture || picture->isNull()) {
        if (failure)
            *failure = QFileInfo::exists(path) ? QStringLiteral("not a picture that can be read: ") + path
                                               : QStringLiteral("no such file: ") + path;
        return false;
    }
    m_pages.push_back({path, page, std::move(*picture)});
    return true;
}

bool TifLayers::write(const QString& path, QString* failure) const {
    auto fail = [&](const QString& why) {
        if (failure)
            *failure = why;
        return false;
    };
    if (m_pages.empty())
        return fail(QStringLiteral("no pages"));
    if (path.isEmpty())
        return fail(QStringLiteral("no file given"));
    imaging::TiffPageWriter writer(path);
    for (const LayerPage& page : m_pages) {
        if (!writer.addPage(page.picture))
            return fail(QStringLiteral("cannot write ") + path);
    }
    if (!writer.commit())
        return fail(QStringLiteral("cannot write ") + path);
    return true;
}

QImage toImage(const imaging::Picture& p) {
    if (p.isNull())
        return {};
    QImage image;
    const auto* data = p.pixels.data();
    switch (p.bitsPerPixel) {
    case 32:
        image = QImage(data, p.width, p.height, p.stride, QImage::Format_RGB32).copy();
        break;
    case 24:
        image = QImage(data, p.width, p.height, p.stride, QImage::Format_BGR888).copy();
        break;
    case 8:
    case 1: {
        image = QImage(data, p.width, p.height, p.stride,
                       p.bitsPerPixel == 8 ? QImage::Format_Indexed8 : QImage::Format_Mono)
                    .copy();
        // Every index gets a colour by the picture's palette rules, so no pixel falls off the table.
        const int entries = 1 << p.bitsPerPixel;
        QList<QRgb> table(entries);
        for (int i = 0; i < entries; ++i) {
            if (p.palette.empty())
                table[i] = p.bitsPerPixel == 8 ? qRgb(i, i, i) : (i ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
            else
                table[i] =
                    i < static_cast<int>(p.palette.size()) ? (p.palette[i] | 0xFF000000u) : qRgb(0, 0, 0);
        }
        image.setColorTable(table);
        break;
    }
    default:
        return {};
    }
    if (p.dpiX > 0)
        image.setDotsPerMeterX(qRound(p.dpiX / 0.0254));
    if (p.dpiY > 0)
        image.setDotsPerMeterY(qRound(p.dpiY / 0.0254));
    return image;
}

bool savePicture(const imaging::Picture& picture, const QString& path, const QString& format) {
    const QString suffix = (format.isEmpty() ? QFileInfo(path).suffix() : format).toLower();
    if (suffix == QLatin1String("bmp"))
        return imaging::saveBmp(picture, path);
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return imaging::saveJpeg(picture, path, 75);
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return imaging::saveTiffLzw(picture, path);
    if (suffix == QLatin1String("gif"))
        return imaging::saveGif(picture, path);
    // As the imaging writers do: the target is replaced only by a complete file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, suffix.toLatin1());
    if (!writer.write(toImage(picture)))
        return false;
    return file.commit();
}

} // namespace qx::tiff
