// The conversion tools: BMP to JPEG, the screen cut and the layered-TIFF tool.
#include "control/features/tools.h"

#include "control/core/control_context.h"
#include "control/core/outside_libraries.h"
#include "qx/imaging/encoders.h"
#include "qx/interface/ui_host.h"

namespace qx::control {

void Tools::TransImg() {
    FileDialogOptions source;
    source.filter = QStringLiteral("位图文件(*.bmp)");
    source.defaultSuffix = QStringLiteral("bmp");
    const auto from = m_control.uiHost().openFiles(m_control.controlWindow(), source);
    if (!from || from->isEmpty())
        return;
    FileDialogOptions target;
    target.filter = QStringLiteral("JPG文件(*.jpg)");
    target.defaultSuffix = QStringLiteral("jpg");
    target.overwritePrompt = true;
    const auto to = m_control.uiHost().saveFile(m_control.controlWindow(), target);
    if (!to)
        return;
    const bool converted = imaging::convertBmpToJpeg(from->first(), *to, m_control.settings().jpegQuality);
    m_control.ownMessageBox(converted ? QStringLiteral("转换成功!") : QStringLiteral("转换失败!"));
}

void Tools::ScreenCut() {
    // No screen-cut window is built into this control; the call returns as a cancelled cut does.
}

void Tools::TifTool() {
    if (auto show = m_control.libraries().showPlatform)
        show();
}

} // namespace qx::control
