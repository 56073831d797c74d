// Whole-file reads and files replaced through a temporary file, shared by the readers and writers.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace qx::imaging::detail {

// The bytes of a regular file; not zero-filled first, as pictures are large and read whole.
struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    std::size_t size = 0;
};
std::optional<FileBytes> readFile(const QString& path);

// Reads up to `size` bytes at `offset`; the count read, or -1 on an error.
long long readAt(int fd, void* buffer, std::size_t size, uint64_t offset);

// Writes go to a new file beside the target, which replaces the target only on commit(), so a
// failure half-way never leaves a truncated picture and an older file stays intact until then.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool open();
    // For libraries that open files by name themselves.
    const QByteArray& temporaryName() const { return m_temporary; }
    bool write(const void* data, std::size_t size);
    bool commit();

private:
    bool flush();

    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
    std::unique_ptr<uint8_t[]> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
    bool m_committed = false;
};

} // namespace qx::imaging::detail
