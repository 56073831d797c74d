// The composed picture of a resident identity card: the photo side above the emblem side.
#pragma once

#include "card_record.h"

#include <QImage>

namespace qx::idcard {

// Draws both sides at 10 pixels per millimetre (each 856 x 540) on a white sheet. Needs a
// QGuiApplication for its text.
QImage composeCardPicture(const CardFields& fields, const QImage& photo);

} // namespace qx::idcard
