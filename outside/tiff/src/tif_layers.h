// The pages of a multi-page TIFF being built, shared by the layered-TIFF library and the TIFF tool.
#pragma once

#include "qx/imaging/picture.h"

#include <QImage>
#include <QString>
#include <vector>

namespace qx::tiff {

struct LayerPage {
    QString source;     // the file it was read from
    int sourcePage = 0; // its page in that file
    imaging::Picture picture;
};

// Not locked: the library's exports serialise their calls, the tool runs on its window's thread.
class TifLayers {
public:
    // Reads page `page` of `path` and appends it; false, with the reason, when it cannot be read.
    bool add(const QString& path, int page = 0, QString* failure = nullptr);
    void append(LayerPage page) { m_pages.push_back(std::move(page)); }
    // All pages, in order, through the imaging module's page writer (LZW, each page at its own
    // depth and resolution); nothing is left at `path` when it fails.
    bool write(const QString& path, QString* failure = nullptr) const;
    void clear() { m_pages.clear(); }
    int count() const { return static_cast<int>(m_pages.size()); }
    const std::vector<LayerPage>& pages() const { return m_pages; }

private:
    std::vector<LayerPage> m_pages;
};

// The picture as a QImage of the same pixels (thumbnails, formats the imaging module does not write).
QImage toImage(const imaging::Picture& picture);

// Writes one picture by `format`, or by the name's extension when it is empty: "bmp", "jpg"/"jpeg"
// (quality 75), "tif"/"tiff" (LZW), "gif" with the imaging module's writers, any other through Qt's
// writers (PNG, ...). The file at `path` is replaced only by a complete picture.
bool savePicture(const imaging::Picture& picture, const QString& path, const QString& format = {});

} // namespace qx::tiff
