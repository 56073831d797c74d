// BitmapButton: a push button whose face is one of the program's bitmaps (the dialogs' image buttons).
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>

namespace qx::desktop {

// The caption stays the button's text (for accessibility and shortcuts); the bitmap carries the
// visible caption. Pressed: the face moves one pixel right and down. Hover: the hot colour matrix.
// Disabled: the grey matrix, faded. A bitmap of another size than the button is scaled smoothly.
class BitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButton(QWidget* parent = nullptr);

    // The dialogs' "set image": replaces the face and repaints.
    void setBitmap(const QImage& bitmap);
    // The artwork `id` drawn for the button's current size.
    void setBitmapId(int id);
    int bitmapId() const { return m_id; }
    const QImage& bitmap() const { return m_bitmap; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void rebuild();

    QImage m_bitmap;
    int m_id = 0;
    QImage m_normal;
    QImage m_hot;
    QImage m_grey;
    bool m_hovering = false;
};

} // namespace qx::desktop
