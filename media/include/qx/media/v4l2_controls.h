// The picture controls of a V4L2 camera, read and set through its device node.
#pragma once

#include "qx/media/camera_controls.h"

#include <QString>
#include <memory>

namespace qx::media {

class V4l2Controls : public CameraControls {
public:
    // Null when the node cannot be opened or reports no controls.
    static std::shared_ptr<V4l2Controls> open(const QString& node);
    ~V4l2Controls() override;

    std::vector<CameraControl> list() override;
    bool set(unsigned id, int value) override;

private:
    explicit V4l2Controls(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace qx::media
