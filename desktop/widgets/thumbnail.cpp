// Thumbnails: placement in the 120 x 90 box and reduced-scale decoding of the picture files.
#include "qx/desktop/thumbnail.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSysInfo>
#include <functional>
#include <optional>
#include <turbojpeg.h>

namespace qx::desktop {

namespace {

// A decode larger than this is refused: a forged header must not make us allocate gigabytes.
constexpr qint64 kMaxDecodedBytes = 256LL * 1024 * 1024;

bool looksLikeJpeg(const QByteArray& head) {
    return head.size() >= 3 && uchar(head[0]) == 0xff && uchar(head[1]) == 0xd8 && uchar(head[2]) == 0xff;
}

struct TurboHandle {
    tjhandle handle = tjInitDecompress();
    ~TurboHandle() {
        if (handle)
            tjDestroy(handle);
    }
};

// The smallest DCT scaling whose result still covers `target`, so the final smoothing has pixels to
// work with and the decoder skips the rest.
tjscalingfactor pickScale(int width, int height, const QSize& target) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best{1, 1};
    qint64 bestArea = qint64(width) * height;
    for (int i = 0; i < count; ++i) {
        const int w = TJSCALED(width, factors[i]);
        const int h = TJSCALED(height, factors[i]);
        if (w >= target.width() && h >= target.height() && qint64(w) * h < bestArea) {
            best = factors[i];
            bestArea = qint64(w) * h;
        }
    }
    return best;
}

// nullopt when the file is a JPEG this decoder cannot turn into RGB (CMYK, for one): the general reader
// gets it then.
std::optional<ScaledPicture> decodeJpeg(const QByteArray& data, const QSize& target,
                                        const std::function<QSize(QSize)>& targetFor) {
    TurboHandle tj;
    if (!tj.handle)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    // No readable header: no reader will do better, and a second attempt would only repeat the complaint.
    if (tjDecompressHeader3(tj.handle, bytes, size, &width, &height, &subsampling, &colorspace) != 0 ||
        width <= 0 || height <= 0)
        return ScaledPicture{};
    ScaledPicture picture;
    picture.original = QSize(width, height);
    const QSize want = targetFor ? targetFor(picture.original) : target;
    if (want.isEmpty())
        return picture; // nothing to draw; the size alone is the answer
    const tjscalingfactor scale = pickScale(width, height, want);
    const int w = TJSCALED(width, scale);
    const int h = TJSCALED(height, scale);
    if (qint64(w) * h * 4 > kMaxDecodedBytes)
        return picture;
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull())
        return picture;
    // Format_RGB32 is 0xffRRGGBB in native order: B, G, R, X in memory on little-endian machines.
    const int format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    if (tjDecompress2(tj.handle, bytes, size, image.bits(), w, int(image.bytesPerLine()), h, format,
                      TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE) != 0 &&
        tjGetErrorCode(tj.handle) != TJERR_WARNING)
        return std::nullopt; // e.g. CMYK: left to the general reader
    picture.image =
        image.size() == want ? image : image.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

ScaledPicture decodeOther(const QString& path, const std::function<QSize(QSize)>& targetFor,
                          const QSize& target) {
    ScaledPicture picture;
    QImageReader reader(path);
    reader.setAutoTransform(false);
    picture.original = reader.size();
    if (!picture.original.isValid() || picture.original.isEmpty()) {
        // Some formats only know their size once read.
        QImage full = reader.read();
        if (full.isNull())
            return {};
        picture.original = full.size();
        const QSize want = targetFor ? targetFor(picture.original) : target;
        if (!want.isEmpty())
            picture.image = full.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return picture;
    }
    const QSize want = targetFor ? targetFor(picture.original) : target;
    if (want.isEmpty())
        return picture;
    if (reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // Decode at least at the wanted size, then smooth down to it.
        reader.setScaledSize(picture.original.scaled(want, Qt::KeepAspectRatioByExpanding));
    }
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    picture.image =
        image.size() == want ? image : image.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

ScaledPicture load(const QString& path, const QSize& target, const std::function<QSize(QSize)>& targetFor) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (looksLikeJpeg(file.peek(3))) {
        const QByteArray data = file.readAll();
        if (auto picture = decodeJpeg(data, target, targetFor))
            return *picture;
    }
    file.close();
    return decodeOther(path, targetFor, target);
}

} // namespace

QRect thumbnailPlacement(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    const float ratio = float(height) / float(width);
    if (height < width) {
        const int h = int(ratio * float(kThumbnailWidth));
        // Wider than tall but less so than 4:3 (5:4 sensors): the full width would overflow the box.
        if (h <= kThumbnailHeight)
            return {0, (kThumbnailHeight - h) / 2, kThumbnailWidth, h};
    }
    const int w = int(float(kThumbnailHeight) / ratio);
    return {(kThumbnailWidth - w) / 2, 0, w, kThumbnailHeight};
}

ScaledPicture loadScaledPicture(const QString& path, const QSize& target) {
    return load(path, target, {});
}

QImage emptyThumbnailImage() {
    QImage thumb(kThumbnailWidth, kThumbnailHeight, QImage::Format_RGB32);
    thumb.fill(Qt::white);
    QPainter p(&thumb);
    p.setPen(QColor::fromRgb(kThumbnailFrame));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, kThumbnailWidth - 1, kThumbnailHeight - 1);
    return thumb;
}

QImage makeThumbnailImage(const QString& path) {
    QImage thumb = emptyThumbnailImage();
    QPainter p(&thumb);
    // The placement depends on the stored size, which only the file header tells.
    const ScaledPicture picture = load(path, {}, [](QSize original) {
        return thumbnailPlacement(original.width(), original.height()).size();
    });
    if (!picture.image.isNull()) {
        const QRect at = thumbnailPlacement(picture.original.width(), picture.original.height());
        p.drawImage(at.topLeft(), picture.image);
    }
    p.end();
    return thumb;
}

} // namespace qx::desktop
