// CGdipButton: a skinned button showing a PNG with transparency over the background behind it.
#pragma once

#include "qx/desktop/color_matrix.h"
#include "qx/desktop/gdiplus_bitmap.h"

#include <QAbstractButton>
#include <QImage>
#include <QTimer>
#include <memory>

namespace qx::desktop {

class CGdipButton : public QAbstractButton {
    Q_OBJECT
public:
    // Type 2 shows the disabled (grey) look whatever the state.
    enum ButtonType { StdType = 0, AltType = 1, DisabledType = 2 };

    // The states prepared once from the background and the images.
    enum StateImage { StdNormal, StdPressed, StdHot, StdGrey, AltNormal, AltPressed, AltHot, StateCount };

    static constexpr int kHoverMilliseconds = 1;
    static constexpr int kToolTipDelay = 200;
    static constexpr int kToolTipShown = 2000; // the tool tip's own rule: ten times its delay

    explicit CGdipButton(QWidget* parent = nullptr);
    ~CGdipButton() override;

    // PNG resources by id ("PNG" type), or any image; false when the resource is not an image.
    bool loadStdImage(int id, const char* type = "PNG");
    bool loadAltImage(int id, const char* type = "PNG");
    void setStdImage(const QImage& image);
    void setAltImage(const QImage& image);

    void setToolTipText(const QString& text, bool activate = true);
    QString toolTipText() const { return m_toolTipText; }
    bool isToolTipActive() const { return m_toolTipActive; }

    void setButtonType(int type);
    int buttonType() const { return m_type; }
    bool hasDisabledLook() const { return m_type == DisabledType; }

    // Each press switches between the standard and the alternate image.
    void enableToggle(bool enable);
    bool isToggleMode() const { return m_toggle; }
    bool isAlternateActive() const { return m_alternateActive; }

    // A background of the caller's instead of the parent's pixels behind the button.
    void setBkGnd(const QImage& background);

    bool isHovering() const { return m_hovering; }
    bool isTracking() const { return m_tracking; }
    bool imagesPrepared() const { return m_prepared; }
    // A prepared state image (null before preparation or when there is no alternate image).
    QImage stateImage(StateImage which) const { return m_states[which]; }

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void prepareImages();
    void takeBackground();
    QImage compose(const QImage& picture, const QPoint& offset, const ColorMatrix* matrix) const;
    StateImage currentState() const;
    void onHover();
    void showToolTip();

    std::unique_ptr<CGdiPlusBitmap> m_std;
    std::unique_ptr<CGdiPlusBitmap> m_alt;
    QString m_toolTipText;
    bool m_toolTipActive = false;
    bool m_prepared = false;
    bool m_hasAlternate = false;
    bool m_toggle = false;
    bool m_alternateActive = false;
    bool m_hovering = false;
    bool m_tracking = false;
    int m_type = StdType;
    QImage m_background;
    bool m_hasBackground = false;
    QImage m_states[StateCount];
    QTimer m_hoverTimer;
    QTimer m_toolTipTimer;
};

} // namespace qx::desktop
