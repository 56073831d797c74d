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

namespace {

// Large enough that a picture leaves in a few system calls, small enough to stay in cache.
constexpr std::size_t kBufferSize = 1 << 20;

bool writeFully(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<FileBytes> result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
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

ReplacingFile::ReplacingFile(const QString& target) : m_target(QFile::encodeName(target)) {}

ReplacingFile::~ReplacingFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

bool ReplacingFile::open() {
    if (m_fd >= 0 || m_target.isEmpty())
        return false;
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".~%d-%u", static_cast<int>(::getpid()), counter++);
        const QByteArray name = m_target + suffix;
        // 0666 lets the umask decide, as for any file the user creates.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = name;
            struct stat st {};
            // A replaced file keeps its permissions.
            if (::stat(m_target.constData(), &st) == 0 && S_ISREG(st.st_mode))
                ::fchmod(m_fd, st.st_mode & 07777);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool ReplacingFile::flush() {
    if (m_used > 0 && !m_failed && !writeFully(m_fd, m_buffer.get(), m_used))
        m_failed = true;
    m_used = 0;
    return !m_failed;
}

bool ReplacingFile::write(const void* data, std::size_t size) {
    if (m_fd < 0 || m_failed)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    // Allocated on the first write: writers that hand libraries the file name never need it.
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
    if (m_used + size <= kBufferSize) {
        std::memcpy(m_buffer.get() + m_used, p, size);
        m_used += size;
        return true;
    }
    if (!flush())
        return false;
    if (size >= kBufferSize / 2) {
        if (!writeFully(m_fd, p, size))
            m_failed = true;
        return !m_failed;
    }
    std::memcpy(m_buffer.get(), p, size);
    m_used = size;
    return true;
}

bool ReplacingFile::commit() {
    if (m_fd < 0 || m_committed)
        return false;
    const bool written = flush();
    // No fsync: the chain's files are working copies converted within moments, and the rename
    // already keeps the old file whole on any failure short of a power cut.
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!written || !closed)
        return false;
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        return false;
    m_committed = true;
    return true;
}

} // namespace qx::imaging::detail
