// Morvel's capture paths through the control, with the virtual cameras; every output checked by an
// independent tool.
#include "control/core/process_modes.h"
#include "control_fixture.h"
#include "qx/interface/kelpo_device.h"
#include "qx/platform/timestamp.h"
#include "support/edge_scenes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

namespace qx::test {
namespace {

QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

class CaptureTest : public ControlTest {
protected:
    void setCameras(const char* cameras) {
        m_camerasSet.reset();
        m_camerasSet = std::make_unique<ScopedEnv>("QX_VIRTUAL_CAMERAS", QString::fromLatin1(cameras));
    }
    // A normal preview of the first camera at its first size, saving into the pictures folder.
    control::CMorvelQxWebCtrl& normalPreview(const char* cameras) {
        setCameras(cameras);
        return createWithNormalPreview(m_pictures.path());
    }
    // An edge-finding preview with the real camera library; `withResize` adds the DPI library.
    control::CMorvelQxWebCtrl& edgePreview(const char* cameras, bool withResize = true) {
        setCameras(cameras);
        return createWithEdgePreview(m_pictures.path(), withResize);
    }
    QStringList pictures() const { return QDir(m_pictures.path()).entryList(QDir::Files, QDir::Name); }

    // Makes the next captures' `tail` files (stamp + tail) unwritable for the next minute: a folder of
    // that name stands where the file would be renamed into place. Folders do not take a stamp, so the
    // capture still names its BMP by the clock.
    void blockOutputs(const QString& folder, const QString& tail) {
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = -1; i < 60; ++i)
            ASSERT_TRUE(QDir().mkpath(folder + platform::fileTimeStamp(now.addSecs(i)) + tail));
    }
    // The result was kept as the captured BMP, named in cPicName, and no success was logged.
    void expectBmpKept(control::CMorvelQxWebCtrl& c, const QString& successLine) {
        EXPECT_TRUE(c.cPicName().endsWith(QStringLiteral(".bmp"))) << c.cPicName().toStdString();
        EXPECT_TRUE(runTool(QStringLiteral("identify"),
                            {QStringLiteral("-format"), QStringLiteral("%m"), c.cPicName()})
                        .startsWith(QStringLiteral("BMP")));
        EXPECT_FALSE(log().contains(successLine));
        EXPECT_TRUE(log().contains(QStringLiteral("已保留bmp图片:") + c.cPicName()));
    }

    Folder m_pictures;
    std::unique_ptr<ScopedEnv> m_camerasSet;
};

TEST_F(CaptureTest, FormatIsLowerCasedAndTheBmpIsReplaced) {
    auto& c = normalPreview("7e41:640x480");
    ASSERT_EQ(c.Morvel(QStringLiteral("JPG")), 0);
    EXPECT_TRUE(c.cPicName().endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(pictures(), QStringList{QFileInfo(c.cPicName()).fileName()});
    EXPECT_TRUE(runTool(QStringLiteral("identify"), {c.cPicName()}).contains(QStringLiteral("JPEG 640x480")));
    EXPECT_TRUE(log().contains(QStringLiteral("转换jpg成功")));
    EXPECT_EQ(log().last(), QStringLiteral("普通拍照成功完成!"));
    EXPECT_EQ(c.state().lastFormat, QStringLiteral("jpg"));
}

TEST_F(CaptureTest, EveryFormatPassesItsCheck) {
    auto& c = normalPreview("7e41:640x480");
    ASSERT_EQ(c.Morvel(QStringLiteral("tif")), 0);
    const QString tif = runTool(QStringLiteral("tiffinfo"), {c.cPicName()});
    EXPECT_TRUE(tif.contains(QStringLiteral("LZW"))) << tif.toStdString();
    ASSERT_EQ(c.Morvel(QStringLiteral("gif")), 0);
    EXPECT_TRUE(runTool(QStringLiteral("identify"), {c.cPicName()}).contains(QStringLiteral("GIF 640x480")));
    ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    EXPECT_TRUE(runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), c.cPicName()})
                    .contains(QStringLiteral("No syntax or stream encoding errors")));
    EXPECT_TRUE(readAll(c.cPicName()).startsWith("%PDF-1.4"));
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    EXPECT_TRUE(c.cPicName().endsWith(QStringLiteral(".bmp")));
    // An unknown format leaves the BMP.
    ASSERT_EQ(c.Morvel(QStringLiteral("png")), 0);
    EXPECT_TRUE(c.cPicName().endsWith(QStringLiteral(".bmp")));
    // Five pictures taken within a few seconds: none replaced another, each under a time stamp.
    const QStringList files = pictures();
    EXPECT_EQ(files.size(), 5) << files.join(u' ').toStdString();
    for (const QString& f : files)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}(-\\d\\d){5}\\.(tif|gif|pdf|bmp)$"))
                        .match(f)
                        .hasMatch())
            << f.toStdString();
}

TEST_F(CaptureTest, AFormatThatCannotBeWrittenKeepsTheBmp) {
    struct Case {
        const char* format;
        int code;
        const char* failureLine;
        const char* successLine;
    };
    const Case cases[] = {
        {"jpg", automation::kMorvelConversionFailed, "转换jpg失败!", "转换jpg成功"},
        {"tif", automation::kMorvelConversionFailed, "转换Tif失败!", "转换Tif成功!"},
        {"gif", automation::kMorvelConversionFailed, "转换gif失败!", "转换gif成功"},
        {"pdf", -18, "转换PDF失败!", "转换PDF成功!"},
    };
    auto& c = normalPreview("7e41:320x240");
    for (const Case& k : cases) {
        SCOPED_TRACE(k.format);
        Folder folder;
        c.setCustomSavePath(folder.path());
        blockOutputs(folder.path(), QLatin1Char('.') + QLatin1String(k.format));
        EXPECT_EQ(c.Morvel(QLatin1String(k.format)), k.code);
        expectBmpKept(c, QString::fromUtf8(k.successLine));
        EXPECT_TRUE(log().contains(QString::fromUtf8(k.failureLine)));
        EXPECT_NE(log().last(), QStringLiteral("普通拍照成功完成!"));
        // Nothing but the BMP: intermediates of the failed step are gone.
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
                  QStringList{QFileInfo(c.cPicName()).fileName()});
    }
}

TEST_F(CaptureTest, AMergePictureThatCannotBeWrittenKeepsTheBmpAndMergeMode) {
    auto& c = normalPreview("7e41:320x240");
    const QString folder = m_pictures.path() + platform::dateStamp() + QStringLiteral("-ForMerge/");
    blockOutputs(folder, QStringLiteral("ForJpgMerge.jpg"));
    c.IsMerge();
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kMorvelConversionFailed);
    expectBmpKept(c, QStringLiteral("普通合并拍照成功完成"));
    EXPECT_TRUE(c.cPicName().startsWith(folder));
    EXPECT_TRUE(control::ProcessModes::ofProcess().mergeMode);
    control::ProcessModes::ofProcess().mergeMode =
        false; // process-wide: the next test starts outside merge mode
}

TEST_F(CaptureTest, AControlKeepsItsLibrariesWhileAnotherOneComesAndGoes) {
    auto& c = edgePreview("7e41:640x480");
    {
        QWidget container;
        auto* other = new control::CMorvelQxWebCtrl(&container, &m_ui, m_controlFolder.path());
        EXPECT_EQ(other->RefreshDevList(), 1);
        EXPECT_EQ(other->state().cameraModelCount, c.state().cameraModelCount);
    } // the second control goes with its container, freeing what it loaded
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_FALSE(QImage(c.cPicName()).isNull());
    // The camera device of the first control is still the library's to stop and delete.
    c.StopPreview();
    c.KelpoCapturePlay();
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
}

TEST_F(CaptureTest, EdgeFindingConversionFailureKeepsTheBmpToo) {
    auto& c = edgePreview("7e41:640x480");
    blockOutputs(m_pictures.path(), QStringLiteral(".jpg"));
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kMorvelConversionFailed);
    expectBmpKept(c, QStringLiteral("图片转jpg成功"));
    EXPECT_NE(log().last(), QStringLiteral("寻边拍照成功完成"));
}

TEST_F(CaptureTest, AnOutputResolutionOutOfRangeIsRefusedBeforeCapturing) {
    auto& c = edgePreview("7e41:640x480");
    for (short dpi : {short(-1), short(-300), short(control::kMaxOutputDpi + 1), short(32000)}) {
        c.setPDPI(dpi);
        EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kMorvelBadDpi) << dpi;
        EXPECT_EQ(log().last(), QStringLiteral("输出分辨率pDPI=%1无效(允许0到%2)，抓图失败!")
                                    .arg(dpi)
                                    .arg(control::kMaxOutputDpi));
    }
    EXPECT_TRUE(pictures().isEmpty());
    c.setPDPI(0);
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_EQ(pictures().size(), 1);
}

TEST_F(CaptureTest, ACustomNameThatCannotBeUsedKeepsTheStampName) {
    auto& c = normalPreview("7e41:320x240");
    Folder outside;
    // A separator would move the picture out of the capture folder: refused.
    const QString escape =
        QStringLiteral("../") + QFileInfo(outside.path().chopped(1)).fileName() + QStringLiteral("/taken");
    c.setCustomImgName(escape);
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kBadCustomName);
    EXPECT_TRUE(c.cPicName().startsWith(m_pictures.path()));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("/\\d{4}(-\\d\\d){5}\\.jpg$")).match(c.cPicName()).hasMatch())
        << c.cPicName().toStdString();
    EXPECT_FALSE(QImage(c.cPicName()).isNull());
    EXPECT_TRUE(QDir(outside.path()).isEmpty());
    EXPECT_EQ(c.CustomImgName(), escape);
    EXPECT_FALSE(log().contains(QStringLiteral("普通拍照成功完成!")));

    // A name taken by a folder cannot be renamed onto: the picture stays where it is.
    ASSERT_TRUE(QDir().mkdir(m_pictures.file(QStringLiteral("A002.jpg"))));
    c.setCustomImgName(QStringLiteral("A002"));
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), automation::kBadCustomName);
    EXPECT_FALSE(QImage(c.cPicName()).isNull());
    EXPECT_TRUE(QFileInfo(m_pictures.file(QStringLiteral("A002.jpg"))).isDir());
    EXPECT_EQ(c.CustomImgName(), QStringLiteral("A002"));
    EXPECT_EQ(pictures().size(), 2);
}

TEST_F(CaptureTest, SaveFolderWithoutItsSeparatorIsRefused) {
    auto& c = normalPreview("7e41:320x240");
    for (const QString& bad : {m_pictures.path().chopped(1), m_pictures.file(QStringLiteral("missing"))}) {
        c.setCustomSavePath(bad);
        EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), -11);
        EXPECT_EQ(log().last(), QStringLiteral("自定义图片路径错误!"));
        EXPECT_EQ(m_ui.messages().last(), QStringLiteral("请确保自定义图片保存路径(例如：C:\\)是正确的!"));
    }
}

TEST_F(CaptureTest, CustomNameReplacesAnOlderFileAndGainsTheExtension) {
    auto& c = normalPreview("7e41:320x240");
    ASSERT_TRUE(writeAll(m_pictures.file(QStringLiteral("A001.jpg")), "older"));
    c.setCustomImgName(QStringLiteral("A001"));
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_EQ(c.cPicName(), m_pictures.file(QStringLiteral("A001.jpg")));
    EXPECT_EQ(c.CustomImgName(), QStringLiteral("A001.jpg"));
    EXPECT_EQ(pictures(), QStringList{QStringLiteral("A001.jpg")});
    EXPECT_FALSE(QImage(c.cPicName()).isNull());
    EXPECT_TRUE(log().contains(QStringLiteral("自定义图片名成功")));
}

TEST_F(CaptureTest, RotationAndAnInvalidAngle) {
    auto& c = normalPreview("7e41:640x480");
    c.setNRotateAngle(45);
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    EXPECT_EQ(QImage(c.cPicName()).size(), QSize(640, 480));
    EXPECT_EQ(c.nRotateAngle(), 0);
    c.setNRotateAngle(90);
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    EXPECT_EQ(QImage(c.cPicName()).size(), QSize(480, 640));
}

TEST_F(CaptureTest, ColourModesKeepTheirDepthThroughRotation) {
    auto& c = normalPreview("7e41:320x240");
    c.setNColorSpace(1);
    c.setNRotateAngle(270);
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    QImage grey(c.cPicName());
    EXPECT_EQ(grey.size(), QSize(240, 320));
    EXPECT_EQ(grey.depth(), 8);
    EXPECT_TRUE(log().contains(QStringLiteral("图片转灰度")));
    c.setNColorSpace(2);
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    EXPECT_EQ(QImage(c.cPicName()).depth(), 1);
    // And they pass through the other formats.
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_TRUE(runTool(QStringLiteral("identify"),
                        {QStringLiteral("-format"), QStringLiteral("%[colorspace]"), c.cPicName()})
                    .contains(QStringLiteral("Gray")));
    ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    EXPECT_TRUE(runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), c.cPicName()})
                    .contains(QStringLiteral("No syntax or stream encoding errors")));
}

TEST_F(CaptureTest, MergeCaptureWritesTheMergeJpegAndEndsMergeMode) {
    auto& c = normalPreview("7e41:320x240");
    c.IsMerge();
    ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    const QString folder = m_pictures.path() + platform::dateStamp() + QStringLiteral("-ForMerge/");
    EXPECT_EQ(c.state().mergeFolder, folder);
    EXPECT_TRUE(c.cPicName().startsWith(folder));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("/\\d{4}(-\\d\\d){5}ForPdfMerge\\.jpg$"))
                    .match(c.cPicName())
                    .hasMatch())
        << c.cPicName().toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(c.cPicName()).fileName()});
    EXPECT_FALSE(control::ProcessModes::ofProcess().mergeMode);
    EXPECT_EQ(log().last(), QStringLiteral("普通合并拍照成功完成"));
    // The next capture is an ordinary one again, and the merge folder goes with the control.
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_EQ(QFileInfo(c.cPicName()).path() + QLatin1Char('/'), m_pictures.path());
    destroyControl();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(log().contains(QStringLiteral("清理合并图片文件夹!")));
}

TEST_F(CaptureTest, WidePictureInAPdfSitsAtTheLeftMarginCentredVertically) {
    auto& c = normalPreview("7e41:1280x480");
    ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    // r = 1280 / 480 >= 555 / 802: x = 20, y = trunc(802 - 555 / r) / 2 + 20 = 593 / 2 + 20 = 316.
    Folder qdf;
    runTool(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"),
                                     c.cPicName(), qdf.file(QStringLiteral("out.pdf"))});
    const QString text = QString::fromLatin1(readAll(qdf.file(QStringLiteral("out.pdf"))));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("555 0 0 208\\.1\\d* 20 316 cm")).match(text).hasMatch())
        << text.left(2000).toStdString();
    EXPECT_TRUE(runTool(QStringLiteral("pdfinfo"), {c.cPicName()}).contains(QStringLiteral("595 x 842")));
}

TEST_F(CaptureTest, EdgeFindingCapturesCarryTheFieldOfViewResolution) {
    auto& c = edgePreview("7e41:1600x1200");
    c.DisableCrop();
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_EQ(
        runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%x"), c.cPicName()})
            .trimmed(),
        QStringLiteral("132"));
    EXPECT_TRUE(log().contains(QStringLiteral("图片转jpg成功")));
    EXPECT_EQ(log().last(), QStringLiteral("寻边拍照成功完成"));
}

TEST_F(CaptureTest, EdgeFindingAt2592PixelsIs214Dpi) {
    auto& c = edgePreview("7e41:2592x1944");
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    const QImage page(c.cPicName());
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(static_cast<int>(std::lround(page.dotsPerMeterX() * 0.0254)), 214);
    // The cropped page, upright.
    EXPECT_NEAR(static_cast<double>(page.height()) / page.width(), 1.414, 0.08);
    EXPECT_FALSE(log().contains(QStringLiteral("未找到文档页面，保存整幅画面")));
}

// The generator's parcel label on a box, no sheet in view, as the virtual camera's still scene.
class EdgeFindingScene : public CaptureTest {
protected:
    EdgeFindingScene() {
        const scenes::Scene s = scenes::renderWithoutSheet(1280, 960, scenes::Kind::ParcelLabel, 300000);
        const QImage image(s.frame.data, s.frame.cols, s.frame.rows, static_cast<qsizetype>(s.frame.step),
                           QImage::Format_BGR888);
        const QString path = m_sceneFolder.file(QStringLiteral("label.png"));
        EXPECT_TRUE(image.save(path));
        m_scene = std::make_unique<ScopedEnv>("QX_VIRTUAL_SCENE", path);
    }
    Folder m_sceneFolder;
    std::unique_ptr<ScopedEnv> m_scene;
};

TEST_F(EdgeFindingScene, AViewWithoutASheetIsKeptWhole) {
    auto& c = edgePreview("7e41:1280x960");
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    EXPECT_EQ(QImage(c.cPicName()).size(), QSize(1280, 960));
    const QStringList lines = log();
    const auto at = lines.indexOf(QStringLiteral("未找到文档页面，保存整幅画面"));
    ASSERT_GE(at, 1);
    EXPECT_EQ(lines.at(at - 1), QStringLiteral("capture成功"));
    EXPECT_EQ(lines.last(), QStringLiteral("寻边拍照成功完成"));
}

TEST_F(EdgeFindingScene, EdgeConfidenceZeroCutsOutWhateverOutlineIsFound) {
    ASSERT_TRUE(writeAll(m_controlFolder.file(QStringLiteral("OCXConfig.ini")),
                         "[OCXConfig]\r\nEdgeConfidence=0\r\n"));
    auto& c = edgePreview("7e41:1280x960");
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    // Cut to an outline (the box's top, the label or a part of them), not the whole view.
    const QImage picture(c.cPicName());
    EXPECT_LT(picture.width() * picture.height(), 1280 * 960 * 9 / 10);
    EXPECT_FALSE(log().contains(QStringLiteral("未找到文档页面，保存整幅画面")));
}

TEST_F(CaptureTest, EdgeFindingWithAnUnknownFormatReportsTheNewBmp) {
    auto& c = edgePreview("7e41:640x480");
    c.setCPicName(QStringLiteral("/somewhere/previous.jpg"));
    c.setCustomImgName(QStringLiteral("B002"));
    ASSERT_EQ(c.Morvel(QStringLiteral("png")), 0);
    EXPECT_EQ(c.cPicName(), m_pictures.file(QStringLiteral("B002.bmp")));
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));
}

TEST_F(CaptureTest, OutputResolutionResamplesThroughTheDpiLibrary) {
    auto& c = edgePreview("7e41:640x480");
    c.DisableCrop();
    c.setPDPI(104); // twice the 52 DPI (trunc(640 x 0.0826)) of a 640-pixel field of view
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    const QImage picture(c.cPicName());
    EXPECT_EQ(picture.width(), 1280);
    EXPECT_EQ(static_cast<int>(std::lround(picture.dotsPerMeterX() * 0.0254)), 104);
}

TEST_F(CaptureTest, WithoutTheDpiLibraryThePictureIsKeptAtItsOwnSize) {
    auto& c = edgePreview("7e41:640x480", false);
    c.DisableCrop();
    c.setPDPI(106);
    ASSERT_EQ(c.Morvel(QStringLiteral("bmp")), 0);
    const QImage picture(c.cPicName());
    EXPECT_EQ(picture.width(), 640);
    EXPECT_EQ(static_cast<int>(std::lround(picture.dotsPerMeterX() * 0.0254)), 106);
    EXPECT_TRUE(log().contains(QStringLiteral("DPI转换库未加载，保存原始分辨率图片!")));
}

TEST_F(CaptureTest, EdgeFindingMergeCapture) {
    auto& c = edgePreview("7e41:640x480");
    c.IsMerge();
    ASSERT_EQ(c.Morvel(QStringLiteral("tif")), 0);
    EXPECT_TRUE(c.cPicName().endsWith(QStringLiteral("ForTifMerge.jpg")));
    EXPECT_TRUE(c.cPicName().contains(QStringLiteral("-ForMerge/")));
    EXPECT_FALSE(control::ProcessModes::ofProcess().mergeMode);
    EXPECT_EQ(log().last(), QStringLiteral("寻边合并模式拍照成功完成"));
    EXPECT_EQ(
        runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m"), c.cPicName()})
            .trimmed(),
        QStringLiteral("JPEG"));
}

TEST_F(CaptureTest, EdgeFindingWithoutItsPreviewOrWithAStoppedDevice) {
    auto& c = edgePreview("7e41:640x480");
    c.SetOutPutDPI(200, 200); // stops the device's preview
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), -8);
    c.StopPreview();
    EXPECT_EQ(c.Morvel(QStringLiteral("jpg")), -10);
    EXPECT_EQ(log().last(), QStringLiteral("非预览状态，抓图失败!"));
}

} // namespace
} // namespace qx::test
