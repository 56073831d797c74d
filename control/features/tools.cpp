// The conversion tools: BMP to JPEG, the screen cut and the layered-TIFF tool.
#include "control/features/tools.h"

#include "control/core/control_context.h"
#include "control/core/outside_libraries.h"
#include "control/ui/input_player.h"
#include "control/ui/screen_cut_window.h"
#include "control/ui/screen_snapshot.h"
#include "qx/imaging/encoders.h"
#include "qx/interface/tif_tool_lending.h"
#include "qx/interface/ui_host.h"

namespace qx::control {

Tools::Tools(ControlContext& control) : m_control(control) {}

Tools::~Tools() {
    releaseTifTool();
}

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
    // The snapshot comes before the window exists, so the window never shows itself frozen.
    QString failure;
    std::optional<ScreenSnapshot> snapshot = takeScreenSnapshot(&failure);
    if (!snapshot) {
        m_control.writeLog(QStringLiteral("截屏失败，无法获取屏幕图像:") + failure);
        return;
    }
    CScreenCutWnd window(m_control.uiHost(), std::move(snapshot->image), snapshot->depth,
                         [this](const QString& line) { m_control.writeLog(line); });
    m_control.uiHost().runDialog(&window, QStringLiteral("screen-cut"), [&window](const QVariant& answer) {
        InputPlayer(window, QStringLiteral("screen-cut")).play(answer.toList());
    });
}

void Tools::TifTool() {
    OutsideLibraries& libraries = m_control.libraries();
    if (libraries.showPlatformWithHost) {
        if (!m_tifLending)
            m_tifLending = std::make_unique<TifToolLending>(m_control.uiHost());
        libraries.showPlatformWithHost(m_tifLending->table());
    } else if (libraries.showPlatform) {
        libraries.showPlatform();
    }
}

void Tools::releaseTifTool() {
    if (!m_tifLending)
        return;
    // The functions are bound while the library is loaded; the library keeps our table until told.
    if (auto release = m_control.libraries().releasePlatformHost)
        release(m_tifLending->table());
    m_tifLending.reset();
}

} // namespace qx::control
