// Draws the two sides of the card with QPainter: fields where the card prints them, the holder photo.
#include "card_picture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace qx::idcard {

namespace {

constexpr int kSideWidth = 856;
constexpr int kSideHeight = 540;
constexpr int kMargin = 22;

const QColor kLabelColour(0x2F, 0x5B, 0x8A);
const QColor kValueColour(0x10, 0x10, 0x10);

QFont cardFont(int pixelSize, bool bold = false) {
    // The CJK font the system installs; without it Chinese text would come out as boxes.
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void drawText(QPainter& p, int x, int baseline, const QString& text, const QFont& font,
              const QColor& colour) {
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QPoint(x, baseline), text);
}

void drawSideBackground(QPainter& p, const QRect& side, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(side.topLeft(), side.bottomRight());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.setPen(QPen(QColor(0xB8, 0xC6, 0xD4), 2));
    p.setBrush(gradient);
    p.drawRoundedRect(side, 28, 28);

    // Fine wave lines, the security print of a real card in spirit.
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(side, 28, 28);
    p.setClipPath(clip);
    p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF, 110), 1));
    p.setBrush(Qt::NoBrush);
    for (int row = 0; row < side.height(); row += 18) {
        QPainterPath wave;
        wave.moveTo(side.left(), side.top() + row);
        for (int x = 0; x <= side.width(); x += 8)
            wave.lineTo(side.left() + x, side.top() + row + 6 * qSin((x + row * 3) / 40.0));
        p.drawPath(wave);
    }
    p.restore();
}

// A plain red disc with a gold star and ring: a stand-in mark, not the national emblem.
void drawMark(QPainter& p, const QPointF& centre, qreal radius) {
    p.setPen(QPen(QColor(0xD4, 0xA0, 0x17), radius * 0.08));
    p.setBrush(QColor(0xC8, 0x1E, 0x1E));
    p.drawEllipse(centre, radius, radius);
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? radius * 0.62 : radius * 0.25;
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const QPointF point(centre.x() + r * qCos(a), centre.y() + r * qSin(a));
        if (i == 0)
            star.moveTo(point);
        else
            star.lineTo(point);
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF2, 0xC4, 0x1B));
    p.drawPath(star);
}

QString withoutLeadingZero(const QString& number) {
    bool ok = false;
    const int n = number.toInt(&ok);
    return ok ? QString::number(n) : number;
}

void drawPhotoSide(QPainter& p, const QRect& side, const CardFields& f, const QImage& photo) {
    drawSideBackground(p, side, QColor(0xF5, 0xF8, 0xFB), QColor(0xE2, 0xEC, 0xF5));
    const int x = side.left();
    const int y = side.top();
    const QFont label = cardFont(22);
    const QFont value = cardFont(25);

    drawText(p, x + 50, y + 90, QStringLiteral("姓 名"), label, kLabelColour);
    drawText(p, x + 140, y + 90, f.name, cardFont(28), kValueColour);

    drawText(p, x + 50, y + 160, QStringLiteral("性 别"), label, kLabelColour);
    drawText(p, x + 140, y + 160, f.sex, value, kValueColour);
    drawText(p, x + 250, y + 160, QStringLiteral("民 族"), label, kLabelColour);
    drawText(p, x + 340, y + 160, f.nation, value, kValueColour);

    drawText(p, x + 50, y + 230, QStringLiteral("出 生"), label, kLabelColour);
    drawText(p, x + 140, y + 230, f.birthYear, value, kValueColour);
    drawText(p, x + 210, y + 230, QStringLiteral("年"), label, kLabelColour);
    drawText(p, x + 252, y + 230, withoutLeadingZero(f.birthMonth), value, kValueColour);
    drawText(p, x + 300, y + 230, QStringLiteral("月"), label, kLabelColour);
    drawText(p, x + 342, y + 230, withoutLeadingZero(f.birthDay), value, kValueColour);
    drawText(p, x + 390, y + 230, QStringLiteral("日"), label, kLabelColour);

    drawText(p, x + 50, y + 300, QStringLiteral("住 址"), label, kLabelColour);
    p.setFont(value);
    p.setPen(kValueColour);
    p.drawText(QRect(x + 140, y + 276, 410, 150), Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere,
               f.address);

    drawText(p, x + 50, y + 480, QStringLiteral("公民身份号码"), label, kLabelColour);
    QFont number = cardFont(32, true);
    number.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    drawText(p, x + 250, y + 482, f.number, number, kValueColour);

    const QRect photoFrame(x + 580, y + 60, 240, 296);
    const QImage scaled = photo.scaled(photoFrame.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QPoint at(photoFrame.center().x() - scaled.width() / 2 + 1,
                    photoFrame.center().y() - scaled.height() / 2 + 1);
    p.drawImage(at, scaled);
}

void drawEmblemSide(QPainter& p, const QRect& side, const CardFields& f) {
    drawSideBackground(p, side, QColor(0xF7, 0xF4, 0xEA), QColor(0xE6, 0xEE, 0xF3));
    const int x = side.left();
    const int y = side.top();
    drawMark(p, QPointF(x + 125, y + 120), 70);

    QFont country = cardFont(38, true);
    country.setLetterSpacing(QFont::AbsoluteSpacing, 8);
    drawText(p, x + 250, y + 115, QStringLiteral("中华人民共和国"), country, kValueColour);
    QFont title = cardFont(62, true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 14);
    drawText(p, x + 235, y + 225, QStringLiteral("居民身份证"), title, kValueColour);

    const QFont label = cardFont(24);
    const QFont value = cardFont(26);
    drawText(p, x + 170, y + 420, QStringLiteral("签发机关"), label, kLabelColour);
    drawText(p, x + 300, y + 420, f.authority, value, kValueColour);
    drawText(p, x + 170, y + 480, QStringLiteral("有效期限"), label, kLabelColour);
    drawText(p, x + 300, y + 480, validity(f), value, kValueColour);
}

} // namespace

QImage composeCardPicture(const CardFields& fields, const QImage& photo) {
    QImage sheet(kSideWidth + 2 * kMargin, 2 * kSideHeight + 3 * kMargin, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    drawPhotoSide(p, QRect(kMargin, kMargin, kSideWidth, kSideHeight), fields, photo);
    drawEmblemSide(p, QRect(kMargin, 2 * kMargin + kSideHeight, kSideWidth, kSideHeight), fields);
    p.end();
    return sheet;
}

} // namespace qx::idcard
