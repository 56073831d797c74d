// Thumbnails decoded aside: each item gets its own, items changed meanwhile no other, the decodes bounded.
#include "desktop_support.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/thumbnail.h"
#include "qx/desktop/thumbnail_loader.h"
#include "qx/interface/ui_host.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

using namespace qx::desktop;

namespace {

// Holds every decode until opened, and counts and names what the workers were given.
class Gate {
public:
    QImage decode(const QString& file) {
        {
            std::unique_lock lock(m_mutex);
            ++m_started;
            m_held << file;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_open && !m_kept.contains(file); });
        }
        return makeThumbnailImage(file);
    }
    // Lets every decode through but those of the files `kept`, which wait for release().
    void openAllBut(const QStringList& kept) {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_kept = kept;
        m_changed.notify_all();
    }
    void open() { openAllBut({}); }
    void release() { open(); }
    // Whether `count` decodes have begun within `wait`.
    bool started(int count, std::chrono::milliseconds wait = std::chrono::minutes(1)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, wait, [&] { return m_started >= count; });
    }
    QStringList held() {
        std::lock_guard lock(m_mutex);
        return m_held;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    QStringList m_kept;
    int m_started = 0;
    QStringList m_held;
};

// A colour of its own for every picture, so a thumbnail in the wrong item shows.
QColor colourOf(int i) {
    return QColor::fromHsv((i * 47) % 360, 90 + (i * 29) % 160, 70 + (i * 53) % 180);
}

class DesktopThumbnailLoading : public ::testing::Test {
protected:
    void SetUp() override {
        list.resize(1000, 170);
        pictures.setSaveFolder([this] { return dir.path(); });
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    // The workers must not stay held, or the list's end would wait for them.
    ~DesktopThumbnailLoading() override {
        for (const auto& gate : gates)
            gate->open();
    }

    std::shared_ptr<Gate> holdDecodes() {
        auto gate = std::make_shared<Gate>();
        gates.push_back(gate);
        pictures.thumbnails().setDecoder([gate](const QString& file) { return gate->decode(file); });
        return gate;
    }

    // "p0.jpg" ... in `folder`, each of its own colour (from `shift` on), some upright, some 5:4.
    void writePictures(const qx::test::Folder& folder, int count, int shift = 0) {
        for (int i = 0; i < count; ++i) {
            const QSize size = i % 3 == 0 ? QSize(48, 64) : i % 3 == 1 ? QSize(80, 64) : QSize(64, 48);
            ASSERT_TRUE(qx::test::writePicture(folder.file(QStringLiteral("p%1.jpg").arg(i)), size.width(),
                                               size.height(), colourOf(i + shift)));
        }
    }
    // Listed in one go, as a start listing the save folder would.
    void addPictures(int count) {
        QList<PictureList::Picture> all;
        for (int i = 0; i < count; ++i)
            all.append({dir.file(QStringLiteral("p%1.jpg").arg(i)), QStringLiteral("p%1.jpg").arg(i)});
        pictures.AddPictureItems(all);
    }

    QImage thumbnailOf(int row) const {
        return list.item(row)->data(Qt::DecorationRole).value<QPixmap>().toImage();
    }
    // Every item shows what the synchronous decoder makes of the file it stands for now.
    void expectEveryThumbnailFromItsOwnFile() {
        for (int i = 0; i < list.count(); ++i) {
            const QString file = pictures.pictureFile(i);
            EXPECT_EQ(thumbnailOf(i), makeThumbnailImage(file)) << "item " << i << " " << file.toStdString();
        }
    }

    qx::test::Folder dir;
    CListImageCtrl list;
    qx::ScriptedUiHost host;
    PictureList pictures{list, host};
    std::vector<std::shared_ptr<Gate>> gates;
};

} // namespace

TEST_F(DesktopThumbnailLoading, EveryItemOfALongListGetsItsOwnThumbnailAndBrokenFilesTheEmptyBox) {
    constexpr int kPictures = 150;
    writePictures(dir, kPictures);
    ASSERT_TRUE(
        qx::test::writeAll(dir.file("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 no picture here", 20)));
    ASSERT_TRUE(qx::test::writeAll(dir.file("empty.jpg"), QByteArray()));
    ASSERT_TRUE(qx::test::writeAll(dir.file("text.png"), "not a png"));
    ASSERT_TRUE(qx::test::writePicture(dir.file("other.bmp"), 64, 48, QColor(250, 200, 10)));
    const std::shared_ptr<Gate> gate = holdDecodes();
    addPictures(kPictures);
    ASSERT_EQ(list.currentRow(), kPictures - 1);
    const QStringList odd{"broken.jpg", "empty.jpg", "missing.jpg", "text.png", "other.bmp"};
    for (const QString& name : odd)
        pictures.AddPictureItem(dir.file(name), name);
    const int total = kPictures + int(odd.size());

    // Listed at once, selected as before, every thumbnail still to come: the adding decoded nothing.
    ASSERT_EQ(list.count(), total);
    for (int i = 0; i < kPictures; ++i)
        ASSERT_EQ(pictures.pictureFile(i), dir.file(QStringLiteral("p%1.jpg").arg(i)));
    EXPECT_EQ(pictures.names().mid(kPictures), odd);
    EXPECT_EQ(list.currentRow(), total - 1);
    EXPECT_TRUE(list.item(total - 1)->isSelected());
    EXPECT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(pictures.pendingThumbnails(), total);
    // A picture added alone, as a capture is, is on a worker before the event loop has run.
    ASSERT_TRUE(gate->started(1));

    // The decodes begin from the event loop. While this thread takes none of their results, the workers
    // get no more than the bound, however long the list.
    QCoreApplication::processEvents();
    const ThumbnailLoader& loader = pictures.thumbnails();
    ASSERT_TRUE(gate->started(loader.workerCount()));
    gate->open();
    ASSERT_TRUE(gate->started(loader.maxOnTheirWay()));
    EXPECT_FALSE(gate->started(loader.maxOnTheirWay() + 1, std::chrono::milliseconds(300)));

    ASSERT_TRUE(pictures.waitForThumbnails(60000));
    EXPECT_EQ(pictures.pendingThumbnails(), 0);
    expectEveryThumbnailFromItsOwnFile();
    for (int i = 0; i < kPictures; ++i)
        EXPECT_TRUE(qx::test::near(thumbnailOf(i).pixel(60, 45), colourOf(i))) << i;
    const QImage empty = emptyThumbnailImage();
    for (int i = kPictures; i < total - 1; ++i)
        EXPECT_EQ(thumbnailOf(i), empty) << pictures.names()[i].toStdString();
    EXPECT_TRUE(qx::test::near(thumbnailOf(total - 1).pixel(60, 45), QColor(250, 200, 10)));
    // The thumbnails arriving moved neither the selection nor the order.
    EXPECT_EQ(list.currentRow(), total - 1);
    EXPECT_EQ(pictures.names().mid(kPictures), odd);
}

TEST_F(DesktopThumbnailLoading, ItemsRemovedRenamedOrReboundWhileDecodingGetNoOtherThumbnail) {
    constexpr int kPictures = 40;
    writePictures(dir, kPictures);
    // One worker stays held below while the others go on.
    ThumbnailLoader& loader = pictures.thumbnails();
    loader.setWorkerCount(std::max(loader.workerCount(), 2));
    std::shared_ptr<Gate> gate = holdDecodes();
    addPictures(kPictures);
    QCoreApplication::processEvents();
    ASSERT_TRUE(gate->started(loader.workerCount()));
    // The pictures the workers hold are those in view, at the end (the list scrolls there); the rest
    // wait.
    const QStringList held = gate->held();
    ASSERT_FALSE(held.isEmpty());
    const QRect viewport = list.viewport()->rect();
    const auto rowOf = [this](const QString& file) {
        for (int i = 0; i < list.count(); ++i) {
            if (pictures.pictureFile(i) == file)
                return i;
        }
        return -1;
    };
    for (const QString& file : held)
        EXPECT_TRUE(list.visualItemRect(list.item(rowOf(file))).intersects(viewport)) << file.toStdString();
    // A held picture renamed: its decode of the old name finds no file any more.
    pictures.endLabelEdit(rowOf(held[0]), QStringLiteral("renamed-held.jpg"));
    ASSERT_EQ(pictures.pictureFile(rowOf(dir.file("renamed-held.jpg"))), dir.file("renamed-held.jpg"));
    // The other held ones removed, as the dialog removes items.
    for (const QString& file : held.mid(1))
        delete list.takeItem(rowOf(file));
    // Waiting ones removed through the menu and directly, renamed, and a picture added.
    list.setSelectionMark(0);
    pictures.runCommand(cmd::kDelete);
    delete list.takeItem(4);
    delete list.takeItem(4);
    ASSERT_FALSE(held.contains(pictures.pictureFile(1)));
    pictures.endLabelEdit(1, QStringLiteral("renamed-waiting.jpg"));
    ASSERT_TRUE(qx::test::writePicture(dir.file("late.jpg"), 64, 48, QColor(10, 10, 250)));
    pictures.AddPictureItem(dir.file("late.jpg"), QStringLiteral("late.jpg"));

    // The decode of the renamed picture's old name comes back last, after the item has its thumbnail
    // from the new name.
    gate->openAllBut({held[0]});
    ASSERT_TRUE(pictures.waitForThumbnails(60000));
    gate->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loader.onTheirWay() == 0; }, 60000));
    ASSERT_EQ(list.count(), kPictures - 1 - int(held.size() - 1) - 2 + 1);
    expectEveryThumbnailFromItsOwnFile();
    const QImage empty = emptyThumbnailImage();
    for (int i = 0; i < list.count(); ++i)
        EXPECT_NE(thumbnailOf(i), empty) << pictures.pictureFile(i).toStdString();

    // A rebuild whose decodes are held, then the list bound to another folder whose pictures of the
    // same names look different: the first rebuild's thumbnails must not land.
    qx::test::Folder other;
    writePictures(other, kPictures, 100);
    for (int i = 0; i < list.count(); ++i) {
        const QString name = list.item(i)->text();
        if (!name.startsWith(QLatin1Char('p'))) {
            ASSERT_TRUE(qx::test::writePicture(other.file(name), 64, 48, QColor(240, 240, 20)));
        }
    }
    gate = holdDecodes();
    pictures.RebuildList();
    QCoreApplication::processEvents();
    ASSERT_TRUE(gate->started(loader.workerCount()));
    pictures.RebuildList(other.path());
    gate->open();
    ASSERT_TRUE(pictures.waitForThumbnails(60000));
    for (int i = 0; i < list.count(); ++i) {
        const QString name = list.item(i)->text();
        ASSERT_EQ(pictures.pictureFile(i), other.file(name));
        EXPECT_EQ(thumbnailOf(i), makeThumbnailImage(other.file(name))) << name.toStdString();
        EXPECT_NE(thumbnailOf(i), makeThumbnailImage(dir.file(name))) << name.toStdString();
    }
}

TEST(DesktopThumbnailShutdown, ListsGoWithDecodesOnTheirWay) {
    qx::test::Folder dir;
    for (int i = 0; i < 24; ++i)
        ASSERT_TRUE(
            qx::test::writePicture(dir.file(QStringLiteral("p%1.jpg").arg(i)), 1600, 1200, colourOf(i)));
    // Going as the main dialog goes (the list's operations, then the list), once with the items still
    // there and once after 清空图像列表 emptied the list under them.
    for (const bool cleared : {false, true}) {
        auto list = std::make_unique<CListImageCtrl>();
        qx::ScriptedUiHost host;
        auto pictures = std::make_unique<PictureList>(*list, host);
        for (int i = 0; i < 24; ++i)
            pictures->AddPictureItem(dir.file(QStringLiteral("p%1.jpg").arg(i)),
                                     QStringLiteral("p%1.jpg").arg(i));
        QCoreApplication::processEvents();
        if (cleared) {
            list->clear();
            EXPECT_EQ(pictures->pendingThumbnails(), 0);
        }
        pictures.reset();
        list.reset();
        // Whatever the workers had posted goes with the objects it was posted to.
        QCoreApplication::processEvents();
    }
}
