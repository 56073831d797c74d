// The exports of libTiffMakerDLL.so: one tool window per process, in the caller's QApplication.
#include "qx_tif_maker.h"

#include "lent_ui_host.h"
#include "tif_maker_window.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <cstdio>
#include <dlfcn.h>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The window's code lives in this library: a host that frees the library (the control does when it
// is destroyed) must not pull it from under an open window.
void stayLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&stayLoaded), &info) && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

// Touched only on the application's thread (the exports refuse any other).
struct Tool {
    qx::tiff::LentUiHost ui;
    QPointer<qx::tiff::CTifMakerWnd> window;
};

Tool& tool() {
    static Tool t;
    return t;
}

bool onApplicationThread(const char* function) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        std::fprintf(stderr, "TiffMakerDLL: %s needs a QApplication\n", function);
        return false;
    }
    if (QThread::currentThread() != app->thread()) {
        std::fprintf(stderr, "TiffMakerDLL: %s must be called on the application's thread\n", function);
        return false;
    }
    return true;
}

int32_t show(const QxTifToolHost* host, const char* function) {
    if (!onApplicationThread(function))
        return 0;
    Tool& t = tool();
    if (!t.window) {
        stayLoaded();
        t.window = new qx::tiff::CTifMakerWnd(t.ui);
        t.window->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(t.window, &qx::tiff::CTifMakerWnd::closed, t.window,
                         [window = t.window.data()] { tool().ui.windowWentAway(window); });
    }
    t.window->show();
    t.ui.lend(host, t.window);
    t.window->raise();
    t.window->activateWindow();
    return 1;
}

} // namespace

QX_EXPORT int32_t ShowPlatform() {
    return show(nullptr, "ShowPlatform");
}

QX_EXPORT int32_t ShowPlatformWithHost(const QxTifToolHost* host) {
    return show(host, "ShowPlatformWithHost");
}

QX_EXPORT void ReleasePlatformHost(const QxTifToolHost* host) {
    if (onApplicationThread("ReleasePlatformHost"))
        tool().ui.release(host);
}
