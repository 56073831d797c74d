/* The table of callbacks through which a caller lends the TIFF tool (libTiffMakerDLL.so) its dialogs.
 *
 * Plain C, so the tool's exports stay a C interface: the caller's own UI classes never cross it. The
 * tool asks every file dialog, question and message of its window through the table, and tells the
 * caller when its window opens and closes, so that a caller which answers its dialogs from a script
 * can answer the tool's too and reach its window.
 *
 * Rules:
 * - Text is UTF-8, owned by whoever passes it and valid only during the call.
 * - `owner` and `window` are the tool's window, a QWidget* of the calling process's QApplication; a
 *   caller may place its dialogs over it and drive it, never delete it.
 * - Every callback runs on the application's thread, from inside the tool's window.
 * - The caller keeps the table, and whatever `context` points at, valid until it passes the table to
 *   ReleasePlatformHost; after that the tool makes no call through it and uses dialogs of its own.
 * - `size` is sizeof(QxTifToolHost) as the caller compiled it: a later, longer table keeps these
 *   members in this order, and a member beyond `size` or left null is as if the tool had no host for
 *   it (its own dialog). */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum QxTifToolIcon {
    QX_TIF_TOOL_ICON_NONE = 0,
    QX_TIF_TOOL_ICON_INFORMATION = 1,
    QX_TIF_TOOL_ICON_WARNING = 2,
    QX_TIF_TOOL_ICON_ERROR = 3
} QxTifToolIcon;

typedef struct QxTifToolFileDialog {
    const char* caption;
    const char* filter;        /* Qt filter text: "TIF文件(*.tif);;所有文件(*)" */
    const char* defaultSuffix; /* without the dot; "" for none */
    const char* initialPath;   /* "" for the dialog's own choice */
    int32_t multiple;          /* open: 1 lets several files be chosen */
} QxTifToolFileDialog;

/* Hands one chosen path back to the tool; `list` is the value the tool passed with it. */
typedef void (*QxTifToolAddPathFn)(void* list, const char* path);

typedef struct QxTifToolHost {
    uint32_t size;
    void* context; /* passed back as the first argument of every callback */

    /* A box with an OK button. */
    void (*message)(void* context, void* owner, const char* text, const char* caption, int32_t icon);
    /* A yes/no question: 1 for yes, 0 for no. */
    int32_t (*question)(void* context, void* owner, const char* text, const char* caption);
    /* A file-open dialog: each chosen file through `add`, then 1; 0 for Cancel. */
    int32_t (*openFiles)(void* context, void* owner, const QxTifToolFileDialog* dialog,
                         QxTifToolAddPathFn add, void* list);
    /* A file-save dialog: the chosen file through `add`, then 1; 0 for Cancel. The dialog does not ask
     * about an existing file: the tool asks itself, through `question`, before it replaces one. */
    int32_t (*saveFile)(void* context, void* owner, const QxTifToolFileDialog* dialog, QxTifToolAddPathFn add,
                        void* list);
    /* The tool's window is shown for this host, or is no longer its (closed, or taken by another
     * caller's ShowPlatformWithHost or ShowPlatform). */
    void (*windowOpened)(void* context, void* window);
    void (*windowClosed)(void* context, void* window);
} QxTifToolHost;

/* The two exports that take a host, as a caller binds them by name. */
typedef int32_t (*ShowPlatformWithHostFn)(const QxTifToolHost* host);
typedef void (*ReleasePlatformHostFn)(const QxTifToolHost* host);

#ifdef __cplusplus
}
#endif
