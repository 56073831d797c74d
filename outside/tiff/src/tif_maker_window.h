// The TIFF tool's window: pages as thumbnails, put together into one TIFF or saved out one by one.
#pragma once

#include "tif_layers.h"

#include <QWidget>
#include <map>

class QCloseEvent;
class QListWidget;
class QLabel;
class QPushButton;

namespace qx {
class UiHost;
}

namespace qx::tiff {

// The question before a numbered page replaces a file, and what the result says of those kept.
inline constexpr const char* kOverwriteText = "文件已存在，是否覆盖?\n%1";
inline constexpr const char* kNotOverwrittenText = "\n以下文件已存在，未覆盖:\n";

// The ids by which scripts address the window's controls (ScriptWindow, host.window("tif-tool")).
namespace id {
inline constexpr int kAdd = 1001;    // 添加图片
inline constexpr int kOpen = 1002;   // 打开TIF
inline constexpr int kRemove = 1003; // 删除所选页
inline constexpr int kClear = 1004;  // 清空
inline constexpr int kWrite = 1005;  // 生成TIF
inline constexpr int kSave = 1006;   // 导出所选页
inline constexpr int kPages = 1007;  // the list of pages
inline constexpr int kStatus = 1008; // "共N页" and the file last opened or written
} // namespace id

// Every file dialog, question and message goes through `ui`, so tests and scripts drive the real
// window. The list's order is the document's: a drag reorders the pages.
class CTifMakerWnd : public QWidget {
    Q_OBJECT
public:
    explicit CTifMakerWnd(UiHost& ui, QWidget* parent = nullptr);

    // What the buttons do once their dialogs are answered; each shows its own message on failure.
    int addFiles(const QStringList& paths); // every page of each file; returns the pages added
    bool openTiff(const QString& path);     // the list becomes the file's pages
    // The pages in the list's order; a file at `path` is replaced only when the question
    // (kOverwriteText) is answered yes. False when nothing was written.
    bool writeTiff(const QString& path);
    // The pages in the list at `rows`, each a picture of its own by `path`'s extension; with more
    // than one page, page N is written as "<name>-N.<ext>" (N its place in the list, from 1), and
    // each of those names (the one name of a single page too) a file already holds is asked about
    // (kOverwriteText) before it is replaced. Says what was written; true when no write failed and a page was
    // written.
    bool savePages(const QList<int>& rows, const QString& path);
    void removePages(const QList<int>& rows);
    void movePage(int from, int to); // as a drag in the list does
    void clearPages();

    int pageCount() const;
    QStringList pageSources() const; // "file#page" of each page, in the list's order
    const LayerPage* pageAt(int row) const;
    QListWidget* list() const { return m_list; }
    QPushButton* button(const QString& objectName) const;

signals:
    // The window was closed (it is deleted afterwards).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void onAdd();
    void onOpen();
    void onRemove();
    void onWrite();
    void onSave();
    void appendPage(LayerPage page);
    void refreshStatus();
    QList<int> selectedRows() const;
    void warn(const QString& text);

    UiHost& m_ui;
    QListWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    std::map<int, LayerPage> m_pages; // by the id each list item carries
    int m_nextId = 0;
    QString m_file; // the TIFF last opened or written
};

} // namespace qx::tiff
