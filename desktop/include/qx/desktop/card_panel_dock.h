// CardPanelDock: the identity-card panel docked at the main window's right edge, shown, hidden and followed.
#pragma once

#include "qx/desktop/id_card_dlg.h"

#include <QPointer>

namespace qx::desktop {

class CardPanelDock {
public:
    // How long a hidden panel lives on after it is forgotten: its slide and its last read end first.
    static constexpr int kForgetMs = 1500;

    // Borrows the main window, which must outlive the dock; panels it creates reach `owner`.
    explicit CardPanelDock(QWidget& mainWindow, CardPanelOwner owner = {});
    ~CardPanelDock();
    CardPanelDock(const CardPanelDock&) = delete;
    CardPanelDock& operator=(const CardPanelDock&) = delete;

    // The toggle button: creates and slides out the panel, or hides it and forgets it.
    void toggle();
    // Keeps the panel against the main window's right edge; called when the window moves.
    void follow();
    // Shut-down: the panel slides away and closes.
    void close();
    // What the next panel created reaches: the control, the UI host, the settings file.
    void setOwner(CardPanelOwner owner) { m_owner = std::move(owner); }

    CIDCardDlg* panel() const { return m_panel; }
    // Whether a panel is on the screen, the one forgotten a moment ago while it slides away too.
    bool isPanelVisible() const {
        return (m_panel && m_panel->isVisible()) || (m_leaving && m_leaving->isVisible());
    }
    bool isShown() const { return m_shown; }
    // The artwork of the toggle button for the panel's state.
    int toggleBitmap() const;

private:
    QWidget& m_main;
    CardPanelOwner m_owner;
    QPointer<CIDCardDlg> m_panel;
    QPointer<CIDCardDlg> m_leaving; // forgotten, not yet closed
    bool m_shown = false;
};

} // namespace qx::desktop
