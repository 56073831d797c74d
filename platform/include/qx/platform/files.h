// Files the system reads and replaces: regular files only, opened without hanging on a FIFO, and
// replacements that keep the replaced file's permissions.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <cstddef>
#include <memory>

namespace qx::platform {

// Opens `path` for reading when it names a regular file (links followed). The open itself does not
// block, so a FIFO or a device put where a picture is expected fails at once instead of hanging the
// caller; the descriptor returned blocks as usual. -1 on failure with errno set (EINVAL for a file
// that is not a regular file).
int openRegularFile(const QString& path);

// `file` opened read-only on openRegularFile(path) (it closes the descriptor); false when that fails.
bool openRegularFile(QFile& file, const QString& path);

// Whether `path` names a regular file, checked without opening it.
bool isRegularFile(const QString& path);

// Writes go to a new file beside the target, which replaces the target only on commit(), so a
// failure half-way never leaves a truncated file and an older file stays intact until then. The new
// file takes the permission bits of the file it replaces (the umask's choice when there is none).
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
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
    bool m_committed = false;
};

// `target` replaced by `bytes` through a ReplacingFile.
bool replaceFileContents(const QString& target, QByteArrayView bytes);

// Renames `from` over `to` in one step. When `to` is a regular file already, `from` first takes its
// permission bits: a picture replaced in place (stamped, renamed over, rewritten) keeps the mode its
// owner gave it. False, with both files as they were, when the rename fails.
bool renameReplacing(const QString& from, const QString& to);

// A new empty file beside `target` ("<target>.~<pid>-<n>"), created exclusively, for a caller that
// writes and checks a replacement before renameReplacing() puts it in place. Empty on failure.
QString createSiblingFile(const QString& target);

} // namespace qx::platform
