// The main dialog on the real control: start-up from the settings file, capture, the buttons, shut-down.
#include "app_fixture.h"

#include "local_servers.h"
#include "qx/desktop/picture_printing.h"

#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/picture_printing.h"
#include "qx/desktop/thumbnail.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

using namespace qx::desktop;

namespace qx::test {
namespace {

bool checked(CQX_CameraDlg& d, int id) {
    return static_cast<QAbstractButton*>(d.controlById(id))->isChecked();
}
bool enabled(CQX_CameraDlg& d, int id) {
    return d.controlById(id)->isEnabled();
}

TEST_F(DesktopMainDialog, FirstRunWritesEveryKeyInOrderAndStartsOnItsValues) {
    CQX_CameraDlg& d = create();
    const QByteArray video = defaultVideoPath().toUtf8();
    EXPECT_TRUE(video.startsWith('/') && video.endsWith('/'));
    QByteArray expected = crlf({"[CamConfig]", "camera=0", "resolution=0", "Is-Merge=FALSE", "BarCode=FALSE",
                                "Img-Format=jpg", "Img-Rotate=0", "Img-DPI=0", "Img-Color=0", "Save-Path="});
    expected += "Video-Path=" + video + "\r\n";
    expected +=
        crlf({"URL=", "UpLoad-Del=TRUE", "PDF-Del=FALSE", "Is-TimeCap=FALSE", "TickTime=5",
              "IDCSavePath=", "IDCTimeCount=3000", "[Hotkey]", "Ctrl=1", "Alt=0", "Shift=0", "Letter=Z"});
    EXPECT_EQ(readAll(ini()), expected);

    EXPECT_EQ(d.windowTitle(), QStringLiteral("拍摄仪影像采集及处理软件 V1.7.0.0"));
    EXPECT_EQ(d.size(), QSize(917, 668));
    EXPECT_EQ(d.controlWidget()->geometry(), QRect(11, 33, 693, 474));
    EXPECT_TRUE(checked(d, id::kAutoCrop));
    EXPECT_FALSE(checked(d, id::kNoCrop));
    EXPECT_FALSE(enabled(d, id::kWatermark));
    EXPECT_FALSE(enabled(d, id::kUpload));
    EXPECT_FALSE(enabled(d, id::kMerge));
    EXPECT_FALSE(enabled(d, id::kTimerRun));
    EXPECT_EQ(d.captureToolTip(), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(d.controlById(id::kCapture)->toolTip(), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(d.tickTime(), 5);
    EXPECT_EQ(d.captureTimerInterval(), 5000);
    EXPECT_EQ(d.videoPath(), defaultVideoPath());
    EXPECT_TRUE(d.deleteAfterUpload());
}

TEST_F(DesktopMainDialog, CameraIndexNotBelowTheCountGivesCameraZeroAndRewritesOnlyThatKey) {
    writeIni({"camera=2", "resolution=1", "TickTime=7"});
    const QByteArray before = readAll(ini());
    CQX_CameraDlg& d = create();
    EXPECT_EQ(d.cameraIndex(), 0);
    EXPECT_EQ(d.resolutionIndex(), 1);
    EXPECT_EQ(d.tickTime(), 7);
    QByteArray expected = before;
    expected.replace("camera=2", "camera=0");
    EXPECT_EQ(readAll(ini()), expected);
}

TEST_F(DesktopMainDialog, HotkeySectionRules) {
    {
        writeIni({}, {"Ctrl=1", "Letter=a"});
        CQX_CameraDlg& d = create();
        EXPECT_EQ(d.hotkeyKey(), 'Z');
        EXPECT_EQ(d.hotkeyModifiers(), kModCtrl);
        EXPECT_EQ(d.captureToolTip(), QStringLiteral("Ctrl+a"));
    }
    {
        writeIni({}, {"Ctrl=0", "Alt=0", "Shift=0"});
        CQX_CameraDlg& d = create();
        EXPECT_EQ(d.hotkeyModifiers(), 0);
        EXPECT_EQ(d.captureToolTip(), QStringLiteral("+Z"));
        EXPECT_FALSE(d.isHotkeyRegistered());
    }
    {
        writeIni({}, {"Ctrl=0", "Alt=1", "Shift=1", "Letter=7"});
        CQX_CameraDlg& d = create();
        EXPECT_EQ(d.hotkeyModifiers(), kModAlt);
        EXPECT_EQ(d.hotkeyKey(), '7');
        EXPECT_EQ(d.captureToolTip(), QStringLiteral("Alt+7"));
    }
    {
        // Other text at a step keeps what was read before it; an empty letter means no key at all.
        writeIni({}, {"Ctrl=yes", "Letter="});
        CQX_CameraDlg& d = create();
        EXPECT_EQ(d.hotkeyModifiers(), kModCtrl);
        EXPECT_EQ(d.hotkeyKey(), 0);
        EXPECT_EQ(d.captureToolTip(), QStringLiteral("Ctrl+"));
    }
    {
        // The section is read without regard to case and never written back.
        writeIni({}, {"Ctrl=0", "Alt=0", "Shift=1", "Letter=Q"});
        const QByteArray before = readAll(ini());
        CQX_CameraDlg& d = create();
        EXPECT_EQ(d.captureToolTip(), QStringLiteral("Shift+Q"));
        d.close();
        EXPECT_TRUE(readAll(ini()).contains("[Hotkey]\r\nCtrl=0\r\nAlt=0\r\nShift=1\r\nLetter=Q\r\n"));
        EXPECT_TRUE(before.contains("[Hotkey]"));
    }
}

TEST_F(DesktopMainDialog, MergeModeCapturesBmpAsJpgAndThePlainCaptureAfterItBmpAgain) {
    writeIni({"Is-Merge=TRUE", "Img-Format=bmp"});
    CQX_CameraDlg& d = create();
    EXPECT_TRUE(checked(d, id::kMergeMode));
    EXPECT_TRUE(enabled(d, id::kMerge));
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(d.imageFormat(), QStringLiteral("jpg"));
    EXPECT_EQ(d.savedImageFormat(), QStringLiteral("bmp"));
    const QString merged = d.list().item(0)->text();
    EXPECT_TRUE(merged.endsWith(QStringLiteral("ForJpgMerge.jpg"))) << merged.toStdString();
    EXPECT_EQ(merged.size(), 34);
    EXPECT_TRUE(QFileInfo::exists(d.pictures().pictureFile(0))) << d.pictures().pictureFile(0).toStdString();

    ASSERT_TRUE(d.clickControl(id::kMergeMode)); // clears merge mode
    EXPECT_FALSE(enabled(d, id::kMerge));
    ASSERT_EQ(captureOnce(), 2);
    const QString plain = d.list().item(1)->text();
    EXPECT_TRUE(plain.endsWith(QStringLiteral(".bmp"))) << plain.toStdString();
    EXPECT_EQ(plain.size(), 23);
    EXPECT_EQ(d.pictures().pictureFile(1), saveFolder() + plain);
    EXPECT_TRUE(QFileInfo::exists(saveFolder() + plain));
}

TEST_F(DesktopMainDialog, ShutDownInMergeModeStoresTheForcedFormat) {
    writeIni({"Is-Merge=TRUE", "Img-Format=bmp", "Is-TimeCap=FALSE", "URL=http://127.0.0.1:9/up"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    d.close();
    EXPECT_TRUE(d.isShutDown());
    EXPECT_EQ(readIni("Img-Format"), QStringLiteral("jpg"));
    EXPECT_EQ(readIni("Is-Merge"), QStringLiteral("TRUE"));
    EXPECT_EQ(readIni("BarCode"), QStringLiteral("FALSE"));
    EXPECT_EQ(readIni("Is-TimeCap"), QStringLiteral("FALSE"));
    EXPECT_EQ(readIni("URL"), QStringLiteral("http://127.0.0.1:9/up"));
    EXPECT_EQ(readIni("UpLoad-Del"), QStringLiteral("FALSE"));
    EXPECT_EQ(readIni("TickTime"), QStringLiteral("5"));
    // Keys that only the settings dialog writes are not added at shut-down.
    EXPECT_EQ(readIni("camera"), QStringLiteral("<missing>"));
}

TEST_F(DesktopMainDialog, ShutDownWritesNothingWhenTheFileWasRemoved) {
    writeIni({"Img-Format=gif"});
    CQX_CameraDlg& d = create();
    ASSERT_TRUE(QFile::remove(ini()));
    d.close();
    EXPECT_FALSE(QFileInfo::exists(ini()));
}

TEST_F(DesktopMainDialog, BarcodeNamingReplacesAnExistingFileAndItsOlderItem) {
    writeIni({"BarCode=TRUE"});
    m_options.barcodeLookup = [](const QString&) { return QStringLiteral("6901234567892"); };
    CQX_CameraDlg& d = create();
    EXPECT_TRUE(checked(d, id::kBarcode));
    ASSERT_EQ(captureOnce(), 1);
    const QString named = saveFolder() + QStringLiteral("6901234567892.jpg");
    EXPECT_EQ(d.list().item(0)->text(), QStringLiteral("6901234567892.jpg"));
    ASSERT_TRUE(QFileInfo::exists(named));
    const QDateTime first = QFileInfo(named).lastModified();

    processEvents(1100); // the next picture gets another time stamp
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(d.list().item(0)->text(), QStringLiteral("6901234567892.jpg"));
    EXPECT_GT(QFileInfo(named).lastModified(), first);
    // Only the barcode-named picture is left: the captured names were moved onto it.
    EXPECT_EQ(QDir(saveFolder()).entryList(QDir::Files), QStringList{QStringLiteral("6901234567892.jpg")});
}

TEST_F(DesktopMainDialog, BarcodeLookupThatFindsNothingKeepsTheCapturedName) {
    writeIni({"BarCode=TRUE"});
    m_options.barcodeLookup = [](const QString&) { return QString(); };
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(d.list().item(0)->text().size(), 23);
}

TEST_F(DesktopMainDialog, BatchPrintStepsTheProgressPerItem) {
    writeIni({});
    CQX_CameraDlg& d = create();
    QList<int> previewed;
    d.pictures().setPrintHandler([&](int row, const QString&) { previewed << row; });
    ASSERT_TRUE(d.clickControl(id::kBatchPrint));
    EXPECT_TRUE(m_ui.askedKinds().isEmpty());
    EXPECT_EQ(d.progressValue(), 0);

    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(captureOnce(), i + 1);
        processEvents(1000);
    }
    // Each item is printed directly, not previewed; with every dialog cancelled the first-print
    // flag stays on, so each item asks again.
    ASSERT_TRUE(d.clickControl(id::kBatchPrint));
    EXPECT_TRUE(previewed.isEmpty());
    EXPECT_EQ(m_ui.askedKinds(), QStringList(3, QStringLiteral("print")));
    EXPECT_TRUE(d.printing().firstPrint());
    EXPECT_EQ(d.progressValue(), 99);

    // Past 100 pictures a step of 100 / count would be 0: the bar goes by the share printed instead.
    QList<PictureList::Picture> many;
    for (int i = 0; i < 150; ++i)
        many.append({d.pictures().pictureFile(0), QStringLiteral("p%1.jpg").arg(i)});
    d.pictures().AddPictureItems(many);
    QList<int> bar;
    QObject::connect(&d, &CQX_CameraDlg::WorkProgress, &d, [&](const QString& task, int done, int total) {
        EXPECT_EQ(task, QStringLiteral("print"));
        EXPECT_EQ(total, 153);
        EXPECT_EQ(done, bar.size());
        bar << d.progressValue();
    });
    ASSERT_TRUE(d.clickControl(id::kBatchPrint));
    ASSERT_EQ(bar.size(), 154);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_EQ(bar.first(), 0);
    EXPECT_EQ(bar.last(), 100);
}

TEST_F(DesktopMainDialog, UploadWithoutUrlAsksForOneAndAFailedSendSealChangesNothing) {
    writeIni({});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    d.list().setSelectionMark(0);
    emit d.list().listClicked(0);
    ASSERT_TRUE(enabled(d, id::kUpload));
    ASSERT_TRUE(d.clickControl(id::kUpload));
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("请输入服务器地址URL!"));

    // A server that refuses the connection: no status 200, so the list, the file and the buttons stay.
    m_dialog.reset();
    writeIni({"URL=http://127.0.0.1:9/upload", "UpLoad-Del=TRUE"});
    CQX_CameraDlg& e = create();
    ASSERT_EQ(captureOnce(), 1);
    const QString file = e.pictures().pictureFile(0);
    e.list().setSelectionMark(0);
    emit e.list().listClicked(0);
    ASSERT_TRUE(e.clickControl(id::kUpload));
    EXPECT_EQ(e.list().count(), 1);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(enabled(e, id::kUpload));
    EXPECT_TRUE(enabled(e, id::kWatermark));
}

TEST_F(DesktopMainDialog, UploadSendsThePictureAndTakesItOffTheListWhenAskedTo) {
    NoProxyEnvironment noProxy;
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    const QByteArray urlLine = "URL=" + receiver.url().toUtf8();
    writeIni({urlLine.constData(), "UpLoad-Del=TRUE"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    const QString file = d.pictures().pictureFile(0);
    const QByteArray bytes = readAll(file);
    d.list().setSelectionMark(0);
    emit d.list().listClicked(0);
    ASSERT_TRUE(d.clickControl(id::kUpload));
    ASSERT_EQ(receiver.requests().size(), 1u);
    const auto form = parseWithEmailPackage(receiver.requests()[0]);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->file == bytes);
    EXPECT_EQ(form->fileName, QFileInfo(file).fileName());
    EXPECT_EQ(d.list().count(), 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("上传成功"));
}

// The files of the list's items, in order.
QStringList listedFiles(CQX_CameraDlg& d) {
    QStringList files;
    for (int i = 0; i < d.list().count(); ++i)
        files << d.pictures().pictureFile(i);
    return files;
}

TEST_F(DesktopMainDialog, UploadTakesOffItsOwnPictureWhateverHappensToTheListDuringTheWait) {
    NoProxyEnvironment noProxy;
    HttpReceiver receiver;
    // The answer comes seconds after the request: the list changes in between.
    ASSERT_TRUE(receiver.start(QStringLiteral("slow"), 3));
    const QByteArray urlLine = "URL=" + receiver.url().toUtf8();
    writeIni({urlLine.constData(), "UpLoad-Del=TRUE"});
    CQX_CameraDlg& d = create();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(captureOnce(), i + 1);
    const QStringList before = listedFiles(d); // A, B, C
    const QByteArray sent = readAll(before[1]);
    d.list().setSelectionMark(1);
    emit d.list().listClicked(1);

    // Once the server holds the request, and while the control waits for its answer: A is deleted,
    // a picture D is taken, and D is dropped between B and C.
    QString taken;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (receiver.requests().empty())
            return;
        watch.stop();
        d.list().setSelectionMark(0);
        d.pictures().runCommand(cmd::kDelete);
        ASSERT_EQ(captureOnce(), 3);
        taken = d.pictures().pictureFile(2);
        DropNotification drop;
        drop.dropTarget = 1;
        drop.dragged[0] = 2;
        emit d.list().itemsDropped(drop);
    });
    watch.start();
    ASSERT_TRUE(d.clickControl(id::kUpload));
    ASSERT_FALSE(taken.isEmpty()) << "the list did not change during the upload";
    ASSERT_EQ(receiver.requests().size(), 1u);
    const auto form = parseWithEmailPackage(receiver.requests()[0]);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->file == sent);
    // B's item went with B's file; D and C, and their files, stay.
    EXPECT_EQ(listedFiles(d), QStringList({taken, before[2]}));
    EXPECT_FALSE(QFileInfo::exists(before[1]));
    EXPECT_TRUE(QFileInfo::exists(before[2]));
    EXPECT_TRUE(QFileInfo::exists(taken));
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("上传成功"));
}

TEST_F(DesktopMainDialog, BatchPrintPrintsThePicturesListedAtTheClickWhateverTheDialogLetsHappen) {
    writeIni({});
    CQX_CameraDlg& d = create();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(captureOnce(), i + 1);
    const QStringList listed = listedFiles(d); // A, B, C
    // While the first print dialog is open C is dropped before A; each dialog is cancelled, so
    // each picture asks again, and the picture it asks for is the one marked.
    QStringList asked;
    m_ui.whileOpen = [&](const QString& kind) {
        if (kind != QLatin1String("print"))
            return;
        asked << d.pictures().pictureFile(d.list().selectionMark());
        if (asked.size() == 1) {
            DropNotification drop;
            drop.dropTarget = 0;
            drop.dragged[0] = 2;
            emit d.list().itemsDropped(drop);
        }
    };
    ASSERT_TRUE(d.clickControl(id::kBatchPrint));
    m_ui.whileOpen = nullptr;
    EXPECT_EQ(asked, listed);
    EXPECT_EQ(listedFiles(d), QStringList({listed[2], listed[0], listed[1]}));
    EXPECT_EQ(d.progressValue(), 99);
}

TEST_F(DesktopMainDialog, PicturesKeepTheirFilesWhenTheSavePathChanges) {
    writeIni({});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    const QString name = d.list().item(0)->text();
    const QString file = d.pictures().pictureFile(0);
    ASSERT_EQ(file, saveFolder() + name);
    const auto thumbnail = [&d] {
        EXPECT_TRUE(d.pictures().waitForThumbnails());
        return d.list().item(0)->data(Qt::DecorationRole).value<QPixmap>().toImage();
    };
    const QImage before = thumbnail();
    // The new save folder holds a file of the same name that is not the picture.
    Folder other;
    ASSERT_TRUE(writeAll(other.file(name), "not the picture"));
    m_ui.queueAnswer(QStringLiteral("settings"), QVariantMap{{QStringLiteral("savePath"), other.path()}});
    ASSERT_TRUE(d.clickControl(id::kSettings));
    ASSERT_EQ(d.savePath(), other.path());
    EXPECT_EQ(d.pictures().pictureFile(0), file);

    // The watermark stamps the item's own picture and redraws the item from it.
    d.list().setSelectionMark(0);
    emit d.list().listClicked(0);
    ASSERT_TRUE(d.clickControl(id::kWatermark));
    EXPECT_EQ(d.control().GetCPicName(), file);
    ASSERT_EQ(d.list().count(), 1);
    EXPECT_EQ(thumbnail(), before);
    EXPECT_NE(thumbnail(), CListImageCtrl::MakeThumbnail(other.file(name)));
    emit d.list().listClicked(0);
    ASSERT_TRUE(d.clickControl(id::kUpload)); // no URL: it stops at the question, the picture named
    EXPECT_EQ(d.control().GetCPicName(), file);

    d.list().setSelectionMark(0);
    d.pictures().runCommand(cmd::kDelete);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(readAll(other.file(name)), QByteArray("not the picture"));
}

TEST_F(DesktopMainDialog, CapturesAreListedAtOnceAndTheirThumbnailsFollowIntoTheirOwnItems) {
    writeIni({});
    CQX_CameraDlg& d = create();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(captureOnce(), i + 1);
    // The watermark's rebuild while the captures' thumbnails may still be on their way.
    d.list().setSelectionMark(0);
    emit d.list().listClicked(0);
    ASSERT_TRUE(d.clickControl(id::kWatermark));
    ASSERT_EQ(captureOnce(), 4);
    ASSERT_TRUE(d.pictures().waitForThumbnails());
    EXPECT_EQ(d.list().currentRow(), 3);
    for (int i = 0; i < 4; ++i) {
        const QImage thumb = d.list().item(i)->data(Qt::DecorationRole).value<QPixmap>().toImage();
        EXPECT_EQ(thumb, CListImageCtrl::MakeThumbnail(d.pictures().pictureFile(i))) << i;
        EXPECT_NE(thumb, emptyThumbnailImage()) << i;
    }
}

TEST_F(DesktopMainDialog, CheckBoxesExcludeOneAnother) {
    writeIni({"Is-Merge=TRUE"});
    CQX_CameraDlg& d = create();
    ASSERT_TRUE(d.clickControl(id::kBarcode));
    EXPECT_TRUE(checked(d, id::kBarcode));
    EXPECT_FALSE(checked(d, id::kMergeMode));
    EXPECT_FALSE(enabled(d, id::kMerge));
    EXPECT_FALSE(enabled(d, id::kTimerRun));

    ASSERT_TRUE(d.clickControl(id::kTimedMode));
    EXPECT_FALSE(checked(d, id::kBarcode));
    EXPECT_TRUE(enabled(d, id::kTimerRun));
    EXPECT_FALSE(enabled(d, id::kCapture));
    EXPECT_FALSE(d.clickControl(id::kCapture)); // a disabled button does not capture

    ASSERT_TRUE(d.clickControl(id::kTimerRun));
    EXPECT_TRUE(d.isTimedRunOn());
    EXPECT_FALSE(enabled(d, id::kTimedMode));
    EXPECT_EQ(static_cast<BitmapButton*>(d.controlById(id::kTimerRun))->bitmapId(), 152);
    d.onCaptureTimer();
    EXPECT_EQ(d.list().count(), 1);
    ASSERT_TRUE(d.clickControl(id::kTimerRun));
    EXPECT_FALSE(d.isTimedRunOn());
    EXPECT_TRUE(enabled(d, id::kTimedMode));
    d.onCaptureTimer();
    EXPECT_EQ(d.list().count(), 1);

    ASSERT_TRUE(d.clickControl(id::kTimedMode));
    EXPECT_FALSE(enabled(d, id::kTimerRun));
    EXPECT_TRUE(enabled(d, id::kCapture));
    ASSERT_TRUE(d.clickControl(id::kMergeMode));
    EXPECT_TRUE(enabled(d, id::kMerge));

    ASSERT_TRUE(d.clickControl(id::kNoCrop));
    EXPECT_TRUE(checked(d, id::kNoCrop));
    EXPECT_FALSE(checked(d, id::kAutoCrop));
    ASSERT_TRUE(d.clickControl(id::kAutoCrop));
    EXPECT_TRUE(checked(d, id::kAutoCrop));
    EXPECT_FALSE(checked(d, id::kNoCrop));
}

TEST_F(DesktopMainDialog, ATickTimeOfZeroDoesNotSpinTheTimer) {
    writeIni({"TickTime=0", "Is-TimeCap=TRUE"});
    CQX_CameraDlg& d = create();
    EXPECT_EQ(d.tickTime(), 0);
    EXPECT_EQ(d.captureTimerInterval(), 1000);
    EXPECT_TRUE(checked(d, id::kTimedMode));
    EXPECT_TRUE(enabled(d, id::kTimerRun));
    EXPECT_FALSE(enabled(d, id::kCapture));
    EXPECT_FALSE(d.isTimedRunOn());
}

TEST_F(DesktopMainDialog, ClearListAsksAndOnYesRemovesPicturesAndTheDaysMergeFolder) {
    writeIni({});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    const QString keep = saveFolder() + QStringLiteral("notes.txt");
    ASSERT_TRUE(writeAll(keep, "x"));
    ASSERT_TRUE(writeAll(saveFolder() + QStringLiteral("scan.PDF"), "x"));
    const QString merge = saveFolder() + mergeFolderName(QDate::currentDate());
    ASSERT_TRUE(QDir().mkpath(merge + QStringLiteral("sub")));
    ASSERT_TRUE(writeAll(merge + QStringLiteral("sub/a.jpg"), "x"));

    m_ui.queueAnswer(QStringLiteral("message"), QStringLiteral("no"));
    ASSERT_TRUE(d.clickControl(id::kClearList));
    EXPECT_EQ(d.list().count(), 0);
    EXPECT_EQ(m_ui.shown().back().text,
              QStringLiteral("是否同时清除 %1 文件夹下的历史拍照文件？").arg(saveFolder()));
    EXPECT_EQ(m_ui.shown().back().caption, QStringLiteral("警告"));
    EXPECT_EQ(QDir(saveFolder()).entryList(QDir::Files).size(), 3);

    m_ui.queueAnswer(QStringLiteral("message"), QStringLiteral("yes"));
    ASSERT_TRUE(d.clickControl(id::kClearList));
    EXPECT_EQ(QDir(saveFolder()).entryList(QDir::Files), QStringList{QStringLiteral("notes.txt")});
    EXPECT_FALSE(QFileInfo::exists(merge));
}

TEST_F(DesktopMainDialog, ClearListWithoutSavePathRemovesOnlyTheControlsPicturesFromTemp) {
    ASSERT_TRUE(writeAll(ini(), crlf({"[CamConfig]", "Save-Path="})));
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    const QString captured = d.pictures().pictureFile(0);
    EXPECT_TRUE(captured.startsWith(m_tempFolder.path())) << captured.toStdString();
    const QString foreign = m_tempFolder.file(QStringLiteral("holiday.jpg"));
    ASSERT_TRUE(writeAll(foreign, "x"));
    m_ui.queueAnswer(QStringLiteral("message"), true);
    ASSERT_TRUE(d.clickControl(id::kClearList));
    EXPECT_FALSE(QFileInfo::exists(captured));
    EXPECT_TRUE(QFileInfo::exists(foreign));
}

TEST_F(DesktopMainDialog, SettingsOkChangesCameraWritesItsKeysAndCancelReselectsTheStoredOnes) {
    writeIni({"camera=0", "resolution=1", "Img-Rotate=45"});
    CQX_CameraDlg& d = create();
    EXPECT_EQ(d.rotation(), 45);
    QVariantMap answer{{QStringLiteral("camera"), 1},
                       {QStringLiteral("format"), QStringLiteral("tiff")},
                       {QStringLiteral("interval"), 9},
                       {QStringLiteral("url"), QStringLiteral("http://127.0.0.1:9/x")}};
    m_ui.queueAnswer(QStringLiteral("settings"), answer);
    ASSERT_TRUE(d.clickControl(id::kSettings));
    const QVariantMap shown = d.lastSettingsShown();
    EXPECT_EQ(shown.value(QStringLiteral("cameras")).toStringList().size(), 2);
    EXPECT_EQ(shown.value(QStringLiteral("resolution")).toInt(), 1);
    EXPECT_EQ(shown.value(QStringLiteral("rotationIndex")).toInt(), -1);
    EXPECT_EQ(d.cameraIndex(), 1);
    EXPECT_EQ(d.resolutionIndex(), 0);
    EXPECT_EQ(d.imageFormat(), QStringLiteral("tif"));
    EXPECT_EQ(d.rotation(), 45); // the list had no selection: the setting in use stays
    EXPECT_EQ(d.tickTime(), 9);
    EXPECT_EQ(d.captureTimerInterval(), 5000); // takes effect at the next start
    EXPECT_EQ(readIni("camera"), QStringLiteral("1"));
    EXPECT_EQ(readIni("resolution"), QStringLiteral("0"));
    EXPECT_EQ(readIni("Img-Format"), QStringLiteral("tif"));
    EXPECT_EQ(readIni("Img-Rotate"), QStringLiteral("45"));
    EXPECT_EQ(readIni("TickTime"), QStringLiteral("9"));
    EXPECT_EQ(readIni("URL"), QStringLiteral("http://127.0.0.1:9/x"));
    EXPECT_EQ(readIni("Is-Merge"), QStringLiteral("<missing>"));
    ASSERT_EQ(captureOnce(), 1); // the auxiliary camera runs
    EXPECT_TRUE(d.list().item(0)->text().endsWith(QStringLiteral(".tif")));

    // Cancel hands back what the file stores.
    m_ui.queueAnswer(QStringLiteral("settings"), QVariant());
    ASSERT_TRUE(d.clickControl(id::kSettings));
    EXPECT_EQ(d.cameraIndex(), 1);
    EXPECT_EQ(d.control().GetDevNameByIdx(1), d.lastSettingsShown().value("cameras").toStringList().value(1));
}

TEST_F(DesktopMainDialog, SettingsWithoutAReadableFileKeepsTheCameraAndItsPreview) {
    writeIni({"camera=1", "resolution=0"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(d.cameraIndex(), 1);
    ASSERT_TRUE(QFile::remove(ini()));
    m_ui.queueAnswer(QStringLiteral("settings"), QVariantMap{});
    ASSERT_TRUE(d.clickControl(id::kSettings));
    EXPECT_EQ(d.lastSettingsShown().value(QStringLiteral("camera")).toInt(), -1);
    EXPECT_EQ(d.cameraIndex(), 1);
    EXPECT_EQ(d.resolutionIndex(), 0);
    EXPECT_FALSE(QFileInfo::exists(ini()));
    EXPECT_EQ(captureOnce(), 1);
}

TEST_F(DesktopMainDialog, CardPanelToggleDocksFollowsAndForgets) {
    writeIni({});
    CQX_CameraDlg& d = create();
    auto* toggle = static_cast<BitmapButton*>(d.controlById(id::kCardPanel));
    EXPECT_EQ(toggle->bitmapId(), 160);
    ASSERT_TRUE(d.clickControl(id::kCardPanel));
    ASSERT_NE(d.cardPanel(), nullptr);
    EXPECT_TRUE(d.isCardPanelShown());
    EXPECT_EQ(toggle->bitmapId(), 161);
    EXPECT_EQ(d.cardPanel()->pos(), QPoint(d.frameGeometry().right() + 1, d.frameGeometry().top()));
    EXPECT_EQ(d.cardPanel()->size(), QSize(363, 668));
    d.move(d.pos() + QPoint(40, 25));
    processEvents(50);
    EXPECT_EQ(d.cardPanel()->pos(), QPoint(d.frameGeometry().right() + 1, d.frameGeometry().top()));

    QPointer<CIDCardDlg> panel = d.cardPanel();
    ASSERT_TRUE(d.clickControl(id::kCardPanel));
    EXPECT_EQ(d.cardPanel(), nullptr);
    EXPECT_FALSE(d.isCardPanelShown());
    EXPECT_EQ(toggle->bitmapId(), 160);
    EXPECT_FALSE(panel->isReadingEnabled());
    processEvents(1700);
    EXPECT_TRUE(panel.isNull());
}

TEST_F(DesktopMainDialog, NoCameraShowsTheMessageAndDoesNotStart) {
    if (!QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System).isEmpty())
        GTEST_SKIP() << "a camera is attached";
    ScopedEnv none("QX_VIRTUAL_CAMERAS", QString());
    writeIni({});
    const QByteArray before = readAll(ini());
    create(false);
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("未检测到Qorvane拍摄仪，请检查设备是否连接好！")});
    EXPECT_EQ(readAll(ini()), before);
}

} // namespace
} // namespace qx::test
