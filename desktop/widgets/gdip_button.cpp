// CGdipButton: state images composed over the parent's background, hover tracking and its tool tip.
#include "qx/desktop/gdip_button.h"

#include "qx/desktop/mem_dc.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace qx::desktop {

CGdipButton::CGdipButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(kHoverMilliseconds);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CGdipButton::onHover);
    m_toolTipTimer.setSingleShot(true);
    m_toolTipTimer.setInterval(kToolTipDelay);
    connect(&m_toolTipTimer, &QTimer::timeout, this, &CGdipButton::showToolTip);
    // Every press counts, by mouse, double click or keyboard.
    connect(this, &QAbstractButton::pressed, this, [this] {
        if (m_toggle && m_hasAlternate)
            m_alternateActive = !m_alternateActive;
    });
}

CGdipButton::~CGdipButton() = default;

bool CGdipButton::loadStdImage(int id, const char* type) {
    auto bitmap = std::make_unique<CGdiPlusBitmapResource>();
    if (!bitmap->Load(id, type))
        return false;
    m_std = std::move(bitmap);
    m_prepared = false;
    updateGeometry();
    update();
    return true;
}

bool CGdipButton::loadAltImage(int id, const char* type) {
    auto bitmap = std::make_unique<CGdiPlusBitmapResource>();
    if (!bitmap->Load(id, type))
        return false;
    m_alt = std::move(bitmap);
    m_hasAlternate = true;
    m_prepared = false;
    update();
    return true;
}

void CGdipButton::setStdImage(const QImage& image) {
    m_std = std::make_unique<CGdiPlusBitmap>(image);
    m_prepared = false;
    updateGeometry();
    update();
}

void CGdipButton::setAltImage(const QImage& image) {
    m_alt = std::make_unique<CGdiPlusBitmap>(image);
    m_hasAlternate = !m_alt->isEmpty();
    m_prepared = false;
    update();
}

void CGdipButton::setToolTipText(const QString& text, bool activate) {
    m_toolTipText = text;
    m_toolTipActive = activate;
}

void CGdipButton::setButtonType(int type) {
    m_type = type;
    update();
}

void CGdipButton::enableToggle(bool enable) {
    m_toggle = enable;
    update();
}

void CGdipButton::setBkGnd(const QImage& background) {
    m_background = background.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_hasBackground = true;
    m_prepared = false;
    update();
}

QSize CGdipButton::sizeHint() const {
    if (m_std && !m_std->isEmpty())
        return m_std->image().deviceIndependentSize().toSize();
    return {16, 16};
}

void CGdipButton::takeBackground() {
    if (m_hasBackground)
        return;
    const qreal ratio = devicePixelRatioF();
    QImage background(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    background.setDevicePixelRatio(ratio);
    background.fill(Qt::transparent);
    // The parent alone, without its children (this button among them): what lies behind the button.
    if (QWidget* parent = parentWidget())
        parent->render(&background, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    m_background = background;
    m_hasBackground = true;
}

QImage CGdipButton::compose(const QImage& picture, const QPoint& offset, const ColorMatrix* matrix) const {
    QImage state = m_background.copy();
    if (state.size() != size() * devicePixelRatioF()) {
        state = m_background.scaled(size() * devicePixelRatioF(), Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation);
        state.setDevicePixelRatio(devicePixelRatioF());
    }
    QPainter p(&state);
    p.drawImage(offset, matrix ? applyColorMatrix(picture, *matrix) : picture);
    return state;
}

void CGdipButton::prepareImages() {
    if (!m_std || m_std->isEmpty())
        return;
    takeBackground();
    const ColorMatrix hot = hotMatrix();
    const ColorMatrix grey = greyMatrix();
    const QImage& standard = m_std->image();
    m_states[StdNormal] = compose(standard, {0, 0}, nullptr);
    m_states[StdPressed] = compose(standard, {1, 1}, nullptr);
    m_states[StdHot] = compose(standard, {0, 0}, &hot);
    m_states[StdGrey] = compose(standard, {0, 0}, &grey);
    if (m_hasAlternate && m_alt && !m_alt->isEmpty()) {
        const QImage& alternate = m_alt->image();
        m_states[AltNormal] = compose(alternate, {0, 0}, nullptr);
        m_states[AltPressed] = compose(alternate, {1, 1}, nullptr);
        m_states[AltHot] = compose(alternate, {0, 0}, &hot);
    } else {
        m_states[AltNormal] = m_states[AltPressed] = m_states[AltHot] = QImage();
    }
    m_prepared = true;
}

CGdipButton::StateImage CGdipButton::currentState() const {
    if (hasDisabledLook() || !isEnabled())
        return StdGrey;
    const bool alternate = m_alternateActive && !m_states[AltNormal].isNull();
    if (isDown())
        return alternate ? AltPressed : StdPressed;
    if (m_hovering)
        return alternate ? AltHot : StdHot;
    return alternate ? AltNormal : StdNormal;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    if (!m_prepared)
        prepareImages();
    if (!m_prepared)
        return;
    QPainter p(this);
    CMemDC memory(p, rect());
    memory->drawImage(QPoint(0, 0), m_states[currentState()]);
}

bool CGdipButton::event(QEvent* event) {
    // The button shows its own tool tip on hover; the widget's generic one would come a second time.
    if (event->type() == QEvent::ToolTip) {
        event->accept();
        return true;
    }
    return QAbstractButton::event(event);
}

void CGdipButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_tracking) {
        m_tracking = true;
        m_hoverTimer.start();
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CGdipButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click is a second press, so it clicks a second time.
    if (event->button() == Qt::LeftButton) {
        QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                          event->globalPosition(), event->button(), event->buttons(), event->modifiers());
        mousePressEvent(&press);
        return;
    }
    QAbstractButton::mouseDoubleClickEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    m_hoverTimer.stop();
    m_toolTipTimer.stop();
    const bool wasHovering = m_hovering;
    m_tracking = false;
    m_hovering = false;
    if (wasHovering && QToolTip::isVisible())
        QToolTip::hideText();
    update();
    QAbstractButton::leaveEvent(event);
}

void CGdipButton::onHover() {
    m_hovering = true;
    update();
    if (m_toolTipActive && !m_toolTipText.isEmpty())
        m_toolTipTimer.start();
}

void CGdipButton::showToolTip() {
    if (m_hovering)
        QToolTip::showText(mapToGlobal(QPoint(0, height() + 2)), m_toolTipText, this, rect(), kToolTipShown);
}

} // namespace qx::desktop
