// BitmapButton: a bitmap face with pressed, hover and disabled looks, redrawn from the artwork on resize.
#include "qx/desktop/bitmap_button.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/color_matrix.h"

#include <QPainter>
#include <QPainterPath>

namespace qx::desktop {

BitmapButton::BitmapButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void BitmapButton::setBitmap(const QImage& bitmap) {
    m_id = 0;
    m_bitmap = bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    rebuild();
    updateGeometry();
    update();
}

void BitmapButton::setBitmapId(int id) {
    m_id = id;
    m_bitmap = artworkImage(id, size().isEmpty() ? QSize() : size());
    rebuild();
    updateGeometry();
    update();
}

QSize BitmapButton::sizeHint() const {
    if (const ArtworkInfo* info = m_id ? artworkInfo(m_id) : nullptr)
        return info->natural;
    return m_bitmap.isNull() ? QSize(64, 24) : m_bitmap.deviceIndependentSize().toSize();
}

void BitmapButton::rebuild() {
    QImage face = m_bitmap;
    if (!face.isNull() && face.size() != size() && !size().isEmpty())
        face = face.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_normal = face;
    m_hot = face.isNull() ? QImage() : applyColorMatrix(face, hotMatrix());
    m_grey = face.isNull() ? QImage() : applyColorMatrix(face, greyMatrix());
}

void BitmapButton::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    // Drawn afresh at the new size rather than stretched, when the face is one of the program's.
    if (m_id != 0)
        m_bitmap = artworkImage(m_id, size());
    rebuild();
}

void BitmapButton::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void BitmapButton::leaveEvent(QEvent* event) {
    m_hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void BitmapButton::paintEvent(QPaintEvent*) {
    if (m_normal.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled()) {
        p.setOpacity(0.55);
        p.drawImage(QPoint(0, 0), m_grey);
        return;
    }
    const bool down = isDown() || isChecked();
    const QPoint at = down ? QPoint(1, 1) : QPoint(0, 0);
    const QImage& face = m_hovering && !down ? m_hot : m_normal;
    p.drawImage(at, face);
    if (down) {
        // Pressed faces sink a little as well as move.
        QImage shade(face.size(), QImage::Format_ARGB32_Premultiplied);
        shade.fill(Qt::transparent);
        QPainter s(&shade);
        s.drawImage(0, 0, face);
        s.setCompositionMode(QPainter::CompositionMode_SourceIn);
        s.fillRect(shade.rect(), QColor(0, 0, 0, 28));
        s.end();
        p.drawImage(at, shade);
    }
    if (hasFocus()) {
        QPainterPath ring;
        ring.addRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x25, 0x63, 0xeb, 160), 1, Qt::DotLine));
        p.drawPath(ring);
    }
}

} // namespace qx::desktop
