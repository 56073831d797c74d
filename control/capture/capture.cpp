// Morvel: choosing the capture path and its first checks.
#include "control/core/control.h"
#include "qx/platform/folders.h"

#include <QFileInfo>

namespace qx::control {

std::optional<QString> CMorvelQxWebCtrl::captureFolder() const {
    if (m_p.CustomSavePath.isEmpty())
        return platform::tempFolder();
    // An existing folder named with its trailing separator passes, even when it is empty.
    if (!m_p.CustomSavePath.endsWith(QLatin1Char('/')) || !QFileInfo(m_p.CustomSavePath).isDir())
        return std::nullopt;
    return m_p.CustomSavePath;
}

int CMorvelQxWebCtrl::Morvel(const QString& PhotoFormat) {
    writeLog(QStringLiteral("开始拍照"));
    m_s.lastFormat = PhotoFormat.toLower();
    if (!m_s.cameraDevice) {
        // Normal and normal-merge paths: they need the normal preview's frames.
        if (!m_s.normalPreviewOn) {
            writeLog(QStringLiteral("非预览状态，抓图失败!"));
            return -10;
        }
    } else if (!m_s.edgePreviewOn) {
        writeLog(QStringLiteral("非寻边预览状态，抓图失败!"));
        return -10;
    }
    // No preview of either kind can run in this control, so no frame source exists past the checks.
    writeLog(QStringLiteral("非预览状态，抓图失败!"));
    return -10;
}

} // namespace qx::control
