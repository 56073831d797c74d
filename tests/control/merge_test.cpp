// MergeImage on pictures taken in merge mode with a virtual camera: the JPEG, TIFF and PDF merges,
// what they collect and remove, and their failures; outputs checked by identify, tiffinfo, qpdf and
// poppler's tools.
#include "control/core/process_modes.h"
#include "control/features/merge.h"
#include "control_fixture.h"
#include "imaging/external_tools.h"
#include "qx/imaging/encoders.h"
#include "qx/platform/timestamp.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

namespace qx::test {
namespace {

class MergeTest : public ControlTest {
protected:
    MergeTest() {
        m_camerasSet = std::make_unique<ScopedEnv>("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240"));
    }
    ~MergeTest() override { control::ProcessModes::ofProcess().mergeMode = false; } // process-wide

    control::CMorvelQxWebCtrl& start() { return createWithNormalPreview(m_pictures.path()); }
    // One capture in merge mode; its merge file.
    QString mergeCapture(control::CMorvelQxWebCtrl& c, const char* format) {
        c.IsMerge();
        EXPECT_EQ(c.Morvel(QLatin1String(format)), 0);
        return c.cPicName();
    }
    QString mergeFolder(control::CMorvelQxWebCtrl& c) const { return c.state().mergeFolder; }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    QString tool(const char* program, const QStringList& args) {
        return runTool(QString::fromLatin1(program), args).text();
    }
    // A JPEG of one grey level, `w` x `h`, as a merge file of the folder.
    QString handMade(const QString& folder, const QString& name, int w, int h, double dpi = 0) {
        imaging::Picture p;
        p.width = w;
        p.height = h;
        p.bitsPerPixel = 8;
        p.stride = (w + 3) & ~3;
        p.pixels.assign(static_cast<std::size_t>(p.stride) * h, 90);
        const QString path = folder + name;
        EXPECT_TRUE(imaging::saveJpeg(p, path, 75, dpi, dpi));
        return path;
    }
    // Folders named like the merged file of the next minute: the output cannot be renamed into place.
    void blockOutputs(const QString& tail) {
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = -1; i < 60; ++i)
            ASSERT_TRUE(QDir().mkpath(m_pictures.path() + platform::fileTimeStamp(now.addSecs(i)) + tail));
    }

    Folder m_pictures;
    std::unique_ptr<ScopedEnv> m_camerasSet;
};

TEST_F(MergeTest, WithNothingWaitingTheBoxIsShownAndFilesOfAnotherMergeStay) {
    auto& c = start();
    c.setBShowMsgBox(false); // shown all the same
    EXPECT_EQ(c.MergeImage(), automation::kMergeNothingWaiting);
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("没有等待合并的图片，请先在合并模式下拍照!"));
    EXPECT_EQ(log().last(), QStringLiteral("没有等待合并的图片!"));

    // A TIFF merge file waits, but the last capture was for a PDF: it is not this merge's.
    const QString tif = mergeCapture(c, "tif");
    ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    EXPECT_EQ(c.MergeImage(), automation::kMergeNothingWaiting);
    EXPECT_TRUE(QFileInfo::exists(tif));
    EXPECT_TRUE(m_ui.askedKinds().isEmpty()); // no settings dialog without pictures
}

TEST_F(MergeTest, AJpegMergeLaysThePicturesOutAsTheDialogSays) {
    auto& c = start();
    const QString first = mergeCapture(c, "jpg");
    const QString second = mergeCapture(c, "bmp"); // any format but tif and pdf waits for a JPEG merge
    const QString folder = mergeFolder(c);
    ASSERT_TRUE(first.endsWith(QLatin1String(control::kJpgMergeTail)));
    ASSERT_TRUE(second.endsWith(QLatin1String(control::kJpgMergeTail)));
    m_ui.queueAnswer(QStringLiteral("merge-settings"), QVariantMap{{QStringLiteral("gap"), 3.2},
                                                                   {QStringLiteral("red"), 255},
                                                                   {QStringLiteral("green"), 0},
                                                                   {QStringLiteral("blue"), 0},
                                                                   {QStringLiteral("vertical"), false},
                                                                   {QStringLiteral("columns"), 2}});
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_EQ(m_ui.askedKinds(), QStringList{QStringLiteral("merge-settings")});
    EXPECT_EQ(log().last(), QStringLiteral("生成合并图片成功!"));
    const QString merged = c.cPicName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1\\d{4}(-\\d\\d){5}-Merge\\.jpg$")
                                       .arg(QRegularExpression::escape(m_pictures.path())))
                    .match(merged)
                    .hasMatch())
        << merged.toStdString();
    const QImage picture(merged);
    ASSERT_EQ(picture.size(), QSize(320 + 4 + 320, 240)); // the gap rounded up
    const QRgb band = picture.pixel(321, 120);
    EXPECT_GT(qRed(band), 200);
    EXPECT_LT(qGreen(band), 60);
    EXPECT_EQ(tool("identify", {QStringLiteral("-format"), QStringLiteral("%Q"), merged}).trimmed(),
              QStringLiteral("75"));
    // The merged pictures and their dated folder are gone; the folder's name is kept.
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(mergeFolder(c), folder);
}

TEST_F(MergeTest, ACancelledDialogMergesInOneColumnWithoutGap) {
    auto& c = start();
    mergeCapture(c, "jpg");
    mergeCapture(c, "jpg");
    mergeCapture(c, "jpg");
    m_ui.queueAnswer(QStringLiteral("merge-settings"), QVariant());
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_EQ(QImage(c.cPicName()).size(), QSize(320, 3 * 240));
}

TEST_F(MergeTest, ATiffMergeHasAPagePerPictureInCaptureOrderKeepingGreyPagesGrey) {
    auto& c = start();
    c.setNColorSpace(1);
    const QString grey = mergeCapture(c, "jpg"); // a JPEG-merge picture, grey
    c.setNColorSpace(0);
    const QString colour = mergeCapture(c, "tif");
    ASSERT_LT(grey, colour);
    ASSERT_EQ(c.MergeImage(), 0);
    const QString tif = c.cPicName();
    EXPECT_TRUE(tif.endsWith(QStringLiteral("-Merge.tif")));
    const QStringList lines = log();
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{QStringLiteral("生成第一页Tif!"), QStringLiteral("生成多页Tif!")}));
    const QString info = tool("tiffinfo", {tif});
    EXPECT_EQ(info.count(QStringLiteral("Compression Scheme: LZW")), 2) << info.toStdString();
    EXPECT_EQ(
        tool("identify", {QStringLiteral("-format"), QStringLiteral("%w %h %[colorspace];"), tif}).trimmed(),
        QStringLiteral("320 240 Gray;320 240 sRGB;"));
    EXPECT_TRUE(m_ui.askedKinds().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(grey));
    EXPECT_FALSE(QFileInfo::exists(colour));
}

TEST_F(MergeTest, APdfMergeTakesTheCustomNameAndEmbedsEveryPictureUnchanged) {
    auto& c = start();
    const QString jpg = mergeCapture(c, "jpg");
    const QString pdf = mergeCapture(c, "pdf");
    const QByteArray jpgBytes = readAll(jpg), pdfBytes = readAll(pdf);
    c.setCustomImgName(QStringLiteral("Case7"));
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_EQ(c.cPicName(), m_pictures.file(QStringLiteral("Case7.pdf")));
    EXPECT_EQ(c.CustomImgName(), QStringLiteral("Case7.pdf"));
    EXPECT_EQ(log().last(), QStringLiteral("生成多页Pdf!"));
    EXPECT_TRUE(tool("qpdf", {QStringLiteral("--check"), c.cPicName()})
                    .contains(QStringLiteral("No syntax or stream encoding errors")));
    EXPECT_TRUE(readAll(c.cPicName()).startsWith("%PDF-1.4"));
    const QString info = tool("pdfinfo", {c.cPicName()});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Author:\\s+QX"))));
    EXPECT_TRUE(info.contains(QStringLiteral("595 x 842")));
    // Both pictures, the JPEG-merge one included, as pages in capture order, their bytes unchanged.
    Folder images;
    runTool(QStringLiteral("pdfimages"),
            {QStringLiteral("-j"), c.cPicName(), images.file(QStringLiteral("p"))});
    EXPECT_EQ(readAll(images.file(QStringLiteral("p-000.jpg"))), jpgBytes);
    EXPECT_EQ(readAll(images.file(QStringLiteral("p-001.jpg"))), pdfBytes);
}

TEST_F(MergeTest, AMergedFileThatCannotBeWrittenKeepsEveryMergeFile) {
    auto& c = start();
    const QString first = mergeCapture(c, "jpg");
    const QString second = mergeCapture(c, "jpg");
    blockOutputs(QStringLiteral("-Merge.jpg"));
    EXPECT_EQ(c.MergeImage(), automation::kNotSaved);
    EXPECT_EQ(log().last(), QStringLiteral("写合并图片失败，合并图片已保留!"));
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_TRUE(filesIn(m_pictures.path()).isEmpty()); // no partial output

    // The same for a TIFF merge.
    const QString tif = mergeCapture(c, "tif");
    blockOutputs(QStringLiteral("-Merge.tif"));
    EXPECT_EQ(c.MergeImage(), automation::kNotSaved);
    EXPECT_TRUE(QFileInfo::exists(tif));
    EXPECT_TRUE(filesIn(m_pictures.path()).isEmpty());
}

TEST_F(MergeTest, ACanvasBeyondWhatAJpegHoldsFailsBeforeAnythingIsDrawn) {
    auto& c = start();
    const QString first = mergeCapture(c, "jpg");
    const QString folder = mergeFolder(c);
    for (int i = 0; i < 40; ++i)
        handMade(folder, QStringLiteral("2000-01-01-00-00-%1ForJpgMerge.jpg").arg(i, 2, 10, QLatin1Char('0')),
                 16, 1700);
    const QStringList before = filesIn(folder);
    EXPECT_EQ(c.MergeImage(), automation::kNotSaved);
    EXPECT_TRUE(log().last().contains(QStringLiteral("超出JPEG上限")));
    EXPECT_EQ(filesIn(folder), before);
    EXPECT_TRUE(filesIn(m_pictures.path()).isEmpty());
}

TEST_F(MergeTest, UnreadableAndOtherMergesFilesAreLeftAndTheFolderWithThem) {
    auto& c = start();
    const QString waiting = mergeCapture(c, "tif"); // for a TIFF merge, not this one
    const QString picture = mergeCapture(c, "jpg");
    const QString folder = mergeFolder(c);
    const QString broken = folder + QStringLiteral("2000-01-01-00-00-00ForJpgMerge.jpg");
    ASSERT_TRUE(writeAll(broken, "not a picture"));
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_TRUE(log().contains(QStringLiteral("合并图片无法读取，已跳过:") + broken));
    EXPECT_EQ(QImage(c.cPicName()).size(), QSize(320, 240));
    EXPECT_FALSE(QFileInfo::exists(picture));
    EXPECT_TRUE(QFileInfo::exists(waiting));
    EXPECT_TRUE(QFileInfo::exists(broken));
    EXPECT_TRUE(QFileInfo(folder).isDir());

    // Only an unreadable file left: nothing to merge.
    mergeCapture(c, "jpg");
    QFile::remove(c.cPicName());
    EXPECT_EQ(c.MergeImage(), automation::kMergeNothingWaiting);
}

TEST_F(MergeTest, TheMergedJpegTakesTheLargestResolutionOfItsPictures) {
    auto& c = start();
    const QString folder = QFileInfo(mergeCapture(c, "jpg")).path() + QLatin1Char('/');
    handMade(folder, QStringLiteral("2000-01-01-00-00-01ForJpgMerge.jpg"), 40, 30, 100);
    handMade(folder, QStringLiteral("2000-01-01-00-00-02ForJpgMerge.jpg"), 40, 30, 217);
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_EQ(tool("identify", {QStringLiteral("-format"), QStringLiteral("%x %U"), c.cPicName()}).trimmed(),
              QStringLiteral("217 PixelsPerInch"));
}

TEST_F(MergeTest, TwoMergesWithinOneSecondKeepBothFiles) {
    auto& c = start();
    mergeCapture(c, "jpg");
    ASSERT_EQ(c.MergeImage(), 0);
    const QString first = c.cPicName();
    mergeCapture(c, "jpg");
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_NE(c.cPicName(), first);
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));
}

TEST_F(MergeTest, APdfThatFailsHalfWayLeavesNoFileAndKeepsThePictures) {
    auto& c = start();
    const QString good = mergeCapture(c, "pdf");
    // An arithmetic-coded JPEG: libjpeg reads it, PDF readers cannot, so the document refuses it.
    const QString bad = mergeFolder(c) + QStringLiteral("2999-01-01-00-00-00ForPdfMerge.jpg");
    const ToolRun run = runTool(QStringLiteral("jpegtran"),
                                {QStringLiteral("-arithmetic"), QStringLiteral("-outfile"), bad, good});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(c.MergeImage(), -19);
    EXPECT_EQ(log().last(), QStringLiteral("PDFlib exception occurred!"));
    EXPECT_TRUE(filesIn(m_pictures.path()).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(good));
    EXPECT_TRUE(QFileInfo::exists(bad));

    // A custom name that would leave the folder is refused before anything is written.
    QFile::remove(bad);
    c.setCustomImgName(QStringLiteral("../elsewhere"));
    EXPECT_EQ(c.MergeImage(), automation::kBadCustomName);
    EXPECT_EQ(c.CustomImgName(), QStringLiteral("../elsewhere"));
    EXPECT_TRUE(QFileInfo::exists(good));
}

TEST_F(MergeTest, AnUnusableSaveFolderIsReportedAndNothingIsRemoved) {
    auto& c = start();
    const QString picture = mergeCapture(c, "jpg");
    c.setCustomSavePath(m_pictures.file(QStringLiteral("gone/")));
    EXPECT_EQ(c.MergeImage(), automation::kMorvelBadSavePath);
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("请确保自定义图片保存路径(例如：C:\\)是正确的!"));
    EXPECT_TRUE(QFileInfo::exists(picture));
}

} // namespace
} // namespace qx::test
