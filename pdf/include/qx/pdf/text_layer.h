// Recognised words to lay invisibly over a page's picture, in the pixels of the picture as it reads.
#pragma once

#include <QString>
#include <vector>

namespace qx::pdf {

// A word's box in the pixels of the upright picture: x to the right, y down from the top-left corner.
struct TextWord {
    QString text;
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// The words of one picture. The recogniser reads the picture upright, which is not always how it was
// captured: `turn` is how far (clockwise, 0, 90, 180 or 270 degrees) the upright picture of
// `width` x `height` pixels is turned in the image the page shows.
struct TextLayer {
    int width = 0;
    int height = 0;
    int turn = 0;
    std::vector<TextWord> words;
};

} // namespace qx::pdf
