// One write per line, so lines of the network and the control thread never interleave.
#include "bridge_log.h"

#include <QDateTime>
#include <unistd.h>

namespace qx::bridge {

void bridgeLog(const QString& text) {
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
         QStringLiteral(" qxbridge: ") + text + QLatin1Char('\n'))
            .toUtf8();
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.constData(), line.size());
}

} // namespace qx::bridge
