// The conversion tools: BMP to JPEG, the screen cut and the layered-TIFF tool.
#include "control/core/control.h"
#include "control/core/outside_libraries.h"
#include "qx/imaging/encoders.h"

namespace qx::control {

void CMorvelQxWebCtrl::TransImg() {
    FileDialogOptions source;
    source.filter = QStringLiteral("位图文件(*.bmp)");
    source.defaultSuffix = QStringLiteral("bmp");
    const auto from = m_ui->openFiles(this, source);
    if (!from || from->isEmpty())
        return;
    FileDialogOptions target;
    target.filter = QStringLiteral("JPG文件(*.jpg)");
    target.defaultSuffix = QStringLiteral("jpg");
    target.overwritePrompt = true;
    const auto to = m_ui->saveFile(this, target);
    if (!to)
        return;
    const bool converted = imaging::convertBmpToJpeg(from->first(), *to, m_s.jpegQuality);
    ownMessageBox(converted ? QStringLiteral("转换成功!") : QStringLiteral("转换失败!"));
}

void CMorvelQxWebCtrl::ScreenCut() {
    // No screen-cut window is built into this control; the call returns as a cancelled cut does.
}

void CMorvelQxWebCtrl::TifTool() {
    if (auto show = OutsideLibraries::instance().showPlatform)
        show();
}

} // namespace qx::control
