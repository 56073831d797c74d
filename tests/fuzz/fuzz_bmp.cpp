// Fuzzes the BMP reader and what the capture chain does with what it read: turn, write, encode, colour.
#include "fuzz_target.h"

#include "qx/imaging/colour_modes.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"

#include <QFile>
#include <cstdlib>

using namespace qx::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = qx::fuzz::scratchFile(".bmp", data, size);
    const std::optional<Picture> picture = loadBmp(path);
    if (picture && !picture->isNull()) {
        // A picture the reader accepted is consistent: its rows fit its pixels.
        if (picture->stride < 0 ||
            static_cast<size_t>(picture->stride) * static_cast<size_t>(picture->height) >
                picture->pixels.size())
            std::abort();
        // Small pictures only: the point is the parsing, not the encoders' speed.
        if (static_cast<long long>(picture->width) * picture->height <= 512 * 512) {
            const Picture turned = rotateClockwise(*picture, 90);
            const QString out = qx::fuzz::scratchFile(".out.bmp", nullptr, 0);
            if (!turned.isNull() && saveBmp(turned, out) && !loadBmp(out))
                std::abort(); // what we write we must read
            saveJpeg(*picture, qx::fuzz::scratchFile(".jpg", nullptr, 0), 75);
            saveGif(*picture, qx::fuzz::scratchFile(".gif", nullptr, 0));
            convertBmpToJpeg(path, qx::fuzz::scratchFile(".conv.jpg", nullptr, 0), 75);
        }
    }
    // The colour modes check the header themselves; each works on its own copy of the input.
    int threshold = 100;
    convertToGrey(qx::fuzz::scratchFile(".grey.bmp", data, size));
    convertToBlackAndWhite(qx::fuzz::scratchFile(".bw.bmp", data, size), threshold);
    enhanceColour(qx::fuzz::scratchFile(".enh.bmp", data, size));
    return 0;
}
