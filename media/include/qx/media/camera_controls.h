// Adjustable picture controls of a camera (brightness, contrast, ...), real or virtual.
#pragma once

#include <QString>
#include <vector>

namespace qx::media {

struct CameraControl {
    unsigned id = 0;
    QString name;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    int value = 0;
};

class CameraControls {
public:
    virtual ~CameraControls() = default;
    virtual std::vector<CameraControl> list() = 0;
    virtual bool set(unsigned id, int value) = 0;
};

} // namespace qx::media
