// Browsers show neither TIFF nor a PDF in an <img>: the bridge turns both into a picture it can send.
#include "picture_render.h"

#include <QFile>
#include <QImageReader>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace qx::bridge {

namespace {

// The system writes each PDF page as one JPEG image; that image is the page's picture.
QImage firstPdfPicture(const QString& name, FILE* file) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(name).constData(), file, false);
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (pages.empty())
            return QImage();
        for (auto& [name, image] : pages.front().getImages()) {
            // Only DCT streams are taken raw; anything else would need a PDF renderer.
            if (!image.getDict().getKey("/Filter").isNameAndEquals("/DCTDecode"))
                continue;
            const std::shared_ptr<Buffer> data = image.getRawStreamData();
            QImage picture;
            picture.loadFromData(reinterpret_cast<const uchar*>(data->getBuffer()),
                                 static_cast<int>(data->getSize()), "JPEG");
            if (!picture.isNull())
                return picture;
        }
    } catch (const std::exception&) {
    }
    return QImage();
}

} // namespace

QImage renderPicture(const QString& path) {
    return renderPicture(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK),
                         path);
}

QImage renderPicture(int fd, const QString& name) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return QImage();
    }
    FILE* stream = ::fdopen(fd, "rb");
    if (!stream) {
        ::close(fd);
        return QImage();
    }
    QImage image;
    char magic[5] = {};
    if (std::fread(magic, 1, 5, stream) == 5 && std::memcmp(magic, "%PDF-", 5) == 0) {
        std::rewind(stream);
        image = firstPdfPicture(name, stream);
    } else {
        std::rewind(stream);
        QFile file;
        if (file.open(stream, QIODevice::ReadOnly)) {
            QImageReader reader(&file);
            reader.setAutoTransform(true);
            image = reader.read();
        }
    }
    std::fclose(stream);
    return image;
}

} // namespace qx::bridge
