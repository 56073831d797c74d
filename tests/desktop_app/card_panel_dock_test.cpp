// The card panel's dock beside a real window: the toggle, the edge it keeps, forgetting and closing.
#include "app_fixture.h"

#include "qx/desktop/card_panel_dock.h"

#include <QPointer>
#include <QTest>

using namespace qx::desktop;

namespace qx::test {
namespace {

class DesktopCardPanelDock : public ::testing::Test {
protected:
    void SetUp() override {
        m_main.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        m_main.setGeometry(100, 80, 917, 668);
        m_main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_main));
    }
    QPoint edge() const { return QPoint(m_main.frameGeometry().right() + 1, m_main.frameGeometry().top()); }

    QWidget m_main;
    std::unique_ptr<CardPanelDock> m_dock = std::make_unique<CardPanelDock>(m_main);
};

TEST_F(DesktopCardPanelDock, TheFirstToggleSlidesThePanelOutAtTheRightEdgeAndItFollows) {
    EXPECT_EQ(m_dock->panel(), nullptr);
    EXPECT_EQ(m_dock->toggleBitmap(), 160);
    m_dock->toggle();
    ASSERT_NE(m_dock->panel(), nullptr);
    EXPECT_TRUE(m_dock->isShown());
    EXPECT_EQ(m_dock->toggleBitmap(), 161);
    EXPECT_TRUE(m_dock->panel()->isVisible());
    // A new panel reads nothing until its 1016 is clicked.
    EXPECT_FALSE(m_dock->panel()->isReadingEnabled());
    EXPECT_EQ(m_dock->panel()->pauseResumeBitmap(), 157);
    EXPECT_EQ(m_dock->panel()->pos(), edge());
    m_main.move(m_main.pos() + QPoint(40, 25));
    processEvents(50);
    m_dock->follow();
    EXPECT_EQ(m_dock->panel()->pos(), edge());
}

TEST_F(DesktopCardPanelDock, TheSecondToggleStopsReadingForgetsThePanelAndDestroysItLater) {
    m_dock->toggle();
    QPointer<CIDCardDlg> panel = m_dock->panel();
    ASSERT_TRUE(panel->clickControl(card_id::kPauseResume));
    EXPECT_TRUE(panel->isReadingEnabled());
    m_dock->toggle();
    EXPECT_EQ(m_dock->panel(), nullptr);
    EXPECT_FALSE(m_dock->isShown());
    EXPECT_EQ(m_dock->toggleBitmap(), 160);
    ASSERT_FALSE(panel.isNull());
    EXPECT_FALSE(panel->isReadingEnabled());
    m_dock->follow(); // a forgotten panel no longer follows
    processEvents(700);
    EXPECT_FALSE(panel.isNull()); // its slide and last read still run
    processEvents(1000);
    EXPECT_TRUE(panel.isNull());

    // A third toggle makes a new panel.
    m_dock->toggle();
    ASSERT_NE(m_dock->panel(), nullptr);
    EXPECT_TRUE(m_dock->isShown());
}

TEST_F(DesktopCardPanelDock, ClosingAndTheDocksEndTakeThePanelAlong) {
    m_dock->close(); // nothing to close
    m_dock->toggle();
    QPointer<CIDCardDlg> closed = m_dock->panel();
    m_dock->close();
    ASSERT_FALSE(closed.isNull());
    EXPECT_FALSE(closed->isVisible());
    // Closing destroys it, once events are handled again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());

    m_dock = std::make_unique<CardPanelDock>(m_main);
    m_dock->toggle();
    QPointer<CIDCardDlg> owned = m_dock->panel();
    m_dock.reset();
    EXPECT_TRUE(owned.isNull());
}

} // namespace
} // namespace qx::test
