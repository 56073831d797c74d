// The picture list: adding and rebuilding, names and folders, drag and drop, the menu and its commands.
#include "desktop_support.h"
#include "qx/desktop/file_ops.h"
#include "qx/desktop/picture_list.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"
#include "support/test_support.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

using namespace qx::desktop;

namespace {

const QColor kPicture(30, 140, 60);
const QColor kOtherPicture(200, 40, 160);

class DesktopPictureList : public ::testing::Test {
protected:
    void SetUp() override {
        list.resize(1000, 170);
        pictures.setSaveFolder([this] { return dir.path(); });
        pictures.setClock([this] { return today; });
        pictures.setFolderOpener([this](const QString& file) { opened << file; });
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    // `count` pictures "p0.jpg", "p1.jpg", ... in the save folder, listed in that order, each showing
    // its thumbnail.
    void addPictures(int count, int width = 64, int height = 48) {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("p%1.jpg").arg(i);
            ASSERT_TRUE(qx::test::writePicture(dir.file(name), width, height, kPicture));
            pictures.AddPictureItem(dir.file(name), name);
        }
        ASSERT_TRUE(pictures.waitForThumbnails());
        QCoreApplication::processEvents();
    }

    QStringList texts() const { return pictures.names(); }
    QPoint centreOf(int row) { return list.visualItemRect(list.item(row)).center(); }
    QWidget* viewport() { return list.viewport(); }

    // Once every item shows its thumbnail: they are decoded aside.
    QImage thumbnailOf(QListWidgetItem* item) {
        EXPECT_TRUE(pictures.waitForThumbnails());
        return item->data(Qt::DecorationRole).value<QPixmap>().toImage();
    }

    qx::test::Folder dir;
    QDate today{2026, 12, 8};
    CListImageCtrl list;
    qx::ScriptedUiHost host;
    PictureList pictures{list, host};
    QStringList opened;
};

} // namespace

TEST_F(DesktopPictureList, AddPictureItemAppendsASelectedFocusedThumbnail) {
    addPictures(3);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(texts(), (QStringList{"p0.jpg", "p1.jpg", "p2.jpg"}));
    EXPECT_EQ(list.currentRow(), 2);
    EXPECT_TRUE(list.item(2)->isSelected());
    EXPECT_FALSE(list.item(0)->isSelected());
    EXPECT_EQ(list.selectionMark(), 2);
    const QImage thumb = thumbnailOf(list.item(1));
    EXPECT_EQ(thumb.size(), QSize(120, 90));
    EXPECT_TRUE(qx::test::near(thumb.pixel(60, 45), kPicture));
}

TEST_F(DesktopPictureList, APictureThatCannotBeLoadedIsStillListed) {
    pictures.AddPictureItem(dir.file("missing.jpg"), QStringLiteral("missing.jpg"));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(thumbnailOf(list.item(0)).pixel(60, 45), QColor(Qt::white).rgb());
    EXPECT_TRUE(host.messages().isEmpty());
}

TEST(DesktopPictureNames, DisplayNamesFollowHowThePictureCame) {
    const QString folder = QStringLiteral("/srv/pictures/");
    EXPECT_EQ(captureDisplayName(folder + "2026-12-08-10-11-12.jpg", false),
              QStringLiteral("2026-12-08-10-11-12.jpg"));
    EXPECT_EQ(captureDisplayName(folder + "2026-12-08-ForMerge/2026-12-08-10-11-12ForJpgMerge.jpg", true),
              QStringLiteral("2026-12-08-10-11-12ForJpgMerge.jpg"));
    EXPECT_EQ(mergeDisplayName(folder + "ABCDEFGHIJKLMNOPQRSTUVWXYZ123.jpg"),
              QStringLiteral("EFGHIJKLMNOPQRSTUVWXYZ123.jpg"));
    EXPECT_EQ(barcodeDisplayName(QStringLiteral("6901234567892"), QStringLiteral("jpg")),
              QStringLiteral("6901234567892.jpg"));
}

TEST(DesktopPictureNames, MergeSourcesLieInTheDaysMergeFolder) {
    const QString save = QStringLiteral("/srv/pictures/");
    const QDate day(2026, 12, 8);
    EXPECT_TRUE(isMergeSourceName(QStringLiteral("2026-12-08-10-11-12ForJpgMerge.jpg")));
    EXPECT_TRUE(isMergeSourceName(QStringLiteral("2026-12-08-10-11-12ForTifMerge.jpg")));
    EXPECT_FALSE(isMergeSourceName(QStringLiteral("2026-12-08-10-11-12.jpg")));
    EXPECT_FALSE(isMergeSourceName(QStringLiteral("2026-12-08-ForJpgMerge.jpeg")));
    EXPECT_EQ(pictureFolderFor(QStringLiteral("2026-12-08-10-11-12ForJpgMerge.jpg"), save, day),
              QStringLiteral("/srv/pictures/2026-12-08-ForMerge/"));
    EXPECT_EQ(pictureFolderFor(QStringLiteral("2026-12-08-10-11-12ForTifMerge.jpg"), save, QDate(2027, 1, 2)),
              QStringLiteral("/srv/pictures/2027-01-02-ForMerge/"));
    EXPECT_EQ(pictureFolderFor(QStringLiteral("2026-12-08-10-11-12.jpg"), save, day), save);
}

TEST(DesktopPictureNames, SaveFolderIsTheControlsOrTheTemporaryFolder) {
    qx::test::Folder temp;
    qx::test::ScopedEnv env("Temp", temp.path());
    EXPECT_EQ(saveFolderFor(QString(), QStringLiteral("/srv/x/")), temp.path());
    EXPECT_EQ(saveFolderFor(QStringLiteral("/srv/x"), QStringLiteral("/srv/x")), QStringLiteral("/srv/x/"));
    // A setting without a folder from the control must not turn picture paths into relative ones.
    EXPECT_EQ(saveFolderFor(QStringLiteral("/srv/x"), QString()), temp.path());
}

TEST_F(DesktopPictureList, AMergeSourceKeepsItsOwnFileAfterMidnight) {
    const QString name = QStringLiteral("2026-12-08-23-59-58ForJpgMerge.jpg");
    const QString folder = dir.path() + mergeFolderName(today);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(qx::test::writePicture(folder + name, 64, 48, kPicture));
    pictures.AddPictureItem(folder + name, name);
    EXPECT_EQ(pictures.pictureFile(0), folder + name);
    EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(0)).pixel(60, 45), kPicture));
    // After midnight a new merge source of that name would go into the new day's folder, but the item
    // still stands for the file it was taken as.
    today = today.addDays(1);
    EXPECT_EQ(pictures.pictureFolder(name), dir.path() + mergeFolderName(today));
    pictures.RebuildList();
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(pictures.pictureFile(0), folder + name);
    EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(0)).pixel(60, 45), kPicture));
}

TEST_F(DesktopPictureList, RebuildListRedrawsEveryItemFromItsOwnFile) {
    // Two items whose files lie in different folders, as after a change of the save folder.
    addPictures(1);
    qx::test::Folder other;
    ASSERT_TRUE(qx::test::writePicture(other.file("q.jpg"), 64, 48, kOtherPicture));
    pictures.AddPictureItem(other.file("q.jpg"), QStringLiteral("q.jpg"));
    // The picture is replaced in place, as the watermark does.
    ASSERT_TRUE(qx::test::writePicture(dir.file("p0.jpg"), 64, 48, kOtherPicture));
    pictures.RebuildList();
    ASSERT_EQ(texts(), (QStringList{"p0.jpg", "q.jpg"}));
    EXPECT_EQ(pictures.pictureFile(0), dir.file("p0.jpg"));
    EXPECT_EQ(pictures.pictureFile(1), other.file("q.jpg"));
    EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(0)).pixel(60, 45), kOtherPicture));
    EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(1)).pixel(60, 45), kOtherPicture));
}

TEST_F(DesktopPictureList, ADropKeepsEveryItemOnItsOwnFile) {
    addPictures(3);
    qx::test::Folder other;
    ASSERT_TRUE(qx::test::writePicture(other.file("q.jpg"), 64, 48, kOtherPicture));
    pictures.AddPictureItem(other.file("q.jpg"), QStringLiteral("q.jpg"));
    // The save folder holds a picture of the same name that is not the item's.
    ASSERT_TRUE(qx::test::writePicture(dir.file("q.jpg"), 64, 48, kPicture));
    DropNotification drop;
    drop.dropTarget = 0;
    drop.dragged[0] = 3;
    pictures.dropPictures(drop);
    ASSERT_EQ(texts(), (QStringList{"q.jpg", "p0.jpg", "p1.jpg", "p2.jpg"}));
    EXPECT_EQ(pictures.pictureFile(0), other.file("q.jpg"));
    EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(0)).pixel(60, 45), kOtherPicture));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(pictures.pictureFile(i), dir.file(QStringLiteral("p%1.jpg").arg(i - 1)));
    list.setSelectionMark(0);
    pictures.runCommand(cmd::kDelete);
    EXPECT_FALSE(QFile::exists(other.file("q.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("q.jpg")));
}

TEST_F(DesktopPictureList, EveryCommandKeepsToTheItemsFileWhenTheSaveFolderChanges) {
    addPictures(3);
    // The save folder moves to one that holds files of the same names.
    qx::test::Folder other;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(qx::test::writeAll(other.file(QStringLiteral("p%1.jpg").arg(i)), "not the item's"));
    pictures.setSaveFolder([&other] { return other.path(); });
    EXPECT_EQ(pictures.pictureFile(0), dir.file("p0.jpg"));

    list.setSelectionMark(0);
    pictures.runCommand(cmd::kDelete);
    EXPECT_FALSE(QFile::exists(dir.file("p0.jpg")));
    EXPECT_EQ(qx::test::readAll(other.file("p0.jpg")), QByteArray("not the item's"));

    std::vector<QString> printed;
    pictures.setPrintHandler([&](int, const QString& file) { printed.push_back(file); });
    list.setSelectionMark(0);
    pictures.runCommand(cmd::kPrint);
    pictures.runCommand(cmd::kOpenFolder);
    EXPECT_EQ(printed, std::vector<QString>{dir.file("p1.jpg")});
    EXPECT_EQ(opened, QStringList{dir.file("p1.jpg")});
    qx::test::doubleClick(viewport(), centreOf(1));
    EXPECT_EQ(opened.last(), dir.file("p2.jpg"));

    // A rename keeps the file in its own folder, and the item then stands for the renamed file.
    pictures.endLabelEdit(1, QStringLiteral("renamed.jpg"));
    EXPECT_TRUE(host.shown().empty());
    EXPECT_TRUE(QFile::exists(dir.file("renamed.jpg")));
    EXPECT_FALSE(QFile::exists(other.file("renamed.jpg")));
    EXPECT_EQ(qx::test::readAll(other.file("p2.jpg")), QByteArray("not the item's"));
    EXPECT_EQ(pictures.pictureFile(1), dir.file("renamed.jpg"));
}

TEST_F(DesktopPictureList, RebuildKeepsEveryItemBeyondAHundred) {
    addPictures(130, 16, 12);
    pictures.RebuildList(dir.path());
    ASSERT_EQ(list.count(), 130);
    for (int i = 0; i < 130; ++i)
        ASSERT_EQ(list.item(i)->text(), QStringLiteral("p%1.jpg").arg(i));
    EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(129)).pixel(60, 45), kPicture));
}

TEST_F(DesktopPictureList, RebuildWithOneFolderLooksForEveryItemThere) {
    addPictures(2);
    qx::test::Folder other;
    pictures.RebuildList(other.path());
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(thumbnailOf(list.item(0)).pixel(60, 45), QColor(Qt::white).rgb());
}

TEST(DesktopPictureNames, ReorderMovesTheDraggedNameToTheTarget) {
    const QStringList five{"0", "1", "2", "3", "4"};
    const int first[] = {0};
    EXPECT_EQ(reorderNames(five, 3, first), (QStringList{"1", "2", "3", "0", "4"}));
    const int last[] = {4};
    EXPECT_EQ(reorderNames(five, 1, last), (QStringList{"0", "4", "1", "2", "3"}));
    const int self[] = {2};
    EXPECT_EQ(reorderNames(five, 2, self), five);
    // Entries not in use and indices outside the list are ignored; so is a target outside it.
    const int unused[] = {-1, 7};
    EXPECT_EQ(reorderNames(five, 1, unused), five);
    EXPECT_EQ(reorderNames(five, 9, first), five);
    EXPECT_EQ(reorderNames(five, -1, first), five);
    // Several dragged names keep their order and start where the target was.
    const int two[] = {0, 1};
    EXPECT_EQ(reorderNames(five, 3, two), (QStringList{"2", "3", "4", "0", "1"}));
}

TEST_F(DesktopPictureList, DraggingTheFirstItemOntoTheFourthReorders) {
    addPictures(5);
    std::vector<DropNotification> drops;
    QObject::connect(&list, &CListImageCtrl::itemsDropped,
                     [&](const DropNotification& d) { drops.push_back(d); });
    const QPoint from = centreOf(0);
    const QPoint to = centreOf(3);
    qx::test::press(viewport(), from);
    qx::test::moveWithButton(viewport(), from + QPoint(20, 0));
    EXPECT_TRUE(list.isDragging());
    EXPECT_FALSE(list.dragImage().isNull());
    qx::test::moveWithButton(viewport(), to);
    EXPECT_EQ(list.dropTarget(), 3);
    qx::test::release(viewport(), to);
    EXPECT_FALSE(list.isDragging());
    EXPECT_EQ(list.dropTarget(), -1);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].code, kDropNotificationCode);
    EXPECT_EQ(drops[0].dropTarget, 3);
    EXPECT_EQ(drops[0].dragged[0], 0);
    EXPECT_EQ(drops[0].draggedCount(), 1);
    EXPECT_EQ(texts(), (QStringList{"p1.jpg", "p2.jpg", "p3.jpg", "p0.jpg", "p4.jpg"}));
    // Only the order changed: every file stays, every thumbnail is rebuilt from its own file.
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("p%1.jpg").arg(i))));
        EXPECT_TRUE(qx::test::near(thumbnailOf(list.item(i)).pixel(60, 45), kPicture));
    }
}

TEST_F(DesktopPictureList, DroppingAnItemOnItselfChangesNothing) {
    addPictures(5);
    QListWidgetItem* before = list.item(2);
    int dropped = 0;
    QObject::connect(&list, &CListImageCtrl::itemsDropped, [&](const DropNotification&) { ++dropped; });
    const QPoint at = centreOf(2);
    qx::test::press(viewport(), at);
    qx::test::moveWithButton(viewport(), at + QPoint(25, 0));
    qx::test::moveWithButton(viewport(), at);
    qx::test::release(viewport(), at);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(texts(), (QStringList{"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg"}));
    EXPECT_EQ(list.item(2), before); // not rebuilt
}

TEST_F(DesktopPictureList, ADropOnEmptySpaceSendsNoNotification) {
    addPictures(2);
    int dropped = 0;
    QObject::connect(&list, &CListImageCtrl::itemsDropped, [&](const DropNotification&) { ++dropped; });
    const QPoint from = centreOf(0);
    const QPoint empty(viewport()->width() - 5, 20);
    qx::test::press(viewport(), from);
    qx::test::moveWithButton(viewport(), empty);
    EXPECT_EQ(list.dropTarget(), -1);
    qx::test::release(viewport(), empty);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(texts(), (QStringList{"p0.jpg", "p1.jpg"}));
}

TEST_F(DesktopPictureList, TheDragImageIsTheSelectedItemOverTheTransparentColour) {
    addPictures(3);
    list.setCurrentRow(1);
    const QRect cell = list.visualItemRect(list.item(1));
    ASSERT_TRUE(list.buildDragImage(cell.center()));
    EXPECT_EQ(list.dragImage().size(), cell.size());
    EXPECT_EQ(list.dragHotSpot(), cell.center() - cell.topLeft());
    EXPECT_EQ(list.draggedIndices()[0], 1);
    EXPECT_EQ(list.draggedIndices()[1], -1);
    const QImage image = list.dragImage().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0); // outside the rounded selection: RGB(250, 255, 250) is masked
    const QPoint thumb(image.width() / 2, 40);
    EXPECT_EQ(qAlpha(image.pixel(thumb)), 255);
    EXPECT_TRUE(qx::test::near(image.pixel(thumb), kPicture));
}

TEST_F(DesktopPictureList, NothingSelectedBuildsNoDragImage) {
    addPictures(2);
    list.clearSelection();
    EXPECT_FALSE(list.buildDragImage(centreOf(0)));
    EXPECT_TRUE(list.dragImage().isNull());
}

TEST(DesktopPictureMenu, CaptionsAndCommandsAreTheMenusOwn) {
    std::unique_ptr<QMenu> menu(createPictureMenu(nullptr));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QString::fromUtf8("删  除"));
    EXPECT_EQ(actions[1]->text(), QString::fromUtf8("打  印"));
    EXPECT_EQ(actions[2]->text(), QString::fromUtf8("打开所在目录"));
    EXPECT_EQ(actions[3]->text(), QString::fromUtf8("重命名"));
    EXPECT_EQ(actions[0]->data().toInt(), cmd::kDelete);
    EXPECT_EQ(actions[1]->data().toInt(), cmd::kPrint);
    EXPECT_EQ(actions[2]->data().toInt(), cmd::kOpenFolder);
    EXPECT_EQ(actions[3]->data().toInt(), cmd::kRename);
}

TEST_F(DesktopPictureList, RightClickOnAnItemRunsTheChosenCommand) {
    addPictures(3);
    QStringList shown;
    pictures.setMenuRunner([&](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* a : menu.actions())
            shown << a->text();
        return menu.actions().first(); // 删  除
    });
    const QPoint at = centreOf(1);
    qx::test::press(viewport(), at, Qt::RightButton);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport(), &menuEvent);
    EXPECT_EQ(shown.size(), 4);
    EXPECT_EQ(texts(), (QStringList{"p0.jpg", "p2.jpg"}));
    EXPECT_FALSE(QFile::exists(dir.file("p1.jpg")));

    // On empty space there is no menu.
    shown.clear();
    const QPoint empty(viewport()->width() - 5, 20);
    QContextMenuEvent emptyEvent(QContextMenuEvent::Mouse, empty, viewport()->mapToGlobal(empty));
    QCoreApplication::sendEvent(viewport(), &emptyEvent);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(DesktopPictureList, DeleteRemovesTheItemAndItsFileWithoutAsking) {
    addPictures(3);
    list.setCurrentRow(1);
    pictures.runCommand(cmd::kDelete);
    EXPECT_EQ(texts(), (QStringList{"p0.jpg", "p2.jpg"}));
    EXPECT_FALSE(QFile::exists(dir.file("p1.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("p0.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("p2.jpg")));
    EXPECT_FALSE(list.item(1)->isSelected());
    EXPECT_TRUE(host.shown().empty());
}

TEST_F(DesktopPictureList, RenameMovesTheFileToTheNewName) {
    addPictures(2);
    const QByteArray bytes = qx::test::readAll(dir.file("p1.jpg"));
    pictures.endLabelEdit(1, QStringLiteral("receipt 7.jpg"));
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("receipt 7.jpg"));
    EXPECT_FALSE(QFile::exists(dir.file("p1.jpg")));
    EXPECT_EQ(qx::test::readAll(dir.file("receipt 7.jpg")), bytes);
    EXPECT_TRUE(host.shown().empty());
}

TEST_F(DesktopPictureList, RenameThroughTheLabelEditor) {
    addPictures(2);
    list.setCurrentRow(0);
    pictures.runCommand(cmd::kRename);
    auto* editor = list.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("p0.jpg"));
    editor->setText(QStringLiteral("typed.jpg"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &enter);
    QCoreApplication::processEvents();
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("typed.jpg"));
    EXPECT_TRUE(QFile::exists(dir.file("typed.jpg")));
    EXPECT_FALSE(QFile::exists(dir.file("p0.jpg")));
}

TEST_F(DesktopPictureList, EscapeEndsTheLabelEditWithoutChange) {
    addPictures(1);
    list.setCurrentRow(0);
    pictures.runCommand(cmd::kRename);
    auto* editor = list.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("other.jpg"));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("p0.jpg"));
    EXPECT_TRUE(QFile::exists(dir.file("p0.jpg")));
}

TEST_F(DesktopPictureList, RenamingToTheEmptyTextChangesNothing) {
    addPictures(2);
    pictures.endLabelEdit(1, QString());
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("p1.jpg"));
    EXPECT_TRUE(QFile::exists(dir.file("p1.jpg")));
    EXPECT_TRUE(host.shown().empty());
}

TEST_F(DesktopPictureList, RenamingToTheSameNameIsNoError) {
    addPictures(1);
    pictures.endLabelEdit(0, QStringLiteral("p0.jpg"));
    EXPECT_TRUE(QFile::exists(dir.file("p0.jpg")));
    EXPECT_TRUE(host.shown().empty());
}

TEST_F(DesktopPictureList, ARefusedRenameShowsTheFileErrorBoxAndKeepsBothFiles) {
    addPictures(2);
    const QByteArray first = qx::test::readAll(dir.file("p0.jpg"));
    ASSERT_TRUE(qx::test::writeAll(dir.file("p1.jpg"), QByteArray("the other picture")));
    pictures.endLabelEdit(0, QStringLiteral("p1.jpg"));
    ASSERT_EQ(host.shown().size(), 1u);
    EXPECT_EQ(host.shown()[0].kind, QStringLiteral("message"));
    EXPECT_EQ(host.shown()[0].text, fileErrorMessage(FileError::AccessDenied, dir.file("p0.jpg")));
    EXPECT_TRUE(host.shown()[0].text.contains(dir.file("p0.jpg")));
    // The item keeps its own text and file; neither file was touched.
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("p0.jpg"));
    EXPECT_EQ(pictures.pictureFile(0), dir.file("p0.jpg"));
    EXPECT_EQ(qx::test::readAll(dir.file("p0.jpg")), first);
    EXPECT_EQ(qx::test::readAll(dir.file("p1.jpg")), QByteArray("the other picture"));
}

TEST_F(DesktopPictureList, AfterARefusedRenameDeleteRemovesOnlyTheItemsOwnFile) {
    addPictures(1);
    ASSERT_TRUE(qx::test::writeAll(dir.file("taken.jpg"), QByteArray("the other picture")));
    list.setSelectionMark(0);
    pictures.runCommand(cmd::kRename);
    auto* editor = list.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("taken.jpg"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &enter);
    QCoreApplication::processEvents();
    ASSERT_EQ(host.shown().size(), 1u);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("p0.jpg"));

    list.setSelectionMark(0);
    pictures.runCommand(cmd::kDelete);
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(QFile::exists(dir.file("p0.jpg")));
    EXPECT_EQ(qx::test::readAll(dir.file("taken.jpg")), QByteArray("the other picture"));
}

TEST_F(DesktopPictureList, RenamingAFileThatIsGoneReportsItNotFound) {
    addPictures(1);
    ASSERT_TRUE(QFile::remove(dir.file("p0.jpg")));
    pictures.endLabelEdit(0, QStringLiteral("new.jpg"));
    ASSERT_EQ(host.shown().size(), 1u);
    EXPECT_EQ(host.shown()[0].text, dir.file("p0.jpg") + QStringLiteral(" was not found."));
}

TEST_F(DesktopPictureList, ANameWithASlashCannotMoveTheFileElsewhere) {
    addPictures(1);
    ASSERT_TRUE(QDir().mkpath(dir.file("sub")));
    pictures.endLabelEdit(0, QStringLiteral("sub/p0.jpg"));
    ASSERT_EQ(host.shown().size(), 1u);
    EXPECT_EQ(host.shown()[0].text, fileErrorMessage(FileError::BadPath, dir.file("p0.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("p0.jpg")));
    EXPECT_FALSE(QFile::exists(dir.file("sub/p0.jpg")));
}

TEST_F(DesktopPictureList, ClicksReportWhetherTheyHitAnItem) {
    addPictures(2);
    std::vector<bool> reports;
    QObject::connect(&pictures, &PictureList::pictureActionsEnabled, [&](bool on) { reports.push_back(on); });
    qx::test::click(viewport(), centreOf(0));
    qx::test::click(viewport(), QPoint(viewport()->width() - 5, 20));
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));
}

TEST_F(DesktopPictureList, DoubleClickOpensTheFolderWithTheFile) {
    addPictures(3);
    qx::test::doubleClick(viewport(), centreOf(2));
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_EQ(opened.last(), dir.file("p2.jpg"));
}

TEST_F(DesktopPictureList, OpenFolderShowsTheSelectionMarksFile) {
    addPictures(3);
    list.setCurrentRow(1);
    pictures.runCommand(cmd::kOpenFolder);
    EXPECT_EQ(opened, QStringList{dir.file("p1.jpg")});
}

TEST_F(DesktopPictureList, PrintGoesThroughThePrintEntryPoint) {
    addPictures(3);
    std::vector<std::pair<int, QString>> printed;
    pictures.runCommand(cmd::kPrint); // nothing is connected yet: nothing happens
    pictures.setPrintHandler([&](int row, const QString& file) { printed.emplace_back(row, file); });
    list.setSelectionMark(0);
    pictures.runCommand(cmd::kPrint);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].first, 0);
    EXPECT_EQ(printed[0].second, dir.file("p0.jpg"));
}
