// Whole-file reads and files replaced through a temporary file, shared by the readers and writers.
#pragma once

#include "qx/platform/files.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

namespace qx::imaging::detail {

// The bytes of a regular file; not zero-filled first, as pictures are large and read whole.
struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    std::size_t size = 0;
};
std::optional<FileBytes> readFile(const QString& path);

// A picture file opened for reading, for Qt's readers and stdio-based libraries: regular files only,
// so a FIFO or device in a picture's place fails at once instead of blocking (platform::openRegularFile).
std::unique_ptr<QFile> openForReading(const QString& path);
std::FILE* openStream(const QString& path);

// Reads up to `size` bytes at `offset`; the count read, or -1 on an error.
long long readAt(int fd, void* buffer, std::size_t size, uint64_t offset);

// Every writer of the chain replaces its file through the platform's ReplacingFile.
using platform::ReplacingFile;

} // namespace qx::imaging::detail
