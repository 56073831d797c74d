// Document scenes for the gallery's thumbnails and its stand-in for the camera picture.
#include "sample_pictures.h"

#include "qx/desktop/artwork_painter.h"
#include "qx/desktop/picture_list.h"
#include "qx/platform/timestamp.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

namespace qx::desktop::gallery {

namespace {

QFont font(qreal pixels, int weight = QFont::Normal) {
    QFont f(artworkFontFamily());
    f.setPixelSize(qMax(1, qRound(pixels)));
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

// A page with a heading, text lines, a table and a red stamp, turned by `angle` on a desk.
void drawPage(QPainter& p, const QRectF& page, qreal angle, int variant) {
    p.save();
    p.translate(page.center());
    p.rotate(angle);
    const QRectF r(-page.width() / 2, -page.height() / 2, page.width(), page.height());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(r.translated(page.width() * 0.012, page.width() * 0.016));
    p.setBrush(QColor(0xfb, 0xfa, 0xf6));
    p.drawRect(r);
    const qreal u = page.width() / 100.0;
    const QStringList headings = {QStringLiteral("业务受理单"), QStringLiteral("收款凭证"),
                                  QStringLiteral("申请表"), QStringLiteral("合同（副本）"),
                                  QStringLiteral("证明")};
    p.setPen(QColor(0x22, 0x22, 0x22));
    p.setFont(font(6 * u, QFont::Bold));
    p.drawText(QRectF(r.left(), r.top() + 5 * u, r.width(), 10 * u), Qt::AlignCenter,
               headings[variant % headings.size()]);
    QRandomGenerator rng(quint32(17 + variant));
    p.setPen(Qt::NoPen);
    qreal y = r.top() + 20 * u;
    while (y < r.bottom() - 30 * u) {
        const qreal len = r.width() * (0.55 + 0.3 * rng.generateDouble());
        p.setBrush(QColor(0x55, 0x5a, 0x62));
        p.drawRect(QRectF(r.left() + 9 * u, y, len, 1.4 * u));
        y += 4.2 * u;
        if (rng.bounded(5) == 0)
            y += 3 * u;
    }
    // A small table near the bottom.
    p.setPen(QPen(QColor(0x66, 0x6b, 0x73), 0.3 * u));
    p.setBrush(Qt::NoBrush);
    const QRectF table(r.left() + 9 * u, r.bottom() - 27 * u, r.width() - 18 * u, 14 * u);
    p.drawRect(table);
    for (int i = 1; i < 4; ++i)
        p.drawLine(QPointF(table.left() + table.width() * i / 4, table.top()),
                   QPointF(table.left() + table.width() * i / 4, table.bottom()));
    p.drawLine(QPointF(table.left(), table.center().y()), QPointF(table.right(), table.center().y()));
    // The stamp.
    p.setPen(QPen(QColor(0xd0, 0x20, 0x20, 200), 1.1 * u));
    const QPointF c(r.right() - 24 * u, r.bottom() - 36 * u);
    p.drawEllipse(c, 12 * u, 12 * u);
    p.setFont(font(3.6 * u, QFont::Bold));
    p.drawText(QRectF(c.x() - 12 * u, c.y() - 3 * u, 24 * u, 6 * u), Qt::AlignCenter,
               QStringLiteral("业务专用章"));
    p.restore();
}

void writeJpeg(const QImage& image, const QString& path) {
    image.save(path, "JPG", 88);
}

} // namespace

QImage documentScene(const QSize& size, int variant) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QLinearGradient desk(0, 0, size.width(), size.height());
    const QColor tones[] = {QColor(0x4a, 0x3b, 0x30), QColor(0x2f, 0x3b, 0x4a), QColor(0x3a, 0x44, 0x36),
                            QColor(0x50, 0x46, 0x3c), QColor(0x34, 0x34, 0x3c)};
    const QColor tone = tones[variant % 5];
    desk.setColorAt(0, tone.lighter(125));
    desk.setColorAt(1, tone.darker(115));
    p.fillRect(image.rect(), desk);
    const qreal h = size.height() * 0.86;
    const qreal w = qMin(h / 1.414, size.width() * 0.86);
    const QRectF page((size.width() - w) / 2, (size.height() - w * 1.414) / 2, w, w * 1.414);
    drawPage(p, page, -4.0 + 2.5 * variant, variant);
    return image;
}

QList<SamplePicture> writeSamplePictures(const QString& saveFolder) {
    QList<SamplePicture> pictures;
    const QDateTime now = QDateTime::currentDateTime();
    const struct {
        QSize size;
        bool merge;
    } shapes[] = {
        {{2592, 1944}, false}, {{1600, 1200}, false}, {{3200, 1200}, false}, {{2048, 1536}, true},
        {{2592, 1944}, false}, {{2000, 2000}, false}, {{1944, 2592}, false},
    };
    const QString mergeFolder = saveFolder + mergeFolderName(QDate::currentDate());
    QDir().mkpath(mergeFolder);
    int variant = 0;
    for (const auto& shape : shapes) {
        const QString stamp = platform::fileTimeStamp(now.addSecs(-600 + 47 * variant));
        SamplePicture picture;
        if (shape.merge) {
            picture.path = mergeFolder + stamp + QStringLiteral("ForJpgMerge.jpg");
            picture.displayName = captureDisplayName(picture.path, true);
        } else {
            picture.path = saveFolder + stamp + QStringLiteral(".jpg");
            picture.displayName = captureDisplayName(picture.path, false);
        }
        writeJpeg(documentScene(shape.size, variant), picture.path);
        pictures << picture;
        ++variant;
    }
    // A file that is not a picture: it shows as the empty framed thumbnail.
    SamplePicture broken;
    broken.path = saveFolder + platform::fileTimeStamp(now.addSecs(-30)) + QStringLiteral(".jpg");
    broken.displayName = captureDisplayName(broken.path, false);
    QFile file(broken.path);
    if (file.open(QIODevice::WriteOnly))
        file.write("\xff\xd8\xff\xe0 not really a picture");
    pictures << broken;
    return pictures;
}

} // namespace qx::desktop::gallery
