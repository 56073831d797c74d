// The main dialog's picture-list operations over CListImageCtrl: thumbnails, names, folders, commands.
#include "qx/desktop/picture_list.h"

#include "qx/desktop/file_manager.h"
#include "qx/desktop/file_ops.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QFile>
#include <QMenu>
#include <algorithm>
#include <memory>
#include <vector>

namespace qx::desktop {

QMenu* createPictureMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const struct {
        int id;
        const char* caption;
    } entries[] = {
        {cmd::kDelete, "删  除"},
        {cmd::kPrint, "打  印"},
        {cmd::kOpenFolder, "打开所在目录"},
        {cmd::kRename, "重命名"},
    };
    for (const auto& e : entries)
        menu->addAction(QString::fromUtf8(e.caption))->setData(e.id);
    return menu;
}

QString captureDisplayName(const QString& path, bool mergeMode) {
    return path.right(mergeMode ? 34 : 23);
}

QString mergeDisplayName(const QString& path) {
    return path.right(29);
}

QString barcodeDisplayName(const QString& barcode, const QString& format) {
    return barcode + QLatin1Char('.') + format;
}

QString saveFolderFor(const QString& savePathSetting, const QString& customSavePath) {
    // An empty folder would make every picture path relative to wherever the program was started.
    if (savePathSetting.isEmpty() || customSavePath.isEmpty())
        return platform::tempFolder();
    return platform::withTrailingSlash(customSavePath);
}

bool isMergeSourceName(const QString& text) {
    const QString tag = text.right(15).left(11);
    return tag == QLatin1String("ForJpgMerge") || tag == QLatin1String("ForTifMerge");
}

QString mergeFolderName(const QDate& day) {
    return platform::dateStamp(day.startOfDay()) + QStringLiteral("-ForMerge/");
}

QString pictureFolderFor(const QString& text, const QString& saveFolder, const QDate& today) {
    return isMergeSourceName(text) ? saveFolder + mergeFolderName(today) : saveFolder;
}

namespace {

// The rows 0 .. count - 1 in their order after the drop (see reorderNames); empty when nothing moves.
std::vector<int> reorderedRows(int count, int target, std::span<const int> dragged) {
    if (target < 0 || target >= count)
        return {};
    std::vector<int> rows;
    for (int d : dragged) {
        if (d >= 0 && d < count && std::find(rows.begin(), rows.end(), d) == rows.end())
            rows.push_back(d);
    }
    if (rows.empty() || std::find(rows.begin(), rows.end(), target) != rows.end())
        return {};
    std::sort(rows.begin(), rows.end());
    std::vector<int> rest;
    std::vector<int> moved;
    for (int i = 0; i < count; ++i)
        (std::binary_search(rows.begin(), rows.end(), i) ? moved : rest).push_back(i);
    const auto at = rest.begin() + std::min<int>(target, int(rest.size()));
    rest.insert(at, moved.begin(), moved.end());
    return rest;
}

} // namespace

QStringList reorderNames(const QStringList& names, int target, std::span<const int> dragged) {
    const std::vector<int> order = reorderedRows(int(names.size()), target, dragged);
    if (order.empty())
        return names;
    QStringList out;
    for (int row : order)
        out << names[row];
    return out;
}

PictureList::PictureList(CListImageCtrl& list, UiHost& host, QObject* parent)
    : QObject(parent), m_list(list), m_host(host), m_saveFolder([] { return platform::tempFolder(); }),
      m_today([] { return QDate::currentDate(); }),
      m_openFolder([](const QString& file) { showInFileManager(file); }),
      m_runMenu([](QMenu& menu, const QPoint& pos) { return menu.exec(pos); }), m_thumbnails(list) {
    connect(&m_thumbnails, &ThumbnailLoader::allShown, this, &PictureList::thumbnailsShown);
    connect(&m_list, &CListImageCtrl::listClicked, this,
            [this](int row) { emit pictureActionsEnabled(row >= 0); });
    connect(&m_list, &CListImageCtrl::listDoubleClicked, this, &PictureList::onDoubleClicked);
    connect(&m_list, &CListImageCtrl::listRightClicked, this, &PictureList::onRightClicked);
    connect(&m_list, &CListImageCtrl::labelEditEnded, this, &PictureList::endLabelEdit);
    connect(&m_list, &CListImageCtrl::itemsDropped, this, &PictureList::dropPictures);
}

PictureList::~PictureList() = default;

void PictureList::setSaveFolder(std::function<QString()> saveFolder) {
    m_saveFolder = std::move(saveFolder);
}

QString PictureList::saveFolder() const {
    return platform::withTrailingSlash(m_saveFolder());
}

void PictureList::setClock(std::function<QDate()> today) {
    m_today = std::move(today);
}

void PictureList::setPrintHandler(PrintHandler handler) {
    m_print = std::move(handler);
}

void PictureList::setFolderOpener(FolderOpener opener) {
    m_openFolder = std::move(opener);
}

void PictureList::setMenuRunner(MenuRunner runner) {
    m_runMenu = std::move(runner);
}

void PictureList::insertPicture(int row, const QString& file, const QString& text,
                                ThumbnailLoader::Start start) {
    auto* item = new QListWidgetItem;
    item->setText(text);
    item->setData(kPictureFileRole, file);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    m_list.insertItem(row, item);
    // A camera picture takes tens of milliseconds to decode even at a reduced scale: hundreds of them
    // would freeze the window for seconds.
    m_thumbnails.request(item, file, start);
}

void PictureList::AddPictureItem(const QString& path, const QString& displayName) {
    // One picture, just taken: its decode need not wait for the caller to return to the event loop.
    insertPicture(m_list.count(), path, displayName, ThumbnailLoader::Start::Now);
    const int last = m_list.count() - 1;
    m_list.setCurrentRow(last);
    m_list.scrollToItem(m_list.item(last));
}

void PictureList::AddPictureItems(const QList<Picture>& pictures) {
    for (const Picture& picture : pictures)
        insertPicture(m_list.count(), picture.path, picture.displayName);
    // Selecting and scrolling lay the whole list out: done once, a long list costs no more than one.
    if (const int last = m_list.count() - 1; last >= 0 && !pictures.isEmpty()) {
        m_list.setCurrentRow(last);
        m_list.scrollToItem(m_list.item(last));
    }
}

QStringList PictureList::names() const {
    QStringList texts;
    texts.reserve(m_list.count());
    for (int i = 0; i < m_list.count(); ++i)
        texts << m_list.item(i)->text();
    return texts;
}

QList<PictureList::Entry> PictureList::entries() const {
    QList<Entry> all;
    all.reserve(m_list.count());
    for (int i = 0; i < m_list.count(); ++i)
        all.append({m_list.item(i)->text(), pictureFile(i)});
    return all;
}

void PictureList::rebuild(const QList<Entry>& entries) {
    // Every item is kept: a list longer than any fixed store is rebuilt whole, not cut short.
    m_list.clear();
    for (int i = 0; i < entries.size(); ++i)
        insertPicture(i, entries[i].file, entries[i].text);
}

void PictureList::RebuildList() {
    rebuild(entries());
}

void PictureList::RebuildList(const std::function<QString(const QString& text)>& folderOf) {
    QList<Entry> all = entries();
    for (Entry& e : all)
        e.file = folderOf(e.text) + e.text;
    rebuild(all);
}

void PictureList::RebuildList(const QString& folder) {
    RebuildList([&folder](const QString&) { return folder; });
}

int PictureList::pendingThumbnails() const {
    return m_thumbnails.pendingCount();
}

bool PictureList::waitForThumbnails(int timeoutMs) {
    return m_thumbnails.waitForAll(timeoutMs);
}

QString PictureList::pictureFolder(const QString& text) const {
    return pictureFolderFor(text, saveFolder(), m_today());
}

QString PictureList::pictureFile(int row) const {
    // The item's own file, never one found again by its name: after a change of the save folder, a
    // new day or a refused rename that name may belong to another picture.
    const QListWidgetItem* item = m_list.item(row);
    return item ? item->data(kPictureFileRole).toString() : QString();
}

void PictureList::runCommand(int id) {
    switch (id) {
    case cmd::kDelete:
        return deletePicture();
    case cmd::kPrint:
        return printPicture();
    case cmd::kOpenFolder:
        return openPictureFolder();
    case cmd::kRename:
        return renamePicture();
    default:
        return;
    }
}

void PictureList::deletePicture() {
    const int row = m_list.selectionMark();
    if (row < 0)
        return;
    const QString file = pictureFile(row);
    delete m_list.takeItem(row);
    const int last = m_list.count() - 1;
    if (last >= 0) {
        m_list.item(last)->setSelected(false);
        m_list.selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
        m_list.scrollToItem(m_list.item(last));
    }
    QFile::remove(file);
    m_list.viewport()->update();
}

void PictureList::printPicture() {
    const int row = m_list.selectionMark();
    if (row >= 0 && m_print)
        m_print(row, pictureFile(row));
}

void PictureList::openPictureFolder() {
    const int row = m_list.selectionMark();
    if (row >= 0 && m_openFolder)
        m_openFolder(pictureFile(row));
}

void PictureList::onDoubleClicked(int row) {
    const QList<QListWidgetItem*> selected = m_list.selectedItems();
    const int first = selected.isEmpty() ? row : m_list.row(selected.first());
    if (first >= 0 && m_openFolder)
        m_openFolder(pictureFile(first));
}

void PictureList::renamePicture() {
    const int row = m_list.selectionMark();
    if (row >= 0)
        m_list.editLabel(row);
}

void PictureList::endLabelEdit(int row, const QString& text) {
    m_list.setFocus();
    QListWidgetItem* item = m_list.item(row);
    if (text.isEmpty() || !item)
        return;
    const QString from = pictureFile(row);
    const QString to = folderOfFile(from) + text;
    // A typed '/' would move the picture into another folder.
    const FileError error = isPlainFileName(text) ? moveFileNoReplace(from, to) : FileError::BadPath;
    if (error != FileError::None) {
        // The item keeps its text: showing the typed name would make it look like the file of that
        // name, which may be another picture.
        m_host.messageBox(m_list.window(), fileErrorMessage(error, from), QString(), MessageIcon::Warning,
                          false);
        return;
    }
    item->setText(text);
    item->setData(kPictureFileRole, to);
    // A thumbnail still on its way would be decoded from the old name, which no longer exists.
    if (ThumbnailLoader::isPending(item))
        m_thumbnails.request(item, to);
}

void PictureList::dropPictures(const DropNotification& drop) {
    const std::vector<int> order = reorderedRows(m_list.count(), drop.dropTarget, drop.dragged);
    if (order.empty() || std::is_sorted(order.begin(), order.end()))
        return;
    const QList<Entry> before = entries();
    QList<Entry> after;
    after.reserve(before.size());
    for (int row : order)
        after.append(before[row]);
    rebuild(after);
}

void PictureList::onRightClicked(int row, const QPoint& globalPos) {
    if (row < 0 || !m_runMenu)
        return;
    std::unique_ptr<QMenu> menu(createPictureMenu(m_list.window()));
    const QAction* chosen = m_runMenu(*menu, globalPos);
    const int id = chosen ? chosen->data().toInt() : 0;
    menu.reset();
    runCommand(id);
}

} // namespace qx::desktop
