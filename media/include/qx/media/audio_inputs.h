// Audio inputs for recordings with sound: the virtual tone of QX_VIRTUAL_AUDIO and the real ones.
#pragma once

#include "qx/media/gst_util.h"

#include <QString>
#include <vector>

namespace qx::media {

struct AudioInput {
    QString name;
    DeviceRef device; // null for the virtual input
    bool isVirtual() const { return !device; }
};

// QX_VIRTUAL_AUDIO set and not empty adds one virtual input (a test tone) before any real one.
// The real inputs are the device monitor's "Audio/Source" devices in its order, without the monitor
// sources that only echo an output.
std::vector<AudioInput> enumerateAudioInputs();

// A live source element of the input (null when it cannot be made).
ElementRef makeAudioSource(const AudioInput& input, const char* name);

} // namespace qx::media
