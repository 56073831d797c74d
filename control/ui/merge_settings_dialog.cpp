// The merge-settings dialog: fields as the user types them, the colour chooser and the two outcomes.
#include "control/ui/merge_settings_dialog.h"

#include "qx/interface/ui_host.h"

#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>

namespace qx::control {

namespace {

void setId(QWidget* w, int id) {
    w->setObjectName(QString::number(id));
}

uint8_t component(const QVariant& v, int fallback) {
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return static_cast<uint8_t>(fallback);
    return static_cast<uint8_t>(std::clamp(static_cast<int>(d), 0, 255));
}

} // namespace

CMergeSettingDlg::CMergeSettingDlg(UiHost& ui, QWidget* parent) : QDialog(parent), m_ui(ui) {
    setWindowTitle(QStringLiteral("设置合并间距和颜色"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("合并间距")), 0, 0);
    m_gap = new QLineEdit(QStringLiteral("10"));
    m_gap->setValidator(new QDoubleValidator(m_gap));
    setId(m_gap, kGap);
    grid->addWidget(m_gap, 0, 1);
    m_colourButton = new QPushButton(QStringLiteral("间距颜色"));
    setId(m_colourButton, kColour);
    grid->addWidget(m_colourButton, 0, 2);
    m_vertical = new QRadioButton(QStringLiteral("纵向合并"));
    m_horizontal = new QRadioButton(QStringLiteral("横向合并"));
    setId(m_vertical, kVertical);
    setId(m_horizontal, kHorizontal);
    m_vertical->setChecked(true);
    grid->addWidget(m_vertical, 1, 0);
    grid->addWidget(m_horizontal, 1, 1);
    auto* columns = new QHBoxLayout;
    m_columns = new QLineEdit(QStringLiteral("1"));
    m_columns->setValidator(new QIntValidator(m_columns));
    setId(m_columns, kColumns);
    columns->addWidget(m_columns);
    columns->addWidget(new QLabel(QStringLiteral("列")));
    grid->addLayout(columns, 1, 2);
    auto* ok = new QPushButton(QStringLiteral("确定"));
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    setId(ok, kOk);
    setId(cancel, kCancel);
    ok->setDefault(true);
    grid->addWidget(ok, 2, 1);
    grid->addWidget(cancel, 2, 2);

    setColour(m_colour);
    connect(m_colourButton, &QPushButton::clicked, this, &CMergeSettingDlg::chooseColour);
    connect(m_vertical, &QRadioButton::toggled, this, &CMergeSettingDlg::updateColumns);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    updateColumns();
}

void CMergeSettingDlg::updateColumns() {
    // The column count only means something for rows.
    m_columns->setEnabled(m_horizontal->isChecked());
}

void CMergeSettingDlg::chooseColour() {
    // The chooser opens on white, whatever colour was chosen before.
    if (const auto chosen = m_ui.pickColor(this, QColor(255, 255, 255)))
        setColour(*chosen);
}

void CMergeSettingDlg::setColour(const QColor& colour) {
    m_colour = colour;
    // The button shows the colour the gaps will have.
    QPixmap swatch(14, 14);
    swatch.fill(m_colour);
    m_colourButton->setIcon(QIcon(swatch));
}

void CMergeSettingDlg::applyAnswer(const QVariantMap& answer) {
    if (answer.contains(QStringLiteral("gap")))
        m_gap->setText(answer.value(QStringLiteral("gap")).toString());
    if (answer.contains(QStringLiteral("red")) || answer.contains(QStringLiteral("green")) ||
        answer.contains(QStringLiteral("blue")))
        setColour(QColor(component(answer.value(QStringLiteral("red")), m_colour.red()),
                         component(answer.value(QStringLiteral("green")), m_colour.green()),
                         component(answer.value(QStringLiteral("blue")), m_colour.blue())));
    if (answer.contains(QStringLiteral("vertical"))) {
        if (answer.value(QStringLiteral("vertical")).toBool())
            m_vertical->setChecked(true);
        else
            m_horizontal->setChecked(true);
    }
    if (answer.contains(QStringLiteral("columns")) && m_columns->isEnabled())
        m_columns->setText(answer.value(QStringLiteral("columns")).toString());
}

MergeSettings CMergeSettingDlg::acceptedSettings() const {
    MergeSettings s;
    bool ok = false;
    const double gap = m_gap->text().toDouble(&ok);
    // A negative gap would draw no picture at all; past any canvas a JPEG can hold it is cut there.
    s.gap = ok && std::isfinite(gap) && gap > 0 ? static_cast<int>(std::ceil(std::min(gap, 1e6))) : 0;
    s.red = static_cast<uint8_t>(m_colour.red());
    s.green = static_cast<uint8_t>(m_colour.green());
    s.blue = static_cast<uint8_t>(m_colour.blue());
    s.vertical = m_vertical->isChecked();
    const int columns = m_columns->text().toInt(&ok);
    s.columns = ok && columns > 1 ? columns : 1;
    return s;
}

MergeSettings CMergeSettingDlg::cancelledSettings() {
    return MergeSettings{};
}

} // namespace qx::control
