// Picture moves that never replace another file, and the file-error texts naming the refused path.
#include "qx/desktop/file_ops.h"

#include "qx/platform/files.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx::desktop {

namespace {

FileError fromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return FileError::BadPath;
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ETXTBSY:
    case EXDEV:
        return FileError::AccessDenied;
    case EMFILE:
    case ENFILE:
        return FileError::TooManyOpenFiles;
    case EIO:
        return FileError::HardIo;
    case ENOSPC:
    case EDQUOT:
        return FileError::DiskFull;
    default:
        return FileError::Generic;
    }
}

} // namespace

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

namespace {

// The checks both moves make before touching anything; None when the move may go ahead (or, for
// `from` equal to `to`, has nothing to do: `same` is then set).
FileError checkMove(const QString& from, const QString& to, bool& same) {
    struct stat st {};
    if (::lstat(QFile::encodeName(from).constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileError::FileNotFound : fromErrno(errno);
    if (!isPlainFileName(to.mid(to.lastIndexOf(QLatin1Char('/')) + 1)) || to.contains(QChar(0)))
        return FileError::BadPath;
    same = from == to;
    return FileError::None;
}

} // namespace

FileError moveFileReplacing(const QString& from, const QString& to) {
    bool same = false;
    if (const FileError error = checkMove(from, to, same); error != FileError::None || same)
        return error;
    // One rename swaps the name over, so the older picture goes only once the newer one holds its
    // name; the newer takes the older one's permissions, as any replacement in place does.
    if (platform::renameReplacing(from, to))
        return FileError::None;
    return fromErrno(errno);
}

FileError moveFileNoReplace(const QString& from, const QString& to) {
    bool same = false;
    if (const FileError error = checkMove(from, to, same); error != FileError::None || same)
        return error;
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return FileError::None;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the no-replace flag: a hard link fails on an existing name just the same.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return FileError::None;
        }
        error = errno;
        if (error != EEXIST && ::access(target.constData(), F_OK) != 0) {
            // No hard links either (FAT, some network shares): check, then move.
            if (::rename(source.constData(), target.constData()) == 0)
                return FileError::None;
            error = errno;
        }
    }
    return fromErrno(error);
}

QString folderOfFile(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString fileErrorMessage(FileError error, const QString& path) {
    const char* text = "";
    switch (error) {
    case FileError::None:
        return QString();
    case FileError::Generic:
        text = "An unknown error occurred while accessing %1.";
        break;
    case FileError::FileNotFound:
        text = "%1 was not found.";
        break;
    case FileError::BadPath:
        text = "%1 contains an invalid path.";
        break;
    case FileError::AccessDenied:
        text = "Access to %1 was denied.";
        break;
    case FileError::TooManyOpenFiles:
        text = "%1 could not be opened because there are too many open files.";
        break;
    case FileError::HardIo:
        text = "A hardware I/O error was reported while accessing %1.";
        break;
    case FileError::DiskFull:
        text = "Disk full while accessing %1.";
        break;
    }
    return QString::fromLatin1(text).arg(path);
}

} // namespace qx::desktop
