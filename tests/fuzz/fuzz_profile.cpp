// Fuzzes the INI reader and writer: any bytes as a settings file, then reads and writes on it.
#include "fuzz_target.h"

#include "qx/platform/profile.h"

#include <QFile>
#include <cstdlib>

using qx::platform::readProfileString;
using qx::platform::writeProfileString;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = qx::fuzz::scratchFile(".ini", data, size);
    const QString section = QStringLiteral("CamConfig");
    for (const char* key : {"camera", "Save-Path", "Letter", ""})
        readProfileString(path, section, QLatin1String(key), QStringLiteral("dflt "), 200);
    readProfileString(path, QStringLiteral("HotKey"), QStringLiteral("Ctrl"), QString(), 1);
    readProfileString(path, QString(), QStringLiteral("x"), QString(), 0);

    // A write keeps the rest of the file and reads back as written.
    const QString value = QStringLiteral("C:\\pics\\ 值");
    if (writeProfileString(path, section, QStringLiteral("Save-Path"), value)) {
        const QString back = readProfileString(path, section, QStringLiteral("Save-Path"), QString(), 200);
        if (back != value)
            std::abort();
    }
    writeProfileString(path, QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("v"));
    return 0;
}
