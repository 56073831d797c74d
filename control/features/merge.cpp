// MergeImage: merging the pictures taken in merge mode.
#include "control/core/control.h"

namespace qx::control {

int CMorvelQxWebCtrl::MergeImage() {
    // Merging the pictures of merge captures (one JPEG, a multi-page TIFF or PDF) is not built into
    // this control yet: it answers as it does when no merge picture waits, and the merge pictures stay
    // in their folder until the control goes.
    ownMessageBox(QStringLiteral("没有等待合并的图片，请先在合并模式下拍照!"));
    writeLog(QStringLiteral("没有等待合并的图片!"));
    return -5;
}

} // namespace qx::control
