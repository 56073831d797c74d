// CIDCardDlg: the identity-card panel docked beside the main window (its frame: skin, place, slides).
#pragma once

#include <QWidget>

namespace qx::desktop {

class CIDCardDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlideMilliseconds = 150;

    // A top-level window without a parent, as the panel is; `mainDialog` is the window it follows.
    explicit CIDCardDlg(QWidget* mainDialog);

    // Whether the panel reads cards; the main dialog clears it before hiding the panel.
    void setReadingEnabled(bool enabled) { m_readingEnabled = enabled; }
    bool isReadingEnabled() const { return m_readingEnabled; }

    // Shows the panel by sliding it out to the right, or hides it by sliding it back to the left,
    // over `milliseconds`; the window is hidden at the end of the hiding slide.
    void slideShow(int milliseconds = kSlideMilliseconds);
    void slideHide(int milliseconds = kSlideMilliseconds);
    // How much of the panel's width shows during a slide, 0..1.
    qreal revealed() const { return m_revealed; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setRevealed(qreal revealed);
    void slide(qreal to, int milliseconds, bool hideAtEnd);

    QWidget* m_mainDialog;
    bool m_readingEnabled = true;
    qreal m_revealed = 1.0;
};

} // namespace qx::desktop
