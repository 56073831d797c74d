// Implements the shared test helpers.
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstdlib>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qx::test {

Folder::Folder() : m_dir(QDir::tempPath() + QStringLiteral("/qxtest-XXXXXX")) {}

ScopedEnv::ScopedEnv(const char* name, const QString& value) : m_name(name) {
    if (const char* old = std::getenv(name))
        m_old = QByteArray(old);
    qputenv(name, value.toUtf8());
}

ScopedEnv::~ScopedEnv() {
    if (m_old)
        qputenv(m_name.constData(), *m_old);
    else
        qunsetenv(m_name.constData());
}

namespace {
bool capabilities(bool set, __user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}
constexpr uint32_t kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
} // namespace

ObeyFilePermissions::ObeyFilePermissions() {
    __user_cap_data_struct data[2] = {};
    if (!capabilities(false, data))
        return;
    m_savedEffective[0] = data[0].effective;
    m_savedEffective[1] = data[1].effective;
    if ((data[0].effective & kOverrides) == 0) {
        m_active = true; // an ordinary user obeys them anyway
        return;
    }
    data[0].effective &= ~kOverrides;
    m_active = capabilities(true, data);
    m_restore = m_active;
}

ObeyFilePermissions::~ObeyFilePermissions() {
    if (!m_restore)
        return;
    __user_cap_data_struct data[2] = {};
    if (!capabilities(false, data))
        return;
    data[0].effective = m_savedEffective[0];
    data[1].effective = m_savedEffective[1];
    capabilities(true, data);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

bool copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}

QStringList logTexts(const QString& logPath) {
    static const QRegularExpression prefix(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}-\\d{2}-\\d{2} : "));
    QStringList out;
    const QString text = QString::fromUtf8(readAll(logPath));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString line : lines)
        out << line.remove(prefix);
    return out;
}

QString binFolder() {
    return QStringLiteral(QX_BIN_DIR "/");
}
QString testlibFolder() {
    return QStringLiteral(QX_TESTLIB_DIR "/");
}

bool installTestLibraries(const QString& folder, const QStringList& variants) {
    for (const QString& variant : variants) {
        const QDir dir(testlibFolder() + variant);
        const QStringList libs = dir.entryList({QStringLiteral("*.so")}, QDir::Files);
        if (libs.isEmpty())
            return false;
        for (const QString& lib : libs)
            if (!copyFile(dir.filePath(lib), folder + lib))
                return false;
    }
    return true;
}

} // namespace qx::test
