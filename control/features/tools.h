// The conversion tools: BMP to JPEG, the screen cut and the layered-TIFF tool.
#pragma once

namespace qx::control {

class ControlContext;

class Tools {
public:
    explicit Tools(ControlContext& control) : m_control(control) {}

    void TransImg();
    void ScreenCut();
    void TifTool();

private:
    ControlContext& m_control;
};

} // namespace qx::control
