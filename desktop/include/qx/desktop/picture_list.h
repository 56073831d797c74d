// The main dialog's picture-list operations: adding and rebuilding thumbnails and the per-picture commands.
#pragma once

#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/thumbnail_loader.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <span>

class QMenu;
class QAction;

namespace qx {
class UiHost;
}

namespace qx::desktop {

// The item data that holds the file an item stands for.
inline constexpr int kPictureFileRole = Qt::UserRole;

// The commands of the list's context menu (menu 132, submenu 0).
namespace cmd {
inline constexpr int kDelete = 32772;
inline constexpr int kPrint = 32776;
inline constexpr int kOpenFolder = 32778;
inline constexpr int kRename = 32780;
} // namespace cmd

// The context menu: "删  除", "打  印", "打开所在目录", "重命名"; each action's data is its command id.
QMenu* createPictureMenu(QWidget* parent);

// Display names by how the picture came.
QString captureDisplayName(const QString& path, bool mergeMode); // last 34 (merge source) or 23 characters
QString mergeDisplayName(const QString& path);                   // last 29 characters
QString barcodeDisplayName(const QString& barcode, const QString& format);

// The save folder: the control's CustomSavePath when the Save-Path setting is set, else the
// temporary folder; always with a trailing '/'.
QString saveFolderFor(const QString& savePathSetting, const QString& customSavePath);

// "ForJpgMerge"/"ForTifMerge" in the place the control's merge-source names carry them.
bool isMergeSourceName(const QString& text);
// "%4d-%02d-%02d-ForMerge/" of `day`.
QString mergeFolderName(const QDate& day);
// The folder a picture named `text` is looked for in: the day's merge folder inside the save folder
// for a merge source, otherwise the save folder.
QString pictureFolderFor(const QString& text, const QString& saveFolder, const QDate& today);

// The names after dropping the items at `dragged` (-1 entries ignored) on `target`: they are taken out
// and inserted, in list order, where the target was. Dropping on a dragged item, or indices outside
// the list, change nothing.
QStringList reorderNames(const QStringList& names, int target, std::span<const int> dragged);

class PictureList : public QObject {
    Q_OBJECT
public:
    using PrintHandler = std::function<void(int row, const QString& file)>;
    using FolderOpener = std::function<void(const QString& file)>;
    using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;

    // Borrows the list and the UI host (message boxes); both must outlive this object.
    PictureList(CListImageCtrl& list, UiHost& host, QObject* parent = nullptr);
    ~PictureList() override;

    CListImageCtrl& list() { return m_list; }

    // Where pictures lie (see saveFolderFor); the temporary folder until set.
    void setSaveFolder(std::function<QString()> saveFolder);
    QString saveFolder() const;
    // The day the merge folder is named after; today's local date until set.
    void setClock(std::function<QDate()> today);

    // The print entry point the printing feature fills; printing does nothing until it is set.
    void setPrintHandler(PrintHandler handler);
    // How a picture is shown in its folder; showInFileManager until set.
    void setFolderOpener(FolderOpener opener);
    // How the context menu is run; QMenu::exec at the cursor until set.
    void setMenuRunner(MenuRunner runner);

    // Adds `path` as the last item, selected, focused and in view; the item stands for `path` from then
    // on, whatever the save folder or the day becomes. Its thumbnail is decoded aside and shown when
    // ready (the empty box until then); see waitForThumbnails.
    void AddPictureItem(const QString& path, const QString& displayName);
    // Adds every picture as AddPictureItem does, in order, the last one selected, focused and in view;
    // the list is laid out once, not once per picture, however many there are.
    struct Picture {
        QString path;
        QString displayName;
    };
    void AddPictureItems(const QList<Picture>& pictures);
    // Rebuilds every item, in order, from the file it stands for (after a watermark, which replaces its
    // picture in place). Every item is kept, however many there are; the thumbnails follow as
    // AddPictureItem's do.
    void RebuildList();
    // Rebuilds every item from the file its text names in `folder`, or in the folder a rule gives,
    // and binds the item to that file: for a caller that moved the files itself.
    void RebuildList(const QString& folder);
    void RebuildList(const std::function<QString(const QString& text)>& folderOf);

    QStringList names() const;
    // Where a picture named `text` is looked for now (see pictureFolderFor); the list's items
    // remember their own files instead.
    QString pictureFolder(const QString& text) const;
    // The file item `row` stands for; empty when there is no such item or it was not added here.
    QString pictureFile(int row) const;

    // The items whose thumbnails are still being decoded.
    int pendingThumbnails() const;
    // Keeps the events going until every item shows its thumbnail, at most `timeoutMs` (negative: no
    // limit); whether they all do.
    bool waitForThumbnails(int timeoutMs = 30000);
    // The decoding behind the thumbnails (its decoder can be replaced, its bounds read).
    ThumbnailLoader& thumbnails() { return m_thumbnails; }

    // The context-menu commands; each acts on the file of the list's selection mark.
    void runCommand(int id);
    void deletePicture();
    void printPicture();
    void openPictureFolder();
    void renamePicture();
    // The end of a label edit: renames the item's file in its own folder and the item with it. A
    // refused rename, which the file-error box reports, leaves the item's text and file as they were.
    void endLabelEdit(int row, const QString& text);
    // The main dialog's drop handler: reorders the items, each with its own file, and rebuilds the list.
    void dropPictures(const DropNotification& drop);

signals:
    // A click on an item enables the per-picture buttons (watermark, upload); one on empty space
    // disables them.
    void pictureActionsEnabled(bool enabled);
    // Every item shows its thumbnail.
    void thumbnailsShown();

private:
    void onRightClicked(int row, const QPoint& globalPos);
    void onDoubleClicked(int row);
    struct Entry {
        QString text;
        QString file;
    };
    QList<Entry> entries() const;
    void insertPicture(int row, const QString& file, const QString& text,
                       ThumbnailLoader::Start start = ThumbnailLoader::Start::FromEventLoop);
    void rebuild(const QList<Entry>& entries);

    CListImageCtrl& m_list;
    UiHost& m_host;
    std::function<QString()> m_saveFolder;
    std::function<QDate()> m_today;
    PrintHandler m_print;
    FolderOpener m_openFolder;
    MenuRunner m_runMenu;
    ThumbnailLoader m_thumbnails;
};

} // namespace qx::desktop
