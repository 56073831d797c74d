// The exports of libTiffConvert.so over one pending document per process.
#include "qx_tiff_convert.h"

#include "tif_layers.h"

#include <QFile>
#include <cstdio>
#include <mutex>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex& documentLock() {
    static std::mutex lock;
    return lock;
}

qx::tiff::TifLayers& document() {
    static qx::tiff::TifLayers layers;
    return layers;
}

QString pathOf(const char* path) {
    return path ? QFile::decodeName(path) : QString();
}

} // namespace

QX_EXPORT int32_t AddImageToTifLayer(const char* path) {
    const QString file = pathOf(path);
    if (file.isEmpty())
        return QX_TIF_BAD_PATH;
    // Decoded outside the lock, so a slow file never holds up another thread's calls.
    qx::tiff::TifLayers one;
    QString failure;
    if (!one.add(file, 0, &failure)) {
        std::fprintf(stderr, "TiffConvert: %s\n", qPrintable(failure));
        return QX_TIF_UNREADABLE;
    }
    const std::lock_guard guard(documentLock());
    document().append(one.pages().front());
    return document().count();
}

QX_EXPORT int32_t Convert2Tif(const char* path) {
    const QString file = pathOf(path);
    if (file.isEmpty())
        return QX_TIF_BAD_PATH;
    const std::lock_guard guard(documentLock());
    if (document().count() == 0)
        return QX_TIF_NO_PAGES;
    QString failure;
    if (!document().write(file, &failure)) {
        std::fprintf(stderr, "TiffConvert: %s\n", qPrintable(failure));
        return QX_TIF_WRITE_FAILED;
    }
    return document().count();
}

QX_EXPORT int32_t CleanImageFromTifLayer() {
    const std::lock_guard guard(documentLock());
    const int32_t dropped = document().count();
    document().clear();
    return dropped;
}
