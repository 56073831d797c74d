// Fuzzes the readers of any picture file: the list's scaled JPEG decoding and thumbnails, and the chain's
// general reader.
#include "fuzz_target.h"

#include "qx/desktop/thumbnail.h"
#include "qx/imaging/picture.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_picture";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;

    // Forged headers must not make the decoders allocate without bound.
    QImageReader::setAllocationLimit(64);
    for (const char* suffix : {".jpg", ".png"}) {
        const QString path = qx::fuzz::scratchFile(suffix, data, size);
        const QImage thumbnail = qx::desktop::makeThumbnailImage(path);
        if (thumbnail.size() != QSize(qx::desktop::kThumbnailWidth, qx::desktop::kThumbnailHeight))
            std::abort();
        const qx::desktop::ScaledPicture scaled = qx::desktop::loadScaledPicture(path, QSize(60, 45));
        if (!scaled.image.isNull() && (scaled.image.width() > 8192 || scaled.image.height() > 8192))
            std::abort();
        qx::imaging::loadPicture(path);
    }
    return 0;
}
