// The recording window: its controls, its placement and slides, the live picture and the recordings.
#include "control/ui/video_dialog.h"

#include "control/core/process_modes.h"

#include "control/features/video.h"
#include "qx/interface/ui_host.h"
#include "qx/media/camera_roles.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace qx::control {

namespace {
// 227 x 173 dialog units of the window's font.
constexpr QSize kPictureSize{340, 260};
constexpr int kStreamWatchMs = 250;
constexpr auto kEndBound = std::chrono::seconds(5);

const QString kNoCameraBox = QStringLiteral("没有辅摄像头，无法录像!");

// Windows can be placed and slid only where the window system lets a program move them.
bool canPlaceWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
    setFixedSize(kPictureSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoArea::offerFrame(const media::FrameView& frame) {
    // BGRx in memory is Qt's RGB32 on a little-endian machine.
    QImage copy = QImage(frame.data, frame.width, frame.height, frame.stride, QImage::Format_RGB32).copy();
    {
        std::lock_guard lock(m_mutex);
        m_frame = std::move(copy);
    }
    if (!m_repaintAsked.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_repaintAsked = false;
                update();
            },
            Qt::QueuedConnection);
}

void VideoArea::clear() {
    {
        std::lock_guard lock(m_mutex);
        m_frame = QImage();
    }
    update();
}

QImage VideoArea::currentFrame() const {
    std::lock_guard lock(m_mutex);
    return m_frame;
}

void VideoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage frame = currentFrame();
    if (frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The pipeline scales to the area already; another size (a resized area) is fitted, aspect kept.
    const QSize fitted = frame.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    if (target != rect())
        painter.fillRect(rect(), Qt::black);
    painter.drawImage(target, frame);
}

CVideoDlg::CVideoDlg(Log log, UiHost& ui, ProcessModes& modes)
    : QDialog(nullptr), m_log(std::move(log)), m_ui(ui), m_modes(modes) {
    setWindowTitle(QStringLiteral("视频录像"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    buildControls();
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, [this] { tick(); });
    m_streamWatch.setInterval(kStreamWatchMs);
    connect(&m_streamWatch, &QTimer::timeout, this, [this] { watchStream(); });
}

CVideoDlg::~CVideoDlg() {
    closeNow();
    m_log(QStringLiteral("录像：析构!"));
}

void CVideoDlg::buildControls() {
    m_area = new VideoArea(this);
    setControlId(m_area, kPicture);
    m_start = new QPushButton(QStringLiteral("开始录像"), this);
    setControlId(m_start, kStart);
    m_stop = new QPushButton(QStringLiteral("停止录像"), this);
    setControlId(m_stop, kStop);
    m_time = new QLineEdit(this);
    setControlId(m_time, kTime);
    m_time->setReadOnly(true);
    m_time->setAlignment(Qt::AlignCenter);
    m_time->setFocusPolicy(Qt::NoFocus);
    QPalette colours = m_time->palette();
    colours.setColor(QPalette::Text, QColor(200, 0, 100));
    m_time->setPalette(colours);
    auto* formatLabel = new QLabel(QStringLiteral("格式"), this);
    m_format = new QComboBox(this);
    setControlId(m_format, kFormat);
    resetTimeBox();

    connect(m_start, &QPushButton::clicked, this, [this] { startRecording(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { stopRecording(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    buttons->addWidget(formatLabel);
    buttons->addWidget(m_format);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->setSpacing(6);
    layout->addWidget(m_area, 0, Qt::AlignHCenter);
    layout->addWidget(m_time);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CVideoDlg::resetTimeBox() {
    // "MyFont" names no installed family, so the box shows the default face at 20 points.
    QFont font(QStringLiteral("MyFont"));
    font.setPointSize(20);
    m_time->setFont(font);
    m_time->setText(QStringLiteral("00 : 00 : 00"));
}

void CVideoDlg::setVideoFolder(const QString& folder) {
    m_videoFolder = platform::withTrailingSlash(folder);
}

void CVideoDlg::setBitRate(int kbps) {
    if (kbps <= 0) {
        m_log(QStringLiteral("录像码率%1无效，使用%2!").arg(kbps).arg(kDefaultBitRate));
        kbps = kDefaultBitRate;
    } else if (kbps > kMaxBitRate) {
        m_log(QStringLiteral("录像码率%1过大，使用%2!").arg(kbps).arg(kMaxBitRate));
        kbps = kMaxBitRate;
    }
    m_bitRate = kbps;
}

QString CVideoDlg::elapsedText(int hours, int minutes, int seconds) {
    const char* form = minutes > 9 && seconds > 9 ? "0%d : %d : %d"
                       : seconds > 9              ? "0%d : 0%d : %d"
                       : minutes > 9              ? "0%d : %d : 0%d"
                                                  : "0%d : 0%d : 0%d";
    return QString::asprintf(form, hours, minutes, seconds);
}

void CVideoDlg::tick() {
    if (++m_seconds == 60) {
        m_seconds = 0;
        if (++m_minutes == 60) {
            m_minutes = 0;
            ++m_hours;
        }
    }
    QFont font(QStringLiteral("MyFont"));
    font.setPointSize(20);
    m_time->setFont(font);
    m_time->setText(elapsedText(m_hours, m_minutes, m_seconds));
}

void CVideoDlg::placeAndSlideIn() {
    show();
    if (!canPlaceWindows())
        return;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect work = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    const QPoint target(work.right() + 1 - kRightMargin - frame.width(), work.bottom() + 1 - frame.height());
    move(target.x(), work.bottom() + 1);
    auto* slide = new QPropertyAnimation(this, "pos", this);
    slide->setDuration(kSlideInMs);
    slide->setStartValue(QPoint(target.x(), work.bottom() + 1));
    slide->setEndValue(target);
    m_slide = slide;
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void CVideoDlg::slideOut(std::function<void()> done) {
    if (m_slide)
        m_slide->stop();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!canPlaceWindows() || !screen || !isVisible()) {
        done();
        return;
    }
    auto* slide = new QPropertyAnimation(this, "pos", this);
    slide->setDuration(kSlideOutMs);
    slide->setStartValue(pos());
    slide->setEndValue(QPoint(pos().x(), screen->availableGeometry().bottom() + 1));
    connect(slide, &QPropertyAnimation::finished, this, std::move(done));
    m_slide = slide;
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void CVideoDlg::startUp() {
    m_ui.windowOpened(QStringLiteral("video"), this);
    placeAndSlideIn();
    m_format->clear();
    m_format->addItems({QStringLiteral("AVI"), QStringLiteral("ASF")});
    m_format->setCurrentIndex(0);
    m_camera = findCamera();
    if (!m_camera) {
        m_log(QStringLiteral("没找到副摄像头录像!"));
        m_ui.messageBox(this, kNoCameraBox, QString(), MessageIcon::None, false);
        m_closed = true;
        m_modes.recordingActive = false;
        m_ui.windowClosed(QStringLiteral("video"), this);
        slideOut([this] { hide(); });
        return;
    }
    m_log(QStringLiteral("找到副摄像头，可以录像!"));
    startLive();
}

std::optional<media::VideoDevice> CVideoDlg::findCamera() {
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

bool CVideoDlg::startLive() {
    if (!m_camera)
        return false;
    const media::RecordStep step = m_pipeline.startLive(
        *m_camera, m_area->size(), [area = m_area](const media::FrameView& f) { area->offerFrame(f); });
    if (step != media::RecordStep::Ok) {
        logStep(step);
        m_area->clear();
        return false;
    }
    m_closed = false;
    m_modes.recordingActive = true;
    m_streamWatch.start();
    return true;
}

void CVideoDlg::logStep(media::RecordStep step) {
    using media::RecordStep;
    QString text;
    switch (step) {
    case RecordStep::Ok:
        return;
    case RecordStep::Bind:
        text = QStringLiteral("录像：绑定设备失败!");
        break;
    case RecordStep::Objects:
        text = QStringLiteral("录像：构建接口失败!");
        break;
    case RecordStep::NoFormats:
        text = QStringLiteral("获取AM_MEDIA_TYPE失败!");
        break;
    case RecordStep::Format:
        text = QStringLiteral("设置媒体格式失败!");
        break;
    case RecordStep::Link:
        text = QStringLiteral("录像：构建链路失败!");
        break;
    case RecordStep::Run:
        text = QStringLiteral("录像：渲染Run失败!");
        break;
    case RecordStep::AddCamera:
        text = QStringLiteral("录像：添加视频设备失败!");
        break;
    case RecordStep::NoCompressor:
        text = QStringLiteral("没有发现Microsoft Video 1压缩器!");
        break;
    case RecordStep::AddCompressor:
        text = QStringLiteral("添加压缩编码器失败!");
        break;
    case RecordStep::AddRenderer:
        text = QStringLiteral("添加Render失败!");
        break;
    case RecordStep::Output:
        text = QStringLiteral("设置输出Filter失败!");
        break;
    case RecordStep::RenderLink:
        text = QStringLiteral("录像：Render 构建链路失败!");
        break;
    case RecordStep::RecordLink:
        text = QStringLiteral("连接录像链路失败!");
        break;
    case RecordStep::NoAudio:
        text = QStringLiteral("没找到声卡!");
        break;
    case RecordStep::CreateConverter:
        text = QStringLiteral("创建AVI编码器失败!");
        break;
    case RecordStep::AddConverter:
        text = QStringLiteral("添加AVI编码器失败!");
        break;
    }
    m_log(text);
    const QString why = m_pipeline.lastError();
    if (!why.isEmpty() && (step == RecordStep::Run || step == RecordStep::Bind))
        m_log(QStringLiteral("录像：%1").arg(why));
}

QString CVideoDlg::recordingName(const QString& folder, const QString& suffix) const {
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

void CVideoDlg::startRecording() {
    m_seconds = m_minutes = m_hours = 0;
    resetTimeBox();
    // The program folder, unless that is not to be written (an installed program): the data folder.
    if (m_videoFolder.isEmpty())
        m_videoFolder = platform::dataFolder(platform::programFolder());
    if (!m_pipeline.isRunning() || !m_camera)
        return;
    if (m_pipeline.isRecording())
        return; // a second press while recording would end this file and start another: ignore it
    const bool asf = m_format->currentIndex() == 1;
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
    request.format = asf ? media::RecordingFormat::Asf : media::RecordingFormat::Avi;
    request.path = recordingName(m_videoFolder, asf ? QStringLiteral(".asf") : QStringLiteral(".avi"));
    request.videoBitRateKbps = m_bitRate;
    const media::RecordStep step = m_pipeline.startRecording(
        *m_camera, m_area->size(), [area = m_area](const media::FrameView& f) { area->offerFrame(f); },
        request, audio ? &*audio : nullptr);
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

void CVideoDlg::endGraph() {
    m_streamWatch.stop();
    const bool wasRecording = m_pipeline.isRecording();
    if (!m_pipeline.stop(kEndBound) && wasRecording)
        m_log(QStringLiteral("录像文件未能正常结束: %1").arg(QDir::toNativeSeparators(m_recordingPath)));
    m_area->clear();
}

void CVideoDlg::stopRecording() {
    if (!m_pipeline.isRunning() && !m_pipeline.isRecording()) {
        // No graph: nothing to end, but the camera may be back.
        if (m_closed)
            return;
    } else {
        m_clock.stop();
        m_log(QStringLiteral("录像：结束!"));
        resetTimeBox();
        endGraph();
    }
    m_camera = findCamera();
    if (!m_camera) {
        m_modes.recordingActive = false;
        m_ui.messageBox(this, kNoCameraBox, QString(), MessageIcon::None, false);
        return;
    }
    if (!startLive())
        m_modes.recordingActive = false;
}

void CVideoDlg::watchStream() {
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

void CVideoDlg::closeNow() {
    if (m_slide)
        m_slide->stop();
    if (!m_closed || m_pipeline.isRunning()) {
        m_clock.stop();
        resetTimeBox();
        endGraph();
        m_closed = true;
        m_modes.recordingActive = false;
    }
    m_ui.windowClosed(QStringLiteral("video"), this);
    hide();
}

void CVideoDlg::closeEvent(QCloseEvent* event) {
    event->ignore(); // hidden by the slide's end, not at once
    if (m_closing || m_closed) {
        hide();
        return;
    }
    m_closing = true;
    m_clock.stop();
    m_log(QStringLiteral("录像：结束!"));
    resetTimeBox();
    // The file is ended before the slide, so it is complete whatever happens to the window later.
    endGraph();
    m_closed = true;
    m_modes.recordingActive = false;
    m_ui.windowClosed(QStringLiteral("video"), this);
    slideOut([this] {
        m_closing = false;
        hide();
    });
}

void CVideoDlg::reject() {
    close();
}

} // namespace qx::control
