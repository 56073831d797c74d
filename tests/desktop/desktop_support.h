// Helpers of the desktop suites: picture files of known content and synthetic mouse input.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>

class QWidget;

namespace qx::test {

// A `width` x `height` picture of one colour, written in the format the suffix names.
bool writePicture(const QString& path, int width, int height, const QColor& color, int quality = 90);

// Whether `pixel` is close to `color` (JPEG shifts colours a little).
bool near(QRgb pixel, const QColor& color, int tolerance = 40);

// The first and last column of row `y` whose pixel is near `color`; -1 when there is none.
int firstColumn(const QImage& image, int y, const QColor& color);
int lastColumn(const QImage& image, int y, const QColor& color);

// Mouse input sent straight to a widget, as the window system would deliver it.
void press(QWidget* widget, const QPoint& at, Qt::MouseButton button = Qt::LeftButton);
void release(QWidget* widget, const QPoint& at, Qt::MouseButton button = Qt::LeftButton);
void moveWithButton(QWidget* widget, const QPoint& at, Qt::MouseButtons buttons = Qt::LeftButton);
void doubleClick(QWidget* widget, const QPoint& at);
void click(QWidget* widget, const QPoint& at);

} // namespace qx::test
