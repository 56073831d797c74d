// AddWaterMark: stamping the last picture through the watermark dialog.
#pragma once

namespace qx::control {

class ControlContext;

class Watermark {
public:
    explicit Watermark(ControlContext& control) : m_control(control) {}

    int AddWaterMark();

private:
    [[maybe_unused]] ControlContext& m_control;
};

} // namespace qx::control
