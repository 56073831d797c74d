// CSplashWnd: the start-up splash window and its class-wide switch.
#include "qx/desktop/splash_wnd.h"

#include "qx/desktop/artwork.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

namespace qx::desktop {

namespace {
CSplashWnd* g_splash = nullptr;
bool g_enabled = false;
} // namespace

void CSplashWnd::enableSplashScreen(bool enable) {
    g_enabled = enable;
}

bool CSplashWnd::isSplashScreenEnabled() {
    return g_enabled;
}

CSplashWnd* CSplashWnd::instance() {
    return g_splash;
}

void CSplashWnd::showSplashScreen(QWidget* parent) {
    if (!g_enabled || g_splash)
        return;
    auto* splash = new CSplashWnd(parent);
    if (splash->m_bitmap.isNull()) {
        delete splash;
        return;
    }
    g_splash = splash;
    splash->show();
    splash->repaint();
}

CSplashWnd::CSplashWnd(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_mainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent); // the bitmap covers every pixel: no background to erase
    setCursor(Qt::ArrowCursor);
    m_bitmap = artwork(res::kSplash);
    if (m_bitmap.isNull())
        return;
    setFixedSize(m_bitmap.deviceIndependentSize().toSize());
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
    m_timer.start(kTimerMilliseconds, this);
}

CSplashWnd::~CSplashWnd() {
    if (g_splash == this)
        g_splash = nullptr;
}

void CSplashWnd::hideSplashScreen() {
    if (m_hiding)
        return;
    m_hiding = true;
    m_timer.stop();
    if (g_splash == this)
        g_splash = nullptr;
    QWidget* main = m_mainWindow ? m_mainWindow->window() : nullptr;
    close();
    if (main)
        main->update();
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, m_bitmap);
}

void CSplashWnd::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId())
        hideSplashScreen();
    else
        QWidget::timerEvent(event);
}

} // namespace qx::desktop
