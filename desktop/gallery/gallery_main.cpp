// desktop_gallery: the main dialog's skin with real thumbnails, every button face and state, the card panel.
#include "sample_pictures.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/command_line.h"
#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"
#include "qx/desktop/gdip_button.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/splash_wnd.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

using namespace qx::desktop;

namespace {

// A window whose client area is one of the background bitmaps, stretched as the dialogs paint it.
class SkinnedSurface : public QWidget {
public:
    SkinnedSurface(int background, QWidget* parent) : QWidget(parent), m_background(background) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), artwork(m_background, size()));
    }

private:
    int m_background;
};

QRect placeMain(const DialogUnits& u, int id) {
    return u.map(mainDialogControl(id)->units);
}
QRect placeCard(const DialogUnits& u, int id) {
    return u.map(cardPanelControl(id)->units);
}

BitmapButton* bitmapButton(QWidget* parent, const QRect& at, int bitmap, const char* caption) {
    auto* button = new BitmapButton(parent);
    button->setGeometry(at);
    button->setBitmapId(bitmap);
    button->setText(QString::fromUtf8(caption));
    return button;
}

void hoverOver(QWidget* widget) {
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

QLabel* fieldLabel(QWidget* parent, const QRect& at, const QString& text,
                   Qt::Alignment align = Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    label->setAlignment(align | Qt::AlignLeft);
    label->setWordWrap(align & Qt::AlignTop);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    return label;
}

// The skinned buttons in each of their states, in the free part of the title band.
void addStateStrip(QWidget* surface, const DialogUnits& u) {
    const QStringList captions = {
        QStringLiteral("常态"), QStringLiteral("按下"),     QStringLiteral("悬停"),    QStringLiteral("灰色"),
        QStringLiteral("备图"), QStringLiteral("备图按下"), QStringLiteral("备图悬停")};
    const QSize size = u.map(mainDialogControl(1016)->units).size();
    int x = 262;
    QFont small = surface->font();
    small.setPixelSize(11);
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new CGdipButton(surface);
        button->setGeometry(QRect(QPoint(x, (u.y(22) - size.height()) / 2 + 1), size));
        button->loadStdImage(res::kClose);
        button->loadAltImage(res::kMinimise);
        button->enableToggle(true);
        if (i >= 4)
            button->click(); // the alternate set is active after one press
        if (i == 1 || i == 5)
            button->setDown(true);
        if (i == 3)
            button->setButtonType(CGdipButton::DisabledType);
        if (i == 2) {
            button->setToolTipText(QStringLiteral("悬停 200 毫秒后出现的提示"));
            QTimer::singleShot(300, button, [button] { hoverOver(button); });
        }
        if (i == 6)
            QTimer::singleShot(300, button, [button] { hoverOver(button); });
        auto* label = new QLabel(captions[i], surface);
        label->setFont(small);
        label->setStyleSheet(QStringLiteral("color: #5b6775"));
        label->adjustSize();
        label->move(x + size.width() + 3, (u.y(22) - label->height()) / 2 + 1);
        x += size.width() + 3 + label->width() + 12;
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("拍摄仪影像采集及处理软件"));
    app.setFont(dialogFont());
    app.setWindowIcon(QIcon(artwork(res::kIcon)));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The desktop program's widgets and artwork."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("A folder to write the sample pictures into."));
    const QCommandLineOption drag(QStringLiteral("drag"), QStringLiteral("Show a thumbnail being dragged."));
    const QCommandLineOption splash(QStringLiteral("splash"),
                                    QStringLiteral("Show the splash window first."));
    parser.addOption(drag);
    parser.addOption(splash);
    parser.process(app);

    QTemporaryDir temporary;
    const QString folder =
        parser.positionalArguments().isEmpty()
            ? temporary.path() + QLatin1Char('/')
            : qx::platform::withTrailingSlash(QDir(parser.positionalArguments().first()).absolutePath());
    QDir().mkpath(folder);
    const QList<gallery::SamplePicture> pictures = gallery::writeSamplePictures(folder);

    const DialogUnits u = DialogUnits::fromFont(app.font());
    const QSize mainSize = u.mapSize(kMainDialogUnits);
    const QSize cardSize = u.mapSize(kCardPanelUnits);

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("拍摄仪影像采集及处理软件 V1.7.0.0"));
    window.resize(mainSize.width() + cardSize.width(), mainSize.height());
    window.move(0, 0);

    auto* main = new SkinnedSurface(res::kDialogBackground, &window);
    main->setGeometry(QRect(QPoint(0, 0), mainSize));
    auto* card = new SkinnedSurface(res::kCardPanelBackground, &window);
    card->setGeometry(QRect(QPoint(mainSize.width(), 0), cardSize));

    // The camera picture stands in for the control: a document scene, fitted and centred on black.
    auto* camera = new QLabel(main);
    camera->setGeometry(placeMain(u, 1023));
    camera->setStyleSheet(QStringLiteral("background: black"));
    camera->setAlignment(Qt::AlignCenter);
    camera->setPixmap(
        QPixmap::fromImage(gallery::documentScene(QSize(2592, 1944), 0)
                               .scaled(camera->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));

    QPalette textPalette = main->palette();
    textPalette.setColor(QPalette::WindowText, QColor(30, 30, 30));
    auto* autoCrop = new QRadioButton(QStringLiteral("自动寻边"), main);
    auto* noCrop = new QRadioButton(QStringLiteral("关闭寻边"), main);
    autoCrop->setGeometry(placeMain(u, 1001));
    noCrop->setGeometry(placeMain(u, 1002));
    autoCrop->setChecked(true);
    auto* mergeMode = new QCheckBox(QStringLiteral("合并模式拍照"), main);
    auto* barcode = new QCheckBox(QStringLiteral("以一维码命名"), main);
    auto* timed = new QCheckBox(QStringLiteral("定时连续拍照"), main);
    mergeMode->setGeometry(placeMain(u, 1003));
    barcode->setGeometry(placeMain(u, 1012));
    timed->setGeometry(placeMain(u, 1004));
    for (QWidget* w :
         {static_cast<QWidget*>(autoCrop), static_cast<QWidget*>(noCrop), static_cast<QWidget*>(mergeMode),
          static_cast<QWidget*>(barcode), static_cast<QWidget*>(timed)})
        w->setPalette(textPalette);

    auto* start = bitmapButton(main, placeMain(u, 1011), res::kTimerStart, "");
    bitmapButton(main, placeMain(u, 1005), res::kCapture, "拍照");
    auto* merge = bitmapButton(main, placeMain(u, 1006), res::kMerge, "合并照片");
    bitmapButton(main, placeMain(u, 1009), res::kRecord, "录    像");
    bitmapButton(main, placeMain(u, 1008), res::kSettings, "高级设置");
    bitmapButton(main, placeMain(u, 1018), res::kTif, "TIF工具");
    bitmapButton(main, placeMain(u, 1019), res::kPrint, "批量打印");
    auto* watermark = bitmapButton(main, placeMain(u, 1010), res::kWatermark, "添加水印");
    auto* upload = bitmapButton(main, placeMain(u, 1013), res::kUpload, "上传服务器");
    bitmapButton(main, placeMain(u, 1014), res::kPdf, "图片转换PDF");
    bitmapButton(main, placeMain(u, 1015), res::kClear, "清空图像列表");
    auto* panelToggle = bitmapButton(main, placeMain(u, 1024), res::kPanelShown, ">>");
    // As at start-up: merge off, no timed run, nothing clicked in the list yet.
    merge->setEnabled(false);
    start->setEnabled(false);
    watermark->setEnabled(false);
    upload->setEnabled(false);
    QObject::connect(mergeMode, &QCheckBox::toggled, merge, &QWidget::setEnabled);
    QObject::connect(timed, &QCheckBox::toggled, start, &QWidget::setEnabled);
    QObject::connect(start, &QAbstractButton::clicked, start, [start] {
        start->setBitmapId(start->bitmapId() == res::kTimerStart ? res::kTimerStop : res::kTimerStart);
    });

    auto* minimise = new CGdipButton(main);
    minimise->setGeometry(placeMain(u, 1017));
    minimise->loadStdImage(res::kMinimise);
    minimise->setToolTipText(QStringLiteral("最小化"));
    QObject::connect(minimise, &QAbstractButton::clicked, &window, &QWidget::showMinimized);
    auto* close = new CGdipButton(main);
    close->setGeometry(placeMain(u, 1016));
    close->loadStdImage(res::kClose);
    close->setToolTipText(QStringLiteral("退出"));
    QObject::connect(close, &QAbstractButton::clicked, &window, &QWidget::close);
    addStateStrip(main, u);

    auto* progress = new QProgressBar(main);
    progress->setGeometry(placeMain(u, 1035));
    progress->setRange(0, 100);
    progress->setValue(40);
    progress->setTextVisible(false);

    auto* list = new CListImageCtrl(main);
    list->setGeometry(placeMain(u, 1007));
    qx::QtUiHost host;
    PictureList pictureList(*list, host);
    pictureList.setSaveFolder([folder] { return folder; });
    for (const gallery::SamplePicture& picture : pictures)
        pictureList.AddPictureItem(picture.path, picture.displayName);
    QObject::connect(&pictureList, &PictureList::pictureActionsEnabled, watermark, &QWidget::setEnabled);
    QObject::connect(&pictureList, &PictureList::pictureActionsEnabled, upload, &QWidget::setEnabled);

    // The card panel, with a reading shown over the card's labels.
    const struct {
        int id;
        const char* text;
    } fields[] = {
        {1022, "王小明"},
        {1023, "男"},
        {1024, "汉"},
        {1025, "1990"},
        {1026, "6"},
        {1027, "18"},
        {1029, "110101199006180000"},
        {1030, "北京市公安局东城分局"},
        {1031, "2020.06.18-2040.06.18"},
    };
    for (const auto& f : fields) {
        auto* label = fieldLabel(card, placeCard(u, f.id), QString::fromUtf8(f.text));
        if (f.id == 1026 || f.id == 1027)
            label->setAlignment(Qt::AlignCenter);
    }
    fieldLabel(card, placeCard(u, 1028), QStringLiteral("北京市东城区示例大街100号院3号楼2单元501室"),
               Qt::AlignTop);
    auto* photo = new QLabel(card);
    photo->setGeometry(placeCard(u, 1032));
    photo->setStyleSheet(QStringLiteral("background: white"));
    auto* readToggle = bitmapButton(card, placeCard(u, 1016), res::kCardResume, "暂停读卡");
    QObject::connect(readToggle, &QAbstractButton::clicked, readToggle, [readToggle] {
        readToggle->setBitmapId(readToggle->bitmapId() == res::kCardResume ? res::kCardPause
                                                                           : res::kCardResume);
    });
    bitmapButton(card, placeCard(u, 1017), res::kCardSettings, "读卡设置");
    bitmapButton(card, placeCard(u, 1018), res::kCardExport, "导出读卡流水明细到Excel表");
    auto* log = new QTreeWidget(card);
    log->setGeometry(placeCard(u, 1033));
    log->setRootIsDecorated(false);
    log->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("身份证号"), QStringLiteral("姓    名"),
                          QStringLiteral("刷卡时间")});
    const int w = log->width() - 2 * log->frameWidth();
    log->setColumnWidth(0, w / 9);
    log->setColumnWidth(1, 7 * w / 18);
    log->setColumnWidth(2, w / 6);
    log->setColumnWidth(3, w / 3);
    for (int i = 1; i <= 3; ++i)
        log->addTopLevelItem(
            new QTreeWidgetItem({QString::number(i), QStringLiteral("110101199006180000"),
                                 QStringLiteral("王小明"), QStringLiteral("09:%1:05").arg(10 + 7 * i)}));
    QObject::connect(panelToggle, &QAbstractButton::clicked, card, [card, panelToggle] {
        card->setVisible(!card->isVisible());
        panelToggle->setBitmapId(card->isVisible() ? res::kPanelShown : res::kPanelHidden);
    });

    if (parser.isSet(splash)) {
        CSplashWnd::enableSplashScreen(parseCommandLine(app.arguments().mid(1)).showSplash);
        CSplashWnd::showSplashScreen(&window);
    }
    window.show();

    if (parser.isSet(drag)) {
        // Press on the second thumbnail and carry it over the fourth, without letting go.
        QTimer::singleShot(400, list, [list] {
            list->scrollToItem(list->item(0));
            const QPoint from = list->visualItemRect(list->item(1)).center();
            const QPoint to = list->visualItemRect(list->item(3)).center() + QPoint(10, -8);
            QWidget* vp = list->viewport();
            QMouseEvent press(QEvent::MouseButtonPress, from, vp->mapToGlobal(from), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &press);
            for (int step = 1; step <= 4; ++step) {
                const QPoint at = from + (to - from) * step / 4;
                QMouseEvent move(QEvent::MouseMove, at, vp->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                                 Qt::NoModifier);
                QCoreApplication::sendEvent(vp, &move);
            }
        });
    }
    return app.exec();
}
