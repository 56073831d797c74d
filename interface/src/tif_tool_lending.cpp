// Turns the TIFF tool's C callbacks into calls on a UI host.
#include "qx/interface/tif_tool_lending.h"

#include "qx/interface/ui_host.h"

namespace qx {

namespace {

QString text(const char* utf8) {
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

FileDialogOptions options(const QxTifToolFileDialog* dialog) {
    FileDialogOptions o;
    if (!dialog)
        return o;
    o.caption = text(dialog->caption);
    o.filter = text(dialog->filter);
    o.defaultSuffix = text(dialog->defaultSuffix);
    o.initialPath = text(dialog->initialPath);
    o.multiple = dialog->multiple != 0;
    // The tool asks before it replaces a file; a dialog asking too would ask twice.
    o.overwritePrompt = false;
    return o;
}

MessageIcon icon(int32_t value) {
    switch (value) {
    case QX_TIF_TOOL_ICON_INFORMATION:
        return MessageIcon::Information;
    case QX_TIF_TOOL_ICON_WARNING:
        return MessageIcon::Warning;
    case QX_TIF_TOOL_ICON_ERROR:
        return MessageIcon::Error;
    default:
        return MessageIcon::None;
    }
}

} // namespace

TifToolLending::TifToolLending(UiHost& ui) : m_ui(ui) {
    m_table.size = sizeof(QxTifToolHost);
    m_table.context = this;
    m_table.message = &TifToolLending::message;
    m_table.question = &TifToolLending::question;
    m_table.openFiles = &TifToolLending::openFiles;
    m_table.saveFile = &TifToolLending::saveFile;
    m_table.windowOpened = &TifToolLending::windowOpened;
    m_table.windowClosed = &TifToolLending::windowClosed;
}

TifToolLending::~TifToolLending() {
    if (m_window)
        m_ui.windowClosed(QString::fromLatin1(kWindowKind), m_window);
}

void TifToolLending::message(void* context, void* owner, const char* msg, const char* caption, int32_t i) {
    of(context).m_ui.messageBox(widget(owner), text(msg), text(caption), icon(i), false);
}

int32_t TifToolLending::question(void* context, void* owner, const char* msg, const char* caption) {
    return of(context).m_ui.question(widget(owner), text(msg), text(caption)) ? 1 : 0;
}

int32_t TifToolLending::openFiles(void* context, void* owner, const QxTifToolFileDialog* dialog,
                                  QxTifToolAddPathFn add, void* list) {
    const auto files = of(context).m_ui.openFiles(widget(owner), options(dialog));
    if (!files || !add)
        return 0;
    for (const QString& file : *files)
        add(list, file.toUtf8().constData());
    return 1;
}

int32_t TifToolLending::saveFile(void* context, void* owner, const QxTifToolFileDialog* dialog,
                                 QxTifToolAddPathFn add, void* list) {
    const auto file = of(context).m_ui.saveFile(widget(owner), options(dialog));
    if (!file || file->isEmpty() || !add)
        return 0;
    add(list, file->toUtf8().constData());
    return 1;
}

void TifToolLending::windowOpened(void* context, void* window) {
    TifToolLending& self = of(context);
    self.m_window = widget(window);
    self.m_ui.windowOpened(QString::fromLatin1(kWindowKind), self.m_window);
}

void TifToolLending::windowClosed(void* context, void* window) {
    TifToolLending& self = of(context);
    self.m_ui.windowClosed(QString::fromLatin1(kWindowKind), widget(window));
    if (self.m_window == widget(window))
        self.m_window.clear();
}

} // namespace qx
