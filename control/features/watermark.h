// AddWaterMark: stamping the last picture through the watermark dialog.
#pragma once

#include <QString>

namespace qx::control {

class ControlContext;

class Watermark {
public:
    explicit Watermark(ControlContext& control) : m_control(control) {}

    // Always 0. The picture is replaced only by a stamped picture that was written and reads back.
    // `showBox` is bShowMsgBox: the success box.
    int AddWaterMark(const QString& picture, bool showBox);

private:
    // Puts the stamped BMP in place of the picture by its extension; false (logged) when nothing
    // was replaced.
    bool replacePicture(const QString& picture, const QString& stamped);

    ControlContext& m_control;
};

} // namespace qx::control
