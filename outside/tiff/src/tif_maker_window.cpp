// The TIFF tool's window: its list of pages, its buttons and what they do.
#include "tif_maker_window.h"

#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"

#include <QAbstractItemModel>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

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

// The file of page `number` among the pages saved out: with several, "<name>-N.<ext>" in the chosen
// file's folder.
QString pageName(const QString& path, int number, bool several) {
    if (!several)
        return path;
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString suffix = info.suffix();
    // One pass of arg(): a '%' in the chosen name stays as it is.
    const QString page = suffix.isEmpty()
                             ? QStringLiteral("%1-%2").arg(name, QString::number(number))
                             : QStringLiteral("%1-%2.%3")
                                   .arg(name.chopped(suffix.size() + 1), QString::number(number), suffix);
    return platform::withTrailingSlash(info.path()) + page;
}

enum class Placed { Written, Taken, Failed };

// Has `write` make the file at `target` only where no file is: under a hidden name of its own in the
// same folder first, which then takes the target's name in one step that never replaces a file.
// Nothing of the write is left behind unless it answers Written; Taken when a file holds the name.
Placed placeWhereFree(const QString& target, const std::function<bool(const QString& hidden)>& write) {
    const QFileInfo info(target);
    if (info.exists() || info.isSymLink())
        return Placed::Taken;
    const QString folder = platform::withTrailingSlash(info.path());
    QString hidden;
    for (int n = 0; n < 1000 && hidden.isEmpty(); ++n) {
        const QString candidate = folder + QStringLiteral(".tif-tool-%1-%2").arg(::getpid()).arg(n);
        const int fd =
            ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            hidden = candidate;
        } else if (errno != EEXIST) {
            return Placed::Failed;
        }
    }
    if (hidden.isEmpty())
        return Placed::Failed;
    const auto removeHidden = qScopeGuard([&hidden] {
        if (!hidden.isEmpty())
            QFile::remove(hidden);
    });
    if (!write(hidden))
        return Placed::Failed;
    const QByteArray from = QFile::encodeName(hidden);
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        hidden.clear();
        return Placed::Written;
    }
    if (errno != EINVAL)
        return errno == EEXIST ? Placed::Taken : Placed::Failed;
    // A file system without RENAME_NOREPLACE: a hard link is just as exclusive (the hidden name goes).
    if (::link(from.constData(), to.constData()) == 0)
        return Placed::Written;
    return errno == EEXIST ? Placed::Taken : Placed::Failed;
}

Placed savePictureWhereFree(const imaging::Picture& picture, const QString& target) {
    // The hidden name has no extension: the target's chooses the format.
    const QString format = QFileInfo(target).suffix();
    return placeWhereFree(target,
                          [&](const QString& hidden) { return savePicture(picture, hidden, format); });
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

    setControlId(m_list, id::kPages);
    auto makeButton = [this](const char* name, int controlId, const QString& caption,
                             void (CTifMakerWnd::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        setControlId(b, controlId);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(makeButton("add", id::kAdd, QStringLiteral("添加图片"), &CTifMakerWnd::onAdd));
    buttons->addWidget(makeButton("open", id::kOpen, QStringLiteral("打开TIF"), &CTifMakerWnd::onOpen));
    buttons->addWidget(
        makeButton("remove", id::kRemove, QStringLiteral("删除所选页"), &CTifMakerWnd::onRemove));
    buttons->addWidget(makeButton("clear", id::kClear, QStringLiteral("清空"), &CTifMakerWnd::clearPages));
    buttons->addSpacing(16);
    buttons->addWidget(makeButton("write", id::kWrite, QStringLiteral("生成TIF"), &CTifMakerWnd::onWrite));
    buttons->addWidget(makeButton("save", id::kSave, QStringLiteral("导出所选页"), &CTifMakerWnd::onSave));
    buttons->addStretch(1);
    auto* hint = new QLabel(QStringLiteral("拖动页面可调整顺序"), this);
    hint->setWordWrap(true);
    buttons->addWidget(hint);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    setControlId(m_status, id::kStatus);
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
    const QImage scaled =
        toImage(page.picture).scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Every icon is the full square: the list lays out all items by the first one's size, and a
    // taller page after a wide one would otherwise cover its caption.
    QImage thumb(kThumbnail, kThumbnail, QImage::Format_ARGB32_Premultiplied);
    thumb.fill(Qt::transparent);
    QPainter(&thumb).drawImage((kThumbnail - scaled.width()) / 2, (kThumbnail - scaled.height()) / 2, scaled);
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
    const auto fail = [&] {
        warn(QStringLiteral("生成TIF失败:") + (document.count() == 0 ? QStringLiteral("没有页面") : path));
        return false;
    };
    if (document.count() == 0)
        return fail();
    Placed placed = placeWhereFree(path, [&](const QString& hidden) { return document.write(hidden); });
    if (placed == Placed::Taken) {
        if (!m_ui.question(this, QString::fromUtf8(kOverwriteText).arg(path), kCaption))
            return false;
        placed = document.write(path) ? Placed::Written : Placed::Failed;
    }
    if (placed != Placed::Written)
        return fail();
    m_file = path;
    refreshStatus();
    m_ui.messageBox(this, QStringLiteral("生成TIF成功，共%1页:\n%2").arg(document.count()).arg(path),
                    kCaption, MessageIcon::Information, false);
    return true;
}

bool CTifMakerWnd::savePages(const QList<int>& rows, const QString& path) {
    const bool several = rows.size() > 1;
    QStringList failed;
    QStringList kept; // files the user chose not to overwrite
    int written = 0;
    for (int row : rows) {
        const LayerPage* page = pageAt(row);
        if (!page)
            continue;
        const QString target = pageName(path, row + 1, several);
        // The save dialog does not ask (not every host's dialog can), and the numbered names of
        // several pages were never shown: every name a file holds is asked about here.
        Placed placed = savePictureWhereFree(page->picture, target);
        if (placed == Placed::Taken) {
            if (!m_ui.question(this, QString::fromUtf8(kOverwriteText).arg(target), kCaption)) {
                kept << target;
                continue;
            }
            placed = savePicture(page->picture, target) ? Placed::Written : Placed::Failed;
        }
        if (placed == Placed::Written)
            ++written;
        else
            failed << target;
    }
    if (!failed.isEmpty()) {
        warn(QStringLiteral("导出失败:\n") + failed.join(QLatin1Char('\n')));
        return false;
    }
    if (written == 0)
        return false;
    QString text = QStringLiteral("导出成功，共%1页").arg(written);
    if (!kept.isEmpty())
        text += QString::fromUtf8(kNotOverwrittenText) + kept.join(QLatin1Char('\n'));
    m_ui.messageBox(this, text, kCaption, MessageIcon::Information, false);
    return true;
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

void CTifMakerWnd::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
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
    // The tool asks itself before it replaces a file, also for hosts whose dialog cannot.
    options.overwritePrompt = false;
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
    // The tool asks itself before it replaces a file, also for hosts whose dialog cannot.
    options.overwritePrompt = false;
    if (const auto path = m_ui.saveFile(this, options))
        savePages(rows, *path);
}

} // namespace qx::tiff
