// Writes the control log in UTF-8 with CR LF line ends and the local-time prefix of every line.
#include "control/core/control_log.h"

#include "qx/interface/identity.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QFile>
#include <QFileInfo>

namespace qx::control {

bool CControlLog::append(const QByteArray& bytes, bool mayCreate) {
    if (!mayCreate && !QFileInfo::exists(m_path))
        return false;
    QFile f(m_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    return ok;
}

void CControlLog::Open() {
    std::lock_guard lock(m_mutex);
    m_enabled = true;
    m_path = platform::tempFolder() + QLatin1String(kFileName);
    const bool exists = QFileInfo::exists(m_path);
    QByteArray bytes;
    if (exists)
        bytes += "\r\n";
    bytes += platform::logTimePrefix().toUtf8();
    bytes += kOpenLine;
    if (!exists)
        bytes += QByteArray("Version = ") + identity::kVersion;
    bytes += "\r\n";
    append(bytes, true);
}

void CControlLog::Write(const QString& text) {
    std::lock_guard lock(m_mutex);
    if (!m_enabled)
        return;
    append(platform::logTimePrefix().toUtf8() + text.toUtf8() + "\r\n", false);
}

} // namespace qx::control
