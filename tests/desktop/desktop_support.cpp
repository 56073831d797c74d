// Picture files and mouse input for the desktop suites.
#include "desktop_support.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <cstdlib>

namespace qx::test {

bool writePicture(const QString& path, int width, int height, const QColor& color, int quality) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path, nullptr, quality);
}

bool near(QRgb pixel, const QColor& color, int tolerance) {
    return std::abs(qRed(pixel) - color.red()) <= tolerance &&
           std::abs(qGreen(pixel) - color.green()) <= tolerance &&
           std::abs(qBlue(pixel) - color.blue()) <= tolerance;
}

int firstColumn(const QImage& image, int y, const QColor& color) {
    for (int x = 0; x < image.width(); ++x) {
        if (near(image.pixel(x, y), color))
            return x;
    }
    return -1;
}

int lastColumn(const QImage& image, int y, const QColor& color) {
    for (int x = image.width() - 1; x >= 0; --x) {
        if (near(image.pixel(x, y), color))
            return x;
    }
    return -1;
}

namespace {
void send(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}
} // namespace

void press(QWidget* widget, const QPoint& at, Qt::MouseButton button) {
    send(widget, QEvent::MouseButtonPress, at, button, button);
}

void release(QWidget* widget, const QPoint& at, Qt::MouseButton button) {
    send(widget, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

void moveWithButton(QWidget* widget, const QPoint& at, Qt::MouseButtons buttons) {
    send(widget, QEvent::MouseMove, at, Qt::NoButton, buttons);
}

void doubleClick(QWidget* widget, const QPoint& at) {
    press(widget, at);
    release(widget, at);
    send(widget, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    release(widget, at);
}

void click(QWidget* widget, const QPoint& at) {
    press(widget, at);
    release(widget, at);
}

} // namespace qx::test
