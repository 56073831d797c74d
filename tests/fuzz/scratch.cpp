// The scratch folder of a fuzz run: one per process, removed at exit.
#include "fuzz_target.h"

#include <QFile>
#include <QTemporaryDir>

namespace qx::fuzz {

QString scratchFile(const char* suffix, const uint8_t* data, size_t size) {
    static QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/input") + QLatin1String(suffix);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

} // namespace qx::fuzz
