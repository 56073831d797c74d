// Helpers shared by the suites: fresh folders, file contents, the log file and scoped environment.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>

namespace qx::test {

// A fresh folder removed with everything in it at the end of the test; path() ends with '/'.
class Folder {
public:
    Folder();
    QString path() const { return m_dir.path() + QLatin1Char('/'); }
    QString file(const QString& name) const { return path() + name; }

private:
    QTemporaryDir m_dir;
};

// Sets an environment variable for the scope and restores the previous value afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_old;
};

// For its scope the calling thread obeys file permissions as any user does, even as root (it drops
// the capabilities that override them), so unreadable and read-only files can be tested in CI, which
// runs as root. Threads started meanwhile keep the reduced set.
class ObeyFilePermissions {
public:
    ObeyFilePermissions();
    ~ObeyFilePermissions();
    ObeyFilePermissions(const ObeyFilePermissions&) = delete;
    ObeyFilePermissions& operator=(const ObeyFilePermissions&) = delete;
    // Whether permissions are obeyed now (false when the capabilities could not be dropped).
    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_restore = false;
    uint32_t m_savedEffective[2] = {0, 0};
};

QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);
bool copyFile(const QString& from, const QString& to);

// The texts of the control log's lines (time prefixes removed), in order; "" for empty lines.
QStringList logTexts(const QString& logPath);

// The build's folders, from compile definitions.
QString binFolder();     // the deliverables
QString testlibFolder(); // the test-only outside libraries, one sub-folder per variant

// Copies the test outside library variants named (sub-folders of testlibFolder(), e.g.
// "camera_full") into `folder`.
bool installTestLibraries(const QString& folder, const QStringList& variants);

} // namespace qx::test
