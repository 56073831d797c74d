// MergeImage: merging the pictures taken in merge mode.
#include "control/features/merge.h"

#include "control/core/control_context.h"

namespace qx::control {

bool mergeMode = false;

int Merge::MergeImage() {
    // Merging the pictures of merge captures (one JPEG, a multi-page TIFF or PDF) is not built into
    // this control yet: it answers as it does when no merge picture waits, and the merge pictures stay
    // in their folder until the control goes.
    m_control.ownMessageBox(QStringLiteral("没有等待合并的图片，请先在合并模式下拍照!"));
    m_control.writeLog(QStringLiteral("没有等待合并的图片!"));
    return -5;
}

bool Merge::IsMerge() {
    mergeMode = true;
    m_control.writeLog(QStringLiteral("选择合并模式!"));
    return true;
}

} // namespace qx::control
