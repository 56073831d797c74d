// The local file a transfer sends, opened so that a FIFO or device in its place cannot hang it.
#pragma once

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qx::net::detail {

// A regular file opened for reading, with its size; -1 (errno set) otherwise. The open does not block
// (a FIFO would wait for a writer for ever); the descriptor returned blocks as usual.
inline int openLocalFile(const std::string& path, off_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    size = info.st_size;
    return fd;
}

} // namespace qx::net::detail
