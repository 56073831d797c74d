// The control's methods as a container sees them: defaults, lists, Base64, boxes, window and events.
#include "control/core/folder_tree.h"
#include "control/core/process_modes.h"
#include "control/core/safety.h"
#include "control_fixture.h"
#include "qx/interface/identity.h"
#include "qx/media/camera_roles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace qx::test {
namespace {

class MethodsTest : public ControlTest {};

TEST_F(MethodsTest, PropertiesStartAtTheirDefaults) {
    createControl(kAllLibraries);
    const std::vector<std::pair<int, QVariant>> defaults{
        {1, false},       {6, false},       {8, true},        {9, 1000},        {15, true},
        {17, false},      {35, true},       {36, short(0)},   {37, short(0)},   {38, short(0)},
        {39, short(100)}, {40, short(100)}, {41, short(100)}, {42, short(100)}, {43, false},
    };
    for (const auto& [dispid, value] : defaults)
        EXPECT_EQ(get(dispid), value) << dispid;
    for (int d : {2,  3,  4,  5,  7,  10, 11, 12, 13, 14, 16, 18, 19, 20,
                  21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34})
        EXPECT_EQ(get(d), QVariant(QString())) << d;
}

TEST_F(MethodsTest, PropertiesAreNotPersistedAcrossCreations) {
    auto& c = createControl();
    c.setCustomSavePath(QStringLiteral("/tmp/x/"));
    c.setAsfBitRate(5);
    auto& again = createControl();
    EXPECT_EQ(again.CustomSavePath(), QString());
    EXPECT_EQ(again.asfBitRate(), 1000);
}

TEST_F(MethodsTest, EveryMethodAnswersWithoutTheOutsideLibraries) {
    createControl();
    for (const automation::Member& m : automation::kMembers) {
        const int d = m.dispid;
        if (m.kind != automation::MemberKind::Method)
            continue;
        QVariantList args;
        for (std::size_t i = 0; i < m.argCount; ++i)
            args << (m.args[i].type == automation::ValueType::Bstr ? QVariant(m_tempFolder.path())
                                                                   : QVariant(0));
        QVariant r;
        EXPECT_EQ(m_control->invoke(d, args, r), DispatchStatus::Ok) << m.name;
    }
}

TEST_F(MethodsTest, CameraListsWithoutAnEnumeration) {
    auto& c = createControl();
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.RefreshDevList(), 0);
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("枚举Qorvane拍摄仪失败!")});
    EXPECT_EQ(c.state().selectedDevice, -1); // a failed enumeration keeps the selection
    EXPECT_EQ(c.GetDevNameByIdx(0), QString());
    EXPECT_EQ(c.SetDevNameSel(1), 1);
    EXPECT_EQ(c.state().selectedDevice, -1);
    EXPECT_EQ(c.SetResolution(0), 0);
    EXPECT_EQ(c.state().selectedResolution, 0);
    EXPECT_EQ(c.GetResolutionByIdx(0), QString());

    const int mark = static_cast<int>(log().size());
    EXPECT_EQ(c.RefreshResolution(-1), 0);
    EXPECT_EQ(logSince(mark), (QStringList{QStringLiteral("没有选择摄像头，枚举分辨率失败!"),
                                           QStringLiteral("获取分辨率失败!")}));
}

TEST_F(MethodsTest, PreviewStartWithoutACameraAndStopWithoutAPreview) {
    auto& c = createControl();
    c.IsMerge();
    ASSERT_TRUE(control::ProcessModes::ofProcess().mergeMode);
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.StartPreviewProc(), -1);
    EXPECT_FALSE(control::ProcessModes::ofProcess().mergeMode); // the start clears merge mode first
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("没有找到Qorvane拍摄仪!")});
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("没有Qorvane拍摄仪!")});
    EXPECT_EQ(m_ui.shown().back().caption, QString()); // the control's own box: default caption

    const int mark = static_cast<int>(log().size());
    EXPECT_EQ(c.StopPreview(), 0);
    EXPECT_EQ(logSince(mark), QStringList{QStringLiteral("关闭预览!")});
}

TEST_F(MethodsTest, MorvelWithoutAPreviewFailsWithMinusTen) {
    auto& c = createControl();
    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.Morvel(QStringLiteral("JPG")), -10);
    EXPECT_EQ(logSince(before),
              (QStringList{QStringLiteral("开始拍照"), QStringLiteral("非预览状态，抓图失败!")}));
    EXPECT_EQ(c.state().lastFormat, QStringLiteral("jpg"));
}

TEST_F(MethodsTest, ImageListHoldsOnlyTheControlsOwnNames) {
    Folder pictures;
    for (const char* name :
         {"2015-06-26-14-00-27.jpg", "2015-06-26-14-00-28-Merge.jpg", "A001.jpg",
          "2015-06-26-14-00-27ForJpgMerge.jpg", "2015-06-26-14-00-29.JPG", "2015-06-26-14-00-30.bmp"})
        ASSERT_TRUE(writeAll(pictures.file(QString::fromLatin1(name)), "x"));
    QDir().mkpath(pictures.file(QStringLiteral("2015-06-26-14-00-31.jpg")));
    auto& c = createControl();
    c.setCustomSavePath(pictures.path());
    EXPECT_EQ(c.RefreshImgList(QStringLiteral("JPG")), 2);
    EXPECT_EQ(c.GetImgNameByIdx(0), QStringLiteral("2015-06-26-14-00-27.jpg"));
    EXPECT_EQ(c.GetImgNameByIdx(1), QStringLiteral("2015-06-26-14-00-28-Merge.jpg"));
    EXPECT_EQ(c.GetImgNameByIdx(2), QString());
    EXPECT_EQ(c.GetImgNameByIdx(-1), QString());

    EXPECT_EQ(c.DeleteImg(2), 1);
    EXPECT_EQ(c.DeleteImg(0), 0);
    EXPECT_FALSE(QFileInfo::exists(pictures.file(QStringLiteral("2015-06-26-14-00-27.jpg"))));
    EXPECT_EQ(c.GetImgNameByIdx(0),
              QStringLiteral("2015-06-26-14-00-27.jpg")); // list unchanged until refresh

    const int before = static_cast<int>(log().size());
    EXPECT_EQ(c.RefreshImgList(QStringLiteral("gif")), 0);
    EXPECT_EQ(logSince(before), QStringList{QStringLiteral("没有历史拍照图片!")});
}

TEST_F(MethodsTest, ImageListKeepsTheFirstHundred) {
    Folder pictures;
    for (int i = 0; i < 150; ++i)
        ASSERT_TRUE(writeAll(pictures.file(QStringLiteral("2015-06-26-14-%1-%2.jpg")
                                               .arg(i / 60, 2, 10, QLatin1Char('0'))
                                               .arg(i % 60, 2, 10, QLatin1Char('0'))),
                             "x"));
    auto& c = createControl();
    c.setCustomSavePath(pictures.path());
    EXPECT_EQ(c.RefreshImgList(QStringLiteral("jpg")), 100);
    EXPECT_EQ(c.GetImgNameByIdx(99), QStringLiteral("2015-06-26-14-01-39.jpg"));
}

TEST_F(MethodsTest, UnusableSaveFolderIsReportedByTheImageList) {
    Folder pictures;
    auto& c = createControl();
    for (const QString& bad : {pictures.path().chopped(1), pictures.file(QStringLiteral("missing/"))}) {
        c.setCustomSavePath(bad);
        const int before = static_cast<int>(log().size());
        EXPECT_EQ(c.RefreshImgList(QStringLiteral("jpg")), 0);
        EXPECT_EQ(logSince(before), QStringList{QStringLiteral("枚举图片:自定义图片路径错误!")});
        EXPECT_EQ(m_ui.messages().last(), QStringLiteral("请确保自定义图片保存路径(例如：C:\\)是正确的!"));
    }
    // An existing, empty folder named with its separator is usable.
    c.setCustomSavePath(pictures.path());
    EXPECT_EQ(c.RefreshImgList(QStringLiteral("jpg")), 0);
    EXPECT_EQ(log().last(), QStringLiteral("没有历史拍照图片!"));
}

TEST_F(MethodsTest, DeleteImgByNameOfAMissingFile) {
    Folder pictures;
    const QString file = pictures.file(QStringLiteral("a.jpg"));
    ASSERT_TRUE(writeAll(file, "x"));
    auto& c = createControl();
    EXPECT_EQ(c.DeleteImgByName(file), 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(c.DeleteImgByName(file), -1);
    EXPECT_EQ(log().last(), QStringLiteral("待删除图片不存在!"));
}

TEST_F(MethodsTest, Base64OfSmallFilesAndItsLogLines) {
    Folder files;
    auto& c = createControl();
    const std::vector<std::pair<QByteArray, QString>> cases{
        {"a", QStringLiteral("YQ==")},
        {"ab", QStringLiteral("YWI=")},
        {"abc", QStringLiteral("YWJj")},
        {QByteArray("\x00\xff\x10\x80", 4), QStringLiteral("AP8QgA==")}};
    for (const auto& [bytes, expected] : cases) {
        const QString path = files.file(QStringLiteral("f.bin"));
        ASSERT_TRUE(writeAll(path, bytes));
        const int before = static_cast<int>(log().size());
        EXPECT_TRUE(c.GetBase64String(path));
        EXPECT_EQ(c.Img2Base64(), expected);
        EXPECT_EQ(logSince(before), (QStringList{QStringLiteral("打开待转换base64字符串的图片成功!"),
                                                 QStringLiteral("图片转字符串成功!"),
                                                 QStringLiteral("长度为 %1 个字节").arg(bytes.size()),
                                                 QStringLiteral("清空文件buffer!"),
                                                 QStringLiteral("清空内存buffer!"), expected}));
    }
    c.setMarkdown(false);
    ASSERT_TRUE(writeAll(files.file(QStringLiteral("g.bin")), "abc"));
    EXPECT_TRUE(c.GetBase64String(files.file(QStringLiteral("g.bin"))));
    EXPECT_EQ(log().last(), QStringLiteral("清空内存buffer!"));
}

TEST_F(MethodsTest, Base64OfMissingOrEmptyFilesFails) {
    Folder files;
    auto& c = createControl();
    c.setImg2Base64(QStringLiteral("old"));
    EXPECT_FALSE(c.GetBase64String(files.file(QStringLiteral("missing.jpg"))));
    EXPECT_EQ(c.Img2Base64(), QString());
    EXPECT_EQ(log().last(), QStringLiteral("打开待转换base64字符串的图片失败!"));

    c.setImg2Base64(QStringLiteral("old"));
    ASSERT_TRUE(writeAll(files.file(QStringLiteral("empty.jpg")), ""));
    EXPECT_FALSE(c.GetBase64String(files.file(QStringLiteral("empty.jpg"))));
    EXPECT_EQ(c.Img2Base64(), QString());
    EXPECT_EQ(log().last(), QStringLiteral("待转换base64字符串的图片为空!"));
}

TEST_F(MethodsTest, LocalUploadListTakesFilesUpToOneMegabyte) {
    Folder files;
    const QString small = files.file(QStringLiteral("exact.jpg"));
    const QString large = files.file(QStringLiteral("large.jpg"));
    ASSERT_TRUE(writeAll(small, QByteArray(1048576, 'x')));
    ASSERT_TRUE(writeAll(large, QByteArray(1048577, 'x')));
    auto& c = createControl();
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{small, large});
    EXPECT_TRUE(c.SelectLocalImgs());
    EXPECT_EQ(c.RefreshLocalImg(), 1);
    EXPECT_EQ(c.GetLocalImgName(0), QStringLiteral("exact.jpg"));
    EXPECT_EQ(c.GetLocalImgName(1), QString());
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("图片( %1 )的大小超过1M，不能上传!").arg(large)});
    EXPECT_EQ(log().last(), QStringLiteral("选择了1张本地待上传照片"));

    // Uploading stops at the first failure.
    EXPECT_EQ(c.UploadLocalImg(QStringLiteral("http://127.0.0.1:9/")), 0);
    EXPECT_EQ(log().last(), QStringLiteral("第0张照片上传失败"));
    EXPECT_EQ(c.cPicName(), small);

    EXPECT_EQ(c.RemoveLocalImg(1), -1);
    EXPECT_EQ(c.RemoveLocalImg(0), 0);
    EXPECT_EQ(c.RefreshLocalImg(), 0);
    EXPECT_EQ(c.UploadLocalImg(QStringLiteral("http://127.0.0.1:9/")), 0);

    // A cancelled dialog still empties the list.
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{small});
    c.SelectLocalImgs();
    ASSERT_EQ(c.RefreshLocalImg(), 1);
    EXPECT_TRUE(c.SelectLocalImgs());
    EXPECT_EQ(c.RefreshLocalImg(), 0);
    EXPECT_EQ(log().last(), QStringLiteral("选择了0张本地待上传照片"));
}

TEST_F(MethodsTest, TransImgCancelledAtEitherDialogConvertsNothing) {
    auto& c = createControl();
    c.TransImg();
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{m_tempFolder.file(QStringLiteral("a.bmp"))});
    c.TransImg();
    EXPECT_TRUE(m_ui.messages().isEmpty());
    EXPECT_EQ(m_ui.askedKinds(), (QStringList{QStringLiteral("file-open"), QStringLiteral("file-open"),
                                              QStringLiteral("file-save")}));
}

TEST_F(MethodsTest, TransImgConvertsTheChosenBmp) {
    Folder files;
    QImage picture(64, 48, QImage::Format_RGB888);
    picture.fill(QColor(200, 30, 30));
    ASSERT_TRUE(picture.save(files.file(QStringLiteral("in.bmp"))));
    auto& c = createControl();
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{files.file(QStringLiteral("in.bmp"))});
    m_ui.queueAnswer(QStringLiteral("file-save"), files.file(QStringLiteral("out.jpg")));
    c.TransImg();
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("转换成功!")});
    const QImage jpeg(files.file(QStringLiteral("out.jpg")), "JPG");
    EXPECT_EQ(jpeg.size(), QSize(64, 48));
    // A file that is no BMP fails the conversion.
    ASSERT_TRUE(writeAll(files.file(QStringLiteral("bad.bmp")), "not a bitmap"));
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{files.file(QStringLiteral("bad.bmp"))});
    m_ui.queueAnswer(QStringLiteral("file-save"), files.file(QStringLiteral("bad.jpg")));
    c.TransImg();
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("转换失败!"));
}

TEST_F(MethodsTest, PaintsNoSignalOnWhite) {
    auto& c = createControl();
    QImage image(c.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    c.render(&image);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(image.width() - 3, image.height() - 3), QColor(Qt::white));
    int dark = 0;
    for (int y = image.height() / 2 - 10; y < image.height() / 2 + 10; ++y)
        for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20); // the text is there, in the middle
}

TEST(Safety, OptionsAnswers) {
    uint32_t supported = 0, enabled = 0;
    EXPECT_EQ(control::GetInterfaceSafetyOptions(QStringLiteral("{any}"), &supported, &enabled),
              control::kS_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
    const QString dispatch = QString::fromLatin1(identity::kIidIDispatch);
    EXPECT_EQ(control::SetInterfaceSafetyOptions(dispatch, 3, 3), control::kS_OK);
    EXPECT_EQ(control::SetInterfaceSafetyOptions(dispatch, 1, 1), control::kS_OK);
    EXPECT_EQ(control::SetInterfaceSafetyOptions(dispatch, 0, 0), control::kS_OK);
    EXPECT_EQ(control::SetInterfaceSafetyOptions(dispatch, 4, 4), control::kE_FAIL);
    EXPECT_EQ(control::SetInterfaceSafetyOptions(dispatch, 3, 1), control::kE_FAIL);
    EXPECT_EQ(control::SetInterfaceSafetyOptions(QString::fromLatin1(identity::kDispatchIid).toLower(), 3, 3),
              control::kS_OK);
    EXPECT_EQ(
        control::SetInterfaceSafetyOptions(QStringLiteral("{00000000-0000-0000-0000-000000000001}"), 3, 3),
        control::kE_NOINTERFACE);
}

TEST(FolderTree, DeletesEverythingButFollowsNoLinks) {
    Folder root;
    Folder outside;
    ASSERT_TRUE(writeAll(outside.file(QStringLiteral("keep.txt")), "keep"));
    const QString tree = root.file(QStringLiteral("tree/"));
    ASSERT_TRUE(QDir().mkpath(tree + QStringLiteral("a/b")));
    ASSERT_TRUE(writeAll(tree + QStringLiteral("x.jpg"), "x"));
    ASSERT_TRUE(writeAll(tree + QStringLiteral("a/b/y.jpg"), "y"));
    ASSERT_TRUE(QFile::link(outside.path(), tree + QStringLiteral("a/link")));
    control::DeleteFolderTree(tree);
    EXPECT_FALSE(QFileInfo::exists(tree));
    EXPECT_TRUE(QFileInfo::exists(outside.file(QStringLiteral("keep.txt"))));
    control::DeleteFolderTree(tree); // a missing folder is no error
}

TEST(CameraRoles, VendorAndProductFromDevicePaths) {
    using media::CameraRoleRule;
    EXPECT_EQ(CameraRoleRule::productIdOf(QStringLiteral("usb#vid_2e7a&pid_7e41&mi_00#6&1")),
              QStringLiteral("7e41"));
    EXPECT_EQ(CameraRoleRule::productIdOf(QStringLiteral("vid_2e7a&pid_7e41")),
              std::nullopt); // at the first char
    EXPECT_EQ(CameraRoleRule::productIdOf(QStringLiteral("usb#vid_046d&pid_7e41")), std::nullopt);
    EXPECT_EQ(CameraRoleRule::productIdOf(QStringLiteral("usb#vid_2e7a&pid_7e")), std::nullopt);
    EXPECT_FALSE(CameraRoleRule::isCounted(QStringLiteral("7e45")));
    EXPECT_EQ(media::roleNameOf(QStringLiteral("7e44"), false), QStringLiteral("主摄像头"));
    EXPECT_EQ(media::roleNameOf(QStringLiteral("7e44"), true), QStringLiteral("现金摄像头"));
    EXPECT_EQ(media::roleNameOf(QStringLiteral("7e43"), true), QStringLiteral("辅摄像头"));
}

} // namespace
} // namespace qx::test
