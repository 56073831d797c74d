// Local-time stamps for file names, log lines and dated folders.
#include "qx/platform/timestamp.h"

namespace qx::platform {

QString fileTimeStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    return QString::asprintf("%4d-%02d-%02d-%02d-%02d-%02d", d.year(), d.month(), d.day(), tm.hour(),
                             tm.minute(), tm.second());
}

QString spacedTimeStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    return QString::asprintf("%4d-%02d-%02d %02d-%02d-%02d", d.year(), d.month(), d.day(), tm.hour(),
                             tm.minute(), tm.second());
}

QString logTimePrefix(const QDateTime& t) {
    return spacedTimeStamp(t) + QStringLiteral(" : ");
}

QString dateStamp(const QDateTime& t) {
    const QDate d = t.date();
    return QString::asprintf("%4d-%02d-%02d", d.year(), d.month(), d.day());
}

} // namespace qx::platform
