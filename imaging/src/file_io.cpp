// POSIX file access for pictures: large unbuffered reads and replace-on-commit writes.
#include "file_io.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace qx::imaging::detail {

std::unique_ptr<QFile> openForReading(const QString& path) {
    auto file = std::make_unique<QFile>();
    if (!platform::openRegularFile(*file, path))
        return nullptr;
    return file;
}

std::FILE* openStream(const QString& path) {
    const int fd = platform::openRegularFile(path);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

long long readAt(int fd, void* buffer, std::size_t size, uint64_t offset) {
    auto* out = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

std::optional<FileBytes> readFile(const QString& path) {
    const int fd = platform::openRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<FileBytes> result;
    if (::fstat(fd, &st) == 0) {
        FileBytes bytes;
        bytes.size = static_cast<std::size_t>(st.st_size);
        try {
            bytes.data = std::make_unique_for_overwrite<uint8_t[]>(bytes.size ? bytes.size : 1);
        } catch (const std::bad_alloc&) {
            ::close(fd);
            return std::nullopt;
        }
        const long long n = readAt(fd, bytes.data.get(), bytes.size, 0);
        if (n >= 0) {
            // A file that shrank since fstat is taken as it is now.
            bytes.size = static_cast<std::size_t>(n);
            result = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

} // namespace qx::imaging::detail
