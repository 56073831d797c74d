// Counting a picture's pages for the PDF export and printing.
#include "qx/desktop/picture_pages.h"

#include "qx/imaging/picture.h"
#include "qx/platform/files.h"

#include <QFile>

namespace qx::desktop {

int picturePages(const QString& file) {
    QByteArray head;
    {
        QFile f;
        if (!platform::openRegularFile(f, file))
            return 0;
        head = f.read(3);
    }
    // The chain's own formats hold one picture each; counting them through the reader would decode
    // them whole, once more than the export or the print needs.
    if (head.startsWith("BM") || head == QByteArray("\xFF\xD8\xFF", 3))
        return 1;
    return imaging::picturePageCount(file);
}

} // namespace qx::desktop
