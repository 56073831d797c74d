// The camera library's device: one camera of a model's role, its live preview and its captures.
#pragma once

#include "edge_finder.h"
#include "qx/interface/kelpo_device.h"
#include "qx/media/devices.h"
#include "qx/media/preview_pipeline.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace qx::kelpo {

class CameraDevice final : public KelpoDevice {
public:
    explicit CameraDevice(int32_t modelId);
    ~CameraDevice();

    static bool isKnownModel(int32_t modelId);

    int32_t GetDeviceState() override;
    int32_t OpenDevice(int32_t mode) override;
    int32_t GetOutputDpiX() override { return m_dpiX; }
    int32_t GetOutputDpiY() override { return m_dpiY; }
    int32_t SetCaptureSize(int32_t width, int32_t height) override;
    int32_t SetCaptureFormat(uint32_t fourcc) override;
    int32_t SetCropMargin(int32_t margin) override;
    int32_t SetPreviewWindow(void* window, void* window2) override;
    int32_t SetCropEnabled(int32_t enabled) override;
    int32_t SetAutoCrop(int32_t enabled) override;
    int32_t IsAutoMode() override { return m_autoMode ? 1 : 0; }
    int32_t SetCaptureOption(int32_t option) override;
    int32_t IsPlaying() override { return m_playing ? 1 : 0; }
    int32_t StartPlay(int32_t mode) override;
    int32_t StopPlay() override;
    int32_t ReleaseImage() override;
    int32_t ShowSettings(void* owner) override;
    int32_t Capture() override;
    const uint8_t* GetImageData() override;
    int32_t GetImageSize() override;
    int32_t SetOutputDpi(int32_t x, int32_t y, int32_t reserved) override;
    int32_t SetAutoMode(int32_t enabled) override;

    // The optional exports (see kelpo_device.h).
    int32_t setEdgeConfidence(int32_t percent);
    int32_t captureOutcome() const { return m_outcome; }

private:
    void onFrame(const media::FrameView& frame);

    int32_t m_modelId;
    int m_width = 0;
    int m_height = 0;
    uint32_t m_fourcc = kFourccYuy2;
    std::atomic<int> m_cropMargin{0};
    std::atomic<bool> m_cropEnabled{false};
    std::atomic<bool> m_autoCrop{false};
    std::atomic<bool> m_autoMode{false};
    std::atomic<double> m_minConfidence{kDefaultMinConfidence};
    int32_t m_outcome = 0;
    std::atomic<KelpoPreviewWindow*> m_window{nullptr};
    int m_dpiX = 0;
    int m_dpiY = 0;
    bool m_dpiSet = false;

    std::unique_ptr<media::PreviewPipeline> m_pipeline;
    QString m_cameraName;
    bool m_playing = false;

    // Streaming thread state.
    uint64_t m_frameNumber = 0;
    std::mutex m_outlineMutex;
    std::optional<Quad> m_outline; // the last outline the preview found

    // The newest frame, which a capture takes at once: it is the picture on the screen when 拍照 was
    // pressed, and waiting for the next one would cost up to a frame interval (66 ms at 15 frames per
    // second). A capture takes the buffer itself, so two captures never get the same frame, and only
    // a frame younger than kLatestMaxAge counts: a camera that stopped delivering fails the capture
    // instead of handing on an old picture.
    std::mutex m_latestMutex;
    cv::Mat m_latest;
    std::chrono::steady_clock::time_point m_latestTime;

    // Without a fresh frame a capture waits for the next one.
    std::mutex m_captureMutex;
    std::condition_variable m_captured;
    bool m_captureRequested = false;
    cv::Mat m_captureFrame;

    std::vector<uint8_t> m_image; // the captured BMP file image
};

} // namespace qx::kelpo
