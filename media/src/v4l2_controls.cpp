// Integer, boolean and menu controls of a V4L2 device (VIDIOC_QUERYCTRL, VIDIOC_G_CTRL, VIDIOC_S_CTRL).
#include "qx/media/v4l2_controls.h"

#include <QFile>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qx::media {

std::shared_ptr<V4l2Controls> V4l2Controls::open(const QString& node) {
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<V4l2Controls> controls(new V4l2Controls(fd));
    if (controls->list().empty())
        return nullptr;
    return controls;
}

V4l2Controls::~V4l2Controls() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::vector<CameraControl> V4l2Controls::list() {
    std::vector<CameraControl> out;
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (ioctl(m_fd, VIDIOC_QUERYCTRL, &q) == 0) {
        const bool usable = !(q.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) &&
                            (q.type == V4L2_CTRL_TYPE_INTEGER || q.type == V4L2_CTRL_TYPE_BOOLEAN ||
                             q.type == V4L2_CTRL_TYPE_MENU);
        if (usable) {
            v4l2_control c{};
            c.id = q.id;
            const int value = ioctl(m_fd, VIDIOC_G_CTRL, &c) == 0 ? c.value : q.default_value;
            out.push_back({q.id, QString::fromUtf8(reinterpret_cast<const char*>(q.name)), q.minimum,
                           q.maximum, q.step > 0 ? q.step : 1, q.default_value, value});
        }
        q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return out;
}

bool V4l2Controls::set(unsigned id, int value) {
    v4l2_control c{};
    c.id = id;
    c.value = value;
    return ioctl(m_fd, VIDIOC_S_CTRL, &c) == 0;
}

} // namespace qx::media
