// GStreamer start-up and RAII holders for the GStreamer objects the media layer keeps.
#pragma once

#include <gst/gst.h>
#include <utility>

namespace qx::media {

// Initialises GStreamer once per process; false when it cannot be initialised.
bool ensureGstreamer();

// Holds one reference to a GStreamer object; copies take a reference of their own.
template <typename T, gpointer (*Ref)(gpointer), void (*Unref)(gpointer)> class GRef {
public:
    GRef() = default;
    explicit GRef(T* adopt) : m_p(adopt) {}
    GRef(const GRef& o) : m_p(o.m_p) {
        if (m_p)
            Ref(m_p);
    }
    GRef(GRef&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    GRef& operator=(GRef o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~GRef() { reset(); }
    void reset(T* adopt = nullptr) {
        if (m_p)
            Unref(m_p);
        m_p = adopt;
    }
    T* get() const { return m_p; }
    T* release() { return std::exchange(m_p, nullptr); }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

using ElementRef = GRef<GstElement, gst_object_ref, gst_object_unref>;
using DeviceRef = GRef<GstDevice, gst_object_ref, gst_object_unref>;

// Holds a newly made element. Elements are made with a floating reference, which the first bin or
// holder to take it sinks; sinking it here makes the holder its owner until a bin takes it over.
inline ElementRef adoptElement(GstElement* made) {
    return ElementRef(made ? GST_ELEMENT(gst_object_ref_sink(made)) : nullptr);
}

// Makes an element of `factory` (null, with a warning naming the factory, when its plugin is missing).
ElementRef makeElement(const char* factory, const char* name);

// Puts an element into a bin, which then holds it: returns the element (the bin's), or null when the
// bin refuses it (its name is taken there, it has another parent), and then it is released with
// `element`.
GstElement* addToBin(GstBin* bin, ElementRef element);

inline gpointer refCaps(gpointer caps) {
    return gst_caps_ref(static_cast<GstCaps*>(caps));
}
inline void unrefCaps(gpointer caps) {
    gst_caps_unref(static_cast<GstCaps*>(caps));
}
using CapsRef = GRef<GstCaps, refCaps, unrefCaps>;

} // namespace qx::media
