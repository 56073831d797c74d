// The card panel's window: its skin, its size in dialog units and the slide that shows and hides it.
#include "qx/desktop/id_card_dlg.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"

#include <QPainter>
#include <QRegion>
#include <QVariantAnimation>

namespace qx::desktop {

CIDCardDlg::CIDCardDlg(QWidget* mainDialog)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::Tool), m_mainDialog(mainDialog) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("CIDCardDlg"));
    setWindowTitle(QStringLiteral("身份证信息"));
    setFont(dialogFont());
    setFixedSize(DialogUnits::fromFont(font()).mapSize(kCardPanelUnits));
}

void CIDCardDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), artwork(res::kCardPanelBackground, size()));
}

void CIDCardDlg::setRevealed(qreal revealed) {
    m_revealed = revealed;
    // The panel slides out of the main window's right edge: its left part shows first.
    const int w = qRound(width() * revealed);
    setMask(QRegion(0, 0, qMax(w, 1), height()));
}

void CIDCardDlg::slide(qreal to, int milliseconds, bool hideAtEnd) {
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(m_revealed);
    animation->setEndValue(to);
    animation->setDuration(milliseconds);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { setRevealed(v.toReal()); });
    connect(animation, &QVariantAnimation::finished, this, [this, hideAtEnd] {
        if (hideAtEnd)
            hide();
        clearMask();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CIDCardDlg::slideShow(int milliseconds) {
    setRevealed(0.0);
    show();
    slide(1.0, milliseconds, false);
}

void CIDCardDlg::slideHide(int milliseconds) {
    slide(0.0, milliseconds, true);
}

} // namespace qx::desktop
