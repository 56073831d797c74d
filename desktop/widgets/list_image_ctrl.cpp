// CListImageCtrl: icon view of thumbnails, its item painting, label editing and its own drag and drop.
#include "qx/desktop/list_image_ctrl.h"

#include "qx/desktop/thumbnail.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <algorithm>

namespace qx::desktop {

namespace {

constexpr int kPad = 6;     // around the thumbnail inside its cell
constexpr int kTextGap = 3; // between thumbnail and label
const QColor kInk(0x1f, 0x29, 0x33);
const QColor kSelectedFill(0xdb, 0xe8, 0xfd);
const QColor kSelectedEdge(0x3b, 0x82, 0xf6);
const QColor kDropFill(0xd3, 0xf5, 0xe3);
const QColor kDropEdge(0x0f, 0x9d, 0x58);

// A cell wide enough for a time-stamp name, so the usual names show whole.
QSize cellSize(const QFont& font) {
    const QFontMetrics fm(font);
    const int text = fm.horizontalAdvance(QStringLiteral("0000-00-00-00-00-00.jpg")) + 2 * kPad;
    return {std::max(kThumbnailWidth + 2 * kPad + 4, text),
            kPad + kThumbnailHeight + kTextGap + fm.height() + kPad};
}

} // namespace

int DropNotification::draggedCount() const {
    return int(std::count_if(dragged.begin(), dragged.end(), [](int i) { return i >= 0; }));
}

class ThumbnailDelegate : public QStyledItemDelegate {
public:
    explicit ThumbnailDelegate(CListImageCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return cellSize(option.font);
    }

    static QRect textRect(const QStyleOptionViewItem& option) {
        const QFontMetrics fm(option.font);
        return {option.rect.left() + kPad / 2, option.rect.top() + kPad + kThumbnailHeight + kTextGap,
                option.rect.width() - kPad, fm.height()};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRectF cell = QRectF(option.rect).adjusted(1.5, 1.5, -1.5, -1.5);
        const bool selected = option.state & QStyle::State_Selected;
        const bool dropTarget = m_list && index.row() == m_list->dropTarget();
        if (dropTarget || selected) {
            QPainterPath path;
            path.addRoundedRect(cell, 5, 5);
            p->setPen(QPen(dropTarget ? kDropEdge : kSelectedEdge, dropTarget ? 2 : 1));
            p->setBrush(dropTarget ? kDropFill : kSelectedFill);
            p->drawPath(path);
        }
        p->setRenderHint(QPainter::Antialiasing, false);
        const QPixmap thumb = index.data(Qt::DecorationRole).value<QPixmap>();
        const QPoint at(option.rect.left() + (option.rect.width() - kThumbnailWidth) / 2,
                        option.rect.top() + kPad);
        const QRect box(at, QSize(kThumbnailWidth, kThumbnailHeight));
        if (!thumb.isNull()) {
            p->drawPixmap(box, thumb);
        } else {
            // An item whose thumbnail is still being decoded shows the empty box it may well turn out
            // to be. An image, not a pixmap: a static pixmap would outlive the application.
            static const QImage empty = emptyThumbnailImage();
            p->drawImage(box, empty);
        }
        const QRect tr = textRect(option);
        const QString label =
            QFontMetrics(option.font)
                .elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, tr.width());
        p->setFont(option.font);
        p->setPen(kInk);
        p->drawText(tr, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, label);
        p->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setAlignment(Qt::AlignCenter);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = static_cast<QLineEdit*>(editor);
        line->setText(index.data(Qt::DisplayRole).toString());
        line->selectAll();
    }

    // The list does not take the edit over: its owner decides what the item shows.
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (m_list)
            emit m_list->labelEditEnded(index.row(), static_cast<QLineEdit*>(editor)->text());
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        editor->setGeometry(textRect(option).adjusted(-2, -3, 2, 3));
    }

private:
    CListImageCtrl* m_list;
};

CListImageCtrl::CListImageCtrl(QWidget* parent) : QListWidget(parent) {
    m_dragged.fill(-1);
    setViewMode(QListView::IconMode);
    // Columns fill from the left, top to bottom: the strip of the main dialog is one row high and
    // scrolls sideways.
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setIconSize(QSize(kThumbnailWidth, kThumbnailHeight));
    setGridSize(cellSize(font()));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new ThumbnailDelegate(this));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
}

CListImageCtrl::~CListImageCtrl() = default;

QImage CListImageCtrl::MakeThumbnail(const QString& path) {
    return makeThumbnailImage(path);
}

int CListImageCtrl::selectionMark() const {
    const int row = currentIndex().row();
    return row < count() ? row : -1;
}

void CListImageCtrl::setSelectionMark(int row) {
    const QModelIndex idx = model()->index(row, 0);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
}

void CListImageCtrl::editLabel(int row) {
    setFocus();
    if (QListWidgetItem* it = item(row))
        editItem(it);
}

bool CListImageCtrl::buildDragImage(const QPoint& point) {
    m_dragged.fill(-1);
    m_dragImage = QPixmap();
    std::vector<int> rows;
    for (int i = 0; i < count() && int(rows.size()) < kMaxDragged; ++i) {
        if (item(i)->isSelected())
            rows.push_back(i);
    }
    if (rows.empty())
        return false;
    QRect area;
    for (int row : rows) {
        const QRect r = visualRect(model()->index(row, 0)) & viewport()->rect();
        if (!r.isEmpty())
            area |= r;
    }
    for (size_t i = 0; i < rows.size(); ++i)
        m_dragged[i] = rows[i];
    if (area.isEmpty())
        return false;
    // A tall selection would hide the list under its image; keep the part around the cursor.
    if (area.height() >= 129)
        area &= QRect(point - QPoint(64, 64), QSize(128, 128));
    if (area.isEmpty())
        return false;
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(kDragBackground);
    {
        QPainter p(&image);
        p.translate(-area.topLeft());
        p.setClipRect(area);
        for (int row : rows) {
            const QModelIndex idx = model()->index(row, 0);
            QStyleOptionViewItem option;
            initViewItemOption(&option);
            option.rect = visualRect(idx);
            option.state |= QStyle::State_Selected;
            option.state &= ~QStyle::State_HasFocus;
            itemDelegate()->paint(&p, option, idx);
        }
    }
    m_dragImage = QPixmap::fromImage(image);
    m_dragImage.setMask(m_dragImage.createMaskFromColor(QColor::fromRgb(kDragBackground)));
    m_hotSpot = point - area.topLeft();
    return true;
}

QPoint CListImageCtrl::confined(const QPoint& point) const {
    const QRect r = viewport()->rect();
    return {std::clamp(point.x(), r.left(), r.right()), std::clamp(point.y(), r.top(), r.bottom())};
}

void CListImageCtrl::setDropTarget(int row) {
    if (row == m_dropTarget)
        return;
    const int old = m_dropTarget;
    m_dropTarget = row;
    if (old >= 0)
        update(model()->index(old, 0));
    if (row >= 0)
        update(model()->index(row, 0));
}

void CListImageCtrl::beginDrag(const QPoint& point) {
    if (!buildDragImage(point))
        return;
    m_dropTarget = -1;
    m_dragging = true;
    m_dragPos = confined(point);
    setFocus();
    viewport()->update();
}

void CListImageCtrl::moveDrag(const QPoint& point) {
    m_dragPos = confined(point);
    setDropTarget(indexAt(m_dragPos).row());
    viewport()->update();
}

void CListImageCtrl::endDrag(const QPoint& point) {
    moveDrag(point);
    DropNotification drop;
    drop.dropTarget = m_dropTarget;
    drop.dragged = m_dragged;
    cancelDrag();
    if (drop.dropTarget >= 0)
        emit itemsDropped(drop);
}

void CListImageCtrl::cancelDrag() {
    m_dragging = false;
    m_dragImage = QPixmap();
    setDropTarget(-1);
    viewport()->update();
}

void CListImageCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_pressPos = event->position().toPoint();
        m_pressRow = indexAt(m_pressPos).row();
    }
    QListWidget::mousePressEvent(event);
}

void CListImageCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_dragging) {
        moveDrag(pos);
        return;
    }
    if (m_pressed && m_pressRow >= 0 && (event->buttons() & Qt::LeftButton) &&
        (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_pressed = false;
        beginDrag(m_pressPos);
        if (m_dragging) {
            moveDrag(pos);
            return;
        }
    }
    QListWidget::mouseMoveEvent(event);
}

void CListImageCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_dragging && event->button() == Qt::LeftButton) {
        endDrag(pos);
        return;
    }
    const bool click = m_pressed && event->button() == Qt::LeftButton;
    m_pressed = false;
    QListWidget::mouseReleaseEvent(event);
    if (click)
        emit listClicked(indexAt(pos).row());
}

void CListImageCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_dragging)
        return;
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        const int row = indexAt(event->position().toPoint()).row();
        if (row >= 0)
            emit listDoubleClicked(row);
    }
}

void CListImageCtrl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (m_dragging)
        return;
    QPoint pos = event->pos();
    QPoint global = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        pos = visualRect(currentIndex()).center();
        global = viewport()->mapToGlobal(pos);
    }
    const int row = indexAt(pos).row();
    if (row >= 0)
        emit listRightClicked(row, global);
}

void CListImageCtrl::keyPressEvent(QKeyEvent* event) {
    if (m_dragging) {
        if (event->key() == Qt::Key_Escape)
            cancelDrag();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CListImageCtrl::changeEvent(QEvent* event) {
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        setGridSize(cellSize(font()));
}

void CListImageCtrl::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (m_dragging && !m_dragImage.isNull()) {
        QPainter p(viewport());
        p.drawPixmap(m_dragPos - m_hotSpot, m_dragImage);
    }
}

} // namespace qx::desktop
