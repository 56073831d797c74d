// ShowPlatform of libTiffMakerDLL.so: one tool window per process, in the caller's QApplication.
#include "qx_tif_maker.h"

#include "qx/interface/ui_host.h"
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

} // namespace

QX_EXPORT int32_t ShowPlatform() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        std::fprintf(stderr, "TiffMakerDLL: ShowPlatform needs a QApplication\n");
        return 0;
    }
    if (QThread::currentThread() != app->thread()) {
        std::fprintf(stderr, "TiffMakerDLL: ShowPlatform must be called on the application's thread\n");
        return 0;
    }
    static qx::QtUiHost ui;
    static QPointer<qx::tiff::CTifMakerWnd> window;
    if (!window) {
        stayLoaded();
        window = new qx::tiff::CTifMakerWnd(ui);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return 1;
}
