// One write per line, so lines of the network and the control thread never interleave.
#include "bridge_log.h"

#include <QDateTime>
#include <unistd.h>

namespace qx::bridge {

namespace {

bool needsEscape(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString escapedForLog(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\\')
            out += QStringLiteral("\\\\");
        else if (c == U'\n')
            out += QStringLiteral("\\n");
        else if (c == U'\r')
            out += QStringLiteral("\\r");
        else if (c == U'\t')
            out += QStringLiteral("\\t");
        else if (needsEscape(c))
            out += QStringLiteral("\\u{%1}").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

void bridgeLog(const QString& text) {
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
         QStringLiteral(" qxbridge: ") + escapedForLog(text) + QLatin1Char('\n'))
            .toUtf8();
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.constData(), line.size());
}

} // namespace qx::bridge
