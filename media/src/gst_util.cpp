// Putting elements into bins without losing or double-releasing one when the bin refuses it.
#include "qx/media/gst_util.h"

namespace qx::media {

GstElement* addToBin(GstBin* bin, ElementRef element) {
    if (!bin || !element)
        return nullptr;
    // The element is not floating (adoptElement sank it), so gst_bin_add takes a reference of its own
    // when it accepts it and leaves ours alone when it refuses it; ours is dropped either way on return.
    if (!gst_bin_add(bin, element.get()))
        return nullptr;
    return element.get();
}

} // namespace qx::media
