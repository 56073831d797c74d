// The TIFF tool's window driven through its buttons with scripted dialogs: build, reorder, open, save out.
#include "imaging/external_tools.h"
#include "qx/interface/ui_host.h"
#include "support/test_support.h"
#include "tif_maker_window.h"
#include "tiff_test_pictures.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

QString aeDifference(const QString& a, const QString& b) {
    const ToolRun run = runTool(QStringLiteral("compare"), {QStringLiteral("-metric"), QStringLiteral("AE"),
                                                            a, b, QStringLiteral("null:")});
    return QString::fromUtf8(run.err).trimmed();
}

class TifMakerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(colourImage(300, 200, 150).save(file("colour.png")));
        ASSERT_TRUE(greyImage(120, 90, 96).save(file("grey.bmp")));
        ASSERT_TRUE(monoImage(64, 48, 300).save(file("mono.png")));
    }
    QString file(const char* name) const { return m_folder.file(QString::fromLatin1(name)); }
    void click(const char* name) {
        QPushButton* b = m_window.button(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    void select(int row) {
        m_window.list()->clearSelection();
        m_window.list()->item(row)->setSelected(true);
    }
    QStringList tiffPages(const QString& path) {
        return runTool(QStringLiteral("tiffinfo"), {path})
            .text()
            .split(QStringLiteral("TIFF Directory at offset"))
            .mid(1);
    }

    Folder m_folder;
    ScriptedUiHost m_ui;
    tiff::CTifMakerWnd m_window{m_ui};
};

TEST_F(TifMakerTest, BuildsAThreePageTiffInTheListsOrderAndSavesAPageOutAsItWas) {
    m_ui.queueAnswer(QStringLiteral("file-open"),
                     QStringList{file("grey.bmp"), file("colour.png"), file("mono.png")});
    click("add");
    ASSERT_EQ(m_window.pageCount(), 3);
    // As a drag in the list does it: the colour page first.
    ASSERT_TRUE(m_window.list()->model()->moveRow(QModelIndex(), 1, QModelIndex(), 0));
    EXPECT_EQ(m_window.pageSources(),
              (QStringList{file("colour.png") + "#0", file("grey.bmp") + "#0", file("mono.png") + "#0"}));
    EXPECT_EQ(m_window.list()->item(0)->text(), QStringLiteral("第1页\n300 x 200"));

    m_ui.queueAnswer(QStringLiteral("file-save"), file("built.tif"));
    click("write");
    const QStringList pages = tiffPages(file("built.tif"));
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[0].contains(QLatin1String("Image Width: 300 Image Length: 200")));
    EXPECT_TRUE(pages[1].contains(QLatin1String("Image Width: 120 Image Length: 90")));
    EXPECT_TRUE(pages[2].contains(QLatin1String("Bits/Sample: 1")));
    EXPECT_TRUE(m_ui.messages().last().startsWith(QStringLiteral("生成TIF成功，共3页")));

    // A fresh window opens it again and sees its pages.
    ScriptedUiHost ui;
    tiff::CTifMakerWnd reopened(ui);
    ui.queueAnswer(QStringLiteral("file-open"), QStringList{file("built.tif")});
    reopened.button(QStringLiteral("open"))->click();
    ASSERT_EQ(reopened.pageCount(), 3);
    EXPECT_EQ(reopened.pageAt(1)->picture.bitsPerPixel, 8);
    EXPECT_EQ(reopened.pageAt(2)->picture.bitsPerPixel, 1);
    EXPECT_EQ(reopened.pageAt(0)->picture.dpiX, 150);

    reopened.list()->item(1)->setSelected(true);
    ui.queueAnswer(QStringLiteral("file-save"), file("page2.bmp"));
    reopened.button(QStringLiteral("save"))->click();
    EXPECT_EQ(aeDifference(file("grey.bmp"), file("page2.bmp")), QStringLiteral("0"));
    const ToolRun id =
        runTool(QStringLiteral("identify"),
                {QStringLiteral("-format"), QStringLiteral("%w %h %[resolution.x]"), file("page2.bmp")});
    EXPECT_TRUE(id.text().startsWith(QStringLiteral("120 90 "))) << id.text().toStdString();

    // Several pages at once are numbered by their place.
    reopened.list()->item(0)->setSelected(true);
    reopened.list()->item(2)->setSelected(true);
    ui.queueAnswer(QStringLiteral("file-save"), file("out.png"));
    reopened.button(QStringLiteral("save"))->click();
    EXPECT_EQ(aeDifference(file("colour.png"), file("out-1.png")), QStringLiteral("0"));
    EXPECT_EQ(aeDifference(file("grey.bmp"), file("out-2.png")), QStringLiteral("0"));
    EXPECT_EQ(aeDifference(file("mono.png"), file("out-3.png")), QStringLiteral("0"));
}

TEST_F(TifMakerTest, AddingAMultiPageTiffAddsEveryPageAndRemoveTakesTheChosenOnes) {
    m_ui.queueAnswer(QStringLiteral("file-open"),
                     QStringList{file("grey.bmp"), file("colour.png"), file("mono.png")});
    click("add");
    m_window.writeTiff(file("three.tif"));
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{file("three.tif")});
    click("add");
    ASSERT_EQ(m_window.pageCount(), 6);
    EXPECT_EQ(m_window.pageSources()[5], file("three.tif") + "#2");
    select(0);
    m_window.list()->item(4)->setSelected(true);
    click("remove");
    EXPECT_EQ(m_window.pageSources(), (QStringList{file("colour.png") + "#0", file("mono.png") + "#0",
                                                   file("three.tif") + "#0", file("three.tif") + "#2"}));
    click("clear");
    EXPECT_EQ(m_window.pageCount(), 0);
}

TEST_F(TifMakerTest, UnreadableFilesAndFailedWritesAreSaidAndLeaveNothing) {
    ASSERT_TRUE(writeAll(file("broken.png"), "not a picture"));
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{file("broken.png"), file("mono.png")});
    click("add");
    EXPECT_EQ(m_window.pageCount(), 1);
    EXPECT_TRUE(m_ui.messages().last().startsWith(QStringLiteral("无法读取图片:")));
    EXPECT_TRUE(m_ui.messages().last().contains(file("broken.png")));

    m_ui.queueAnswer(QStringLiteral("file-save"), file("missing/out.tif"));
    click("write");
    EXPECT_FALSE(QFile::exists(file("missing/out.tif")));
    EXPECT_TRUE(m_ui.messages().last().startsWith(QStringLiteral("生成TIF失败:")));

    // Opening another file over pages asks first; No keeps them.
    m_ui.queueAnswer(QStringLiteral("question"), false);
    click("open");
    EXPECT_EQ(m_window.pageCount(), 1);
    EXPECT_FALSE(m_window.openTiff(file("broken.png")));
    EXPECT_EQ(m_window.pageCount(), 1);

    m_window.list()->clearSelection();
    click("save");
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("请先选择要导出的页面!"));
}

TEST_F(TifMakerTest, SavingPagesAsksBeforeEachFileItWouldReplaceAndLeavesNoPartialFile) {
    m_window.addFiles({file("colour.png"), file("grey.bmp"), file("mono.png")});
    ASSERT_EQ(m_window.pageCount(), 3);
    ASSERT_TRUE(writeAll(file("out-1.png"), "the user's first"));
    ASSERT_TRUE(writeAll(file("out-3.png"), "the user's third"));
    const auto question = [](const QString& path) {
        return QString::fromUtf8(tiff::kOverwriteText).arg(path);
    };
    const auto selectAll = [this] {
        for (int row = 0; row < m_window.pageCount(); ++row)
            m_window.list()->item(row)->setSelected(true);
    };
    // No for the first file, yes for the third; the second name is free and asks nothing.
    selectAll();
    m_ui.queueAnswer(QStringLiteral("file-save"), file("out.png"));
    m_ui.queueAnswer(QStringLiteral("question"), false);
    m_ui.queueAnswer(QStringLiteral("question"), true);
    click("save");
    EXPECT_EQ(m_ui.messages(),
              QStringList({question(file("out-1.png")), question(file("out-3.png")),
                           QStringLiteral("导出成功，共2页") + QString::fromUtf8(tiff::kNotOverwrittenText) +
                               file("out-1.png")}));
    EXPECT_EQ(readAll(file("out-1.png")), QByteArray("the user's first"));
    EXPECT_EQ(aeDifference(file("grey.bmp"), file("out-2.png")), QStringLiteral("0"));
    EXPECT_EQ(aeDifference(file("mono.png"), file("out-3.png")), QStringLiteral("0"));

    // Everything refused: nothing written, nothing said beyond the questions. A yes that meets a
    // name the picture cannot take (a folder) fails, and neither leaves any file of its own behind.
    ASSERT_TRUE(QDir().mkpath(file("dir-2.bmp")));
    ASSERT_TRUE(writeAll(file("dir-1.bmp"), "first"));
    ASSERT_TRUE(writeAll(file("dir-3.bmp"), "third"));
    const QStringList before =
        QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    selectAll();
    m_ui.queueAnswer(QStringLiteral("file-save"), file("dir.bmp"));
    for (int i = 0; i < 3; ++i)
        m_ui.queueAnswer(QStringLiteral("question"), false);
    const qsizetype shown = m_ui.messages().size();
    click("save");
    EXPECT_EQ(
        m_ui.messages().mid(shown),
        QStringList({question(file("dir-1.bmp")), question(file("dir-2.bmp")), question(file("dir-3.bmp"))}));
    selectAll();
    m_ui.queueAnswer(QStringLiteral("file-save"), file("dir.bmp"));
    m_ui.queueAnswer(QStringLiteral("question"), false);
    m_ui.queueAnswer(QStringLiteral("question"), true);
    m_ui.queueAnswer(QStringLiteral("question"), false);
    click("save");
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("导出失败:\n") + file("dir-2.bmp"));
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              before);
    EXPECT_EQ(readAll(file("dir-1.bmp")), QByteArray("first"));
    EXPECT_EQ(readAll(file("dir-3.bmp")), QByteArray("third"));

    // A single page goes to the chosen name itself, which is asked about too: no dialog of a
    // scripted host asks on its own.
    select(0);
    m_ui.queueAnswer(QStringLiteral("file-save"), file("out-1.png"));
    m_ui.queueAnswer(QStringLiteral("question"), false);
    const qsizetype asked = m_ui.messages().size();
    click("save");
    EXPECT_EQ(m_ui.messages().mid(asked), QStringList{question(file("out-1.png"))});
    EXPECT_EQ(readAll(file("out-1.png")), QByteArray("the user's first"));
}

TEST_F(TifMakerTest, TheWindowAsItLooks) {
    m_window.addFiles({file("colour.png"), file("grey.bmp"), file("mono.png")});
    select(1);
    m_window.show();
    const QImage shot = m_window.grab().toImage();
    EXPECT_FALSE(shot.isNull());
    const QString out = qEnvironmentVariable("QX_TIF_TOOL_SCREENSHOT");
    if (!out.isEmpty())
        shot.save(out);
}

} // namespace
} // namespace qx::test
