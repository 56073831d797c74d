// The watermark dialog: its fields, the font and colour choosers, browsing, and 添加水印.
#include "control/ui/watermark_dialog.h"

#include "qx/interface/ui_host.h"

#include <QDoubleValidator>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cmath>

namespace qx::control {

namespace {

void setId(QWidget* w, int id) {
    w->setObjectName(QString::number(id));
}

QLineEdit* numberEdit(int id) {
    auto* edit = new QLineEdit(QStringLiteral("0"));
    auto* validator = new QDoubleValidator(edit);
    // Positions are typed with a decimal point whatever the desktop's language.
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::StandardNotation);
    edit->setValidator(validator);
    setId(edit, id);
    return edit;
}

QString numberText(double value) {
    return QString::number(value, 'f', 6);
}

double numberOf(const QLineEdit* edit) {
    bool ok = false;
    const double value = edit->text().trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// A scripted value in a field: numbers as the dialog shows them, anything else as text.
QString fieldText(const QVariant& value) {
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Int ||
        value.typeId() == QMetaType::LongLong)
        return numberText(value.toDouble());
    return value.toString();
}

} // namespace

CWaterMarkDlg::CWaterMarkDlg(UiHost& ui, QString picture, QString tempFolder, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_picture(std::move(picture)), m_tempFolder(std::move(tempFolder)),
      m_file(m_tempFolder + QStringLiteral("WaterMarkData.ini")) {
    setWindowTitle(QStringLiteral("添加水印"));
    setObjectName(QStringLiteral("204"));
    auto* grid = new QGridLayout(this);

    grid->addWidget(new QLabel(QStringLiteral("水印文字")), 0, 0, Qt::AlignTop);
    m_text = new QPlainTextEdit;
    setId(m_text, kText);
    m_text->setMinimumSize(360, 110);
    grid->addWidget(m_text, 0, 1, 1, 2);
    auto* font = new QPushButton(QStringLiteral("字体设置"));
    setId(font, kFont);
    grid->addWidget(font, 0, 3, Qt::AlignTop);

    grid->addWidget(new QLabel(QStringLiteral("水印图片")), 1, 0);
    m_image = new QLineEdit;
    setId(m_image, kImage);
    grid->addWidget(m_image, 1, 1, 1, 2);
    auto* browseButton = new QPushButton(QStringLiteral("浏览"));
    setId(browseButton, kBrowse);
    grid->addWidget(browseButton, 1, 3);

    const auto positionBox = [](const QString& title, QLineEdit* x, QLineEdit* y) {
        auto* box = new QGroupBox(title);
        auto* row = new QHBoxLayout(box);
        row->addWidget(new QLabel(QStringLiteral("X:")));
        row->addWidget(x);
        row->addWidget(new QLabel(QStringLiteral("Y:")));
        row->addWidget(y);
        return box;
    };
    m_textX = numberEdit(kTextX);
    m_textY = numberEdit(kTextY);
    m_imageX = numberEdit(kImageX);
    m_imageY = numberEdit(kImageY);
    grid->addWidget(positionBox(QStringLiteral("文字水印位置"), m_textX, m_textY), 2, 0, 1, 2);
    grid->addWidget(positionBox(QStringLiteral("图片水印位置"), m_imageX, m_imageY), 2, 2, 1, 2);

    auto* add = new QPushButton(QStringLiteral("添加水印"));
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    setId(add, kAdd);
    setId(cancel, kCancel);
    add->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 4);

    connect(font, &QPushButton::clicked, this, &CWaterMarkDlg::chooseFontAndColour);
    connect(browseButton, &QPushButton::clicked, this, &CWaterMarkDlg::browse);
    connect(add, &QPushButton::clicked, this, &CWaterMarkDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (m_file.exists()) {
        showSettings(m_file.read());
    } else {
        // A first dialog starts empty and leaves the file behind at once.
        WatermarkSettings empty;
        empty.text.clear();
        showSettings(empty);
        m_file.writeInitial(settings());
    }
}

void CWaterMarkDlg::showSettings(const WatermarkSettings& s) {
    m_font = s.font;
    m_red = s.red;
    m_green = s.green;
    m_blue = s.blue;
    m_text->setPlainText(s.text);
    m_image->setText(s.image);
    m_textX->setText(numberText(s.textX));
    m_textY->setText(numberText(s.textY));
    m_imageX->setText(numberText(s.imageX));
    m_imageY->setText(numberText(s.imageY));
    applyTextLook();
}

void CWaterMarkDlg::applyTextLook() {
    // The text is shown as it will be drawn: its font and its colour.
    m_text->setFont(textFont());
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::Text, QColor(int(std::trunc(m_red)) & 0xff, int(std::trunc(m_green)) & 0xff,
                                            int(std::trunc(m_blue)) & 0xff));
    m_text->setPalette(palette);
}

QFont CWaterMarkDlg::textFont() const {
    return toQFont(m_font);
}

WatermarkSettings CWaterMarkDlg::settings() const {
    WatermarkSettings s;
    s.text = m_text->toPlainText();
    s.font = m_font;
    s.textX = numberOf(m_textX);
    s.textY = numberOf(m_textY);
    s.red = m_red;
    s.green = m_green;
    s.blue = m_blue;
    s.image = m_image->text();
    s.imageX = numberOf(m_imageX);
    s.imageY = numberOf(m_imageY);
    return s;
}

void CWaterMarkDlg::chooseFontAndColour() {
    const WatermarkSettings typed = settings();
    if (const auto colour = m_ui.pickColor(this, QColor(255, 0, 0))) {
        m_red = colour->red();
        m_green = colour->green();
        m_blue = colour->blue();
    }
    if (const auto font = m_ui.pickFont(this, textFont()))
        m_font = fromQFont(*font, m_font);
    WatermarkSettings shown = typed;
    shown.font = m_font;
    shown.red = m_red;
    shown.green = m_green;
    shown.blue = m_blue;
    showSettings(shown);
}

void CWaterMarkDlg::browse() {
    FileDialogOptions options;
    if (const auto chosen = m_ui.openFiles(this, options); chosen && !chosen->isEmpty())
        m_image->setText(chosen->first());
}

void CWaterMarkDlg::applyAnswer(const QVariantMap& answer) {
    if (answer.contains(QStringLiteral("text")))
        m_text->setPlainText(answer.value(QStringLiteral("text")).toString());
    const std::pair<const char*, QLineEdit*> fields[] = {{"textX", m_textX},
                                                         {"textY", m_textY},
                                                         {"image", m_image},
                                                         {"imageX", m_imageX},
                                                         {"imageY", m_imageY}};
    for (const auto& [key, edit] : fields)
        if (answer.contains(QLatin1String(key)))
            edit->setText(fieldText(answer.value(QLatin1String(key))));
    if (answer.value(QStringLiteral("fontSettings")).toBool())
        chooseFontAndColour();
    if (answer.value(QStringLiteral("browse")).toBool())
        browse();
}

void CWaterMarkDlg::accept() {
    const WatermarkSettings s = settings();
    m_stamp = stampWatermark(m_picture, s, m_tempFolder);
    m_file.writeAll(s);
    QDialog::accept();
}

} // namespace qx::control
