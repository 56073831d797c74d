// Stand-ins for the outside libraries, each exporting (or, by a define, lacking) the functions the
// control binds, so that every branch of the control's library loading can be driven.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// Leaves a mark that a function was called, in the file $QX_TEST_MARKER names.
[[maybe_unused]] void mark(const char* what) {
    if (const char* path = std::getenv("QX_TEST_MARKER")) {
        if (FILE* f = std::fopen(path, "a")) {
            std::fprintf(f, "%s\n", what);
            std::fclose(f);
        }
    }
}
} // namespace

#if defined(QX_FAKE_CAMERA)
QX_EXPORT void* CreateKelpoDevice(int32_t) {
    return nullptr;
}
#if !defined(QX_FAKE_PARTIAL)
QX_EXPORT void DeleteKelpoDevice(void*) {}
#endif
QX_EXPORT int32_t GetKelpoDeviceCount() {
    mark("GetKelpoDeviceCount");
    return 3;
}
QX_EXPORT int32_t GetKelpoDeviceModuleID(int32_t i) {
    return 520701 + i;
}
#endif

#if defined(QX_FAKE_IDCARD)
QX_EXPORT int32_t IDInfoChar(char* buffer, int32_t* length) {
    mark("IDInfoChar");
    std::strcpy(buffer, "");
    *length = 0;
    return 1;
}
#if !defined(QX_FAKE_PARTIAL)
QX_EXPORT const char* IDInfoBMP(const char*) {
    return "";
}
#endif
#endif

#if defined(QX_FAKE_TIFFCONVERT)
QX_EXPORT int32_t AddImageToTifLayer() {
    return 0;
}
QX_EXPORT int32_t Convert2Tif() {
    return 0;
}
#if !defined(QX_FAKE_PARTIAL)
QX_EXPORT int32_t CleanImageFromTifLayer() {
    return 0;
}
#endif
#endif

#if defined(QX_FAKE_RESIZE)
QX_EXPORT int32_t KelpoFilterImageResize(const uint8_t*, int32_t, int32_t, uint8_t*) {
    return 0;
}
#endif

#if defined(QX_FAKE_TIFFMAKER)
QX_EXPORT int32_t ShowPlatform() {
    mark("ShowPlatform");
    return 0;
}
#endif
