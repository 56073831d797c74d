// Draws every image of the program: backgrounds, button faces, window buttons, the splash and the icon.
#include "qx/desktop/artwork_painter.h"

#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"

#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QLinearGradient>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgRenderer>
#include <QtMath>
#include <vector>

static void initGlyphResources() {
    Q_INIT_RESOURCE(glyphs);
}

namespace qx::desktop {

namespace {

// One palette for the whole program: light surfaces, dark ink, a blue-to-teal accent.
const QColor kInk(0x1f, 0x29, 0x33);
const QColor kMuted(0x5b, 0x67, 0x75);
const QColor kSurfaceTop(0xf5, 0xf7, 0xfa);
const QColor kSurfaceBottom(0xe4, 0xe9, 0xef);
const QColor kPanel(0xfc, 0xfd, 0xfe);
const QColor kPanelBorder(0xcf, 0xd7, 0xe1);
const QColor kEdge(0x8f, 0x9c, 0xad);
const QColor kAccentA(0x25, 0x63, 0xeb);
const QColor kAccentB(0x0d, 0x9a, 0x94);
const QColor kRule(0xe0, 0xe5, 0xec);

QRectF inset(const QRectF& r, qreal d) {
    return r.adjusted(d, d, -d, -d);
}

QFont cjk(int pixels, int weight = QFont::Normal) {
    QFont font(artworkFontFamily());
    font.setPixelSize(qMax(1, pixels));
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

qreal textWidth(const QString& text, const QFont& font) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

// The largest size from `start` down to `minimum` at which `text` fits into `width`.
int fitPixels(const QString& text, qreal width, int start, int minimum, int weight) {
    for (int px = start; px > minimum; --px) {
        if (textWidth(text, cjk(px, weight)) <= width)
            return px;
    }
    return minimum;
}

QPainterPath rounded(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// A soft drop shadow: rounded outlines growing outwards with falling opacity.
void shadow(QPainter& p, const QRectF& r, qreal radius, int spread, int alpha) {
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = spread; i >= 1; --i) {
        const int a = alpha * (spread - i + 1) / (spread * spread);
        p.setBrush(QColor(15, 23, 42, a));
        p.drawPath(rounded(r.adjusted(-i, -i + 1, i, i + 1), radius + i));
    }
    p.restore();
}

void card(QPainter& p, const QRectF& r, qreal radius, const QBrush& fill, const QColor& border) {
    p.save();
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawPath(rounded(inset(r, 0.5), radius));
    p.restore();
}

void text(QPainter& p, const QRectF& r, const QString& s, const QFont& font, const QColor& color,
          int flags = Qt::AlignCenter) {
    p.save();
    p.setFont(font);
    p.setPen(color);
    p.drawText(r, flags | Qt::TextSingleLine, s);
    p.restore();
}

// ---- Button faces ---------------------------------------------------------------------------------

struct Face {
    QColor top;
    QColor bottom;
    QColor border;
    QColor ink;
};

const Face kPlate{QColor(0xff, 0xff, 0xff), QColor(0xe8, 0xed, 0xf3), QColor(0xb9, 0xc4, 0xd1), kInk};

Face filled(const QColor& accent) {
    return {accent.lighter(112), accent.darker(112), accent.darker(135), Qt::white};
}

void plate(QPainter& p, const QRectF& r, const Face& face, qreal radius) {
    const QRectF body = inset(r, 0.5);
    p.save();
    p.setPen(QPen(face.border, 1));
    p.setBrush(vertical(body, face.top, face.bottom));
    p.drawPath(rounded(body, radius));
    // A highlight along the top edge gives the face a slight rise.
    p.setPen(QPen(QColor(255, 255, 255, face.ink == Qt::white ? 70 : 200), 1));
    p.setBrush(Qt::NoBrush);
    p.setClipRect(QRectF(body.left(), body.top(), body.width(), radius + 1));
    p.drawPath(rounded(inset(body, 1), radius - 1));
    p.restore();
}

// The capture button: a large glyph over its caption on the accent face.
void tallButton(QPainter& p, const QSizeF& s, const QString& glyph, const QString& caption,
                const QColor& accent) {
    const QRectF r(QPointF(0, 0), s);
    plate(p, r, filled(accent), 8);
    const qreal g = qMin(s.width(), s.height()) * 0.44;
    paintGlyph(p, glyph, QRectF((s.width() - g) / 2, s.height() * 0.14, g, g), Qt::white);
    const int px = fitPixels(caption, s.width() - 10, int(s.height() * 0.18), 10, QFont::Bold);
    text(p, QRectF(0, s.height() * 0.62, s.width(), s.height() * 0.28), caption, cjk(px, QFont::Bold),
         Qt::white);
}

// The large tool buttons: a coloured tile with a white glyph, then the caption.
void wideButton(QPainter& p, const QSizeF& s, const QString& glyph, const QString& caption,
                const QColor& accent) {
    const QRectF r(QPointF(0, 0), s);
    plate(p, r, kPlate, 7);
    const qreal tile = s.height() - 16;
    const QRectF tileRect(9, (s.height() - tile) / 2, tile, tile);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(tileRect, accent.lighter(115), accent.darker(108)));
    p.drawPath(rounded(tileRect, 6));
    p.restore();
    paintGlyph(p, glyph, inset(tileRect, tile * 0.2), Qt::white);
    const qreal left = tileRect.right() + 6;
    const QRectF area(left, 0, s.width() - left - 8, s.height());
    const int px = fitPixels(caption, area.width(), 15, 10, QFont::DemiBold);
    text(p, area, caption, cjk(px, QFont::DemiBold), kInk);
}

// Small buttons: glyph and caption centred as one group; on a filled face both are white.
void smallButton(QPainter& p, const QSizeF& s, const QString& glyph, const QString& caption,
                 const QColor& accent, bool isFilled) {
    const QRectF r(QPointF(0, 0), s);
    const Face face = isFilled ? filled(accent) : kPlate;
    plate(p, r, face, 6);
    const qreal g = qRound(qMin(s.height() * 0.52, 16.0));
    const qreal gap = 4;
    const qreal room = s.width() - 12 - g - gap;
    const int px = fitPixels(caption, room, 12, 10, QFont::Normal);
    QFont font = cjk(px);
    qreal tw = textWidth(caption, font);
    bool showGlyph = true;
    if (tw > room) {
        showGlyph = false; // a long caption keeps its words and drops the picture
        font = cjk(fitPixels(caption, s.width() - 8, 12, 8, QFont::Normal));
        tw = textWidth(caption, font);
    }
    const qreal group = showGlyph ? g + gap + tw : tw;
    qreal x = qRound((s.width() - group) / 2);
    if (showGlyph) {
        paintGlyph(p, glyph, QRectF(x, qRound((s.height() - g) / 2), g, g), isFilled ? Qt::white : accent);
        x += g + gap;
    }
    text(p, QRectF(x, 0, tw + 2, s.height()), caption, font, face.ink, Qt::AlignLeft | Qt::AlignVCenter);
}

// The narrow tab at the right edge that docks the card panel: chevrons over a vertical caption.
void tabButton(QPainter& p, const QSizeF& s, const QString& glyph, const QString& caption) {
    const QRectF r(QPointF(0, 0), s);
    plate(p, r, kPlate, 4);
    const qreal g = s.width() - 4;
    const int px = qMin(11, int(s.width() - 3));
    const QFont font = cjk(px);
    const qreal step = px + 1;
    const qreal top = qRound((s.height() - (g + 4 + step * caption.size())) / 2);
    paintGlyph(p, glyph, QRectF(2, top, g, g), kAccentA);
    qreal y = top + g + 4;
    for (const QChar c : caption) {
        text(p, QRectF(0, y, s.width(), step), QString(c), font, kMuted);
        y += step;
    }
}

// Minimise and close: a faint tile of the glyph's colour and the glyph. Coloured rather than grey, so
// that the hover and disabled colour matrices visibly change them.
void windowButton(QPainter& p, const QSizeF& s, const QString& glyph, const QColor& ink) {
    const QRectF tile = inset(QRectF(QPointF(0, 0), s), 1.5);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(ink.red(), ink.green(), ink.blue(), 30));
    p.drawPath(rounded(tile, 4));
    p.restore();
    const qreal g = qMin(s.width(), s.height()) * 0.72;
    paintGlyph(p, glyph, QRectF((s.width() - g) / 2, (s.height() - g) / 2, g, g), ink);
}

// ---- Backgrounds ----------------------------------------------------------------------------------

void windowSurface(QPainter& p, const QSizeF& s) {
    const QRectF r(QPointF(0, 0), s);
    p.fillRect(r, vertical(r, kSurfaceTop, kSurfaceBottom));
    QLinearGradient strip(r.topLeft(), r.topRight());
    strip.setColorAt(0, kAccentA);
    strip.setColorAt(1, kAccentB);
    p.fillRect(QRectF(0, 0, s.width(), 3), strip);
    p.save();
    p.setPen(QPen(kEdge, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inset(r, 0.5));
    p.restore();
}

// The little program mark of the title bars: the icon's tile with the camera in white.
void titleMark(QPainter& p, const QRectF& r, const QString& glyph) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kAccentA);
    g.setColorAt(1, kAccentB);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(rounded(r, r.width() * 0.24));
    p.restore();
    paintGlyph(p, glyph, inset(r, r.width() * 0.14), Qt::white);
}

void titleBar(QPainter& p, const QString& title, const QString& detail, const QString& glyph, qreal height) {
    const qreal mark = 18;
    titleMark(p, QRectF(11, (height - mark) / 2 + 1.5, mark, mark), glyph);
    const QFont titleFont = cjk(14, QFont::DemiBold);
    const qreal x = 11 + mark + 8;
    const qreal w = textWidth(title, titleFont);
    text(p, QRectF(x, 1.5, w + 2, height), title, titleFont, kInk, Qt::AlignLeft | Qt::AlignVCenter);
    if (!detail.isEmpty())
        text(p, QRectF(x + w + 8, 2.5, 200, height), detail, cjk(11), kMuted,
             Qt::AlignLeft | Qt::AlignVCenter);
}

void panelCard(QPainter& p, const QRectF& r) {
    shadow(p, r, 8, 4, 60);
    card(p, r, 8, kPanel, kPanelBorder);
}

void rule(QPainter& p, qreal x1, qreal x2, qreal y) {
    p.save();
    p.setPen(QPen(kRule, 1));
    p.drawLine(QPointF(x1, y + 0.5), QPointF(x2, y + 0.5));
    p.restore();
}

void dialogBackground(QPainter& p, const QSizeF& s) {
    const DialogUnits u = DialogUnits::reference();
    auto at = [&](int x, int y, int w, int h) { return QRectF(u.map(QRect(x, y, w, h))); };
    auto between = [&](int x1, int y1, int x2, int y2) {
        return QRectF(QPointF(u.x(x1), u.y(y1)), QPointF(u.x(x2), u.y(y2)));
    };
    windowSurface(p, s);
    titleBar(p, QStringLiteral("拍摄仪影像采集及处理软件"), QStringLiteral("V1.7.0.0"),
             QStringLiteral("doccam"), u.y(22));

    // The camera picture: a dark viewport that reads as "video goes here" before the preview starts.
    const QRectF view = at(7, 22, 462, 316);
    shadow(p, view, 6, 4, 70);
    card(p, view, 6, QColor(0x1b, 0x21, 0x29), QColor(0x10, 0x16, 0x1d));
    const qreal g = 56;
    paintGlyph(p, QStringLiteral("camera"),
               QRectF(view.center().x() - g / 2, view.center().y() - g * 0.8, g, g),
               QColor(0x3c, 0x47, 0x55));
    text(p, QRectF(view.left(), view.center().y() + g * 0.3, view.width(), 24), QStringLiteral("视频预览"),
         cjk(14), QColor(0x5a, 0x66, 0x74));

    // The progress groove and the thumbnail strip.
    const QRectF groove = at(7, 340, 463, 4);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd5, 0xdc, 0xe5));
    p.drawPath(rounded(groove, groove.height() / 2));
    p.restore();
    const QRectF list = at(7, 345, 531, 96);
    shadow(p, list, 3, 3, 50);
    card(p, list, 3, Qt::white, QColor(0xc3, 0xcd, 0xd9));

    // The capture panel on the right, with rules between its groups.
    const QRectF panel = between(470, 22, 608, 283);
    panelCard(p, panel);
    rule(p, panel.left() + 8, panel.right() - 8, u.y(40));
    rule(p, panel.left() + 8, panel.right() - 8, u.y(114));

    // The mark of the maker, in the free corner below the panel.
    const QRectF brand = at(474, 288, 120, 30);
    const qreal m = 30;
    paintGlyph(p, QStringLiteral("doccam"), QRectF(brand.left() + 4, brand.center().y() - m / 2, m, m),
               kAccentA);
    text(p, QRectF(brand.left() + m + 12, brand.top() + 2, brand.width(), brand.height() / 2),
         QStringLiteral("Qorvane"), cjk(17, QFont::Bold), kInk, Qt::AlignLeft | Qt::AlignBottom);
    text(p, QRectF(brand.left() + m + 13, brand.center().y() + 2, brand.width(), brand.height() / 2),
         QStringLiteral("文档拍摄仪"), cjk(11), kMuted, Qt::AlignLeft | Qt::AlignTop);

    // The column of small buttons beside the strip.
    panelCard(p, between(539, 341, 608, 443));
}

// Fine wavy lines, the security print of the card.
void guilloche(QPainter& p, const QRectF& r, const QColor& color, int lines, qreal phase) {
    p.save();
    p.setClipPath(rounded(r, 10));
    p.setPen(QPen(color, 0.8));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < lines; ++i) {
        QPainterPath path;
        const qreal base = r.top() + r.height() * (i + 0.5) / lines;
        for (int x = 0; x <= int(r.width()); x += 3) {
            const qreal t = x / r.width();
            const qreal y =
                base + 6 * qSin(t * 2 * M_PI * 2.2 + i * 0.55 + phase) + 3 * qSin(t * 2 * M_PI * 7 + i);
            if (x == 0)
                path.moveTo(r.left() + x, y);
            else
                path.lineTo(r.left() + x, y);
        }
        p.drawPath(path);
    }
    p.restore();
}

// A generic seal: a red disc with a large star and four small ones (not any real emblem).
void seal(QPainter& p, const QPointF& c, qreal radius) {
    p.save();
    p.setPen(QPen(QColor(0xb9, 0x1c, 0x1c), 1.2));
    QRadialGradient fill(c, radius);
    fill.setColorAt(0, QColor(0xe1, 0x3a, 0x3a));
    fill.setColorAt(1, QColor(0xb4, 0x18, 0x18));
    p.setBrush(fill);
    p.drawEllipse(c, radius, radius);
    p.setPen(QPen(QColor(0xf5, 0xc5, 0x18), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius * 0.84, radius * 0.84);
    auto star = [&](const QPointF& centre, qreal outer, qreal turn) {
        QPainterPath path;
        for (int k = 0; k < 10; ++k) {
            const qreal rr = (k % 2 == 0) ? outer : outer * 0.4;
            const qreal a = -M_PI / 2 + turn + k * M_PI / 5;
            const QPointF pt(centre.x() + rr * qCos(a), centre.y() + rr * qSin(a));
            if (k == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        path.closeSubpath();
        p.fillPath(path, QColor(0xf5, 0xc5, 0x18));
    };
    star(QPointF(c.x() - radius * 0.2, c.y() - radius * 0.05), radius * 0.38, 0);
    for (int k = 0; k < 4; ++k) {
        const qreal a = -M_PI * 0.55 + k * M_PI * 0.3;
        star(QPointF(c.x() - radius * 0.2 + radius * 0.55 * qCos(a + M_PI * 0.35),
                     c.y() - radius * 0.05 + radius * 0.55 * qSin(a + M_PI * 0.35)),
             radius * 0.12, a);
    }
    p.restore();
}

void cardPanelBackground(QPainter& p, const QSizeF& s) {
    const DialogUnits u = DialogUnits::reference();
    auto at = [&](int x, int y, int w, int h) { return QRectF(u.map(QRect(x, y, w, h))); };
    auto edit = [&](int id) { return QRectF(u.map(cardPanelControl(id)->units)); };
    windowSurface(p, s);
    titleBar(p, QStringLiteral("二代证阅读面板"), QString(), QStringLiteral("idcard"), u.y(22));

    const QColor label(0x2f, 0x5f, 0x9e);
    const QFont labelFont = cjk(12);
    // A label ends a little before the field it names and shares the field's middle line.
    auto labelBefore = [&](const QString& s1, const QRectF& field, qreal left) {
        text(p, QRectF(left, field.top(), field.left() - left - 3, field.height()), s1, labelFont, label,
             Qt::AlignLeft | Qt::AlignVCenter);
    };
    auto labelAfter = [&](const QString& s1, const QRectF& field) {
        text(p, QRectF(field.right() + 1, field.top(), 16, field.height()), s1, labelFont, label,
             Qt::AlignLeft | Qt::AlignVCenter);
    };

    // The front of the card.
    const QRectF front = at(6, 24, 230, 124);
    shadow(p, front, 10, 5, 70);
    QLinearGradient frontFill(front.topLeft(), front.bottomRight());
    frontFill.setColorAt(0, QColor(0xf4, 0xf9, 0xfd));
    frontFill.setColorAt(0.55, QColor(0xe8, 0xf2, 0xf8));
    frontFill.setColorAt(1, QColor(0xf1, 0xf5, 0xeb));
    card(p, front, 10, frontFill, QColor(0xb3, 0xc7, 0xd8));
    guilloche(p, inset(front, 1), QColor(0xcf, 0xe1, 0xee), 9, 0.0);
    const qreal left = qreal(u.x(12));
    labelBefore(QStringLiteral("姓名"), edit(1022), left);
    labelBefore(QStringLiteral("性别"), edit(1023), left);
    labelBefore(QStringLiteral("民族"), edit(1024), qreal(u.x(80)));
    labelBefore(QStringLiteral("出生"), edit(1025), left);
    labelAfter(QStringLiteral("年"), edit(1025));
    labelAfter(QStringLiteral("月"), edit(1026));
    labelAfter(QStringLiteral("日"), edit(1027));
    const QRectF address = edit(1028);
    labelBefore(QStringLiteral("住址"), QRectF(address.left(), address.top(), address.width(), u.y(12)),
                left);
    labelBefore(QStringLiteral("公民身份号码"), edit(1029), left);
    // The photo field: the panel puts a white picture box there; a frame keeps its edge when empty.
    const QRectF photo = QRectF(u.map(cardPanelControl(1032)->units)).adjusted(-2, -2, 2, 2);
    card(p, photo, 3, QColor(0xff, 0xff, 0xff, 150), QColor(0xb3, 0xc7, 0xd8));

    // The back of the card.
    const QRectF back = at(6, 154, 230, 137);
    shadow(p, back, 10, 5, 70);
    QLinearGradient backFill(back.topLeft(), back.bottomRight());
    backFill.setColorAt(0, QColor(0xf7, 0xf4, 0xea));
    backFill.setColorAt(0.5, QColor(0xee, 0xf4, 0xf7));
    backFill.setColorAt(1, QColor(0xe6, 0xef, 0xf6));
    card(p, back, 10, backFill, QColor(0xbd, 0xc9, 0xd3));
    guilloche(p, inset(back, 1), QColor(0xe2, 0xdc, 0xc6), 10, 1.3);
    const QRectF sealBox = at(14, 164, 40, 40);
    seal(p, sealBox.center(), sealBox.height() / 2);
    const QRectF heading = at(60, 168, 170, 16);
    text(p, heading, QStringLiteral("中华人民共和国"), cjk(19, QFont::DemiBold), QColor(0x1d, 0x3b, 0x66));
    text(p, at(60, 190, 170, 28), QStringLiteral("居民身份证"), cjk(34, QFont::Bold),
         QColor(0x1d, 0x3b, 0x66));
    const qreal backLeft = qreal(u.x(44));
    labelBefore(QStringLiteral("签发机关"), edit(1030), backLeft);
    labelBefore(QStringLiteral("有效期限"), edit(1031), backLeft);

    // The reading log.
    const QRectF log = QRectF(u.map(cardPanelControl(1033)->units));
    shadow(p, log, 3, 3, 50);
    card(p, log, 3, Qt::white, QColor(0xc3, 0xcd, 0xd9));
    text(p, at(6, 410, 230, 26), QStringLiteral("将二代身份证放在读卡器感应区，面板按设定间隔读卡"), cjk(11),
         kMuted);
}

// ---- Splash and icon ------------------------------------------------------------------------------

void icon(QPainter& p, const QSizeF& s) {
    const QRectF r = inset(QRectF(QPointF(0, 0), s), s.width() * 0.04);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x2f, 0x6f, 0xe8));
    g.setColorAt(1, QColor(0x12, 0xa8, 0x9c));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(rounded(r, r.width() * 0.22));
    // A soft sheen over the top half.
    QLinearGradient sheen(r.topLeft(), QPointF(r.left(), r.center().y()));
    sheen.setColorAt(0, QColor(255, 255, 255, 60));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawPath(rounded(r, r.width() * 0.22));
    p.restore();
    paintGlyph(p, QStringLiteral("doccam"), inset(r, r.width() * 0.16), Qt::white);
}

void splash(QPainter& p, const QSizeF& s) {
    const QRectF r(QPointF(0, 0), s);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x1e, 0x4f, 0xc2));
    g.setColorAt(1, QColor(0x0b, 0x8f, 0x8a));
    p.fillRect(r, g);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 16));
    p.drawEllipse(QPointF(s.width() * 0.92, s.height() * 0.08), s.height() * 0.55, s.height() * 0.55);
    p.drawEllipse(QPointF(s.width() * 0.05, s.height() * 1.02), s.height() * 0.42, s.height() * 0.42);
    p.restore();

    const QRectF tile(44, (s.height() - 132) / 2 - 16, 132, 132);
    p.save();
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.2));
    p.setBrush(QColor(255, 255, 255, 36));
    p.drawPath(rounded(tile, 28));
    p.restore();
    paintGlyph(p, QStringLiteral("doccam"), inset(tile, 22), Qt::white);

    const qreal x = tile.right() + 30;
    text(p, QRectF(x, 100, s.width() - x - 20, 40), QStringLiteral("拍摄仪影像采集及处理软件"),
         cjk(26, QFont::Bold), Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(x, 142, s.width() - x - 20, 24), QStringLiteral("文档拍摄 · 证件识读 · 影像处理"), cjk(14),
         QColor(255, 255, 255, 215), Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(x, 174, 200, 20), QStringLiteral("V1.7.0.0"), cjk(13, QFont::DemiBold),
         QColor(255, 255, 255, 190), Qt::AlignLeft | Qt::AlignVCenter);

    // A still progress line: the splash is shown for under a second and never animates.
    const QRectF track(24, s.height() - 40, s.width() - 48, 3);
    p.fillRect(track, QColor(255, 255, 255, 50));
    p.fillRect(QRectF(track.left(), track.top(), track.width() * 0.38, track.height()),
               QColor(255, 255, 255, 200));
    text(p, QRectF(24, s.height() - 32, 300, 24), QStringLiteral("正在启动，请稍候…"), cjk(12),
         QColor(255, 255, 255, 200), Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRectF(s.width() - 224, s.height() - 32, 200, 24), QStringLiteral("Qorvane"),
         cjk(13, QFont::DemiBold), QColor(255, 255, 255, 200), Qt::AlignRight | Qt::AlignVCenter);
}

// ---- Catalogue ------------------------------------------------------------------------------------

QSize mainSize(int control) {
    return DialogUnits::reference().map(mainDialogControl(control)->units).size();
}
QSize cardSize(int control) {
    return DialogUnits::reference().map(cardPanelControl(control)->units).size();
}

std::vector<ArtworkInfo> makeCatalog() {
    const DialogUnits u = DialogUnits::reference();
    return {
        {res::kIcon, ArtworkKind::Icon, "icon", {256, 256}},
        {res::kSplash, ArtworkKind::Bitmap, "splash", {560, 340}},
        {res::kDialogBackground, ArtworkKind::Bitmap, "dialog-background", u.mapSize(kMainDialogUnits)},
        {res::kMinimise, ArtworkKind::Png, "minimise", mainSize(1017)},
        {res::kClose, ArtworkKind::Png, "close", mainSize(1016)},
        {res::kCapture, ArtworkKind::Bitmap, "capture", mainSize(1005)},
        {res::kMerge, ArtworkKind::Bitmap, "merge", mainSize(1006)},
        {res::kUpload, ArtworkKind::Bitmap, "upload", mainSize(1013)},
        {res::kSettings, ArtworkKind::Bitmap, "settings", mainSize(1008)},
        {res::kRecord, ArtworkKind::Bitmap, "record", mainSize(1009)},
        {res::kWatermark, ArtworkKind::Bitmap, "watermark", mainSize(1010)},
        {res::kPdf, ArtworkKind::Bitmap, "pdf", mainSize(1014)},
        {res::kClear, ArtworkKind::Bitmap, "clear", mainSize(1015)},
        {res::kTimerStart, ArtworkKind::Bitmap, "timer-start", mainSize(1011)},
        {res::kTimerStop, ArtworkKind::Bitmap, "timer-stop", mainSize(1011)},
        {res::kCardPanelBackground, ArtworkKind::Bitmap, "card-panel-background", u.mapSize(kCardPanelUnits)},
        {res::kCardResume, ArtworkKind::Bitmap, "card-resume", cardSize(1016)},
        {res::kCardPause, ArtworkKind::Bitmap, "card-pause", cardSize(1016)},
        {res::kCardSettings, ArtworkKind::Bitmap, "card-settings", cardSize(1017)},
        {res::kPanelHidden, ArtworkKind::Bitmap, "panel-hidden", mainSize(1024)},
        {res::kPanelShown, ArtworkKind::Bitmap, "panel-shown", mainSize(1024)},
        {res::kCardExport, ArtworkKind::Bitmap, "card-export", cardSize(1018)},
        {res::kTif, ArtworkKind::Bitmap, "tif", mainSize(1018)},
        {res::kPrint, ArtworkKind::Bitmap, "print", mainSize(1019)},
    };
}

void paintNatural(QPainter& p, int id, const QSizeF& s) {
    const QColor green(0x16, 0xa3, 0x4a);
    const QColor red(0xdc, 0x26, 0x26);
    switch (id) {
    case res::kIcon:
        return icon(p, s);
    case res::kSplash:
        return splash(p, s);
    case res::kDialogBackground:
        return dialogBackground(p, s);
    case res::kCardPanelBackground:
        return cardPanelBackground(p, s);
    case res::kMinimise:
        return windowButton(p, s, QStringLiteral("minimise"), QColor(0x2b, 0x5c, 0xd6));
    case res::kClose:
        return windowButton(p, s, QStringLiteral("close"), QColor(0xd0, 0x36, 0x3a));
    case res::kCapture:
        return tallButton(p, s, QStringLiteral("camera"), QStringLiteral("拍照"), kAccentA);
    case res::kMerge:
        return wideButton(p, s, QStringLiteral("merge"), QStringLiteral("合并照片"),
                          QColor(0x7c, 0x3a, 0xed));
    case res::kRecord:
        return wideButton(p, s, QStringLiteral("record"), QStringLiteral("录    像"), red);
    case res::kSettings:
        return wideButton(p, s, QStringLiteral("gear"), QStringLiteral("高级设置"), QColor(0x47, 0x55, 0x69));
    case res::kTif:
        return wideButton(p, s, QStringLiteral("layers"), QStringLiteral("TIF工具"),
                          QColor(0x02, 0x84, 0xc7));
    case res::kPrint:
        return smallButton(p, s, QStringLiteral("printer"), QStringLiteral("批量打印"),
                           QColor(0x0f, 0x76, 0x6e), false);
    case res::kWatermark:
        return smallButton(p, s, QStringLiteral("watermark"), QStringLiteral("添加水印"),
                           QColor(0x08, 0x91, 0xb2), false);
    case res::kUpload:
        return smallButton(p, s, QStringLiteral("upload"), QStringLiteral("上传服务器"), kAccentA, false);
    case res::kPdf:
        return smallButton(p, s, QStringLiteral("pdf"), QStringLiteral("图片转换PDF"), red, false);
    case res::kClear:
        return smallButton(p, s, QStringLiteral("trash"), QStringLiteral("清空图像列表"),
                           QColor(0xd9, 0x77, 0x06), false);
    case res::kTimerStart:
        return smallButton(p, s, QStringLiteral("play"), QStringLiteral("开始定时"), green, true);
    case res::kTimerStop:
        return smallButton(p, s, QStringLiteral("stop"), QStringLiteral("停止定时"), red, true);
    case res::kCardResume:
        return smallButton(p, s, QStringLiteral("play"), QStringLiteral("恢复读卡"), green, false);
    case res::kCardPause:
        return smallButton(p, s, QStringLiteral("pause"), QStringLiteral("暂停读卡"),
                           QColor(0xd9, 0x77, 0x06), false);
    case res::kCardSettings:
        return smallButton(p, s, QStringLiteral("gear"), QStringLiteral("读卡设置"), QColor(0x47, 0x55, 0x69),
                           false);
    case res::kCardExport:
        return smallButton(p, s, QStringLiteral("spreadsheet"), QStringLiteral("导出读卡流水明细到Excel表"),
                           QColor(0x15, 0x80, 0x3d), false);
    case res::kPanelHidden:
        return tabButton(p, s, QStringLiteral("chevrons-right"), QStringLiteral("读卡"));
    case res::kPanelShown:
        return tabButton(p, s, QStringLiteral("chevrons-left"), QStringLiteral("读卡"));
    default:
        return;
    }
}

QByteArray glyphSource(const QString& name) {
    static QMutex mutex;
    static QHash<QString, QByteArray> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.find(name);
    if (it == cache.end()) {
        initGlyphResources();
        QFile file(QStringLiteral(":/qx/glyphs/%1.svg").arg(name));
        it = cache.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return *it;
}

} // namespace

QString artworkFontFamily() {
    return QStringLiteral("WenQuanYi Zen Hei");
}

std::span<const ArtworkInfo> artworkCatalog() {
    static const std::vector<ArtworkInfo> catalog = makeCatalog();
    return catalog;
}

const ArtworkInfo* artworkInfo(int id) {
    for (const ArtworkInfo& info : artworkCatalog()) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

const char* artworkTypeName(ArtworkKind kind) {
    switch (kind) {
    case ArtworkKind::Bitmap:
        return "BITMAP";
    case ArtworkKind::Png:
        return "PNG";
    case ArtworkKind::Icon:
        return "ICON";
    }
    return "";
}

QString artworkResourcePath(int id, const char* type) {
    return QStringLiteral(":/qx/artwork/%1/%2.png").arg(QString::fromLatin1(type).toLower()).arg(id);
}

QString artworkResourcePath(int id) {
    const ArtworkInfo* info = artworkInfo(id);
    return info ? artworkResourcePath(id, artworkTypeName(info->kind)) : QString();
}

QImage paintArtwork(int id, QSize size) {
    const ArtworkInfo* info = artworkInfo(id);
    if (!info)
        return {};
    if (size.isEmpty())
        size = info->natural;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    // Other sizes are the natural drawing under a scale, so every edge stays sharp.
    p.scale(qreal(size.width()) / info->natural.width(), qreal(size.height()) / info->natural.height());
    paintNatural(p, id, QSizeF(info->natural));
    p.end();
    return image;
}

void paintGlyph(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color) {
    QByteArray svg = glyphSource(name);
    if (svg.isEmpty())
        return;
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return;
    painter.save();
    painter.setOpacity(painter.opacity() * color.alphaF());
    renderer.render(&painter, rect);
    painter.restore();
}

} // namespace qx::desktop
