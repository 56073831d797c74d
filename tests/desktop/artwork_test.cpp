// The artwork: every resource id at the size of its control, transparency where it belongs, other sizes.
#include "qx/desktop/artwork.h"
#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"

#include <QFontInfo>
#include <gtest/gtest.h>

using namespace qx::desktop;

namespace {
QSize mainControl(int id) {
    return DialogUnits::reference().map(mainDialogControl(id)->units).size();
}
QSize cardControl(int id) {
    return DialogUnits::reference().map(cardPanelControl(id)->units).size();
}
} // namespace

TEST(DesktopDialogUnits, EdgesRoundHalfAwayFromZero) {
    EXPECT_EQ(mulDiv(611, 6, 4), 917);  // 916.5
    EXPECT_EQ(mulDiv(445, 12, 8), 668); // 667.5
    EXPECT_EQ(mulDiv(-3, 1, 2), -2);
    EXPECT_EQ(mulDiv(5, 1, 0), -1);
    const DialogUnits u(6, 12);
    // 1005 at 474, 43 size 62 x 65: right = 536 -> 804, bottom = 108 -> 162.
    EXPECT_EQ(u.map(QRect(474, 43, 62, 65)), QRect(711, 65, 93, 97));
    EXPECT_EQ(u.mapSize(kMainDialogUnits), QSize(917, 668));
}

TEST(DesktopDialogUnits, TheDialogFontGivesTheUnitsTheArtworkIsDrawnFor) {
    if (QFontInfo(dialogFont()).family() != QStringLiteral("WenQuanYi Zen Hei"))
        GTEST_SKIP() << "fonts-wqy-zenhei is not installed";
    EXPECT_EQ(DialogUnits::fromFont(dialogFont()), DialogUnits::reference());
}

TEST(DesktopArtwork, EveryImageIsShippedAtItsNaturalSize) {
    ASSERT_FALSE(artworkCatalog().empty());
    for (const ArtworkInfo& info : artworkCatalog()) {
        const QImage image = artworkImage(info.id);
        ASSERT_FALSE(image.isNull()) << info.id;
        EXPECT_EQ(image.size(), info.natural) << info.id;
        EXPECT_FALSE(artworkResourcePath(info.id).isEmpty());
    }
}

TEST(DesktopArtwork, ImagesFitTheirControls) {
    EXPECT_EQ(artworkInfo(res::kDialogBackground)->natural,
              DialogUnits::reference().mapSize(kMainDialogUnits));
    EXPECT_EQ(artworkInfo(res::kCardPanelBackground)->natural,
              DialogUnits::reference().mapSize(kCardPanelUnits));
    const std::pair<int, int> mainButtons[] = {
        {res::kCapture, 1005},     {res::kMerge, 1006},      {res::kUpload, 1013},   {res::kSettings, 1008},
        {res::kRecord, 1009},      {res::kWatermark, 1010},  {res::kPdf, 1014},      {res::kClear, 1015},
        {res::kTimerStart, 1011},  {res::kTimerStop, 1011},  {res::kTif, 1018},      {res::kPrint, 1019},
        {res::kPanelHidden, 1024}, {res::kPanelShown, 1024}, {res::kMinimise, 1017}, {res::kClose, 1016},
    };
    for (const auto& [id, control] : mainButtons)
        EXPECT_EQ(artworkImage(id).size(), mainControl(control)) << id;
    const std::pair<int, int> cardButtons[] = {{res::kCardResume, 1016},
                                               {res::kCardPause, 1016},
                                               {res::kCardSettings, 1017},
                                               {res::kCardExport, 1018}};
    for (const auto& [id, control] : cardButtons)
        EXPECT_EQ(artworkImage(id).size(), cardControl(control)) << id;
    // Every image of the main dialog's table is there, by the id the table names.
    for (const ControlPlacement& c : mainDialogControls()) {
        if (c.bitmap != 0) {
            EXPECT_NE(artworkInfo(c.bitmap), nullptr) << c.id;
        }
    }
}

TEST(DesktopArtwork, WindowButtonsAreTransparentAroundTheirGlyph) {
    for (int id : {res::kMinimise, res::kClose}) {
        const QImage image = artworkImage(id);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << id;
        EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0) << id;
        int strongest = 0;
        for (int y = 0; y < image.height(); ++y)
            strongest = std::max(strongest, qAlpha(image.pixel(image.width() / 2, y)));
        EXPECT_GT(strongest, 200) << id; // the glyph itself, drawn with smooth edges
    }
}

TEST(DesktopArtwork, BackgroundsCoverEveryPixel) {
    for (int id : {res::kDialogBackground, res::kCardPanelBackground, res::kSplash}) {
        const QImage image = artworkImage(id).convertToFormat(QImage::Format_ARGB32);
        bool opaque = true;
        for (int y = 0; y < image.height() && opaque; ++y)
            for (int x = 0; x < image.width() && opaque; ++x)
                opaque = qAlpha(image.pixel(x, y)) == 255;
        EXPECT_TRUE(opaque) << id;
    }
}

TEST(DesktopArtwork, OtherSizesAreDrawnAfresh) {
    const QSize bigger(186, 194);
    const QImage image = artworkImage(res::kCapture, bigger);
    EXPECT_EQ(image.size(), bigger);
    // Drawn, not stretched pixels: the face is filled at its centre and transparent at the corner.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(93, 97)), 255);
    EXPECT_EQ(artwork(res::kDialogBackground, QSize(1222, 890)).size(), QSize(1222, 890));
}

TEST(DesktopArtwork, UnknownIdsGiveNothing) {
    EXPECT_TRUE(artworkImage(4242).isNull());
    EXPECT_TRUE(artwork(4242).isNull());
    EXPECT_EQ(artworkInfo(4242), nullptr);
}
