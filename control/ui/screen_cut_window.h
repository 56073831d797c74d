// The screen cut's window: the frozen screen, a rubber-band rectangle with handles, live readouts.
#pragma once

#include "control/ui/cut_selection.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>

namespace qx {
class UiHost;
}

namespace qx::control {

// A frameless, full-screen, top-most window showing `snapshot` 1:1 in device pixels. Every
// coordinate here (the rectangle, the cursor, the readouts, the saved picture) is in device pixels,
// so a cut from a high-DPI screen keeps every pixel of it. The rectangle is a CutSelection the window
// feeds its mouse events; a script's events reach the window through an InputPlayer, as a user's do.
// Threads: the GUI thread only.
class CScreenCutWnd : public QDialog {
    Q_OBJECT
public:
    CScreenCutWnd(UiHost& ui, QImage snapshot, int screenDepth, std::function<void(const QString&)> log,
                  QWidget* parent = nullptr);

    static constexpr int kInfoBoxWidth = 170;
    static constexpr int kInfoBoxHeight = 230;

    // What the window shows, for scripts and tests.
    QString infoText() const; // the info box's text, its "\r\n" as they stand
    QPoint infoBoxPos() const { return {m_infoX, kInfoBoxY}; }
    bool hasRectangle() const { return m_selection.hasRectangle(); }
    QRect selection() const { return m_selection.rect(); } // normalised; null without a rectangle
    QRect positionPanel() const; // where the position panel is drawn; null when it is not
    QSize screenSize() const { return m_screen; }
    int saveDepth() const; // bits per pixel of a saved cut: 24 or 32

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr int kInfoBoxY = 10;

    QPoint toDevice(const QPointF& logical) const;
    void pointerMoved(const QPoint& p);
    void copyAndSave();
    void updateCursorShape(const QPoint& p);

    UiHost& m_ui;
    QImage m_snapshot;
    int m_screenDepth;
    std::function<void(const QString&)> m_log;
    QSize m_screen;
    qreal m_ratio = 1;

    CutSelection m_selection;
    bool m_buttonDown = false; // the left button, for the position panel
    QPoint m_cursor{-1, -1};
    int m_infoX = 10;
};

} // namespace qx::control
