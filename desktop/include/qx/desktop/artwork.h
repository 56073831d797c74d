// The program's artwork by resource id, as shipped in its resources or drawn at another size.
#pragma once

#include "qx/desktop/artwork_painter.h"

#include <QImage>
#include <QPixmap>
#include <QSize>

namespace qx::desktop {

// Makes the shipped images reachable under ":/qx/artwork/" (they live in a static library).
void initArtworkResources();

// The shipped image of `id` at its natural size; a null image for an id that is not in the catalogue.
QImage artworkImage(int id);
// `id` at `size`: the shipped image when that is its natural size, otherwise drawn afresh from the
// vector sources so that it stays sharp.
QImage artworkImage(int id, const QSize& size);

QPixmap artwork(int id);
QPixmap artwork(int id, const QSize& size);

} // namespace qx::desktop
