// The card panel: its skin and slides, the timed card reads through the control, the log and its export.
#include "qx/desktop/id_card_dlg.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/cam_config.h"
#include "qx/desktop/card_log_export.h"
#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"
#include "qx/desktop/idc_setting_dlg.h"
#include "qx/desktop/morvel_qx_web.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"
#include "qx/platform/profile.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegion>
#include <QStyle>
#include <QTreeWidget>
#include <QVariantAnimation>
#include <QWindow>

namespace qx::desktop {

namespace {

constexpr int kFirstEdit = card_id::kName;
constexpr int kEditCount = 10;

// The holder's photo box: a white rectangle with the photo stretched over all of it.
class PhotoFrame : public QWidget {
public:
    PhotoFrame(const QImage& photo, QWidget* parent) : QWidget(parent), m_photo(photo) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (m_photo.isNull())
            return;
        // Half-tone stretching: a smooth scale, not a pixel-doubling one.
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(rect()), m_photo, QRectF(m_photo.rect()));
    }

private:
    const QImage& m_photo;
};

// The card's fields lie on the blank card printed in the skin: black text on no background of its
// own, so the card shows through (the text background colour 250, 250, 250 is never painted).
QPalette fieldPalette(QPalette palette) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::Base, Qt::transparent);
        palette.setColor(group, QPalette::Window, Qt::transparent);
    }
    return palette;
}

QString localTimeText() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%4d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

} // namespace

CIDCardDlg::CIDCardDlg(QWidget* mainDialog, CardPanelOwner owner)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::Tool), m_mainDialog(mainDialog),
      m_owner(std::move(owner)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("CIDCardDlg"));
    setWindowTitle(QStringLiteral("身份证信息"));
    setFont(dialogFont());
    setFixedSize(DialogUnits::fromFont(font()).mapSize(kCardPanelUnits));
    // "ImgTemp.bmp" is the card library's, so it is looked for in the data folder of the library's folder.
    if (m_owner.photoFolder.isEmpty())
        m_owner.photoFolder = platform::dataFolder(platform::controlModulesFolder());
    else
        m_owner.photoFolder = platform::withTrailingSlash(m_owner.photoFolder);
    // A tick comes one full interval after the resume, never early.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CIDCardDlg::onTimer);
    buildControls();
    initPanel();
}

CIDCardDlg::~CIDCardDlg() {
    m_timer.stop();
}

UiHost& CIDCardDlg::ui() {
    if (m_owner.ui)
        return *m_owner.ui;
    if (!m_ownUi)
        m_ownUi = std::make_unique<QtUiHost>();
    return *m_ownUi;
}

void CIDCardDlg::buildControls() {
    const DialogUnits u = DialogUnits::fromFont(font());
    const auto place = [&](int id) { return u.map(cardPanelControl(id)->units); };
    const QPalette fields = fieldPalette(palette());
    for (int i = 0; i < kEditCount; ++i) {
        const int id = kFirstEdit + i;
        QWidget* edit = nullptr;
        if (id == card_id::kAddress) {
            auto* text = new QPlainTextEdit(this);
            text->setReadOnly(true);
            text->setFrameShape(QFrame::NoFrame);
            text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            text->viewport()->setAutoFillBackground(false);
            text->viewport()->setPalette(fields);
            text->document()->setDocumentMargin(1);
            edit = text;
        } else {
            auto* line = new QLineEdit(this);
            line->setReadOnly(true);
            line->setFrame(false);
            if (id == card_id::kBirthMonth || id == card_id::kBirthDay)
                line->setAlignment(Qt::AlignCenter);
            line->setTextMargins(0, 0, 0, 0);
            edit = line;
        }
        edit->setObjectName(QString::number(id));
        edit->setPalette(fields);
        edit->setAutoFillBackground(false);
        edit->setGeometry(place(id));
        m_edits << edit;
    }

    m_photoFrame = new PhotoFrame(m_photo, this);
    m_photoFrame->setObjectName(QString::number(card_id::kPhoto));
    m_photoFrame->setGeometry(place(card_id::kPhoto));

    auto button = [&](int id) {
        const ControlPlacement* placement = cardPanelControl(id);
        auto* b = new BitmapButton(this);
        b->setObjectName(QString::number(id));
        b->setGeometry(place(id));
        b->setText(QString::fromUtf8(placement->caption));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    m_pauseResume = button(card_id::kPauseResume);
    m_settings = button(card_id::kSettings);
    m_export = button(card_id::kExport);
    connect(m_pauseResume, &QAbstractButton::clicked, this, &CIDCardDlg::onPauseResume);
    connect(m_settings, &QAbstractButton::clicked, this, &CIDCardDlg::onSettings);
    connect(m_export, &QAbstractButton::clicked, this, &CIDCardDlg::onExport);

    m_log = new QTreeWidget(this);
    m_log->setObjectName(QString::number(card_id::kLog));
    m_log->setGeometry(place(card_id::kLog));
    m_log->setRootIsDecorated(false);
    m_log->setUniformRowHeights(true);
    m_log->setItemsExpandable(false);
    m_log->setAllColumnsShowFocus(true);
    m_log->setSelectionMode(QAbstractItemView::SingleSelection);
    m_log->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_log->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_log->header()->setStretchLastSection(false);
    m_log->header()->setSectionsMovable(false);
}

void CIDCardDlg::initPanel() {
    m_pauseResume->setBitmapId(res::kCardResume);
    m_settings->setBitmapId(res::kCardSettings);
    m_export->setBitmapId(res::kCardExport);

    if (!m_owner.iniPath.isEmpty() && camConfigOpensExisting(m_owner.iniPath)) {
        m_compositeFolder = readCamConfig(m_owner.iniPath, kCamSection, "IDCSavePath", QString());
        m_readInterval = platform::decimalPrefix(
            readCamConfig(m_owner.iniPath, kCamSection, "IDCTimeCount", QString::number(kDefaultIntervalMs)));
    }

    m_log->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("身份证号"), QStringLiteral("姓    名"),
                            QStringLiteral("刷卡时间")});
    // The list's client width: inside its frame, before any scroll bar.
    const int w = m_log->width() - 2 * m_log->frameWidth();
    m_logClientWidth = w;
    m_columnWidths = {w / 9, 7 * w / 18, w / 6, w / 3};
    for (int c = 0; c < m_columnWidths.size(); ++c)
        m_log->setColumnWidth(c, m_columnWidths[c]);
    fitLogFont();
    update();
}

void CIDCardDlg::fitLogFont() {
    // The widths were drawn for 宋体, whose digits are narrower than WenQuanYi's: the list's text gets
    // just small enough for an identity number and a time stamp to fit their columns unshortened.
    const int margins =
        2 * (m_log->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_log) + 1) + 2;
    const QString number = QStringLiteral("11010519491231002X");
    const QString time = QStringLiteral("2026-12-31 23:59:59");
    QFont f = m_log->font();
    for (qreal size = f.pointSizeF(); size >= 6.0; size -= 0.5) {
        f.setPointSizeF(size);
        const QFontMetrics m(f);
        if (m.horizontalAdvance(number) + margins <= m_columnWidths[1] &&
            m.horizontalAdvance(time) + margins <= m_columnWidths[3])
            break;
    }
    m_log->setFont(f);
    m_log->header()->setFont(font());
}

void CIDCardDlg::setReadingEnabled(bool enabled) {
    m_readingEnabled = enabled;
    m_pauseResume->setBitmapId(enabled ? res::kCardPause : res::kCardResume);
}

void CIDCardDlg::onPauseResume() {
    if (m_readingEnabled) {
        // The timer runs on; its ticks do nothing until the next resume.
        setReadingEnabled(false);
        return;
    }
    setReadingEnabled(true);
    m_timer.stop();
    m_timer.start(qMax(m_readInterval, kMinimumTimerMs));
}

void CIDCardDlg::onTimer() {
    if (!m_readingEnabled)
        return;
    ++m_ticks;
    // The control keeps the window's events going while it talks to the reader, so this timer ticks
    // inside a read; those ticks are dropped rather than stacked on the running read.
    if (m_reading) {
        ++m_skipped;
        return;
    }
    clearFields();
    const QPointer<CIDCardDlg> self(this);
    m_reading = true;
    const bool read = readCard();
    if (!self)
        return;
    m_reading = false;
    if (read) {
        update();
        const QString time = localTimeText();
        const QString number = QString::asprintf("   %d   ", m_rowCounter);
        showFields();
        appendRow(number, time);
        loadPhoto();
    }
    if (m_closeAfterRead)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool CIDCardDlg::readCard() {
    if (!m_owner.control)
        return false;
    ++m_reads;
    if (!m_owner.control->IDCardRead(m_compositeFolder))
        return false;
    m_rawCardText = m_owner.control->GetSIDInfoChar();
    return !m_rawCardText.isEmpty();
}

void CIDCardDlg::clearFields() {
    for (QWidget* edit : std::as_const(m_edits)) {
        if (auto* line = qobject_cast<QLineEdit*>(edit))
            line->clear();
        else if (auto* text = qobject_cast<QPlainTextEdit*>(edit))
            text->clear();
    }
}

void CIDCardDlg::showFields() {
    CMorvelQxWeb& c = *m_owner.control;
    const QString values[kEditCount] = {
        c.GetIdName(),     c.GetIdSex(),     c.GetIdNation(), c.GetIdBirthYear(), c.GetIdBirthMonth(),
        c.GetIdBirthDay(), c.GetIdAddress(), c.GetIdNum(),    c.GetIdIssue(),     c.GetIdValidity(),
    };
    for (int i = 0; i < kEditCount; ++i) {
        QWidget* edit = m_edits[i];
        if (auto* line = qobject_cast<QLineEdit*>(edit)) {
            line->setText(values[i]);
            line->setCursorPosition(0);
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(edit)) {
            text->setPlainText(values[i]);
        }
    }
}

void CIDCardDlg::appendRow(const QString& number, const QString& time) {
    auto* item = new QTreeWidgetItem(
        QStringList{number, controlText(card_id::kNumber), controlText(card_id::kName), time});
    m_log->insertTopLevelItem(qMin(m_rowCounter - 1, m_log->topLevelItemCount()), item);
    m_log->clearSelection();
    m_log->setCurrentItem(item);
    item->setSelected(true);
    m_log->scrollToItem(item);
    m_log->doItemsLayout();
    ++m_rowCounter;
}

QString CIDCardDlg::photoPath() const {
    return m_owner.photoFolder + QStringLiteral("ImgTemp.bmp");
}

void CIDCardDlg::loadPhoto() {
    // A read that left no readable photo shows none, rather than the previous holder's.
    m_photo = QImage(photoPath());
    m_photoFrame->update();
    update();
}

void CIDCardDlg::showMessage(const QString& text) {
    ui().messageBox(this, text, QString(), MessageIcon::None, false);
}

void CIDCardDlg::onSettings() {
    setReadingEnabled(false);
    CIDCSettingDlg dialog(ui(), m_owner.iniPath, this);
    m_lastSettingsShown = dialog.state();
    const int result =
        ui().runDialog(&dialog, QStringLiteral("card-settings"),
                       [&dialog](const QVariant& answer) { dialog.applyAnswer(answer.toMap()); });
    if (result != QDialog::Accepted)
        return;
    // The new interval takes effect at the next resume.
    m_compositeFolder = dialog.folder();
    m_readInterval = dialog.seconds() * 1000;
    if (!m_owner.iniPath.isEmpty())
        writeExistingCamConfig(m_owner.iniPath, {{"IDCSavePath", m_compositeFolder},
                                                 {"IDCTimeCount", QString::asprintf("%d", m_readInterval)}});
}

void CIDCardDlg::onExport() {
    setReadingEnabled(false);
    const QList<QStringList> rows = logRows();
    if (rows.isEmpty()) {
        showMessage(QString::fromUtf8(kEmptyLogText));
        return;
    }
    FileDialogOptions options;
    options.filter = QStringLiteral("工作表文件(*.xlsx)");
    options.defaultSuffix = QStringLiteral("xlsx");
    options.overwritePrompt = true;
    const auto chosen = ui().saveFile(this, options);
    if (!chosen || chosen->isEmpty())
        return;
    const WorkbookResult written =
        writeStringWorkbook(workbookPathFor(*chosen), QString::fromUtf8(kLogSheetName), logHeaders(), rows);
    if (!written.ok)
        showMessage(QString::fromUtf8(kExportFailedText).arg(written.error));
}

QWidget* CIDCardDlg::controlById(int id) const {
    if (id >= kFirstEdit && id < kFirstEdit + kEditCount)
        return m_edits.value(id - kFirstEdit);
    switch (id) {
    case card_id::kPhoto:
        return m_photoFrame;
    case card_id::kPauseResume:
        return m_pauseResume;
    case card_id::kSettings:
        return m_settings;
    case card_id::kExport:
        return m_export;
    case card_id::kLog:
        return m_log;
    default:
        return nullptr;
    }
}

bool CIDCardDlg::clickControl(int id) {
    auto* button = qobject_cast<QAbstractButton*>(controlById(id));
    if (!button || !button->isEnabled())
        return false;
    button->click();
    return true;
}

QString CIDCardDlg::controlText(int id) const {
    const QWidget* w = controlById(id);
    if (const auto* line = qobject_cast<const QLineEdit*>(w))
        return line->text();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(w))
        return text->toPlainText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    return {};
}

int CIDCardDlg::pauseResumeBitmap() const {
    return m_pauseResume->bitmapId();
}

QStringList CIDCardDlg::logHeaders() const {
    QStringList out;
    const QTreeWidgetItem* header = m_log->headerItem();
    for (int c = 0; c < header->columnCount(); ++c)
        out << header->text(c);
    return out;
}

QList<QStringList> CIDCardDlg::logRows() const {
    QList<QStringList> out;
    for (int r = 0; r < m_log->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* item = m_log->topLevelItem(r);
        QStringList cells;
        for (int c = 0; c < m_log->columnCount(); ++c)
            cells << item->text(c);
        out << cells;
    }
    return out;
}

QList<int> CIDCardDlg::logColumnWidths() const {
    return m_columnWidths;
}

void CIDCardDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), artwork(res::kCardPanelBackground, size()));
}

void CIDCardDlg::closeEvent(QCloseEvent* event) {
    if (m_reading) {
        // The read's frame is still on the stack: the panel goes once the read has returned.
        m_closeAfterRead = true;
        hide();
        event->ignore();
        return;
    }
    m_timer.stop();
    QWidget::closeEvent(event);
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
    if (!canSlide()) {
        // A Wayland compositor places the panel itself, so a slide from the main window's edge would
        // start nowhere in particular: the panel shows whole, kept with the main window.
        m_revealed = 1.0;
        clearMask();
        if (m_mainDialog && !windowHandle()) {
            create();
            windowHandle()->setTransientParent(m_mainDialog->window()->windowHandle());
        }
        show();
        return;
    }
    setRevealed(0.0);
    show();
    slide(1.0, milliseconds, false);
}

void CIDCardDlg::slideHide(int milliseconds) {
    if (!canSlide()) {
        m_revealed = 0.0;
        hide();
        return;
    }
    slide(0.0, milliseconds, true);
}

bool CIDCardDlg::canSlide() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace qx::desktop
