// The TIFF tool's window: its list of pages, its buttons and what they do.
#include "tif_maker_window.h"

#include "qx/interface/ui_host.h"

#include <QAbstractItemModel>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace qx::tiff {

namespace {

constexpr int kThumbnail = 120;
const QString kCaption = QStringLiteral("TIF工具");

// List mode (for its reordering drags) with the caption under the thumbnail, as icon mode shows it.
class PageDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationPosition = QStyleOptionViewItem::Top;
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
    }
};

QString pageName(const QString& path, int number, bool several) {
    if (!several)
        return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return suffix.isEmpty() ? QStringLiteral("%1-%2").arg(base).arg(number)
                            : QStringLiteral("%1-%2.%3").arg(base).arg(number).arg(suffix);
}

} // namespace

CTifMakerWnd::CTifMakerWnd(UiHost& ui, QWidget* parent) : QWidget(parent, Qt::Window), m_ui(ui) {
    setObjectName(QStringLiteral("CTifMakerWnd"));
    setWindowTitle(kCaption);
    // The tool must not keep its host running once the host's own windows are closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("pages"));
    // List mode with wrapping: icon mode would move items about freely instead of reordering them.
    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::LeftToRight);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setIconSize(QSize(kThumbnail, kThumbnail));
    m_list->setGridSize(QSize(kThumbnail + 24, kThumbnail + 44));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setMovement(QListView::Snap);
    m_list->setSpacing(4);
    m_list->setItemDelegate(new PageDelegate(m_list));
    connect(m_list->model(), &QAbstractItemModel::rowsMoved, this, &CTifMakerWnd::refreshStatus);

    auto makeButton = [this](const char* name, const QString& caption, void (CTifMakerWnd::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(makeButton("add", QStringLiteral("添加图片"), &CTifMakerWnd::onAdd));
    buttons->addWidget(makeButton("open", QStringLiteral("打开TIF"), &CTifMakerWnd::onOpen));
    buttons->addWidget(makeButton("remove", QStringLiteral("删除所选页"), &CTifMakerWnd::onRemove));
    buttons->addWidget(makeButton("clear", QStringLiteral("清空"), &CTifMakerWnd::clearPages));
    buttons->addSpacing(16);
    buttons->addWidget(makeButton("write", QStringLiteral("生成TIF"), &CTifMakerWnd::onWrite));
    buttons->addWidget(makeButton("save", QStringLiteral("导出所选页"), &CTifMakerWnd::onSave));
    buttons->addStretch(1);
    auto* hint = new QLabel(QStringLiteral("拖动页面可调整顺序"), this);
    hint->setWordWrap(true);
    buttons->addWidget(hint);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    auto* left = new QVBoxLayout;
    left->addWidget(m_list, 1);
    left->addWidget(m_status);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    resize(760, 520);
    refreshStatus();
}

QPushButton* CTifMakerWnd::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void CTifMakerWnd::warn(const QString& text) {
    m_ui.messageBox(this, text, kCaption, MessageIcon::Warning, false);
}

void CTifMakerWnd::appendPage(LayerPage page) {
    const int id = m_nextId++;
    const QImage thumb =
        toImage(page.picture).scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumb)), QString());
    item->setData(Qt::UserRole, id);
    item->setToolTip(QStringLiteral("%1\n%2 x %3, %4位")
                         .arg(QFileInfo(page.source).fileName())
                         .arg(page.picture.width)
                         .arg(page.picture.height)
                         .arg(page.picture.bitsPerPixel));
    item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
    m_pages.emplace(id, std::move(page));
    m_list->addItem(item);
}

int CTifMakerWnd::addFiles(const QStringList& paths) {
    int added = 0;
    QStringList unreadable;
    for (const QString& path : paths) {
        const int pages = imaging::picturePageCount(path);
        int fromThisFile = 0;
        for (int i = 0; i < pages; ++i) {
            TifLayers one;
            if (one.add(path, i)) {
                appendPage(one.pages().front());
                ++fromThisFile;
            }
        }
        if (fromThisFile == 0)
            unreadable << path;
        added += fromThisFile;
    }
    refreshStatus();
    if (!unreadable.isEmpty())
        warn(QStringLiteral("无法读取图片:\n") + unreadable.join(QLatin1Char('\n')));
    return added;
}

bool CTifMakerWnd::openTiff(const QString& path) {
    if (imaging::picturePageCount(path) == 0) {
        warn(QStringLiteral("无法打开TIF文件:") + path);
        return false;
    }
    clearPages();
    addFiles({path});
    m_file = path;
    refreshStatus();
    return pageCount() > 0;
}

bool CTifMakerWnd::writeTiff(const QString& path) {
    TifLayers document;
    for (int row = 0; row < m_list->count(); ++row)
        document.append(*pageAt(row));
    QString failure;
    if (!document.write(path, &failure)) {
        warn(QStringLiteral("生成TIF失败:") + (document.count() == 0 ? QStringLiteral("没有页面") : path));
        return false;
    }
    m_file = path;
    refreshStatus();
    m_ui.messageBox(this, QStringLiteral("生成TIF成功，共%1页:\n%2").arg(document.count()).arg(path),
                    kCaption, MessageIcon::Information, false);
    return true;
}

bool CTifMakerWnd::savePages(const QList<int>& rows, const QString& path) {
    QStringList failed;
    for (int row : rows) {
        const LayerPage* page = pageAt(row);
        if (!page)
            continue;
        const QString target = pageName(path, row + 1, rows.size() > 1);
        if (!savePicture(page->picture, target))
            failed << target;
    }
    if (!failed.isEmpty()) {
        warn(QStringLiteral("导出失败:\n") + failed.join(QLatin1Char('\n')));
        return false;
    }
    return !rows.isEmpty();
}

void CTifMakerWnd::removePages(const QList<int>& rows) {
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    for (int row : sorted) {
        if (QListWidgetItem* item = m_list->takeItem(row)) {
            m_pages.erase(item->data(Qt::UserRole).toInt());
            delete item;
        }
    }
    refreshStatus();
}

void CTifMakerWnd::movePage(int from, int to) {
    if (from < 0 || from >= m_list->count() || to < 0 || to >= m_list->count() || from == to)
        return;
    QListWidgetItem* item = m_list->takeItem(from);
    m_list->insertItem(to, item);
    m_list->setCurrentItem(item);
    refreshStatus();
}

void CTifMakerWnd::clearPages() {
    m_list->clear();
    m_pages.clear();
    m_file.clear();
    refreshStatus();
}

int CTifMakerWnd::pageCount() const {
    return m_list->count();
}

const LayerPage* CTifMakerWnd::pageAt(int row) const {
    const QListWidgetItem* item = m_list->item(row);
    if (!item)
        return nullptr;
    const auto it = m_pages.find(item->data(Qt::UserRole).toInt());
    return it == m_pages.end() ? nullptr : &it->second;
}

QStringList CTifMakerWnd::pageSources() const {
    QStringList out;
    for (int row = 0; row < m_list->count(); ++row) {
        const LayerPage* page = pageAt(row);
        out << QStringLiteral("%1#%2").arg(page->source).arg(page->sourcePage);
    }
    return out;
}

QList<int> CTifMakerWnd::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CTifMakerWnd::refreshStatus() {
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        const LayerPage* page = pageAt(row);
        item->setText(QStringLiteral("第%1页\n%2 x %3")
                          .arg(row + 1)
                          .arg(page ? page->picture.width : 0)
                          .arg(page ? page->picture.height : 0));
    }
    QString text = QStringLiteral("共%1页").arg(m_list->count());
    if (!m_file.isEmpty())
        text += QStringLiteral("    ") + m_file;
    m_status->setText(text);
    setWindowTitle(m_file.isEmpty() ? kCaption
                                    : kCaption + QStringLiteral(" - ") + QFileInfo(m_file).fileName());
}

void CTifMakerWnd::onAdd() {
    FileDialogOptions options;
    options.caption = QStringLiteral("添加图片");
    options.filter = QStringLiteral("图片文件(*.bmp *.jpg *.jpeg *.tif *.tiff *.png *.gif);;所有文件(*)");
    options.multiple = true;
    if (const auto files = m_ui.openFiles(this, options))
        addFiles(*files);
}

void CTifMakerWnd::onOpen() {
    if (pageCount() > 0 &&
        !m_ui.question(this, QStringLiteral("打开TIF文件将清空当前的页面，是否继续?"), kCaption))
        return;
    FileDialogOptions options;
    options.caption = QStringLiteral("打开TIF");
    options.filter = QStringLiteral("TIF文件(*.tif *.tiff)");
    if (const auto files = m_ui.openFiles(this, options); files && !files->isEmpty())
        openTiff(files->first());
}

void CTifMakerWnd::onRemove() {
    removePages(selectedRows());
}

void CTifMakerWnd::onWrite() {
    if (pageCount() == 0) {
        warn(QStringLiteral("请先添加图片!"));
        return;
    }
    FileDialogOptions options;
    options.caption = QStringLiteral("生成TIF");
    options.filter = QStringLiteral("TIF文件(*.tif)");
    options.defaultSuffix = QStringLiteral("tif");
    options.overwritePrompt = true;
    if (const auto path = m_ui.saveFile(this, options))
        writeTiff(*path);
}

void CTifMakerWnd::onSave() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        warn(QStringLiteral("请先选择要导出的页面!"));
        return;
    }
    FileDialogOptions options;
    options.caption = QStringLiteral("导出所选页");
    options.filter =
        QStringLiteral("位图文件(*.bmp);;JPG文件(*.jpg);;TIF文件(*.tif);;PNG文件(*.png);;GIF文件(*.gif)");
    options.defaultSuffix = QStringLiteral("bmp");
    options.overwritePrompt = true;
    if (const auto path = m_ui.saveFile(this, options); path && savePages(rows, *path))
        m_ui.messageBox(this, QStringLiteral("导出成功，共%1页").arg(rows.size()), kCaption,
                        MessageIcon::Information, false);
}

} // namespace qx::tiff
