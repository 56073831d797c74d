// Moving picture files without ever replacing another, and the file-error texts that report a refusal.
#pragma once

#include <QString>

namespace qx::desktop {

enum class FileError {
    None,
    Generic,
    FileNotFound,
    BadPath,
    AccessDenied,
    TooManyOpenFiles,
    HardIo,
    DiskFull
};

// Moves `from` to `to`. Never replaces an existing file (the move is atomic with respect to that
// check where the file system allows); a name containing '/' or naming "." or ".." is a bad path.
// Moving a file onto its own name succeeds without doing anything.
FileError moveFileNoReplace(const QString& from, const QString& to);

// Moves `from` onto `to`, replacing a file of that name in the same step: `to` always holds one of
// the two pictures, never neither. A folder at `to` is not replaced; the names follow the rules of
// moveFileNoReplace.
FileError moveFileReplacing(const QString& from, const QString& to);

// A name that stays inside its folder: not empty, no '/' or NUL, not "." or "..".
bool isPlainFileName(const QString& name);

// The folder part of a file path, with its trailing '/'; empty for a bare name.
QString folderOfFile(const QString& path);

// The file-error message for `error` naming `path`, e.g. "%1 was not found.".
QString fileErrorMessage(FileError error, const QString& path);

} // namespace qx::desktop
