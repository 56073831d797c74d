// The splash window: centred, one at a time, gone after its timer; the command line's splash switch.
#include "qx/desktop/artwork.h"
#include "qx/desktop/command_line.h"
#include "qx/desktop/splash_wnd.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace qx::desktop;

namespace {
struct SplashSwitch {
    explicit SplashSwitch(bool on) { CSplashWnd::enableSplashScreen(on); }
    ~SplashSwitch() {
        if (CSplashWnd* splash = CSplashWnd::instance())
            delete splash;
        CSplashWnd::enableSplashScreen(false);
    }
};
} // namespace

TEST(DesktopSplash, ShowsTheBitmapCentredAndClosesAfterItsTimer) {
    SplashSwitch on(true);
    CSplashWnd::showSplashScreen(nullptr);
    CSplashWnd* splash = CSplashWnd::instance();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->size(), artworkInfo(res::kSplash)->natural);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((splash->geometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_TRUE(QTest::qWaitFor([] { return CSplashWnd::instance() == nullptr; }, 10000));
}

TEST(DesktopSplash, OnlyOneSplashExistsAtATime) {
    SplashSwitch on(true);
    QWidget owner;
    CSplashWnd::showSplashScreen(&owner);
    CSplashWnd* first = CSplashWnd::instance();
    ASSERT_NE(first, nullptr);
    CSplashWnd::showSplashScreen(&owner);
    EXPECT_EQ(CSplashWnd::instance(), first);
    first->hideSplashScreen();
    EXPECT_EQ(CSplashWnd::instance(), nullptr);
}

TEST(DesktopSplash, TheSwitchOffShowsNothing) {
    SplashSwitch off(false);
    CSplashWnd::showSplashScreen(nullptr);
    EXPECT_EQ(CSplashWnd::instance(), nullptr);
}

TEST(DesktopSplash, DestroyingTheOwnerForgetsTheSplash) {
    SplashSwitch on(true);
    auto* owner = new QWidget;
    CSplashWnd::showSplashScreen(owner);
    ASSERT_NE(CSplashWnd::instance(), nullptr);
    delete owner;
    EXPECT_EQ(CSplashWnd::instance(), nullptr);
}

TEST(DesktopCommandLine, TheSplashIsShownUnlessAskedOtherwise) {
    EXPECT_TRUE(parseCommandLine({}).showSplash);
    EXPECT_FALSE(parseCommandLine({QStringLiteral("-Embedding")}).showSplash);
    EXPECT_TRUE(parseCommandLine({QStringLiteral("-embedding")}).runEmbedded);
    EXPECT_FALSE(parseCommandLine({QStringLiteral("--automation")}).showSplash);
    EXPECT_FALSE(parseCommandLine({QStringLiteral("--no-splash")}).showSplash);
    EXPECT_FALSE(parseCommandLine({QStringLiteral("-nosplash")}).showSplash);
    EXPECT_TRUE(parseCommandLine({QStringLiteral("--unknown")}).showSplash);
    const CommandLineInfo file = parseCommandLine({QStringLiteral("/srv/pictures/a.jpg")});
    EXPECT_TRUE(file.showSplash);
    EXPECT_EQ(file.fileName, QStringLiteral("/srv/pictures/a.jpg"));
}
