// The screen cut's window: feeding the rectangle, drawing the readouts, copying and saving the cut.
#include "control/ui/screen_cut_window.h"

#include "qx/imaging/bmp_layout.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cstring>
#include <utility>

namespace qx::control {

namespace {

const QColor kPanelGrey(147, 147, 147);
const QColor kTrackerColour(0, 102, 204);

QFont cjkFont(int pixelSize) {
    QFont font(QStringLiteral("宋体"));
    // 宋体 is a Windows face; fontconfig's CJK face stands in for it on Linux.
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(pixelSize);
    return font;
}

imaging::Picture toPicture(const QImage& cut, int bits) {
    const QImage rows = cut.convertToFormat(bits == 32 ? QImage::Format_ARGB32 : QImage::Format_BGR888);
    imaging::Picture p;
    p.width = rows.width();
    p.height = rows.height();
    p.bitsPerPixel = bits;
    p.stride = static_cast<int>(bmp::rowStride(p.width, bits));
    p.pixels.resize(static_cast<std::size_t>(p.stride) * p.height);
    const std::size_t used = static_cast<std::size_t>(p.width) * (bits / 8);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(p.pixels.data() + static_cast<std::size_t>(y) * p.stride, rows.constScanLine(y), used);
    return p;
}

} // namespace

CScreenCutWnd::CScreenCutWnd(UiHost& ui, QImage snapshot, int screenDepth,
                             std::function<void(const QString&)> log, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_ui(ui),
      m_snapshot(std::move(snapshot)), m_screenDepth(screenDepth), m_log(std::move(log)) {
    setObjectName(QStringLiteral("CScreenCutWnd"));
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(QPoint(0, 0), m_snapshot.size());
    m_ratio = screen ? screen->devicePixelRatio() : 1;
    m_screen = (QSizeF(area.size()) * m_ratio).toSize();
    setGeometry(area);
    setWindowState(Qt::WindowFullScreen);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_cursor = toDevice(mapFromGlobal(QCursor::pos()));
}

QPoint CScreenCutWnd::toDevice(const QPointF& logical) const {
    return (logical * m_ratio).toPoint();
}

int CScreenCutWnd::saveDepth() const {
    // A true-colour grab only: palette screens are gone, and their pixels would arrive as colour anyway.
    return m_screenDepth <= 24 ? 24 : 32;
}

QString CScreenCutWnd::infoText() const {
    QRgb pixel = qRgb(0, 0, 0);
    if (m_snapshot.rect().contains(m_cursor))
        pixel = m_snapshot.pixel(m_cursor);
    QString text = QStringLiteral("\r\n\r\n\r\n ·当前像素RGB (%1,%2,%3)\r\n")
                       .arg(qRed(pixel))
                       .arg(qGreen(pixel))
                       .arg(qBlue(pixel));
    if (!m_selection.hasRectangle() && !m_selection.isDrawing())
        text += QStringLiteral("\r\n ·按下鼠标左键不放选择截取\r\n 范围\r\n\r\n ·按ESC键或鼠标右键退出");
    else if (m_selection.isDrawing())
        text += QStringLiteral("\r\n ·松开鼠标左键确定截取范围\r\n\r\n ·按ESC键退出");
    else
        text += QStringLiteral(
            "\r\n ·用鼠标左键调整截取范围的\r\n 大小和位置\r\n\r\n·截取范围内双击鼠标左键保存\r\n "
            "图像，结束操作\r\n\r\n·点击鼠标右键重新选择");
    return text;
}

QRect CScreenCutWnd::positionPanel() const {
    if (!m_buttonDown || !m_selection.hasRectangle())
        return {};
    const QFontMetrics metrics(cjkFont(qRound(9 * logicalDpiY() / 72.0 * m_ratio)));
    const int line = metrics.height() + metrics.leading();
    const int width = metrics.horizontalAdvance(QStringLiteral("顶点位置  ")) + 3;
    const int height = 6 * line;
    int left = m_cursor.x() + 3;
    if (left + width > m_screen.width())
        left = m_cursor.x() - 3 - width;
    int top = m_cursor.y() - 3 - height;
    if (top <= 0)
        top = m_cursor.y() + 3;
    return {left, top, width, height};
}

void CScreenCutWnd::updateCursorShape(const QPoint& p) {
    using Grip = CutSelection::Grip;
    Qt::CursorShape shape = Qt::CrossCursor;
    const Grip grabbed = m_selection.grabbed();
    switch (grabbed != Grip::None ? grabbed : m_selection.gripAt(p)) {
    case Grip::Move:
        shape = Qt::SizeAllCursor;
        break;
    case Grip::Left:
    case Grip::Right:
        shape = Qt::SizeHorCursor;
        break;
    case Grip::Top:
    case Grip::Bottom:
        shape = Qt::SizeVerCursor;
        break;
    case Grip::TopLeft:
    case Grip::BottomRight:
        shape = Qt::SizeFDiagCursor;
        break;
    case Grip::TopRight:
    case Grip::BottomLeft:
        shape = Qt::SizeBDiagCursor;
        break;
    case Grip::None:
        break;
    }
    if (cursor().shape() != shape)
        setCursor(shape);
}

void CScreenCutWnd::pointerMoved(const QPoint& p) {
    m_cursor = p;
    if (QRect(m_infoX, kInfoBoxY, kInfoBoxWidth, kInfoBoxHeight).contains(p))
        m_infoX = m_infoX == 10 ? m_screen.width() - 180 : 10;
    m_selection.moveTo(p);
    updateCursorShape(p);
    update();
}

void CScreenCutWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint p = toDevice(event->position());
    m_cursor = p;
    if (event->button() == Qt::RightButton) {
        if (!m_selection.hasRectangle()) {
            reject();
            return;
        }
        m_selection.clear();
        update();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_buttonDown = true;
    m_selection.press(p);
    update();
}

void CScreenCutWnd::mouseMoveEvent(QMouseEvent* event) {
    pointerMoved(toDevice(event->position()));
}

void CScreenCutWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_cursor = toDevice(event->position());
    m_buttonDown = false;
    m_selection.release();
    updateCursorShape(m_cursor);
    update();
}

void CScreenCutWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = toDevice(event->position());
    if (event->button() == Qt::LeftButton && m_selection.contains(p)) {
        copyAndSave();
        accept();
    }
    // Anywhere else a double click is ignored; the second press must not start a new rectangle.
}

void CScreenCutWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) {
        event->ignore();
        return;
    }
    if (!m_selection.hasRectangle()) {
        reject();
        return;
    }
    m_selection.clear();
    update();
}

void CScreenCutWnd::copyAndSave() {
    // Only what lies on the screen (and in the snapshot) can be copied.
    const QRect area = m_selection.onScreen(m_screen) & m_snapshot.rect();
    if (area.isEmpty())
        return;
    const QImage cut = m_snapshot.copy(area);
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(cut);
    FileDialogOptions options;
    options.filter = QStringLiteral("bmp Files (*.bmp)");
    options.defaultSuffix = QStringLiteral("bmp");
    options.overwritePrompt = true;
    const auto path = m_ui.saveFile(this, options);
    if (!path || path->isEmpty())
        return;
    // The writer replaces the target only once the file is complete: a failed save leaves no file.
    if (!imaging::saveBmp(toPicture(cut, saveDepth()), *path) && m_log)
        m_log(QStringLiteral("截图保存失败:") + *path);
}

void CScreenCutWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.scale(1 / m_ratio, 1 / m_ratio);
    painter.fillRect(QRect(QPoint(0, 0), m_screen), Qt::black);
    painter.drawImage(QPoint(0, 0), m_snapshot);

    if (m_selection.hasRectangle()) {
        painter.setPen(QPen(kTrackerColour, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_selection.rect().adjusted(0, 0, -1, -1));
        if (m_selection.showsHandles()) {
            for (CutSelection::Grip g : CutSelection::kHandles)
                painter.fillRect(m_selection.handleRect(g), kTrackerColour);
        }
    }

    const int pixels = qRound(9 * logicalDpiY() / 72.0 * m_ratio);
    const QRect info(m_infoX, kInfoBoxY, kInfoBoxWidth, kInfoBoxHeight);
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(QColor(255, 252, 230));
    painter.drawRect(info.adjusted(0, 0, -1, -1));
    painter.setFont(cjkFont(pixels));
    painter.setPen(Qt::black);
    QString shown = infoText();
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    painter.drawText(info.adjusted(4, 0, -2, 0), Qt::AlignLeft | Qt::AlignTop, shown);

    const QRect panel = positionPanel();
    if (!panel.isNull()) {
        const QFont font = cjkFont(pixels);
        const QFontMetrics metrics(font);
        const int line = metrics.height() + metrics.leading();
        painter.setFont(font);
        painter.setPen(kPanelGrey);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(panel);
        const QRect cut = m_selection.rect();
        const QStringList lines{
            QStringLiteral(" 顶点位置 "), QStringLiteral(" (%1,%2)").arg(cut.x()).arg(cut.y()),
            QStringLiteral(" 矩形大小 "), QStringLiteral(" (%1,%2)").arg(cut.width()).arg(cut.height()),
            QStringLiteral(" 光标坐标 "), QStringLiteral(" (%1,%2)").arg(m_cursor.x()).arg(m_cursor.y())};
        for (int i = 0; i < lines.size(); ++i)
            painter.drawText(QPoint(panel.x(), panel.y() + i * line + metrics.ascent()), lines[i]);
    }
}

} // namespace qx::control
