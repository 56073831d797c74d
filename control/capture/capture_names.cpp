// Picks capture names by the local time, moving on a second while a name is taken.
#include "control/capture/capture_names.h"

#include "qx/platform/timestamp.h"

#include <QDir>

namespace qx::control {

QString freeTimeStamp(const QString& folder, QDateTime time) {
    const QDir dir(folder);
    // A stamp counts as taken by any file that starts with it: the BMP, the picture converted from it
    // or a merge picture named after it.
    for (int i = 0; i < 3600; ++i, time = time.addSecs(1)) {
        const QString stamp = platform::fileTimeStamp(time);
        if (dir.entryList({stamp + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System).isEmpty())
            return stamp;
    }
    return platform::fileTimeStamp(time);
}

bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString withExtension(const QString& path, const QString& extension) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? path + QLatin1Char('.') : path.left(dot + 1)) + extension;
}

} // namespace qx::control
