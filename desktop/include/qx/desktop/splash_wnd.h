// CSplashWnd: the start-up splash, bitmap 135 centred on the screen for 750 ms, one at a time.
#pragma once

#include <QBasicTimer>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace qx::desktop {

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimerMilliseconds = 750;

    // The class-wide switch, set from the command line at start (parseCommandLine().showSplash).
    static void enableSplashScreen(bool enable = true);
    static bool isSplashScreenEnabled();

    // Creates the splash owned by `parent` and draws it at once; nothing when the switch is off or a
    // splash already exists.
    static void showSplashScreen(QWidget* parent = nullptr);
    // The splash while it exists.
    static CSplashWnd* instance();

    // Destroys the splash and redraws the main window.
    void hideSplashScreen();

    ~CSplashWnd() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    explicit CSplashWnd(QWidget* parent);

    QPixmap m_bitmap;
    QBasicTimer m_timer;
    QPointer<QWidget> m_mainWindow;
    bool m_hiding = false;
};

} // namespace qx::desktop
