// The bridge's log: lines on standard error, which the session's journal keeps when systemd runs it.
#pragma once

#include <QString>

namespace qx::bridge {

// Writes one line. Control characters in `text` (a newline from a page among them) are escaped, so a
// logged value can never start a line of its own or move the terminal's cursor.
void bridgeLog(const QString& text);

// `text` with C0 and C1 control characters, DEL, the Unicode line and paragraph separators and the
// bidirectional overrides written as \n, \r, \t or \u{XXXX}, and '\' as "\\".
QString escapedForLog(const QString& text);

} // namespace qx::bridge
