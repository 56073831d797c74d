// CListImageCtrl: the thumbnail list of the main dialog, with label editing and drag-and-drop reordering.
#pragma once

#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QPoint>
#include <QRgb>
#include <array>

namespace qx::desktop {

inline constexpr int kMaxDragged = 128;
inline constexpr int kDropNotificationCode = -311;
inline constexpr QRgb kDragBackground = 0xfffafffa; // RGB(250, 255, 250), transparent in the drag image

// What the list tells its owner when dragged items are dropped on an item.
struct DropNotification {
    int code = kDropNotificationCode;
    int dropTarget = -1;
    std::array<int, kMaxDragged> dragged; // entries not in use hold -1

    DropNotification() { dragged.fill(-1); }
    // The dragged indices in use, in list order.
    int draggedCount() const;
};

class CListImageCtrl : public QListWidget {
    Q_OBJECT
public:
    explicit CListImageCtrl(QWidget* parent = nullptr);
    ~CListImageCtrl() override;

    // The 120 x 90 thumbnail of a picture file; the caller owns it. See makeThumbnailImage.
    static QImage MakeThumbnail(const QString& path);

    // The item the per-picture commands act on: the one last clicked or set; -1 for none.
    int selectionMark() const;
    void setSelectionMark(int row);

    // Starts editing the label of `row` with the focus on the list.
    void editLabel(int row);

    // The drag state.
    bool isDragging() const { return m_dragging; }
    int dropTarget() const { return m_dropTarget; }
    const std::array<int, kMaxDragged>& draggedIndices() const { return m_dragged; }
    const QPixmap& dragImage() const { return m_dragImage; }
    QPoint dragHotSpot() const { return m_hotSpot; }

    // Builds the drag image of the selected items for a drag that starts at `point` (viewport
    // coordinates) and records their indices; false when nothing is selected.
    bool buildDragImage(const QPoint& point);

signals:
    // A left click: the row hit, or -1 for empty space.
    void listClicked(int row);
    void listDoubleClicked(int row);
    // A right click on an item (none is reported on empty space).
    void listRightClicked(int row, const QPoint& globalPos);
    // The end of a label edit with the text typed; the list itself keeps the old text.
    void labelEditEnded(int row, const QString& text);
    void itemsDropped(const qx::desktop::DropNotification& drop);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void beginDrag(const QPoint& point);
    void moveDrag(const QPoint& point);
    void endDrag(const QPoint& point);
    void cancelDrag();
    void setDropTarget(int row);
    QPoint confined(const QPoint& point) const;

    bool m_pressed = false;
    int m_pressRow = -1;
    QPoint m_pressPos;
    bool m_dragging = false;
    int m_dropTarget = -1;
    std::array<int, kMaxDragged> m_dragged;
    QPixmap m_dragImage;
    QPoint m_hotSpot;
    QPoint m_dragPos;
};

} // namespace qx::desktop

Q_DECLARE_METATYPE(qx::desktop::DropNotification)
