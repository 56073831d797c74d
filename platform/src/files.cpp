// Regular-file opens that never block, and replacements through a sibling file and a rename.
#include "qx/platform/files.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx::platform {

namespace {

// Large enough that a picture leaves in a few system calls, small enough to stay in cache.
constexpr std::size_t kBufferSize = 1 << 20;

bool writeFully(int fd, const unsigned char* data, std::size_t size) {
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

// The permission bits of `path` when it is a regular file.
bool regularFileMode(const QByteArray& path, mode_t& mode) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    mode = st.st_mode & 07777;
    return true;
}

// Creates "<target>.~<pid>-<n>" exclusively; its descriptor, and the name in `name`.
int createSibling(const QByteArray& target, QByteArray& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".~%d-%u", static_cast<int>(::getpid()), counter++);
        name = target + suffix;
        // 0666 lets the umask decide, as for any file the user creates.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

int openRegularFile(const QString& path) {
    if (path.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    // O_NONBLOCK: opening a FIFO for reading waits for a writer, and some devices wait for a carrier.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool openRegularFile(QFile& file, const QString& path) {
    const int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool isRegularFile(const QString& path) {
    mode_t mode = 0;
    return !path.isEmpty() && regularFileMode(QFile::encodeName(path), mode);
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
    QByteArray name;
    const int fd = createSibling(m_target, name);
    if (fd < 0)
        return false;
    m_fd = fd;
    m_temporary = name;
    mode_t mode = 0;
    if (regularFileMode(m_target, mode))
        ::fchmod(m_fd, mode);
    return true;
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
    const auto* p = static_cast<const unsigned char*>(data);
    // Allocated on the first write: writers that hand libraries the file name never need it.
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<unsigned char[]>(kBufferSize);
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

bool replaceFileContents(const QString& target, QByteArrayView bytes) {
    ReplacingFile file(target);
    return file.open() && file.write(bytes.data(), static_cast<std::size_t>(bytes.size())) && file.commit();
}

bool renameReplacing(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    mode_t mode = 0;
    if (regularFileMode(target, mode))
        ::chmod(source.constData(), mode);
    return ::rename(source.constData(), target.constData()) == 0;
}

QString createSiblingFile(const QString& target) {
    QByteArray name;
    const int fd = createSibling(QFile::encodeName(target), name);
    if (fd < 0)
        return {};
    ::close(fd);
    return QFile::decodeName(name);
}

} // namespace qx::platform
