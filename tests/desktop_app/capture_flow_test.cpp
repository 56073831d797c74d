// The capture flow on the real control: merge formats, the picture settings, barcode names, re-entry, merge.
#include "app_fixture.h"

#include "qx/desktop/capture_flow.h"
#include "qx/desktop/file_ops.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/settings_store.h"
#include "qx/platform/timestamp.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

using namespace qx::desktop;

namespace qx::test {
namespace {

class DesktopCaptureFlow : public ::testing::Test {
protected:
    DesktopCaptureFlow() {
        m_settings.savedImageFormat = QStringLiteral("jpg");
        m_flow.setModes([this] { return m_merge; }, [this] { return m_barcode; });
        m_flow.setMessageSink([this](const QString& text) { m_messages << text; });
    }
    void SetUp() override { ASSERT_EQ(m_control.start(m_save.path()), 2); }

    QStringList texts() const { return m_pictures.names(); }
    QStringList savedFiles() const { return QDir(m_save.path()).entryList(QDir::Files); }

    Folder m_save;
    ScriptedUiHost m_ui;
    StandaloneControl m_control{m_ui};
    CListImageCtrl m_list;
    PictureList m_pictures{m_list, m_ui};
    CamSettings m_settings;
    CaptureFlow m_flow{m_control.wrapper(), m_pictures, m_settings};
    bool m_merge = false;
    bool m_barcode = false;
    QStringList m_messages;
};

TEST_F(DesktopCaptureFlow, MergeModeForcesJpgOrTifAndAPlainCaptureTakesTheSavedFormatAgain) {
    m_settings.savedImageFormat = QStringLiteral("bmp");
    m_merge = true;
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 1);
    EXPECT_EQ(m_settings.imageFormat, QStringLiteral("jpg"));
    EXPECT_EQ(m_settings.savedImageFormat, QStringLiteral("bmp"));
    const QString source = m_pictures.pictureFile(0);
    EXPECT_EQ(source, m_flow.lastPicture());
    EXPECT_TRUE(source.endsWith(QStringLiteral("ForJpgMerge.jpg"))) << source.toStdString();
    EXPECT_EQ(m_list.item(0)->text(), source.right(34));
    EXPECT_TRUE(QFileInfo::exists(source));

    m_settings.savedImageFormat = QStringLiteral("tif");
    processEvents(1100); // another time stamp
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 2);
    EXPECT_EQ(m_settings.imageFormat, QStringLiteral("tif"));
    EXPECT_TRUE(m_list.item(1)->text().endsWith(QStringLiteral("ForTifMerge.jpg")));

    m_merge = false;
    m_settings.savedImageFormat = QStringLiteral("bmp");
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 3);
    EXPECT_EQ(m_settings.imageFormat, QStringLiteral("bmp"));
    const QString plain = m_list.item(2)->text();
    EXPECT_EQ(plain.size(), 23);
    EXPECT_TRUE(plain.endsWith(QStringLiteral(".bmp"))) << plain.toStdString();
    EXPECT_EQ(m_pictures.pictureFile(2), m_save.file(plain));
    EXPECT_TRUE(QFileInfo::exists(m_save.file(plain)));
}

TEST_F(DesktopCaptureFlow, ResolutionColourAndRotationReachTheControlBeforeThePictureIsTaken) {
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 1);
    const QImage plain(m_pictures.pictureFile(0));
    ASSERT_FALSE(plain.isNull());
    ASSERT_NE(plain.width(), plain.height());

    m_settings.dpi = 200;
    m_settings.color = 1; // grey
    m_settings.rotation = 90;
    processEvents(1100);
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 2);
    EXPECT_EQ(m_control.wrapper().GetPDPI(), 200);
    EXPECT_EQ(m_control.wrapper().GetNColorSpace(), 1);
    EXPECT_EQ(m_control.wrapper().GetNRotateAngle(), 90);
    const QImage taken(m_pictures.pictureFile(1));
    ASSERT_FALSE(taken.isNull());
    // Turned a quarter: the long side is now the other one.
    EXPECT_EQ(taken.width() > taken.height(), plain.height() > plain.width());
    EXPECT_EQ(qRound(taken.dotsPerMeterX() * 0.0254), 200);
    EXPECT_TRUE(taken.allGray());
    EXPECT_FALSE(plain.allGray());
}

TEST_F(DesktopCaptureFlow, ACaptureAskedForInsideACaptureIsDropped) {
    m_barcode = true;
    int lookups = 0;
    m_flow.setBarcodeLookup([&](const QString&) {
        ++lookups;
        EXPECT_TRUE(m_flow.isCapturing());
        m_flow.capture(); // as a tick or the hotkey while the first capture runs
        return QString();
    });
    m_flow.capture();
    EXPECT_FALSE(m_flow.isCapturing());
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(m_list.count(), 1);
    EXPECT_EQ(savedFiles().size(), 1);
    // The guard is over with the capture: the next one runs.
    processEvents(1100);
    m_flow.capture();
    EXPECT_EQ(lookups, 2);
    EXPECT_EQ(m_list.count(), 2);
}

TEST_F(DesktopCaptureFlow, ABarcodeNamesThePictureAndReplacesAnOlderOneOfThatName) {
    m_barcode = true;
    QStringList looked;
    m_flow.setBarcodeLookup([&](const QString& picture) {
        looked << picture;
        return QStringLiteral("6901234567892");
    });
    ASSERT_TRUE(writeAll(m_save.file("keep.jpg"), "x"));
    m_pictures.AddPictureItem(m_save.file("keep.jpg"), QStringLiteral("keep.jpg"));
    m_flow.capture();
    const QString named = m_save.file(QStringLiteral("6901234567892.jpg"));
    ASSERT_EQ(texts(), (QStringList{"keep.jpg", "6901234567892.jpg"}));
    EXPECT_EQ(m_pictures.pictureFile(1), named);
    EXPECT_EQ(m_flow.barcodeName(), QStringLiteral("6901234567892"));
    ASSERT_EQ(looked.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(looked[0])); // the captured name was moved onto the barcode's
    const QDateTime first = QFileInfo(named).lastModified();
    // A picture of that barcode in another format is another file: it and its item stay.
    const QString bmp = m_save.file(QStringLiteral("6901234567892.bmp"));
    ASSERT_TRUE(writeAll(bmp, "bmp"));
    m_pictures.AddPictureItem(bmp, QStringLiteral("6901234567892.bmp"));

    processEvents(1100);
    m_flow.capture();
    EXPECT_EQ(texts(), (QStringList{"keep.jpg", "6901234567892.bmp", "6901234567892.jpg"}));
    EXPECT_EQ(m_pictures.pictureFile(2), named);
    EXPECT_EQ(savedFiles(), (QStringList{"6901234567892.bmp", "6901234567892.jpg", "keep.jpg"}));
    EXPECT_GT(QFileInfo(named).lastModified(), first); // the newer picture took the name
    EXPECT_EQ(readAll(bmp), QByteArray("bmp"));
    EXPECT_TRUE(m_messages.isEmpty());

    // Without a barcode the picture keeps the name the control gave it.
    m_flow.setBarcodeLookup([](const QString&) { return QString(); });
    processEvents(1100);
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 4);
    EXPECT_EQ(m_list.item(3)->text().size(), 23);
    EXPECT_EQ(m_flow.barcodeName(), QString());
}

TEST_F(DesktopCaptureFlow, ABarcodeRenameThatFailsKeepsTheOlderPictureOfThatName) {
    m_barcode = true;
    m_flow.setBarcodeLookup([](const QString&) { return QStringLiteral("6901234567892"); });
    m_flow.capture();
    const QString named = m_save.file(QStringLiteral("6901234567892.jpg"));
    ASSERT_EQ(texts(), QStringList{"6901234567892.jpg"});
    const QByteArray older = readAll(named);
    ASSERT_FALSE(older.isEmpty());

    // The new picture is gone before it can take the name (another program, a full disk...).
    QString vanished;
    m_flow.setBarcodeLookup([&](const QString& picture) {
        vanished = picture;
        QFile::remove(picture);
        return QStringLiteral("6901234567892");
    });
    processEvents(1100);
    m_flow.capture();
    EXPECT_EQ(m_messages, QStringList{fileErrorMessage(FileError::FileNotFound, vanished)});
    EXPECT_EQ(readAll(named), older);
    EXPECT_EQ(texts(), QStringList{"6901234567892.jpg"});
    EXPECT_EQ(m_pictures.pictureFile(0), named);
}

TEST_F(DesktopCaptureFlow, ABarcodeThatIsThePicturesOwnNameLeavesItAlone) {
    m_barcode = true;
    m_flow.setBarcodeLookup([](const QString& picture) {
        const QString name = QFileInfo(picture).fileName();
        return name.left(name.lastIndexOf(QLatin1Char('.')));
    });
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 1);
    EXPECT_EQ(m_pictures.pictureFile(0), m_flow.lastPicture());
    EXPECT_TRUE(QFileInfo::exists(m_flow.lastPicture()));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(DesktopCaptureFlow, AMergeReplacesTheItemsOfItsPicturesWithTheMergedOne) {
    m_flow.capture(); // an ordinary picture stays through the merge
    m_merge = true;
    m_flow.capture();
    processEvents(1100); // another time stamp
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 3);
    const QString first = m_pictures.pictureFile(1);
    const QString second = m_pictures.pictureFile(2);
    const QSize a = QImageReader(first).size(), b = QImageReader(second).size();
    ASSERT_TRUE(a.isValid() && b.isValid());
    m_ui.queueAnswer(QStringLiteral("merge-settings"), QVariantMap{{QStringLiteral("gap"), 6}});
    m_flow.merge();
    ASSERT_EQ(m_list.count(), 2);
    const QString merged = m_flow.lastPicture();
    EXPECT_TRUE(merged.endsWith(QStringLiteral("-Merge.jpg"))) << merged.toStdString();
    EXPECT_EQ(m_list.item(1)->text(), merged.right(29));
    EXPECT_EQ(m_pictures.pictureFile(1), merged);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(second));
    // The two pictures one above the other with a gap of 6.
    EXPECT_EQ(QImageReader(merged).size(),
              QSize(std::max(a.width(), b.width()), a.height() + 6 + b.height()));
    EXPECT_TRUE(QFileInfo::exists(m_pictures.pictureFile(0)));
}

TEST_F(DesktopCaptureFlow, ABmpKeptForAFormatThatCouldNotBeMadeIsListedAndNamedInABox) {
    // Folders where the next minute's pictures of `tail` would go: the BMP is written, its
    // conversion is not.
    const auto blockOutputs = [](const QString& folder, const QString& tail) {
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = -1; i < 60; ++i)
            ASSERT_TRUE(QDir().mkpath(folder + platform::fileTimeStamp(now.addSecs(i)) + tail));
    };
    // A JPEG that cannot be written (-23), with barcode naming on, which leaves the kept BMP alone.
    blockOutputs(m_save.path(), QStringLiteral(".jpg"));
    m_barcode = true;
    int lookups = 0;
    m_flow.setBarcodeLookup([&](const QString&) {
        ++lookups;
        return QStringLiteral("6901234567892");
    });
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 1);
    const QString bmp = m_pictures.pictureFile(0);
    EXPECT_EQ(QFileInfo(bmp).path() + QLatin1Char('/'), m_save.path());
    EXPECT_TRUE(bmp.endsWith(QLatin1String(".bmp"))) << bmp.toStdString();
    EXPECT_TRUE(readAll(bmp).startsWith("BM"));
    EXPECT_EQ(m_list.item(0)->text(), QFileInfo(bmp).fileName());
    EXPECT_EQ(m_flow.lastPicture(), bmp);
    EXPECT_EQ(m_messages, QStringList{QString::fromUtf8(kKeptBmpText).arg(bmp)});
    EXPECT_EQ(lookups, 0);

    // A PDF that cannot be created answers the PDF's own code, and its BMP is kept and listed too.
    m_barcode = false;
    Folder pdfs;
    m_control.wrapper().SetCustomSavePath(pdfs.path());
    blockOutputs(pdfs.path(), QStringLiteral(".pdf"));
    m_settings.savedImageFormat = QStringLiteral("pdf");
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 2);
    const QString pdfBmp = m_pictures.pictureFile(1);
    EXPECT_TRUE(pdfBmp.startsWith(pdfs.path())) << pdfBmp.toStdString();
    EXPECT_TRUE(readAll(pdfBmp).startsWith("BM"));
    EXPECT_EQ(m_messages.last(), QString::fromUtf8(kKeptBmpText).arg(pdfBmp));
}

TEST_F(DesktopCaptureFlow, AMergeThatFindsNothingChangesNothing) {
    m_flow.capture();
    ASSERT_EQ(m_list.count(), 1);
    const QString picture = m_flow.lastPicture();
    const std::size_t before = m_ui.shown().size();
    m_merge = true;
    m_flow.merge();
    EXPECT_EQ(m_ui.shown().size(), before + 1); // the control's own "nothing to merge" box
    EXPECT_EQ(m_list.count(), 1);
    EXPECT_EQ(m_flow.lastPicture(), picture);
    EXPECT_TRUE(QFileInfo::exists(picture));
    // Out of merge mode the control is not asked at all.
    m_merge = false;
    m_flow.merge();
    EXPECT_EQ(m_ui.shown().size(), before + 1);
}

} // namespace
} // namespace qx::test
