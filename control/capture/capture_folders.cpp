// The capture folder rule and the dated merge folder, shared by capture, the image list and merging.
#include "control/capture/capture_folders.h"

#include "control/core/folder_tree.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QDir>
#include <QFileInfo>

namespace qx::control {

std::optional<QString> CaptureFolders::captureFolder(const QString& custom) {
    if (custom.isEmpty())
        return platform::tempFolder();
    // An existing folder named with its trailing separator passes, even when it is empty.
    if (!custom.endsWith(QLatin1Char('/')) || !QFileInfo(custom).isDir())
        return std::nullopt;
    return custom;
}

QString CaptureFolders::mergeFolderFor(const QString& captureFolder) {
    const QString folder =
        platform::joinPath(captureFolder, platform::dateStamp() + QStringLiteral("-ForMerge/"));
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        m_mergeFolder.clear();
        return captureFolder;
    }
    m_mergeFolder = folder;
    return folder;
}

bool CaptureFolders::removeMergeFolder() {
    if (m_mergeFolder.isEmpty())
        return false;
    DeleteFolderTree(m_mergeFolder);
    return true;
}

} // namespace qx::control
