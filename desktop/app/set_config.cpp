// The settings dialog: filled from the control and the settings file, handed back on 保存设置.
#include "qx/desktop/set_config.h"

#include "qx/desktop/cam_config.h"
#include "qx/desktop/dialog_units.h"
#include "qx/desktop/morvel_qx_web.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/profile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <array>

namespace qx::desktop {

namespace {

constexpr QSize kDialogUnits{239, 320};

// List positions and the values they store.
const std::array<const char*, 4> kFormatValues{"jpg", "bmp", "gif", "tif"};
const std::array<const char*, 4> kFormatTexts{"jpg", "bmp", "gif", "tiff"};
constexpr std::array<int, 4> kRotationValues{0, 90, 180, 270};
const std::array<const char*, 4> kRotationTexts{"无旋转", "顺时针旋转90度", "倒置180度", "逆时针旋转90度"};
constexpr std::array<int, 4> kDpiValues{0, 96, 200, 300};
const std::array<const char*, 4> kDpiTexts{"默认值", "96", "200", "300"};
const std::array<const char*, 4> kColorTexts{"彩色图像", "灰度图像", "黑白图像", "打印增强彩色"};

template <typename T, std::size_t N> int positionOf(const std::array<T, N>& values, const QString& text) {
    for (std::size_t i = 0; i < N; ++i)
        if (text == QString::fromUtf8(values[i]))
            return static_cast<int>(i);
    return -1;
}
template <std::size_t N> int positionOf(const std::array<int, N>& values, const QString& text) {
    for (std::size_t i = 0; i < N; ++i)
        if (text == QString::number(values[i]))
            return static_cast<int>(i);
    return -1;
}

QString plainText(const QPlainTextEdit* edit) {
    return edit->toPlainText();
}

QStringList itemTexts(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

} // namespace

CSetConfig::CSetConfig(CMorvelQxWeb& control, UiHost& ui, const QString& iniPath, const SettingsValues& seed,
                       QWidget* parent)
    : QDialog(parent), m_control(control), m_ui(ui), m_iniPath(iniPath), m_values(seed) {
    setWindowTitle(QStringLiteral("高级设置"));
    setObjectName(QStringLiteral("CSetConfig"));
    setFont(dialogFont());
    buildControls();
    initDialog();
}

void CSetConfig::buildControls() {
    const DialogUnits u = DialogUnits::fromFont(font());
    setFixedSize(u.mapSize(kDialogUnits));
    auto label = [&](const QString& text, const QRect& at) {
        auto* l = new QLabel(text, this);
        l->setGeometry(u.map(at));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    auto combo = [&](int id, const QString& caption, int y) {
        label(caption, {8, y, 62, 12});
        auto* c = new QComboBox(this);
        c->setObjectName(QString::number(id));
        c->setGeometry(u.map({72, y - 1, 158, 14}));
        return c;
    };
    m_cameras = combo(kCameraList, QStringLiteral("选择摄像头"), 10);
    m_resolutions = combo(kResolutionList, QStringLiteral("选择分辨率"), 28);
    m_formats = combo(kFormatList, QStringLiteral("图片输出格式"), 46);
    m_rotations = combo(kRotationList, QStringLiteral("输出图片旋转"), 64);
    m_dpis = combo(kDpiList, QStringLiteral("图片输出DPI"), 82);
    m_colors = combo(kColorList, QStringLiteral("输出图片色彩"), 100);

    label(QStringLiteral("定时连拍时间间隔"), {8, 120, 68, 12});
    m_track = new QSlider(Qt::Horizontal, this);
    m_track->setObjectName(QString::number(kIntervalTrack));
    m_track->setGeometry(u.map({78, 116, 116, 20}));
    m_track->setTickPosition(QSlider::TicksBothSides);
    m_track->setTickInterval(1);
    m_track->setPageStep(1);
    m_track->installEventFilter(this);
    connect(m_track, &QSlider::valueChanged, m_track,
            [this](int value) { m_track->setToolTip(QStringLiteral("%1 秒").arg(value)); });
    m_intervalEdit = new QLineEdit(this);
    m_intervalEdit->setObjectName(QString::number(kIntervalEdit));
    m_intervalEdit->setReadOnly(true);
    m_intervalEdit->setAlignment(Qt::AlignRight);
    m_intervalEdit->setGeometry(u.map({198, 119, 20, 13}));
    label(QStringLiteral("秒"), {221, 120, 12, 12});

    auto pathEdit = [&](int id, const QString& caption, int y) {
        label(caption, {8, y, 222, 11});
        auto* e = new QPlainTextEdit(this);
        e->setObjectName(QString::number(id));
        e->setLineWrapMode(QPlainTextEdit::NoWrap);
        e->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        e->setTabChangesFocus(true);
        return e;
    };
    auto browse = [&](int id, int y, bool savePath) {
        auto* b = new QPushButton(QStringLiteral("浏览"), this);
        b->setObjectName(QString::number(id));
        b->setAutoDefault(false);
        b->setGeometry(u.map({196, y, 34, 20}));
        connect(b, &QPushButton::clicked, this, [this, savePath] { onBrowse(savePath); });
    };
    m_savePath = pathEdit(kSavePathEdit, QStringLiteral("自定义照片存取路径 (默认为Temp目录)"), 142);
    m_savePath->setGeometry(u.map({8, 154, 184, 20}));
    browse(kSavePathBrowse, 154, true);
    m_videoPath = pathEdit(kVideoPathEdit, QStringLiteral("录像保存路径"), 180);
    m_videoPath->setGeometry(u.map({8, 192, 184, 20}));
    browse(kVideoPathBrowse, 192, false);
    m_url = pathEdit(kUrlEdit, QStringLiteral("HTTP上传服务器URL地址"), 218);
    m_url->setGeometry(u.map({8, 230, 222, 20}));

    m_deleteAfterUpload = new QCheckBox(QStringLiteral("上传成功后，删除本地照片"), this);
    m_deleteAfterUpload->setObjectName(QString::number(kDeleteAfterUpload));
    m_deleteAfterUpload->setGeometry(u.map({8, 256, 110, 12}));
    m_deleteAfterPdf = new QCheckBox(QStringLiteral("转换PDF后，删除本地照片"), this);
    m_deleteAfterPdf->setObjectName(QString::number(kDeleteAfterPdf));
    m_deleteAfterPdf->setGeometry(u.map({122, 256, 110, 12}));
    m_pdfText = new QCheckBox(QStringLiteral("PDF加入识别的文字(可搜索，每页多用几秒)"), this);
    m_pdfText->setObjectName(QString::number(kPdfText));
    m_pdfText->setGeometry(u.map({8, 270, 222, 12}));

    auto button = [&](int id, const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::number(id));
        b->setAutoDefault(false);
        b->setGeometry(u.map({x, 294, 68, 18}));
        return b;
    };
    m_configCamera = button(kConfigCamera, QStringLiteral("调节拍摄仪"), 8);
    connect(m_configCamera, &QPushButton::clicked, this, &CSetConfig::onConfigCamera);
    QPushButton* ok = button(kOk, QStringLiteral("保存设置"), 85);
    connect(ok, &QPushButton::clicked, this, &CSetConfig::onSave);
    QPushButton* cancel = button(kCancel, QStringLiteral("取消设置"), 162);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(m_cameras, &QComboBox::activated, this, &CSetConfig::onCameraChanged);
}

void CSetConfig::initDialog() {
    m_cameras->clear();
    const int count = m_control.RefreshDevList();
    for (int i = 0; i < count; ++i)
        m_cameras->insertItem(i, m_control.GetDevNameByIdx(static_cast<short>(i)));
    m_cameras->setCurrentIndex(-1);
    // The camera cannot change while a video is being recorded.
    m_cameras->setEnabled(!m_control.GetBIsRecord());

    for (const char* t : kFormatTexts)
        m_formats->addItem(QString::fromUtf8(t));
    for (const char* t : kRotationTexts)
        m_rotations->addItem(QString::fromUtf8(t));
    for (const char* t : kDpiTexts)
        m_dpis->addItem(QString::fromUtf8(t));
    for (const char* t : kColorTexts)
        m_colors->addItem(QString::fromUtf8(t));
    for (QComboBox* c : {m_formats, m_rotations, m_dpis, m_colors})
        c->setCurrentIndex(-1);
    m_track->setRange(0, 15);

    m_savePath->setPlainText(m_values.savePath);
    m_videoPath->setPlainText(m_values.videoPath);
    m_url->setPlainText(m_values.url);
    m_deleteAfterUpload->setChecked(m_values.deleteAfterUpload);
    m_deleteAfterPdf->setChecked(m_values.deleteAfterPdf);
    m_pdfText->setChecked(m_values.pdfText);

    if (camConfigOpensExisting(m_iniPath)) {
        const auto read = [this](const char* key, const QString& def) {
            return readCamConfig(m_iniPath, kCamSection, key, def);
        };
        m_values.camera = platform::decimalPrefix(read("camera", QStringLiteral("0")));
        m_cameras->setCurrentIndex(m_values.camera);
        fillResolutions(m_cameras->currentIndex());
        m_values.resolution = platform::decimalPrefix(read("resolution", QStringLiteral("0")));
        m_resolutions->setCurrentIndex(m_values.resolution);

        m_formats->setCurrentIndex(positionOf(kFormatValues, read("Img-Format", QStringLiteral("jpg"))));
        m_rotations->setCurrentIndex(positionOf(kRotationValues, read("Img-Rotate", QStringLiteral("0"))));
        m_dpis->setCurrentIndex(positionOf(kDpiValues, read("Img-DPI", QStringLiteral("0"))));
        m_colors->setCurrentIndex(
            positionOf(std::array<int, 4>{0, 1, 2, 3}, read("Img-Color", QStringLiteral("0"))));

        m_savePath->setPlainText(read("Save-Path", QString()));
        m_videoPath->setPlainText(read("Video-Path", defaultVideoPath()));
        m_url->setPlainText(read("URL", QString()));
        for (auto [key, box] : {std::pair{"UpLoad-Del", m_deleteAfterUpload},
                                std::pair{"PDF-Del", m_deleteAfterPdf}, std::pair{"PDF-OCR", m_pdfText}}) {
            const QString v = read(key, QStringLiteral("FALSE"));
            if (v == QLatin1String("TRUE"))
                box->setChecked(true);
            else if (v == QLatin1String("FALSE"))
                box->setChecked(false);
        }
        m_values.interval = platform::decimalPrefix(read("TickTime", QStringLiteral("5")));
        m_track->setValue(m_values.interval);
    }
    m_intervalEdit->setText(QString::number(m_values.interval));
}

void CSetConfig::fillResolutions(int camera) {
    m_resolutions->clear();
    const int n = m_control.RefreshResolution(static_cast<short>(camera));
    for (int j = 0; j < n; ++j)
        m_resolutions->insertItem(j, m_control.GetResolutionByIdx(static_cast<short>(j)));
    m_resolutions->setCurrentIndex(-1);
}

void CSetConfig::onCameraChanged(int index) {
    // The live camera changes only when the dialog is closed with 保存设置.
    fillResolutions(index);
    m_resolutions->setCurrentIndex(0);
}

void CSetConfig::showInterval() {
    m_values.interval = m_track->value();
    m_intervalEdit->setText(QString::number(m_values.interval));
}

bool CSetConfig::eventFilter(QObject* watched, QEvent* event) {
    // The edit follows the thumb whenever the track bar is drawn; its first drawing also brings an
    // interval beyond the bar's range back to the position the bar can show.
    if (watched == m_track && event->type() == QEvent::Paint)
        showInterval();
    return QDialog::eventFilter(watched, event);
}

void CSetConfig::onBrowse(bool savePath) {
    const auto folder = m_ui.pickFolder(this, QStringLiteral("保存"),
                                        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (!folder || folder->isEmpty())
        return;
    QString path = *folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    (savePath ? m_savePath : m_videoPath)->setPlainText(path);
    (savePath ? m_values.savePath : m_values.videoPath) = path;
}

void CSetConfig::onConfigCamera() {
    m_control.ConfigCameraFilter();
}

void CSetConfig::onSave() {
    m_values.resolution = m_resolutions->currentIndex();
    m_values.camera = m_cameras->currentIndex();
    m_values.deleteAfterUpload = m_deleteAfterUpload->isChecked();
    m_values.deleteAfterPdf = m_deleteAfterPdf->isChecked();
    m_values.pdfText = m_pdfText->isChecked();
    if (const int i = m_formats->currentIndex(); i >= 0)
        m_values.imageFormat = QString::fromUtf8(kFormatValues[static_cast<std::size_t>(i)]);
    if (const int i = m_rotations->currentIndex(); i >= 0)
        m_values.rotation = kRotationValues[static_cast<std::size_t>(i)];
    if (const int i = m_dpis->currentIndex(); i >= 0)
        m_values.dpi = kDpiValues[static_cast<std::size_t>(i)];
    if (const int i = m_colors->currentIndex(); i >= 0)
        m_values.color = i;
    m_values.savePath = plainText(m_savePath);
    m_values.videoPath = plainText(m_videoPath);
    m_values.url = plainText(m_url);
    m_values.interval = m_track->value();
    accept();
}

void CSetConfig::applyAnswer(const QVariantMap& answer) {
    const auto has = [&](const char* key) { return answer.contains(QLatin1String(key)); };
    const auto value = [&](const char* key) { return answer.value(QLatin1String(key)); };
    if (has("camera")) {
        m_cameras->setCurrentIndex(value("camera").toInt());
        onCameraChanged(m_cameras->currentIndex());
    }
    if (has("resolution"))
        m_resolutions->setCurrentIndex(value("resolution").toInt());
    if (has("format")) {
        const QString f = value("format").toString();
        m_formats->setCurrentIndex(f == QLatin1String("tiff") ? 3 : positionOf(kFormatValues, f));
    }
    if (has("rotation"))
        m_rotations->setCurrentIndex(positionOf(kRotationValues, QString::number(value("rotation").toInt())));
    if (has("dpi"))
        m_dpis->setCurrentIndex(positionOf(kDpiValues, QString::number(value("dpi").toInt())));
    if (has("color"))
        m_colors->setCurrentIndex(value("color").toInt());
    if (has("savePath"))
        m_savePath->setPlainText(value("savePath").toString());
    if (has("videoPath"))
        m_videoPath->setPlainText(value("videoPath").toString());
    if (has("url"))
        m_url->setPlainText(value("url").toString());
    if (has("uploadDel"))
        m_deleteAfterUpload->setChecked(value("uploadDel").toBool());
    if (has("pdfDel"))
        m_deleteAfterPdf->setChecked(value("pdfDel").toBool());
    if (has("pdfText"))
        m_pdfText->setChecked(value("pdfText").toBool());
    if (has("interval"))
        m_track->setValue(value("interval").toInt());
    if (value("browseSave").toBool())
        onBrowse(true);
    if (value("browseVideo").toBool())
        onBrowse(false);
    if (value("configCamera").toBool())
        onConfigCamera();
    if (has("screenshot")) {
        // A picture of the dialog as it would be seen, taken before it closes.
        show();
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        grab().save(value("screenshot").toString());
    }
    showInterval();
    onSave();
}

QVariantMap CSetConfig::state() const {
    QVariantMap s;
    s.insert(QStringLiteral("cameras"), itemTexts(m_cameras));
    s.insert(QStringLiteral("camera"), m_cameras->currentIndex());
    s.insert(QStringLiteral("cameraListEnabled"), m_cameras->isEnabled());
    s.insert(QStringLiteral("resolutions"), itemTexts(m_resolutions));
    s.insert(QStringLiteral("resolution"), m_resolutions->currentIndex());
    s.insert(QStringLiteral("format"), m_formats->currentText());
    s.insert(QStringLiteral("formatIndex"), m_formats->currentIndex());
    s.insert(QStringLiteral("rotationIndex"), m_rotations->currentIndex());
    s.insert(QStringLiteral("dpiIndex"), m_dpis->currentIndex());
    s.insert(QStringLiteral("colorIndex"), m_colors->currentIndex());
    s.insert(QStringLiteral("savePath"), plainText(m_savePath));
    s.insert(QStringLiteral("videoPath"), plainText(m_videoPath));
    s.insert(QStringLiteral("url"), plainText(m_url));
    s.insert(QStringLiteral("uploadDel"), m_deleteAfterUpload->isChecked());
    s.insert(QStringLiteral("pdfDel"), m_deleteAfterPdf->isChecked());
    s.insert(QStringLiteral("pdfText"), m_pdfText->isChecked());
    s.insert(QStringLiteral("track"), m_track->value());
    s.insert(QStringLiteral("interval"), m_intervalEdit->text());
    return s;
}

} // namespace qx::desktop
