// The holder's photograph: decoded from the card's photo block when it holds a picture we can read.
#pragma once

#include <QByteArray>
#include <QImage>

namespace qx::idcard {

// Real cards keep the photo in a compressed format that only a licensed decoder reads; JPEG, PNG and
// BMP blocks (the virtual reader's cards) are decoded. A null image for anything else, for a picture
// that does not decode, and for one larger than any card photo could be.
QImage decodeHolderPhoto(const QByteArray& block);

// A neutral grey silhouette of a card photo's size (102 x 126), drawn when there is no photo to show.
QImage placeholderPhoto();

} // namespace qx::idcard
