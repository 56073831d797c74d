// The card panel beside the main window: created on the first toggle, forgotten on the next, following moves.
#include "qx/desktop/card_panel_dock.h"

#include "qx/desktop/artwork.h"

#include <QTimer>

namespace qx::desktop {

CardPanelDock::CardPanelDock(QWidget& mainWindow, CardPanelOwner owner)
    : m_main(mainWindow), m_owner(std::move(owner)) {}

CardPanelDock::~CardPanelDock() {
    if (m_panel)
        delete m_panel.data();
}

int CardPanelDock::toggleBitmap() const {
    return m_shown ? res::kPanelShown : res::kPanelHidden;
}

void CardPanelDock::toggle() {
    if (!m_panel) {
        m_panel = new CIDCardDlg(&m_main, m_owner);
        m_shown = true;
        follow();
        m_panel->slideShow();
    } else if (m_shown) {
        m_panel->setReadingEnabled(false);
        m_panel->slideHide();
        m_shown = false;
        // The panel is forgotten at once and destroyed once its slide and its last read are over;
        // the window stays live meanwhile.
        CIDCardDlg* panel = m_panel;
        m_leaving = panel;
        m_panel = nullptr;
        QTimer::singleShot(kForgetMs, panel, &QWidget::close);
    } else {
        m_panel->slideShow();
        m_shown = true;
    }
}

void CardPanelDock::follow() {
    const QRect main = m_main.frameGeometry();
    if (m_panel)
        m_panel->move(main.right() + 1, main.top());
}

void CardPanelDock::close() {
    if (!m_panel)
        return;
    m_panel->slideHide();
    m_panel->close();
}

} // namespace qx::desktop
