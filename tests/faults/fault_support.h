// Tools of the fault suite: small disks that fill up, folder snapshots, and faults set on events.
#pragma once

#include <QByteArray>
#include <QEvent>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>

namespace qx::test {

// Moves the process into a mount namespace of its own, whose mounts do not propagate back; false
// (and nothing changes) without the right to do so.
bool enterPrivateMountNamespace();
bool hasPrivateMountNamespace();

// A tmpfs of a few hundred kilobytes, mounted for the test's lifetime. It needs root (CI runs as
// root); skipReason() says why it could not be had.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes = 1024);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString skipReason() const { return m_skipReason; }
    QString path() const { return m_dir.path() + QLatin1Char('/'); }

    // Pages of 4 KB still free.
    uint64_t freePages() const;
    // Fills the disk with a file of its own until exactly `pages` pages are left.
    bool leaveFreePages(uint64_t pages);
    bool remountReadOnly();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_skipReason;
    int m_fillers = 0;
};

// Pages a file of `bytes` takes on a tmpfs.
inline uint64_t pagesFor(uint64_t bytes) {
    return (bytes + 4095) / 4096;
}

// Every file below a folder with its bytes, to show afterwards that none was lost or changed.
class FolderSnapshot {
public:
    explicit FolderSnapshot(const QString& folder);
    // The files of the snapshot that are missing or differ now ("" when all are intact).
    QString damaged() const;
    // The files below the folder now that the snapshot did not have.
    QStringList added() const;

private:
    QString m_folder;
    QMap<QString, QByteArray> m_files;
};

// Runs `action` when `target` receives an event of `type`, before the target handles it.
class OnEvent : public QObject {
public:
    OnEvent(QObject* target, QEvent::Type type, std::function<void()> action);
    ~OnEvent() override;
    int count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_target;
    QEvent::Type m_type;
    std::function<void()> m_action;
    int m_count = 0;
};

} // namespace qx::test
