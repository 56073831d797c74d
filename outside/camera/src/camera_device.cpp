// Device operations over the media layer's preview: binding by role, outline finding in the preview,
// and captures cut to the document and kept as BMP file images.
#include "camera_device.h"

#include "qx/imaging/bmp_layout.h"
#include "qx/media/camera_roles.h"

#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cmath>
#include <cstring>

namespace qx::kelpo {

namespace {

constexpr int32_t kMainModel = 520701;
constexpr int32_t kAuxModel = 520702;
constexpr int32_t kCashModel = 520703;
// The field of view of the stand is 12.112 inches wide.
constexpr double kPixelsPerInchPerPixel = 0.08256172861802936;
constexpr auto kCaptureTimeout = std::chrono::seconds(3);
// Two frame intervals of the slowest stream (15 frames per second) and some scheduling slack.
constexpr auto kLatestMaxAge = std::chrono::milliseconds(250);
// Outline finding costs a few milliseconds per frame; the preview looks a few times a second.
constexpr uint64_t kFramesPerOutline = 4;

media::CameraRole roleOfModel(int32_t model) {
    return model == kAuxModel    ? media::CameraRole::Auxiliary
           : model == kCashModel ? media::CameraRole::Cash
                                 : media::CameraRole::Main;
}

std::vector<uint8_t> bmpFileImage(const cv::Mat& bgr, int dpiX, int dpiY) {
    const std::size_t rowBytes = static_cast<std::size_t>(bgr.cols) * 3;
    const std::size_t stride = bmp::rowStride(bgr.cols, 24);
    const std::size_t pixels = stride * static_cast<std::size_t>(bgr.rows);
    std::vector<uint8_t> out(bmp::kHeadersSize + pixels, 0);
    bmp::Header header;
    header.width = bgr.cols;
    header.height = bgr.rows; // bottom-up rows
    header.imageSize = static_cast<uint32_t>(pixels);
    header.ppmX = bmp::pixelsPerMetre(dpiX);
    header.ppmY = bmp::pixelsPerMetre(dpiY);
    bmp::writeHeaders(header, out.data());
    uint8_t* rows = out.data() + bmp::kHeadersSize;
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(rows + static_cast<std::size_t>(bgr.rows - 1 - y) * stride, bgr.ptr(y), rowBytes);
    return out;
}

} // namespace

bool CameraDevice::isKnownModel(int32_t modelId) {
    return modelId == kMainModel || modelId == kAuxModel || modelId == kCashModel;
}

CameraDevice::CameraDevice(int32_t modelId) : m_modelId(modelId) {
    m_autoMode = modelId == kMainModel;
}

CameraDevice::~CameraDevice() {
    StopPlay();
}

int32_t CameraDevice::GetDeviceState() {
    return m_playing && m_pipeline && m_pipeline->isRunning() ? 0 : 1;
}

int32_t CameraDevice::OpenDevice(int32_t) {
    return m_modelId == kMainModel ? 1 : 0;
}

int32_t CameraDevice::SetCaptureSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        return 0;
    m_width = width;
    m_height = height;
    if (!m_dpiSet)
        m_dpiX = m_dpiY = static_cast<int>(width * kPixelsPerInchPerPixel);
    return 1;
}

int32_t CameraDevice::SetCaptureFormat(uint32_t fourcc) {
    if (fourcc != kFourccYuy2)
        return 0;
    m_fourcc = fourcc;
    return 1;
}

int32_t CameraDevice::SetCropMargin(int32_t margin) {
    if (margin < -100 || margin > 100)
        return 0;
    m_cropMargin = margin;
    return 1;
}

int32_t CameraDevice::SetPreviewWindow(void* window, void*) {
    m_window = static_cast<KelpoPreviewWindow*>(window);
    return 1;
}

int32_t CameraDevice::SetCropEnabled(int32_t enabled) {
    m_cropEnabled = enabled != 0;
    return 1;
}

int32_t CameraDevice::SetAutoCrop(int32_t enabled) {
    m_autoCrop = enabled != 0;
    return 1;
}

int32_t CameraDevice::SetAutoMode(int32_t enabled) {
    m_autoMode = enabled != 0;
    if (!m_autoMode) {
        std::lock_guard lock(m_outlineMutex);
        m_outline.reset();
    }
    return 1;
}

int32_t CameraDevice::setEdgeConfidence(int32_t percent) {
    if (percent < 0 || percent > 100)
        return 0;
    m_minConfidence = percent / 100.0;
    std::lock_guard lock(m_outlineMutex);
    m_outline.reset();
    return 1;
}

int32_t CameraDevice::SetCaptureOption(int32_t option) {
    return option == 0 ? 1 : 0;
}

int32_t CameraDevice::SetOutputDpi(int32_t x, int32_t y, int32_t) {
    if (x <= 0 || y <= 0)
        return 0;
    m_dpiX = x;
    m_dpiY = y;
    m_dpiSet = true;
    return 1;
}

int32_t CameraDevice::StartPlay(int32_t) {
    StopPlay();
    if (m_fourcc != kFourccYuy2 || m_width <= 0 || m_height <= 0)
        return 0;
    auto devices = media::enumerateVideoDevices();
    if (!devices)
        return 0;
    const auto index = media::findCameraForRole(*devices, roleOfModel(m_modelId));
    if (!index)
        return 0;
    m_pipeline = std::make_unique<media::PreviewPipeline>();
    const media::VideoDevice& device = (*devices)[*index];
    if (m_pipeline->build(device, m_width, m_height, [this](const media::FrameView& f) { onFrame(f); }) !=
            media::PreviewStep::Ok ||
        m_pipeline->run() != media::PreviewStep::Ok) {
        m_pipeline.reset();
        return 0;
    }
    m_cameraName = device.name;
    m_playing = true;
    return 1;
}

int32_t CameraDevice::StopPlay() {
    m_playing = false;
    if (m_pipeline) {
        m_pipeline->stop();
        m_pipeline.reset();
    }
    {
        std::lock_guard lock(m_captureMutex);
        m_captureRequested = false;
    }
    m_captured.notify_all();
    {
        std::lock_guard lock(m_latestMutex);
        m_latest.release();
    }
    return 1;
}

void CameraDevice::onFrame(const media::FrameView& frame) {
    const cv::Mat view(frame.height, frame.width, CV_8UC3, const_cast<uint8_t*>(frame.data),
                       static_cast<std::size_t>(frame.stride));
    bool handedOn = false;
    {
        std::lock_guard lock(m_captureMutex);
        if (m_captureRequested) {
            m_captureFrame = view.clone();
            m_captureRequested = false;
            handedOn = true;
            m_captured.notify_all();
        }
    }
    {
        std::lock_guard lock(m_latestMutex);
        if (handedOn) {
            m_latest.release(); // a waiting capture took this one
        } else {
            // Into the same buffer frame after frame: a copy, no allocation.
            view.copyTo(m_latest);
            m_latestTime = std::chrono::steady_clock::now();
        }
    }
    std::optional<Quad> outline;
    if (m_autoMode) {
        if (m_frameNumber % kFramesPerOutline == 0) {
            // Only an outline that a capture would cut out is drawn.
            const auto found = findDocument(view, m_minConfidence.load());
            std::lock_guard lock(m_outlineMutex);
            m_outline = found;
        }
        std::lock_guard lock(m_outlineMutex);
        outline = m_outline;
    }
    ++m_frameNumber;
    if (KelpoPreviewWindow* window = m_window.load()) {
        OutlinePoint points[4];
        if (outline)
            for (int i = 0; i < 4; ++i)
                points[i] = {(*outline)[i].x, (*outline)[i].y};
        window->presentFrame(frame.data, frame.width, frame.height, frame.stride, outline ? points : nullptr);
    }
}

int32_t CameraDevice::Capture() {
    if (GetDeviceState() != 0)
        return 0;
    cv::Mat frame;
    {
        std::lock_guard lock(m_latestMutex);
        if (!m_latest.empty() && std::chrono::steady_clock::now() - m_latestTime < kLatestMaxAge)
            frame = std::move(m_latest);
        m_latest.release();
    }
    if (frame.empty()) {
        std::unique_lock lock(m_captureMutex);
        m_captureFrame.release();
        m_captureRequested = true;
        if (!m_captured.wait_for(lock, kCaptureTimeout, [&] { return !m_captureRequested; }) ||
            m_captureFrame.empty()) {
            m_captureRequested = false;
            return 0;
        }
        frame = std::move(m_captureFrame);
    }
    std::optional<Quad> quad;
    if (m_cropEnabled) {
        if (m_autoCrop) {
            quad = findDocument(frame, m_minConfidence.load());
        } else {
            std::lock_guard lock(m_outlineMutex);
            quad = m_outline;
        }
    }
    const double margin = m_cropMargin.load() * std::max(frame.cols, frame.rows) / 1000.0;
    const cv::Mat picture = quad ? cropDocument(frame, *quad, margin) : frame;
    m_outcome = !m_cropEnabled ? 0 : quad ? 1 : 2;
    m_image = bmpFileImage(picture, m_dpiX, m_dpiY);
    return 1;
}

const uint8_t* CameraDevice::GetImageData() {
    return m_image.empty() ? nullptr : m_image.data();
}

int32_t CameraDevice::GetImageSize() {
    return static_cast<int32_t>(m_image.size());
}

int32_t CameraDevice::ReleaseImage() {
    m_image.clear();
    m_image.shrink_to_fit();
    return 1;
}

int32_t CameraDevice::ShowSettings(void* owner) {
    auto* window = static_cast<KelpoPreviewWindow*>(owner);
    if (!window || !m_pipeline || !m_pipeline->controls())
        return 0;
    window->showSettings(m_pipeline->controls(), m_cameraName.toUtf8().constData());
    return 1;
}

} // namespace qx::kelpo
