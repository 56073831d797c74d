// The recorder: the auxiliary camera, its pipeline, the file names, the log of each step, the flag.
#include "control/features/recorder.h"

#include "control/core/process_modes.h"
#include "qx/media/audio_inputs.h"
#include "qx/media/camera_roles.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace qx::control {

namespace {
constexpr int kStreamWatchMs = 250;
constexpr auto kEndBound = std::chrono::seconds(5);

const QString kNoCameraBox = QStringLiteral("没有辅摄像头，无法录像!");
} // namespace

Recorder::Recorder(Log log, ProcessModes& modes) : m_log(std::move(log)), m_modes(modes) {
    m_clock.setInterval(1000);
    QObject::connect(&m_clock, &QTimer::timeout, &m_clock, [this] { tick(); });
    m_streamWatch.setInterval(kStreamWatchMs);
    QObject::connect(&m_streamWatch, &QTimer::timeout, &m_streamWatch, [this] { watchStream(); });
}

Recorder::~Recorder() {
    closeNow();
    m_log(QStringLiteral("录像：析构!"));
}

void Recorder::setView(RecorderView* view) {
    m_view = view;
    if (m_view)
        m_view->showElapsed(elapsedText(m_hours, m_minutes, m_seconds));
}

QSize Recorder::displaySize() const {
    return m_view ? m_view->pictureSize()
                  : QSize(media::RecordingPipeline::kWidth, media::RecordingPipeline::kHeight);
}

void Recorder::setFolder(const QString& folder) {
    m_folder = platform::withTrailingSlash(folder);
}

void Recorder::setBitRate(int kbps) {
    if (kbps <= 0) {
        m_log(QStringLiteral("录像码率%1无效，使用%2!").arg(kbps).arg(kDefaultBitRate));
        kbps = kDefaultBitRate;
    } else if (kbps > kMaxBitRate) {
        m_log(QStringLiteral("录像码率%1过大，使用%2!").arg(kbps).arg(kMaxBitRate));
        kbps = kMaxBitRate;
    }
    m_bitRate = kbps;
}

QString Recorder::elapsedText(int hours, int minutes, int seconds) {
    const char* form = minutes > 9 && seconds > 9 ? "0%d : %d : %d"
                       : seconds > 9              ? "0%d : 0%d : %d"
                       : minutes > 9              ? "0%d : %d : 0%d"
                                                  : "0%d : 0%d : 0%d";
    return QString::asprintf(form, hours, minutes, seconds);
}

void Recorder::resetElapsed() {
    if (m_view)
        m_view->showElapsed(elapsedText(0, 0, 0));
}

void Recorder::tick() {
    if (++m_seconds == 60) {
        m_seconds = 0;
        if (++m_minutes == 60) {
            m_minutes = 0;
            ++m_hours;
        }
    }
    if (m_view)
        m_view->showElapsed(elapsedText(m_hours, m_minutes, m_seconds));
}

bool Recorder::open() {
    m_camera = findCamera();
    if (!m_camera) {
        m_log(QStringLiteral("没找到副摄像头录像!"));
        if (m_view)
            m_view->showBox(kNoCameraBox);
        m_closed = true;
        m_modes.recordingActive = false;
        return false;
    }
    m_log(QStringLiteral("找到副摄像头，可以录像!"));
    startLive();
    return true;
}

std::optional<media::VideoDevice> Recorder::findCamera() const {
    auto devices = media::enumerateVideoDevices();
    if (!devices)
        return std::nullopt;
    for (media::VideoDevice& d : *devices) {
        const auto id = media::CameraRoleRule::productIdOf(d.devicePath);
        if (id && *id == QLatin1String("7e43"))
            return std::move(d);
    }
    return std::nullopt;
}

media::RecordingPipeline::FrameCallback Recorder::frameSink() const {
    RecorderView* view = m_view;
    return [view](const media::FrameView& frame) {
        if (view)
            view->showFrame(frame);
    };
}

bool Recorder::startLive() {
    if (!m_camera)
        return false;
    const media::RecordStep step = m_pipeline.startLive(*m_camera, displaySize(), frameSink());
    if (step != media::RecordStep::Ok) {
        logStep(step);
        if (m_view)
            m_view->clearPicture();
        return false;
    }
    m_closed = false;
    m_modes.recordingActive = true;
    m_streamWatch.start();
    return true;
}

QString Recorder::stepText(media::RecordStep step) {
    using media::RecordStep;
    switch (step) {
    case RecordStep::Ok:
        return {};
    case RecordStep::Bind:
        return QStringLiteral("录像：绑定设备失败!");
    case RecordStep::Objects:
        return QStringLiteral("录像：构建接口失败!");
    case RecordStep::NoFormats:
        return QStringLiteral("获取AM_MEDIA_TYPE失败!");
    case RecordStep::Format:
        return QStringLiteral("设置媒体格式失败!");
    case RecordStep::Link:
        return QStringLiteral("录像：构建链路失败!");
    case RecordStep::Run:
        return QStringLiteral("录像：渲染Run失败!");
    case RecordStep::AddCamera:
        return QStringLiteral("录像：添加视频设备失败!");
    case RecordStep::NoCompressor:
        return QStringLiteral("没有发现Microsoft Video 1压缩器!");
    case RecordStep::AddCompressor:
        return QStringLiteral("添加压缩编码器失败!");
    case RecordStep::AddRenderer:
        return QStringLiteral("添加Render失败!");
    case RecordStep::Output:
        return QStringLiteral("设置输出Filter失败!");
    case RecordStep::RenderLink:
        return QStringLiteral("录像：Render 构建链路失败!");
    case RecordStep::RecordLink:
        return QStringLiteral("连接录像链路失败!");
    case RecordStep::NoAudio:
        return QStringLiteral("没找到声卡!");
    case RecordStep::CreateConverter:
        return QStringLiteral("创建AVI编码器失败!");
    case RecordStep::AddConverter:
        return QStringLiteral("添加AVI编码器失败!");
    }
    return {};
}

void Recorder::logStep(media::RecordStep step) {
    if (step == media::RecordStep::Ok)
        return;
    m_log(stepText(step));
    // The pipeline's own reason only where the step's text cannot tell what went wrong.
    const QString why = m_pipeline.lastError();
    if (!why.isEmpty() && (step == media::RecordStep::Run || step == media::RecordStep::Bind))
        m_log(QStringLiteral("录像：%1").arg(why));
}

QString Recorder::recordingName(const QString& folder, const QString& suffix) const {
    QDateTime when = QDateTime::currentDateTime();
    QString path;
    // Two recordings started within one second would share a name; the later one takes the next
    // free second instead of overwriting the first.
    for (int i = 0; i < 3600; ++i) {
        path = platform::joinPath(folder, platform::spacedTimeStamp(when) + suffix);
        if (!QFileInfo::exists(path))
            break;
        when = when.addSecs(1);
    }
    return path;
}

void Recorder::startRecording(media::RecordingFormat format) {
    m_seconds = m_minutes = m_hours = 0;
    resetElapsed();
    // The program folder, unless that is not to be written (an installed program): the data folder.
    if (m_folder.isEmpty())
        m_folder = platform::dataFolder(platform::programFolder());
    if (!m_pipeline.isRunning() || !m_camera)
        return;
    if (m_pipeline.isRecording())
        return; // a second press while recording would end this file and start another: ignore it
    const bool asf = format == media::RecordingFormat::Asf;
    std::optional<media::AudioInput> audio;
    if (asf) {
        // Looked for before the live picture is taken down, so a machine without sound keeps it.
        auto inputs = media::enumerateAudioInputs();
        if (inputs.empty()) {
            m_log(QStringLiteral("没找到声卡!"));
            return;
        }
        audio = std::move(inputs.front());
    }
    m_streamWatch.stop();
    m_pipeline.stop();
    media::RecordingRequest request;
    request.format = format;
    request.path = recordingName(m_folder, asf ? QStringLiteral(".asf") : QStringLiteral(".avi"));
    request.videoBitRateKbps = m_bitRate;
    const media::RecordStep step =
        m_pipeline.startRecording(*m_camera, displaySize(), frameSink(), request, audio ? &*audio : nullptr);
    if (step != media::RecordStep::Ok) {
        logStep(step);
        // The live picture was taken down for the recording: bring it back, or say that none runs.
        if (startLive()) {
            m_log(QStringLiteral("录像未开始，已恢复实时画面!"));
        } else {
            m_modes.recordingActive = false;
            m_log(QStringLiteral("录像未开始，实时画面无法恢复!"));
        }
        return;
    }
    m_recordingPath = request.path;
    m_clock.start();
    m_streamWatch.start();
    m_closed = false;
    m_modes.recordingActive = true;
    m_log(QStringLiteral("录像：开始!"));
}

void Recorder::endGraph() {
    m_streamWatch.stop();
    const bool wasRecording = m_pipeline.isRecording();
    if (!m_pipeline.stop(kEndBound) && wasRecording)
        m_log(QStringLiteral("录像文件未能正常结束: %1").arg(QDir::toNativeSeparators(m_recordingPath)));
    else if (wasRecording && !m_pipeline.finishNote().isEmpty())
        m_log(
            QStringLiteral("录像文件头未写入帧率(播放器将按默认帧率播放): %1").arg(m_pipeline.finishNote()));
    if (m_view)
        m_view->clearPicture();
}

void Recorder::stopRecording() {
    if (!m_pipeline.isRunning() && !m_pipeline.isRecording()) {
        // No graph: nothing to end, but the camera may be back.
        if (m_closed)
            return;
    } else {
        m_clock.stop();
        m_log(QStringLiteral("录像：结束!"));
        resetElapsed();
        endGraph();
    }
    m_camera = findCamera();
    if (!m_camera) {
        m_modes.recordingActive = false;
        if (m_view)
            m_view->showBox(kNoCameraBox);
        return;
    }
    if (!startLive())
        m_modes.recordingActive = false;
}

void Recorder::watchStream() {
    const QString error = m_pipeline.takeError();
    if (error.isEmpty())
        return;
    if (m_pipeline.isRecording()) {
        // A full disk or an unplugged camera: what was written is ended properly, and the window
        // goes back to the live picture when the camera is still there.
        m_log(QStringLiteral("录像出错，录像已停止: %1").arg(error));
        stopRecording();
        return;
    }
    m_log(QStringLiteral("录像：实时画面中断: %1").arg(error));
    endGraph();
    m_modes.recordingActive = false;
}

void Recorder::close() {
    m_clock.stop();
    m_log(QStringLiteral("录像：结束!"));
    resetElapsed();
    // The file is ended before the window slides out, so it is complete whatever happens to the
    // window later.
    endGraph();
    m_closed = true;
    m_modes.recordingActive = false;
}

void Recorder::closeNow() {
    if (m_closed && !m_pipeline.isRunning())
        return;
    m_clock.stop();
    resetElapsed();
    endGraph();
    m_closed = true;
    m_modes.recordingActive = false;
}

} // namespace qx::control
