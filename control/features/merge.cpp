// MergeImage: merging the pictures taken in merge mode.
#include "control/core/control.h"

namespace qx::control {

int CMorvelQxWebCtrl::MergeImage() {
    // Merge-mode pictures are written only by merge captures, and no capture path of this control
    // produces them, so there is never anything to merge.
    ownMessageBox(QStringLiteral("没有等待合并的图片，请先在合并模式下拍照!"));
    writeLog(QStringLiteral("没有等待合并的图片!"));
    return -5;
}

} // namespace qx::control
