// The card panel's settings dialog: filled from the settings file, handed back on 保存设置.
#include "qx/desktop/idc_setting_dlg.h"

#include "qx/desktop/cam_config.h"
#include "qx/desktop/dialog_units.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"
#include "qx/platform/profile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>

namespace qx::desktop {

namespace {
constexpr QSize kDialogUnits{241, 118};
} // namespace

CIDCSettingDlg::CIDCSettingDlg(UiHost& ui, const QString& iniPath, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_iniPath(iniPath) {
    setWindowTitle(QStringLiteral("读卡设置"));
    setObjectName(QStringLiteral("CIDCSettingDlg"));
    setFont(dialogFont());
    buildControls();
    initDialog();
}

void CIDCSettingDlg::buildControls() {
    const DialogUnits u = DialogUnits::fromFont(font());
    setFixedSize(u.mapSize(kDialogUnits));
    auto label = [&](const QString& text, const QRect& at) {
        auto* l = new QLabel(text, this);
        l->setGeometry(u.map(at));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    label(QStringLiteral("二代证合成图片路径(不设置视为不生成二代证图片)"), {8, 7, 226, 11});
    m_folderEdit = new QPlainTextEdit(this);
    m_folderEdit->setObjectName(QString::number(kFolderEdit));
    m_folderEdit->setGeometry(u.map({8, 20, 186, 20}));
    m_folderEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_folderEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_folderEdit->setTabChangesFocus(true);
    auto* browse = new QPushButton(QStringLiteral("浏览"), this);
    browse->setObjectName(QString::number(kBrowse));
    browse->setAutoDefault(false);
    browse->setGeometry(u.map({198, 20, 36, 20}));
    connect(browse, &QPushButton::clicked, this, &CIDCSettingDlg::onBrowse);

    label(QStringLiteral("读卡时间间隔"), {8, 54, 52, 12});
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QString::number(kSlider));
    m_slider->setGeometry(u.map({60, 50, 134, 20}));
    m_slider->setTickPosition(QSlider::TicksBothSides);
    m_slider->setTickInterval(1);
    m_slider->setPageStep(1);
    // The number follows the thumb while it moves, not only when it is let go.
    connect(m_slider, &QSlider::valueChanged, this, &CIDCSettingDlg::showSeconds);
    m_secondsEdit = new QLineEdit(this);
    m_secondsEdit->setObjectName(QString::number(kSecondsEdit));
    m_secondsEdit->setReadOnly(true);
    m_secondsEdit->setAlignment(Qt::AlignCenter);
    m_secondsEdit->setGeometry(u.map({198, 53, 22, 13}));
    label(QStringLiteral("秒"), {223, 54, 12, 12});

    auto button = [&](int id, const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::number(id));
        b->setAutoDefault(false);
        b->setGeometry(u.map({x, 88, 64, 18}));
        return b;
    };
    connect(button(kOk, QStringLiteral("保存设置"), 48), &QPushButton::clicked, this,
            &CIDCSettingDlg::onSave);
    connect(button(kCancel, QStringLiteral("取消设置"), 128), &QPushButton::clicked, this, &QDialog::reject);
}

void CIDCSettingDlg::initDialog() {
    m_slider->setRange(0, kMaxSeconds);
    QString folder;
    int interval = 3000;
    if (!m_iniPath.isEmpty() && camConfigOpensExisting(m_iniPath)) {
        folder = readCamConfig(m_iniPath, kCamSection, "IDCSavePath", QString());
        interval = platform::decimalPrefix(
            readCamConfig(m_iniPath, kCamSection, "IDCTimeCount", QStringLiteral("3000")));
    }
    m_folder = folder;
    m_folderEdit->setPlainText(folder);
    // Integer division toward zero; the slider clamps a longer interval to its end.
    m_slider->setValue(interval / 1000);
    showSeconds(m_slider->value());
}

void CIDCSettingDlg::showSeconds(int position) {
    m_seconds = position;
    m_secondsEdit->setText(QString::number(position));
}

void CIDCSettingDlg::onBrowse() {
    const auto chosen = m_ui.pickFolder(this, QStringLiteral("保存"),
                                        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (!chosen || chosen->isEmpty())
        return;
    m_folder = platform::withTrailingSlash(*chosen);
    m_folderEdit->setPlainText(m_folder);
}

void CIDCSettingDlg::onSave() {
    // The control puts the picture's name straight after the folder: a typed folder gets the
    // separator 浏览 would have given it.
    m_folder = platform::withTrailingSlash(m_folderEdit->toPlainText().trimmed());
    m_seconds = m_slider->value();
    accept();
}

void CIDCSettingDlg::applyAnswer(const QVariantMap& answer) {
    if (answer.contains(QLatin1String("folder")))
        m_folderEdit->setPlainText(answer.value(QLatin1String("folder")).toString());
    if (answer.contains(QLatin1String("seconds")))
        m_slider->setValue(answer.value(QLatin1String("seconds")).toInt());
    if (answer.value(QLatin1String("browse")).toBool())
        onBrowse();
    onSave();
}

QVariantMap CIDCSettingDlg::state() const {
    return {{QStringLiteral("caption"), windowTitle()},
            {QStringLiteral("folder"), m_folderEdit->toPlainText()},
            {QStringLiteral("slider"), m_slider->value()},
            {QStringLiteral("sliderMaximum"), m_slider->maximum()},
            {QStringLiteral("seconds"), m_secondsEdit->text()}};
}

} // namespace qx::desktop
