// Where pictures go: the capture folder rule and the dated merge folder of merge-mode captures.
#pragma once

#include <QString>
#include <optional>

namespace qx::control {

// The control's own box when CustomSavePath cannot be used.
inline constexpr const char* kBadSavePathBox = "请确保自定义图片保存路径(例如：C:\\)是正确的!";

class CaptureFolders {
public:
    // The capture folder rule shared by capture, the image list and merging: `customSavePath` when set
    // (it must end with '/' and be an existing folder), else the temporary folder; nothing when unusable.
    static std::optional<QString> captureFolder(const QString& customSavePath);
    // The dated merge folder below the capture folder, made when missing and remembered; the capture
    // folder itself when it cannot be made.
    QString mergeFolderFor(const QString& captureFolder);
    // The merge folder of the last merge capture; empty when there was none or it could not be made.
    const QString& mergeFolder() const { return m_mergeFolder; }
    // Deletes the merge folder with everything in it; false when there was none.
    bool removeMergeFolder();

private:
    QString m_mergeFolder;
};

} // namespace qx::control
