// Private-profile (INI) reads and writes with the Windows semantics the system's settings files rely on.
#pragma once

#include <QString>

namespace qx::platform {

// Reads `key` of `section` from the INI file at `path`. Returns `defaultValue` when the file, the
// section or the key is missing. Section and key names compare without regard to case; the first
// section and the first key of a name win, as on Windows. The value is trimmed of surrounding blanks
// and one pair of enclosing quotes, and cut to `bufferSize` - 1 characters as a caller's buffer of
// that size would cut it (a default value is cut the same way, after dropping its trailing spaces as
// Windows does). A `bufferSize` below 1 gives "". A UTF-8 byte-order mark is skipped.
QString readProfileString(const QString& path, const QString& section, const QString& key,
                          const QString& defaultValue, int bufferSize);

// Writes `key` = `value` into `section` of the INI file at `path`, creating the file, the section or
// the key when missing; every other line of the file is kept byte for byte. An existing key keeps its
// spelling and position. Files are UTF-8; a new file gets no byte-order mark and one already there is
// kept. New lines end in CR LF unless the file already uses LF only. The parent folder is never
// created. Returns false when the file cannot be written.
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);

// The number at the start of a profile value, read as the C library's atoi reads it: leading blanks,
// an optional sign, then the digits up to the first other character; 0 when there are none. Values
// beyond 32 bits are clamped to +/-2147483647.
int decimalPrefix(const QString& text);

} // namespace qx::platform
