// Small disks on tmpfs in a private mount namespace, folder snapshots and event-time faults.
#include "faults/fault_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qx::test {

namespace {
bool g_privateMounts = false;
QString g_namespaceError = QStringLiteral("the mount namespace was not set up");
} // namespace

bool enterPrivateMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0) {
        g_namespaceError =
            QStringLiteral("unshare(CLONE_NEWNS): %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_namespaceError =
            QStringLiteral("making / private: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    g_privateMounts = true;
    return true;
}

bool hasPrivateMountNamespace() {
    return g_privateMounts;
}

SmallDisk::SmallDisk(int kilobytes) : m_dir(QDir::tempPath() + QStringLiteral("/qxdisk-XXXXXX")) {
    if (!g_privateMounts) {
        m_skipReason =
            QStringLiteral("a small disk needs root to mount a tmpfs in a private mount namespace (%1)")
                .arg(g_namespaceError);
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_skipReason =
            QStringLiteral("mounting a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk() {
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

uint64_t SmallDisk::freePages() const {
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(m_dir.path()).constData(), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize / 4096;
}

bool SmallDisk::leaveFreePages(uint64_t pages) {
    const uint64_t now = freePages();
    if (now < pages)
        return false;
    QFile filler(path() + QStringLiteral(".filler-%1").arg(++m_fillers));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray page(4096, '\x5A');
    for (uint64_t i = 0; i < now - pages; ++i)
        if (filler.write(page) != page.size())
            return false;
    filler.close();
    return freePages() == pages;
}

bool SmallDisk::remountReadOnly() {
    return m_mounted && ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                                MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

FolderSnapshot::FolderSnapshot(const QString& folder) : m_folder(folder) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            m_files.insert(file, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256));
    }
}

QString FolderSnapshot::damaged() const {
    QStringList bad;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        QFile f(it.key());
        if (!f.open(QIODevice::ReadOnly))
            bad << it.key() + QStringLiteral(" (gone)");
        else if (QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) != it.value())
            bad << it.key() + QStringLiteral(" (changed)");
    }
    return bad.join(QLatin1String(", "));
}

QStringList FolderSnapshot::added() const {
    QStringList out;
    QDirIterator it(m_folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (!m_files.contains(file))
            out << QDir(m_folder).relativeFilePath(file);
    }
    out.sort();
    return out;
}

OnEvent::OnEvent(QObject* target, QEvent::Type type, std::function<void()> action)
    : m_target(target), m_type(type), m_action(std::move(action)) {
    m_target->installEventFilter(this);
}

OnEvent::~OnEvent() {
    m_target->removeEventFilter(this);
}

bool OnEvent::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_target && event->type() == m_type) {
        ++m_count;
        m_action();
    }
    return false;
}

} // namespace qx::test
