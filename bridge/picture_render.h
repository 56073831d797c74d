// A captured picture as the browser can show it, whatever format it was saved in.
#pragma once

#include <QImage>
#include <QString>

namespace qx::bridge {

// The picture in the file (BMP, JPEG, TIFF, GIF; for a PDF the picture of its first page), or a null
// image when the file holds none that can be read.
QImage renderPicture(const QString& path);
// The same from a file already open for reading (the descriptor is closed); `name` is for messages.
QImage renderPicture(int fd, const QString& name);

} // namespace qx::bridge
