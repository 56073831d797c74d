// The conversion tools: BMP to JPEG, the screen cut and the layered-TIFF tool.
#pragma once

#include <memory>

namespace qx {
class TifToolLending;
}

namespace qx::control {

class ControlContext;

class Tools {
public:
    explicit Tools(ControlContext& control);
    ~Tools();

    void TransImg();
    void ScreenCut();
    // The tool window, its dialogs asked through the control's UI host when the tool library can
    // take one (the host's window kind "tif-tool"), else the library's own.
    void TifTool();
    // Takes the UI host back from the tool library; before the libraries are freed.
    void releaseTifTool();

private:
    ControlContext& m_control;
    std::unique_ptr<TifToolLending> m_tifLending; // while lent to the tool library
};

} // namespace qx::control
