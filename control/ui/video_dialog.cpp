// The recording window: its controls, its placement and slides, and what the recorder shows in it.
#include "control/ui/video_dialog.h"

#include "qx/interface/ui_host.h"

#include <QCloseEvent>
#include <QComboBox>
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

CVideoDlg::CVideoDlg(UiHost& ui, Recorder& recorder) : QDialog(nullptr), m_ui(ui), m_recorder(recorder) {
    setWindowTitle(QStringLiteral("视频录像"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    buildControls();
}

CVideoDlg::~CVideoDlg() {
    if (m_slide)
        m_slide->stop();
    // The picture area goes with the window: the pipeline that paints into it stops first.
    m_recorder.closeNow();
    m_recorder.setView(nullptr);
    m_ui.windowClosed(QStringLiteral("video"), this);
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
    showElapsed(Recorder::elapsedText(0, 0, 0));

    connect(m_start, &QPushButton::clicked, this, [this] {
        // The combo lists AVI, then ASF.
        m_recorder.startRecording(m_format->currentIndex() == 1 ? media::RecordingFormat::Asf
                                                                : media::RecordingFormat::Avi);
    });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_recorder.stopRecording(); });

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

QSize CVideoDlg::pictureSize() const {
    return m_area->size();
}

void CVideoDlg::showFrame(const media::FrameView& frame) {
    m_area->offerFrame(frame);
}

void CVideoDlg::clearPicture() {
    m_area->clear();
}

void CVideoDlg::showElapsed(const QString& text) {
    // "MyFont" names no installed family, so the box shows the default face at 20 points.
    QFont font(QStringLiteral("MyFont"));
    font.setPointSize(20);
    m_time->setFont(font);
    m_time->setText(text);
}

void CVideoDlg::showBox(const QString& text) {
    m_ui.messageBox(this, text, QString(), MessageIcon::None, false);
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
    if (!m_recorder.open()) {
        // No camera: the recorder said so; the window goes again.
        m_ui.windowClosed(QStringLiteral("video"), this);
        slideOut([this] { hide(); });
    }
}

void CVideoDlg::closeEvent(QCloseEvent* event) {
    event->ignore(); // hidden by the slide's end, not at once
    if (m_closing || m_recorder.isClosed()) {
        hide();
        return;
    }
    m_closing = true;
    m_recorder.close();
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
