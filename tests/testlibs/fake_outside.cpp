// Stand-ins for the outside libraries, each exporting (or, by a define, lacking) the functions the
// control binds, so that every branch of the control's library loading can be driven.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

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
// With QX_FAKE_CARD_RECORD naming a file, a read succeeds with that file's bytes as the record (all
// 2048 of them when the file is that long: no terminator then); else it fails.
QX_EXPORT int32_t IDInfoChar(char* buffer, int32_t* length) {
    mark("IDInfoChar");
    *length = 0;
    // QX_FAKE_CARD_DELAY_MS: how long the reader takes, so a test can call in meanwhile.
    if (const char* delay = std::getenv("QX_FAKE_CARD_DELAY_MS"))
        usleep(static_cast<useconds_t>(std::atoi(delay)) * 1000);
    const char* path = std::getenv("QX_FAKE_CARD_RECORD");
    FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        std::strcpy(buffer, "");
        return 1;
    }
    const size_t n = std::fread(buffer, 1, 2048, f);
    std::fclose(f);
    if (n < 2048)
        buffer[n] = '\0';
    *length = static_cast<int32_t>(n);
    return 0;
}
#if !defined(QX_FAKE_PARTIAL)
// With QX_FAKE_CARD_IMAGE naming a file, that file is copied into the folder under
// QX_FAKE_CARD_IMAGE_NAME (default "card.bmp"), and that name is returned.
QX_EXPORT const char* IDInfoBMP(const char* folder) {
    static char name[256];
    const char* image = std::getenv("QX_FAKE_CARD_IMAGE");
    const char* wanted = std::getenv("QX_FAKE_CARD_IMAGE_NAME");
    std::snprintf(name, sizeof name, "%s", wanted ? wanted : "card.bmp");
    FILE* in = image ? std::fopen(image, "rb") : nullptr;
    if (!in)
        return "";
    char target[4096];
    std::snprintf(target, sizeof target, "%s%s", folder, name);
    FILE* out = std::fopen(target, "wb");
    char chunk[65536];
    size_t n = 0;
    while (out && (n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        std::fwrite(chunk, 1, n, out);
    std::fclose(in);
    if (!out)
        return "";
    std::fclose(out);
    return name;
}
#endif
#endif

#if defined(QX_FAKE_TIFFCONVERT)
QX_EXPORT int32_t AddImageToTifLayer(const char*) {
    return 0;
}
QX_EXPORT int32_t Convert2Tif(const char*) {
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
