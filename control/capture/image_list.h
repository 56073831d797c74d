// The captured-image list: the pictures of one format named by the control in the capture folder.
#pragma once

#include <QString>
#include <array>

namespace qx::control {

class CaptureFolders;
class ControlContext;

inline constexpr int kImageSlots = 100;

class ImageList {
public:
    ImageList(ControlContext& control, CaptureFolders& folders) : m_control(control), m_folders(folders) {}

    int RefreshImgList(const QString& PhotoFormat);
    QString GetImgNameByIdx(short idx) const;
    short DeleteImg(short cursel);
    short DeleteImgByName(const QString& Img);

private:
    ControlContext& m_control;
    CaptureFolders& m_folders;
    std::array<QString, kImageSlots> m_imageNames;
    int m_imageCount = 0;
};

} // namespace qx::control
