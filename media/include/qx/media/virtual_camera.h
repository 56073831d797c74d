// Virtual document cameras: what QX_VIRTUAL_CAMERAS describes, and the frames they deliver.
#pragma once

#include "qx/media/camera_controls.h"
#include "qx/media/devices.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace qx::media {

struct VirtualCameraSpec {
    unsigned vendorId = 0x2e7a;
    unsigned productId = 0;
    std::vector<VideoFormat> formats;
    // Faults of a camera that fails as real ones do, counted in frames of each stream: after
    // `stallAfter` frames the stream delivers nothing more and stays open (a hung camera); after
    // `unplugAfter` frames the camera is unplugged (the stream fails and the camera is gone).
    std::optional<uint64_t> stallAfter;
    std::optional<uint64_t> unplugAfter;
    // A camera that shows a video file instead of the document scene: any file GStreamer decodes,
    // played at its own speed, scaled to fit the camera's size (aspect kept, on black). At its end the
    // stream ends (as a camera that stopped) or, with `loop`, starts again from the beginning.
    QString videoFile;
    bool loop = false;
};

// Parses "[VID:]PID:SIZES[!OPTION]...,..." where SIZES is "WxH;WxH/mjpg;..." and OPTION is
// "stall-after=N", "unplug-after=N", "file=PATH" or "loop", each at most once; ids are hexadecimal;
// PATH is percent-decoded (a comma, '!' or '%' in it is written %2C, %21, %25). Returns nothing and
// sets `error` when the text does not follow that form.
std::optional<std::vector<VirtualCameraSpec>> parseVirtualCameras(const QString& text,
                                                                  QString* error = nullptr);

// One camera as parseVirtualCameras reads it, with both ids and every size and option written out.
QString describeVirtualCamera(const VirtualCameraSpec& spec);

// The frame rate a virtual camera offers at a size: 30 up to 1920 x 1080, 15 above.
int virtualFrameRate(int width, int height);

// One virtual camera: its formats, its picture controls, and a frame generator for a size.
class VirtualCamera : public CameraControls {
public:
    VirtualCamera(VirtualCameraSpec spec, int index);

    const VirtualCameraSpec& spec() const { return m_spec; }
    int index() const { return m_index; }

    std::vector<CameraControl> list() override;
    bool set(unsigned id, int value) override;

    // An unplugged camera stays away for the rest of the process: it is not enumerated again, also
    // when the same description is read anew, and no stream of it delivers a frame.
    bool unplugged() const { return m_unplugged.load(); }
    void unplug();
    // Applies the picture controls (brightness, contrast, saturation) to YUY2 bytes in place.
    void adjust(uint8_t* yuy2, std::size_t bytes) const;

    // Produces the YUY2 frames of one size: a document on a desk, or the picture of QX_VIRTUAL_SCENE.
    class Generator {
    public:
        Generator(const VirtualCamera& camera, int width, int height);
        int width() const { return m_width; }
        int height() const { return m_height; }
        std::size_t frameBytes() const { return static_cast<std::size_t>(m_width) * m_height * 2; }
        // Writes frame number `n` into `out` (frameBytes() bytes).
        void frame(uint64_t n, uint8_t* out) const;

    private:
        const VirtualCamera& m_camera;
        int m_width;
        int m_height;
        int m_margin = 0;     // the scene is this much larger on every side, for the slow drift
        int m_sceneWidth = 0; // in pixels, even
        bool m_still = false;
        std::vector<std::vector<uint8_t>> m_variants; // noisy YUY2 renderings of the scene
    };

    // The document scene at a size, in RGB, drawn once per generator.
    static QImage renderDocumentScene(int width, int height);
    // The page's corners in that scene, clockwise from the top-left.
    static std::array<QPointF, 4> documentCorners(int width, int height);

private:
    friend class Generator;
    VirtualCameraSpec m_spec;
    int m_index;
    std::atomic<int> m_brightness{0};   // -100..100, added to luma
    std::atomic<int> m_contrast{100};   // percent
    std::atomic<int> m_saturation{100}; // percent
    std::atomic<bool> m_unplugged{false};
};

} // namespace qx::media
