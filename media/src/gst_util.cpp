// Putting elements into bins without losing or double-releasing one when the bin refuses it.
#include "qx/media/gst_util.h"

#include <QtGlobal>

namespace qx::media {

ElementRef makeElement(const char* factory, const char* name) {
    ElementRef e = adoptElement(gst_element_factory_make(factory, name));
    if (!e)
        qWarning("GStreamer element \"%s\" is missing (is its plugin package installed?)", factory);
    return e;
}

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
