// The searchable PDF of captures and merges: a rendered page of known text photographed by the virtual
// camera, its PDF read back with poppler's tools.
#include "control/core/process_modes.h"
#include "control_fixture.h"
#include "qx/pdf/page_placement.h"
#include "support/text_page.h"

#include <QDir>
#include <QRegularExpression>

namespace qx::test {
namespace {

constexpr QSize kCamera{1600, 1200};

class PdfTextTest : public ControlTest {
protected:
    PdfTextTest() : m_page(renderTextPage(kCamera)) {
        m_page.image.save(m_sceneFolder.file(QStringLiteral("page.png")));
    }
    ~PdfTextTest() override { control::ProcessModes::ofProcess().mergeMode = false; }

    control::CMorvelQxWebCtrl& camera() {
        // The scene has the camera's size: a captured pixel is the rendered pixel at the same place.
        m_scene =
            std::make_unique<ScopedEnv>("QX_VIRTUAL_SCENE", m_sceneFolder.file(QStringLiteral("page.png")));
        m_camera = std::make_unique<ScopedEnv>(
            "QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:%1x%2").arg(kCamera.width()).arg(kCamera.height()));
        return createWithNormalPreview(m_pictures.path());
    }
    QString capturePdf(control::CMorvelQxWebCtrl& c) {
        EXPECT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
        return c.cPicName();
    }
    // The rendered words where a capture turned by `turn` degrees puts them on its page, in the points
    // pdftotext -bbox counts (from the page's top-left corner).
    static QRectF onPage(const QRectF& box, int turn) {
        const double W = kCamera.width();
        const double H = kCamera.height();
        const QRectF r = turn == 90 ? QRectF(H - box.bottom(), box.left(), box.height(), box.width()) : box;
        const double pw = turn == 90 ? H : W;
        const double ph = turn == 90 ? W : H;
        const pdf::PagePlacement at = pdf::capturePlacement(pw, ph);
        const double s = std::min(pdf::kBoxWidth / pw, pdf::kBoxHeight / ph);
        return QRectF(QPointF(at.x + s * r.left(), 842 - (at.y + s * (ph - r.top()))),
                      QPointF(at.x + s * r.right(), 842 - (at.y + s * (ph - r.bottom()))));
    }
    // Every English word is found by pdftotext, its box inside the rendered word's (within a point).
    void expectWordsInPlace(const QString& pdf, int turn) {
        const std::vector<PlacedWord> found = pdfWords(pdf);
        for (const PlacedWord& word : m_page.words) {
            const QRectF expected = onPage(word.box, turn).adjusted(-1, -1, 1, 1);
            const auto it = std::find_if(found.begin(), found.end(),
                                         [&](const PlacedWord& f) { return f.text == word.text; });
            ASSERT_NE(it, found.end()) << word.text.toStdString() << " not in " << pdf.toStdString();
            EXPECT_TRUE(expected.contains(it->box))
                << word.text.toStdString() << ": found at " << it->box.left() << "," << it->box.top() << " "
                << it->box.right() << "," << it->box.bottom() << ", drawn at " << expected.left() << ","
                << expected.top() << " " << expected.right() << "," << expected.bottom();
        }
    }
    void expectAllText(const QString& text) {
        for (const QString& line : std::as_const(m_page.lines))
            EXPECT_TRUE(text.contains(QString(line).remove(QLatin1Char(' '))))
                << line.toStdString() << " not in " << text.toStdString();
    }
    // The file with its creation time and identifier (which differ between any two writes) blanked.
    static QByteArray timeless(const QString& pdf) {
        QByteArray bytes = readAll(pdf);
        for (const char* pattern : {"/CreationDate \\([^)]*\\)", "/ID \\[<[0-9a-f]+><[0-9a-f]+>\\]"}) {
            const QRegularExpression re(QString::fromLatin1(pattern));
            QString text = QString::fromLatin1(bytes);
            text.replace(re, QStringLiteral("-"));
            bytes = text.toLatin1();
        }
        return bytes;
    }

    Folder m_sceneFolder;
    Folder m_pictures;
    TextPage m_page;
    std::unique_ptr<ScopedEnv> m_scene;
    std::unique_ptr<ScopedEnv> m_camera;
};

TEST_F(PdfTextTest, CapturesCarryTheTextOverTheJpegTheyAlwaysHeldAndPlaceItAlsoWhenTurned) {
    auto& c = camera();
    EXPECT_FALSE(c.bPdfOcr());
    EXPECT_EQ(c.strOcrLanguages(), QStringLiteral("chi_sim+eng"));
    const QString plain = capturePdf(c);
    EXPECT_TRUE(pdfTextWithoutSpaces(plain).isEmpty());
    EXPECT_FALSE(readAll(plain).contains("/Font"));

    c.setBPdfOcr(true);
    const QString searchable = capturePdf(c);
    expectAllText(pdfTextWithoutSpaces(searchable));
    expectWordsInPlace(searchable, 0);
    // The page shows the very JPEG the plain capture holds.
    const std::vector<QByteArray> plainJpegs = pdfJpegs(plain);
    ASSERT_EQ(plainJpegs.size(), 1u);
    EXPECT_EQ(pdfJpegs(searchable), plainJpegs);
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("转换PDF成功!")));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const QString& l) { return l.startsWith(QStringLiteral("文字识别完成:")); }));

    // Turned a quarter: the text runs down the page, orientation detection reads it upright and the
    // layer lies over it where it runs.
    c.setNRotateAngle(90);
    const QString turned = capturePdf(c);
    expectAllText(pdfTextWithoutSpaces(turned));
    expectWordsInPlace(turned, 90);
    EXPECT_TRUE(log().contains(QStringLiteral("文字识别:文字方向:顺时针90度")));

    // A pack that is not installed: the page holds its picture only, exactly as with the setting off,
    // the log says why and the capture succeeds.
    c.setNRotateAngle(0);
    c.setStrOcrLanguages(QStringLiteral("chi_sim+qx_none"));
    const QString fallback = capturePdf(c);
    EXPECT_TRUE(log().contains(QStringLiteral("文字识别失败，PDF只含图片:未安装语言包qx_none(%1)")
                                   .arg(QStringLiteral("/usr/share/tesseract-ocr/5/tessdata/"))));
    EXPECT_EQ(timeless(fallback), timeless(plain));
    EXPECT_EQ(log().last(), QStringLiteral("普通拍照成功完成!"));
}

TEST_F(PdfTextTest, AMergedPdfCarriesEachPagesTextAndAnEmptyDataFolderLeavesPicturesOnly) {
    auto& c = camera();
    c.setBPdfOcr(true);
    for (int i = 0; i < 2; ++i) {
        c.IsMerge();
        ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    }
    ASSERT_EQ(c.MergeImage(), 0);
    const QString merged = c.cPicName();
    ASSERT_TRUE(merged.endsWith(QStringLiteral("-Merge.pdf"))) << merged.toStdString();
    expectAllText(pdfTextWithoutSpaces(merged, 1));
    expectAllText(pdfTextWithoutSpaces(merged, 2));
    EXPECT_EQ(pdfJpegs(merged).size(), 2u);

    // No packs where the engine looks: the merge is written pictures-only and reported written.
    Folder empty;
    ScopedEnv data("TESSDATA_PREFIX", empty.path());
    c.IsMerge();
    ASSERT_EQ(c.Morvel(QStringLiteral("pdf")), 0);
    ASSERT_EQ(c.MergeImage(), 0);
    EXPECT_TRUE(pdfTextWithoutSpaces(c.cPicName()).isEmpty());
    EXPECT_EQ(pdfJpegs(c.cPicName()).size(), 1u);
    EXPECT_TRUE(log().contains(QStringLiteral("文字识别失败，PDF只含图片:未安装语言包chi_sim+eng(%1)")
                                   .arg(QDir(empty.path()).absolutePath() + QLatin1Char('/'))));
    EXPECT_TRUE(log().contains(QStringLiteral("生成多页Pdf!")));
}

} // namespace
} // namespace qx::test
