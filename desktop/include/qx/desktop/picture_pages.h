// The pages a picture of the list gives a document or a print: each page of a multi-page TIFF.
#pragma once

#include <QString>

namespace qx::desktop {

// How many pages the picture file holds: a JPEG's or BMP's bytes are one page (known from their first
// bytes, without decoding them), any other file as the capture chain's reader counts its pages (every
// page of a merged TIFF); 0 for a file that cannot be read as a picture.
int picturePages(const QString& file);

} // namespace qx::desktop
