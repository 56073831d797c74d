// A UI host lent to the TIFF tool library through its C table (tif_tool_host.h).
#pragma once

#include "qx/interface/tif_tool_host.h"

#include <QPointer>
#include <QWidget>

namespace qx {

class UiHost;

// The tool's dialogs, questions and messages become `ui`'s, and its window `ui`'s open window of kind
// "tif-tool" while the tool says it is this table's. The lending must outlive every call the tool
// may make: pass table() to ReleasePlatformHost before destroying it.
class TifToolLending {
public:
    static constexpr const char* kWindowKind = "tif-tool";

    explicit TifToolLending(UiHost& ui);
    // The window, if it was listed through this lending, is no longer listed in `ui`.
    ~TifToolLending();
    TifToolLending(const TifToolLending&) = delete;
    TifToolLending& operator=(const TifToolLending&) = delete;

    const QxTifToolHost* table() const { return &m_table; }

private:
    static TifToolLending& of(void* context) { return *static_cast<TifToolLending*>(context); }
    static QWidget* widget(void* window) { return static_cast<QWidget*>(window); }

    static void message(void* context, void* owner, const char* text, const char* caption, int32_t icon);
    static int32_t question(void* context, void* owner, const char* text, const char* caption);
    static int32_t openFiles(void* context, void* owner, const QxTifToolFileDialog* dialog,
                             QxTifToolAddPathFn add, void* list);
    static int32_t saveFile(void* context, void* owner, const QxTifToolFileDialog* dialog,
                            QxTifToolAddPathFn add, void* list);
    static void windowOpened(void* context, void* window);
    static void windowClosed(void* context, void* window);

    UiHost& m_ui;
    QxTifToolHost m_table{};
    QPointer<QWidget> m_window;
};

} // namespace qx
