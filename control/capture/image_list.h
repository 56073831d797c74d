// The captured-image list: the pictures of one format named by the control in the capture folder.
#pragma once

#include <QString>
#include <array>

namespace qx::control {

class ControlContext;

inline constexpr int kImageSlots = 100;

class ImageList {
public:
    explicit ImageList(ControlContext& control) : m_control(control) {}

    // `saveFolder` is CustomSavePath as the capture folder rule takes it.
    int RefreshImgList(const QString& PhotoFormat, const QString& saveFolder);
    QString GetImgNameByIdx(short idx) const;
    short DeleteImg(short cursel, const QString& saveFolder);
    short DeleteImgByName(const QString& Img);

private:
    ControlContext& m_control;
    std::array<QString, kImageSlots> m_imageNames;
    int m_imageCount = 0;
};

} // namespace qx::control
