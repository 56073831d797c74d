// Captures on a disk that fills up, into read-only and vanishing folders, and with the picture
// removed behind the control's back: a clear result and log line, and no picture lost.
#include "control/capture/capture.h"
#include "control/control_fixture.h"
#include "control/core/process_modes.h"
#include "control/features/merge.h"
#include "faults/fault_support.h"
#include "qx/platform/timestamp.h"
#include "support/page_clips.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

namespace qx::test {
namespace {

// A 320 x 240 camera: its BMP is 230 454 bytes, 57 pages of a tmpfs.
constexpr const char* kCamera = "7e41:320x240";
constexpr uint64_t kBmpBytes = 54 + 320 * 240 * 3;

QString identify(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m"), file});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

class CaptureFaults : public ControlTest {
protected:
    CaptureFaults() {
        // A still picture with fine detail: every capture is the same, and no format squeezes it
        // into a page or two.
        QImage scene(320, 240, QImage::Format_RGB32);
        QRandomGenerator rng(11);
        for (int y = 0; y < scene.height(); ++y)
            for (int x = 0; x < scene.width(); ++x)
                scene.setPixel(x, y, qRgb(rng.bounded(256), 128 + rng.bounded(128), rng.bounded(256)));
        EXPECT_TRUE(scene.save(m_sceneFolder.file(QStringLiteral("scene.png"))));
        m_scene =
            std::make_unique<ScopedEnv>("QX_VIRTUAL_SCENE", m_sceneFolder.file(QStringLiteral("scene.png")));
        m_camerasSet = std::make_unique<ScopedEnv>("QX_VIRTUAL_CAMERAS", QString::fromLatin1(kCamera));
    }

    control::CMorvelQxWebCtrl& normalPreview(const QString& folder) {
        return createWithNormalPreview(folder);
    }
    control::CMorvelQxWebCtrl& edgePreview(const QString& folder) {
        auto& c = createWithEdgePreview(folder);
        c.DisableCrop();
        return c;
    }
    // A small picture of the user's that was there before, and must be there after.
    void putEarlierPicture(const QString& folder) {
        QImage earlier(40, 30, QImage::Format_RGB32);
        earlier.fill(Qt::darkCyan);
        ASSERT_TRUE(earlier.save(folder + QStringLiteral("earlier.jpg")));
    }
    // The JPEG the chain makes of the scene, measured once in an ordinary folder.
    uint64_t sceneJpegBytes() {
        Folder plain;
        auto& c = normalPreview(plain.path());
        EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
        const uint64_t bytes = static_cast<uint64_t>(QFileInfo(c.cPicName()).size());
        destroyControl();
        return bytes;
    }
    bool logHas(const char* line) const { return log().contains(QString::fromUtf8(line)); }

    Folder m_sceneFolder;
    std::unique_ptr<ScopedEnv> m_scene;
    std::unique_ptr<ScopedEnv> m_camerasSet;
};

#define QX_NEED_DISK(disk)                                                                                   \
    if (!(disk).isMounted())                                                                                 \
    GTEST_SKIP() << (disk).skipReason().toStdString()

TEST_F(CaptureFaults, ADiskTooFullForTheBmpGetsNoPictureAndSaysSo) {
    SmallDisk disk;
    QX_NEED_DISK(disk);
    putEarlierPicture(disk.path());
    ASSERT_TRUE(disk.leaveFreePages(8));
    const FolderSnapshot before(disk.path());
    auto& c = normalPreview(disk.path());
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kNotSaved);
    EXPECT_TRUE(logHas("抓图失败!"));
    EXPECT_TRUE(logHas("写bmp文件失败，拍照失败!"));
    EXPECT_TRUE(m_ui.messages().contains(QStringLiteral(" 抓图失败.")));
    EXPECT_FALSE(logHas("普通拍照成功完成!"));
    EXPECT_EQ(before.damaged(), QString());
    // No cut-short BMP and no temporary file is left on the full disk.
    EXPECT_EQ(before.added(), QStringList());

    // The edge-finding path writes no empty BMP either.
    auto& e = edgePreview(disk.path());
    EXPECT_EQ(e.Morvel(QStringLiteral("jpg")), automation::kNotSaved);
    EXPECT_TRUE(logHas("写bmp文件失败，拍照失败!"));
    EXPECT_FALSE(logHas("寻边模式写bmp文件成功"));
    EXPECT_EQ(before.damaged(), QString());
    EXPECT_EQ(before.added(), QStringList());
}

TEST_F(CaptureFaults, AFormatThatCannotBeWrittenKeepsTheBmp) {
    // The picture goes from memory to its one file. A TIFF of this scene is larger than its BMP: a
    // disk with room for the BMP but not the TIFF fills during the conversion. The other formats are
    // smaller than the BMP, so a folder in the way of their file is what keeps them from being made.
    struct Case {
        const char* format;
        bool onSmallDisk;
        const char* failureLine;
        bool pdfStep = false; // the PDF document itself fails, with its own code
    };
    const Case cases[] = {
        {"tif", true, "转换Tif失败!"},
        {"jpg", false, "转换jpg失败!"},
        {"gif", false, "转换gif失败!"},
        {"pdf", false, "转换PDF失败!", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.format);
        SmallDisk disk;
        Folder plain;
        if (k.onSmallDisk) {
            QX_NEED_DISK(disk);
        }
        const QString folder = k.onSmallDisk ? disk.path() : plain.path();
        putEarlierPicture(folder);
        if (k.onSmallDisk) {
            ASSERT_TRUE(disk.leaveFreePages(pagesFor(kBmpBytes) + 1));
        } else {
            const QDateTime now = QDateTime::currentDateTime();
            for (int i = -1; i < 60; ++i)
                ASSERT_TRUE(QDir().mkpath(folder + platform::fileTimeStamp(now.addSecs(i)) +
                                          QLatin1Char('.') + QLatin1String(k.format)));
        }
        const FolderSnapshot before(folder);
        auto& c = normalPreview(folder);
        const int code = c.Morvel(QLatin1String(k.format));
        if (k.pdfStep)
            EXPECT_TRUE(code == -18 || code == -19) << code;
        else
            EXPECT_EQ(code, automation::kMorvelConversionFailed);
        EXPECT_TRUE(logHas(k.failureLine));
        EXPECT_NE(log().last(), QStringLiteral("普通拍照成功完成!"));
        // The captured picture is kept whole as the BMP, and named in cPicName.
        EXPECT_TRUE(c.cPicName().endsWith(QStringLiteral(".bmp")));
        EXPECT_EQ(QFileInfo(c.cPicName()).size(), static_cast<qint64>(kBmpBytes));
        EXPECT_TRUE(identify(c.cPicName()).startsWith(QStringLiteral("BMP")));
        EXPECT_EQ(before.damaged(), QString());
        EXPECT_EQ(before.added(), QStringList{QFileInfo(c.cPicName()).fileName()});
        destroyControl();
    }
}

TEST_F(CaptureFaults, ADiskThatFillsDuringAMergeKeepsEveryMergeFile) {
    struct Case {
        const char* format;
        int code;
        const char* failureLine;
    };
    const Case cases[] = {
        {"jpg", automation::kNotSaved, "写合并图片失败，合并图片已保留!"},
        {"tif", automation::kNotSaved, "写多页Tif失败，合并图片已保留!"},
        {"pdf", -19, "PDFlib exception occurred!"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.format);
        SmallDisk disk;
        QX_NEED_DISK(disk);
        putEarlierPicture(disk.path());
        auto& c = normalPreview(disk.path());
        for (int i = 0; i < 2; ++i) {
            c.IsMerge();
            ASSERT_EQ(c.Morvel(QLatin1String(k.format)), 0);
        }
        ASSERT_TRUE(disk.leaveFreePages(2)); // far less than the merged file needs
        const FolderSnapshot before(disk.path());
        EXPECT_EQ(c.MergeImage(), k.code);
        EXPECT_TRUE(logHas(k.failureLine));
        EXPECT_EQ(before.damaged(), QString());
        EXPECT_EQ(before.added(), QStringList()); // no partial merged file
        destroyControl();
        control::ProcessModes::ofProcess().mergeMode = false;
    }
}

TEST_F(CaptureFaults, AReadOnlyFolderGetsNoPictureAndKeepsWhatItHolds) {
    Folder folder;
    putEarlierPicture(folder.path());
    const FolderSnapshot before(folder.path());
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                         QFileDevice::ReadOther | QFileDevice::ExeOther));
    {
        ObeyFilePermissions obey;
        if (!obey.active())
            GTEST_SKIP() << "file permissions cannot be obeyed in this process";
        auto& c = normalPreview(folder.path());
        EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kNotSaved);
        EXPECT_TRUE(logHas("写bmp文件失败，拍照失败!"));
        auto& e = edgePreview(folder.path());
        EXPECT_EQ(e.Morvel(QStringLiteral("pdf")), automation::kNotSaved);
        destroyControl();
    }
    QFile::setPermissions(folder.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(before.damaged(), QString());
    EXPECT_EQ(before.added(), QStringList());
}

TEST_F(CaptureFaults, AFolderThatVanishes) {
    Folder parent;
    const QString folder = parent.file(QStringLiteral("pictures/"));
    ASSERT_TRUE(QDir().mkpath(folder));
    auto& c = normalPreview(folder);
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);

    // Gone before the capture: the save folder is refused, as any unusable one is.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), -11);
    EXPECT_EQ(log().last(), QStringLiteral("自定义图片路径错误!"));
    EXPECT_FALSE(QFileInfo::exists(folder));

    // Gone while the frame is on its way: the capture ends at once, without waiting out the frame wait.
    ASSERT_TRUE(QDir().mkpath(folder));
    int vanished = 0;
    QTimer::singleShot(0, &c, [&] { vanished += QDir(folder).removeRecursively(); });
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kNotSaved);
    EXPECT_EQ(vanished, 1);
    EXPECT_TRUE(logHas("写bmp文件失败，拍照失败!"));
    EXPECT_FALSE(logHas("等待图像帧超时，抓图失败!"));
    EXPECT_FALSE(QFileInfo::exists(folder)); // not made again behind the user's back
}

TEST_F(CaptureFaults, AHandsFreeRunWhoseFolderVanishesSaysSoOnceAndEnds) {
    Folder clips;
    const PageClipPlan plan{.width = 320,
                            .height = 240,
                            .pages = 3,
                            .emptyStart = 0.4,
                            .turn = 0.6,
                            .still = 0.9,
                            .emptyEnd = 0.4};
    const QString clip = clips.file(QStringLiteral("pages.avi"));
    ASSERT_TRUE(writePageClip(plan, clip));
    ScopedEnv camera("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240!file=") + clip);
    Folder parent;
    const QString folder = parent.file(QStringLiteral("pictures/"));
    ASSERT_TRUE(QDir().mkpath(folder));
    auto& c = normalPreview(folder);
    std::vector<std::pair<int, QString>> shots;
    std::vector<int> states;
    QObject::connect(&c, &control::CMorvelQxWebCtrl::AutoCaptured, &c, [&](int result, const QString& path) {
        shots.emplace_back(result, path);
        // The first page is on disk; then the folder goes, as a card pulled out or a share dropped.
        if (shots.size() == 1)
            QDir(folder).removeRecursively();
    });
    QObject::connect(&c, &control::CMorvelQxWebCtrl::AutoCaptureStateChanged, &c,
                     [&](int s) { states.push_back(s); });
    c.setNAutoSettleTime(400);
    ASSERT_EQ(c.StartAutoCapture(QStringLiteral("jpg")), 0);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < pageClipTimes(plan).end * 1000 + 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The second page fails as a click would (the folder is refused), is announced once, and the
    // run ends instead of failing again on the third page.
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_EQ(shots[0].first, 0);
    EXPECT_TRUE(shots[0].second.startsWith(folder));
    EXPECT_EQ(shots[1].first, automation::kMorvelBadSavePath);
    EXPECT_EQ(shots[1].second, QString());
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), 0);
    EXPECT_EQ(c.GetAutoCaptureState(), 0);
    EXPECT_EQ(c.GetAutoCaptureCount(), 1);
    EXPECT_TRUE(logHas("自动拍照失败 (-11)，自动拍照结束"));
    EXPECT_FALSE(QFileInfo::exists(folder)); // not made again behind the user's back
}

TEST_F(CaptureFaults, APictureRemovedBeforeItIsReportedIsNotReportedSaved) {
    Folder folder;
    auto& c = normalPreview(folder.path());
    int removed = 0;
    c.capture().setStageObserver([&](control::Capture::Stage stage, const QString& picture) {
        if (stage == control::Capture::Stage::FileWritten)
            removed += QFile::remove(picture);
    });
    for (const char* format : {"jpg", "bmp", "pdf"}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(c.Morvel(QLatin1String(format)), automation::kNotSaved);
        EXPECT_EQ(log().last(), QStringLiteral("图片文件不存在，拍照失败!"));
    }
    EXPECT_EQ(removed, 3);
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

// A JPEG whose data was cut short (a copy that stopped, a card pulled out): libjpeg decodes it with
// a grey remainder and only a warning.
void cutShort(const QString& jpeg) {
    const QByteArray bytes = readAll(jpeg);
    ASSERT_TRUE(writeAll(jpeg, bytes.left(bytes.size() / 2)));
}

TEST_F(CaptureFaults, AJpegWithDamagedDataIsNeitherMergedAwayNorStampedOver) {
    Folder folder;
    auto& c = normalPreview(folder.path());
    for (int i = 0; i < 2; ++i) {
        c.IsMerge();
        ASSERT_EQ(c.Morvel(QStringLiteral("tif")), 0);
    }
    const QString damaged = c.cPicName();
    cutShort(damaged);
    const FolderSnapshot before(folder.path());
    EXPECT_EQ(c.MergeImage(), automation::kNotSaved);
    EXPECT_TRUE(logHas("写多页Tif失败，合并图片已保留!"));
    EXPECT_TRUE(log().contains(QStringLiteral("合并图片无法完整读取:") + damaged));
    EXPECT_EQ(before.damaged(), QString());
    EXPECT_EQ(before.added(), QStringList());
    control::ProcessModes::ofProcess().mergeMode = false;

    // The watermark leaves such a picture as it is.
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    const QString picture = c.cPicName();
    cutShort(picture);
    const QByteArray bytes = readAll(picture);
    m_ui.queueAnswer(QStringLiteral("watermark"), QVariantMap{{QStringLiteral("text"), QStringLiteral("x")}});
    EXPECT_EQ(c.AddWaterMark(), 0);
    EXPECT_EQ(log().last(), QStringLiteral("添加水印失败，无法读取图片:") + picture);
    EXPECT_EQ(readAll(picture), bytes);
    EXPECT_FALSE(m_ui.messages().contains(QStringLiteral("添加水印成功")));
}

TEST_F(CaptureFaults, StampedCopiesNeverMeetInTheTemporaryFolderAndAFailedOneLeavesNothing) {
    SmallDisk disk;
    QX_NEED_DISK(disk);
    Folder folder;
    auto& c = normalPreview(folder.path());
    c.setBShowMsgBox(false);
    const auto stampedCopies = [this] {
        return QDir(m_tempFolder.path()).entryList({QStringLiteral("*AW.bmp*")}, QDir::Files);
    };
    // A TIFF's stamped copy is its result, kept as "<name>AW.bmp"; a JPEG of the same name stamped
    // after it, in another folder, does not take that copy away.
    ASSERT_EQ(c.Morvel(QStringLiteral("tif")), 0);
    const QString tif = c.cPicName();
    const QString name = QFileInfo(tif).completeBaseName();
    m_ui.queueAnswer(QStringLiteral("watermark"),
                     QVariantMap{{QStringLiteral("text"), QStringLiteral("tif")}});
    c.AddWaterMark();
    const QString kept = m_tempFolder.file(name + QStringLiteral("AW.bmp"));
    const QByteArray tifStamp = readAll(kept);
    ASSERT_FALSE(tifStamp.isEmpty());

    Folder other;
    const QString jpeg = other.file(name + QStringLiteral(".jpg"));
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    ASSERT_TRUE(QFile::rename(c.cPicName(), jpeg));
    c.setCPicName(jpeg);
    m_ui.queueAnswer(QStringLiteral("watermark"),
                     QVariantMap{{QStringLiteral("text"), QStringLiteral("jpg")}});
    c.AddWaterMark();
    EXPECT_EQ(readAll(kept), tifStamp);
    EXPECT_EQ(stampedCopies(), QStringList{QFileInfo(kept).fileName()});

    // The stamped JPEG cannot be written beside the picture (its disk is full): the picture stays,
    // and no picture-sized copy is left in the temporary folder.
    c.setCustomSavePath(disk.path());
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    const QString full = c.cPicName();
    const QByteArray bytes = readAll(full);
    ASSERT_TRUE(disk.leaveFreePages(0));
    m_ui.queueAnswer(QStringLiteral("watermark"),
                     QVariantMap{{QStringLiteral("text"), QStringLiteral("full")}});
    c.AddWaterMark();
    EXPECT_EQ(log().last(), QStringLiteral("添加水印失败，图片未替换:") + full);
    EXPECT_EQ(readAll(full), bytes);
    EXPECT_EQ(stampedCopies(), QStringList{QFileInfo(kept).fileName()});
}

} // namespace
} // namespace qx::test
