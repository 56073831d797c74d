// Edge finding measured on rendered scenes with known page corners: desks of several kinds, turned and
// in perspective pages, uneven light, and the virtual camera's own scene; and on the scene generator's
// photographs with and without a sheet.
#include "edge_finder.h"
#include "qx/media/virtual_camera.h"
#include "support/edge_scenes.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTransform>
#include <cmath>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace qx::test {
namespace {

using kelpo::Quad;

enum class Desk { DarkWood, LightGrey, NearWhite, Cloth, Green };

cv::Mat toMat(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_BGR888);
    return cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                   static_cast<std::size_t>(rgb.bytesPerLine()))
        .clone();
}

void drawDesk(QPainter& p, int w, int h, Desk desk, QRandomGenerator& rng) {
    switch (desk) {
    case Desk::DarkWood:
        p.fillRect(0, 0, w, h, QColor(80, 60, 45));
        for (int i = 0; i < h / 4; ++i) {
            const int y = static_cast<int>(rng.bounded(h));
            p.setPen(QColor(95 + static_cast<int>(rng.bounded(30)), 70, 50, 120));
            p.drawLine(0, y, w, y + static_cast<int>(rng.bounded(7)) - 3);
        }
        break;
    case Desk::LightGrey:
        p.fillRect(0, 0, w, h, QColor(196, 198, 200));
        break;
    case Desk::NearWhite:
        // A white page on a pale desk: only a little darker and a little warmer than the paper.
        p.fillRect(0, 0, w, h, QColor(222, 218, 208));
        break;
    case Desk::Cloth: {
        // A checked cloth of two strong colours with a finer weave.
        const int cell = std::max(8, w / 40);
        for (int y = 0; y < h; y += cell)
            for (int x = 0; x < w; x += cell)
                p.fillRect(x, y, cell, cell,
                           ((x / cell + y / cell) % 2) ? QColor(170, 40, 50) : QColor(40, 60, 140));
        p.setPen(QColor(230, 200, 120, 90));
        for (int x = 0; x < w; x += cell / 3)
            p.drawLine(x, 0, x, h);
        break;
    }
    case Desk::Green:
        p.fillRect(0, 0, w, h, QColor(50, 110, 70));
        break;
    }
}

void drawText(QPainter& p, const QRectF& page) {
    p.setPen(QColor(30, 30, 30));
    QFont f(QStringLiteral("WenQuanYi Zen Hei"));
    f.setPixelSize(std::max(6, static_cast<int>(page.height() / 45)));
    p.setFont(f);
    double y = page.top() + page.height() * 0.1;
    while (y < page.bottom() - page.height() * 0.1) {
        p.drawText(QPointF(page.left() + page.width() * 0.08, y),
                   QStringLiteral("申请人 Applicant 证件号码 1101011990"));
        y += page.height() / 28;
    }
}

struct Scene {
    cv::Mat frame;
    Quad corners;
};

// A page of `area` of the frame, turned by `turn` degrees, its corners moved by up to `skew` of its
// size for perspective.
Scene renderScene(int w, int h, Desk desk, double turn, double skew, bool unevenLight, uint32_t seed) {
    QRandomGenerator rng(seed);
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawDesk(p, w, h, desk, rng);

    const double pageH = h * (0.62 + rng.generateDouble() * 0.18);
    const double pageW = pageH / 1.414;
    const QPointF centre(w / 2.0 + (rng.generateDouble() - 0.5) * w * 0.12,
                         h / 2.0 + (rng.generateDouble() - 0.5) * h * 0.08);
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(turn);
    QPolygonF quad;
    for (const QPointF& c : {QPointF(-pageW / 2, -pageH / 2), QPointF(pageW / 2, -pageH / 2),
                             QPointF(pageW / 2, pageH / 2), QPointF(-pageW / 2, pageH / 2)}) {
        const QPointF jitter((rng.generateDouble() - 0.5) * 2 * skew * pageW,
                             (rng.generateDouble() - 0.5) * 2 * skew * pageH);
        quad << t.map(c) + jitter;
    }
    const QRectF pageRect(0, 0, 1000, 1414);
    QTransform toQuad;
    const QPolygonF pageCorners{pageRect.topLeft(), pageRect.topRight(), pageRect.bottomRight(),
                                pageRect.bottomLeft()};
    if (!QTransform::quadToQuad(pageCorners, quad, toQuad))
        ADD_FAILURE() << "no transform onto the page's corners";
    p.save();
    p.setTransform(toQuad);
    p.fillRect(pageRect, QColor(248, 248, 244));
    drawText(p, pageRect);
    p.restore();
    p.end();

    if (unevenLight) {
        // Light falling off towards one corner, as from a desk lamp.
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double k =
                    1.0 - 0.45 * (static_cast<double>(x) / w * 0.6 + static_cast<double>(y) / h * 0.4);
                line[x] = qRgb(static_cast<int>(qRed(line[x]) * k), static_cast<int>(qGreen(line[x]) * k),
                               static_cast<int>(qBlue(line[x]) * k));
            }
        }
    }
    Scene s;
    s.frame = toMat(image);
    // A camera's softness and sensor noise.
    cv::GaussianBlur(s.frame, s.frame, cv::Size(3, 3), 0);
    cv::Mat noise(s.frame.size(), CV_16SC3);
    cv::randn(noise, 0, 4);
    cv::Mat noisy;
    s.frame.convertTo(noisy, CV_16SC3);
    noisy += noise;
    noisy.convertTo(s.frame, CV_8UC3);
    std::array<cv::Point2f, 4> pts;
    for (int i = 0; i < 4; ++i)
        pts[i] = cv::Point2f(static_cast<float>(quad[i].x()), static_cast<float>(quad[i].y()));
    s.corners = kelpo::orderCorners(pts);
    return s;
}

double overlapFound(const Scene& s) {
    const auto found = kelpo::findDocument(s.frame);
    return found ? kelpo::quadOverlap(*found, s.corners) : 0.0;
}

TEST(EdgeFinder, FindsPagesOnManyDesksWithHighOverlap) {
    std::vector<double> overlaps;
    uint32_t seed = 1;
    for (Desk desk : {Desk::DarkWood, Desk::LightGrey, Desk::NearWhite, Desk::Cloth, Desk::Green}) {
        for (int k = 0; k < 6; ++k, ++seed) {
            const double turn = -14 + 5.5 * k;
            const Scene s = renderScene(1280, 960, desk, turn, 0.03 * (k % 3), k % 2 == 1, seed);
            const double iou = overlapFound(s);
            overlaps.push_back(iou);
            EXPECT_GT(iou, 0.93) << "desk " << static_cast<int>(desk) << " turn " << turn;
        }
    }
    double mean = 0;
    for (double o : overlaps)
        mean += o;
    mean /= static_cast<double>(overlaps.size());
    std::printf("edge finding: mean overlap %.4f over %zu scenes, lowest %.4f\n", mean, overlaps.size(),
                *std::min_element(overlaps.begin(), overlaps.end()));
    EXPECT_GE(mean, 0.97);
}

TEST(EdgeFinder, FindsThePageOfTheVirtualCamerasScene) {
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{640, 480}, std::pair{2592, 1944}}) {
        const QImage image = media::VirtualCamera::renderDocumentScene(w, h);
        const auto truth = media::VirtualCamera::documentCorners(w, h);
        std::array<cv::Point2f, 4> pts;
        for (int i = 0; i < 4; ++i)
            pts[i] = cv::Point2f(static_cast<float>(truth[i].x()), static_cast<float>(truth[i].y()));
        const auto found = kelpo::findDocument(toMat(image));
        ASSERT_TRUE(found) << w << "x" << h;
        EXPECT_GT(kelpo::quadOverlap(*found, kelpo::orderCorners(pts)), 0.95) << w << "x" << h;
    }
}

TEST(EdgeFinder, AnEmptyDeskHasNoDocument) {
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(QColor(90, 70, 50));
    EXPECT_FALSE(kelpo::findDocument(toMat(image)));
    EXPECT_FALSE(kelpo::findDocument(cv::Mat()));
}

TEST(EdgeFinder, CropComesOutUprightAndRectangular) {
    const Scene s = renderScene(1280, 960, Desk::Green, 12, 0.04, false, 99);
    const cv::Mat page = kelpo::cropDocument(s.frame, s.corners, 0);
    // A portrait page of 1 : 1.414, nearly all paper.
    EXPECT_NEAR(static_cast<double>(page.rows) / page.cols, 1.414, 0.12);
    cv::Mat gray;
    cv::cvtColor(page, gray, cv::COLOR_BGR2GRAY);
    EXPECT_GT(cv::mean(gray)[0], 200);
    // Its corners are paper, not desk.
    EXPECT_GT(gray.at<uchar>(3, 3), 180);
    EXPECT_GT(gray.at<uchar>(gray.rows - 4, gray.cols - 4), 180);
    // A wider margin takes in the desk around the page.
    const cv::Mat wider = kelpo::cropDocument(s.frame, s.corners, 30);
    EXPECT_GT(wider.cols, page.cols + 40);
    cv::Mat wideGray;
    cv::cvtColor(wider, wideGray, cv::COLOR_BGR2GRAY);
    EXPECT_LT(wideGray.at<uchar>(3, 3), 150);
}

// A fixed run of the generator's sheets (of every desk, paper, print, turn, shadow and hand it draws):
// nearly all found closely, each crop at the sheet's own aspect. The benchmark edge_scenes gives the
// rate over many more.
TEST(EdgeFinder, FindsTheGeneratedSheetsClosely) {
    int found = 0;
    int scenes = 0;
    for (uint32_t seed = 300000; seed < 300024; ++seed, ++scenes) {
        const scenes::Scene s = scenes::renderSheet(1280, 720, seed);
        const auto quad = kelpo::findDocument(s.frame);
        const double iou = quad ? kelpo::quadOverlap(*quad, kelpo::orderCorners(s.page)) : 0.0;
        if (iou < 0.97) {
            std::printf("seed %u (%s): overlap %.3f\n", seed, s.description.c_str(), iou);
            continue;
        }
        ++found;
        // Upright or turned a quarter, the picture has the sheet's proportions.
        const cv::Mat page = kelpo::cropDocument(s.frame, *quad, 0);
        const double aspect =
            static_cast<double>(std::max(page.rows, page.cols)) / std::min(page.rows, page.cols);
        EXPECT_NEAR(aspect, std::max(s.pageAspect, 1 / s.pageAspect), 0.03 * s.pageAspect)
            << "seed " << seed << " " << s.description;
    }
    std::printf("generated sheets: %d of %d found with overlap >= 0.97\n", found, scenes);
    EXPECT_GE(found, scenes * 8 / 10);
}

// Boxes, a parcel label, keyboards, empty desks, faces, book covers and clutter: none is cut out, and
// an empty frame has no outline at all.
TEST(EdgeFinder, CutsNothingOutOfGeneratedScenesWithoutASheet) {
    for (uint32_t seed = 300000; seed < 300021; ++seed) {
        const scenes::Scene s = scenes::renderWithoutSheet(1280, 720, seed);
        const auto found = kelpo::detectDocument(s.frame);
        EXPECT_FALSE(found && found->confidence >= kelpo::kDefaultMinConfidence)
            << "seed " << seed << " (" << s.description << "): confidence " << found->confidence;
        EXPECT_FALSE(kelpo::findDocument(s.frame)) << "seed " << seed;
    }
    // With no confidence asked for, an outline found is cut out as before.
    const scenes::Scene label = scenes::renderWithoutSheet(1280, 720, scenes::Kind::ParcelLabel, 300000);
    const auto anything = kelpo::detectDocument(label.frame);
    ASSERT_TRUE(anything);
    EXPECT_TRUE(kelpo::findDocument(label.frame, 0.0));
}

struct SheetCase {
    int width, height;
    uint32_t seed;
};

// Each generated sheet is found and cut out with its true page's overlap at least 0.97.
void expectPagesCutOut(std::initializer_list<SheetCase> cases) {
    for (const SheetCase& c : cases) {
        const scenes::Scene s = scenes::renderSheet(c.width, c.height, c.seed);
        const auto quad = kelpo::findDocument(s.frame);
        ASSERT_TRUE(quad) << c.width << "x" << c.height << " seed " << c.seed << " (" << s.description << ")";
        EXPECT_GE(kelpo::quadOverlap(*quad, kelpo::orderCorners(s.page)), 0.97)
            << c.width << "x" << c.height << " seed " << c.seed << " (" << s.description << ")";
    }
}

// Scenes of kinds the finder used to get wrong, from the generator's tuning range: a band printed
// along the page's edge on a checkered, striped, gridded or grained desk (the outline found was the
// paper's, short of the band), and at 640 x 480 pages whose ordinary print covers more of them than
// the bound tuned at 1920 x 1080 let through (not cut at all). Each is cut out whole. And a thin
// band on a cutting mat (640 x 480 seed 327), and two bands from beyond that range: one on a page
// that closes into no region on a pale desk (1920 x 1080 seed 100066), one a shadow crosses
// (100114).
TEST(EdgeFinder, CutsOutThePageWithItsBandAndAtLowResolution) {
    expectPagesCutOut({SheetCase{1920, 1080, 166}, SheetCase{1920, 1080, 187}, SheetCase{1920, 1080, 222},
                       SheetCase{1920, 1080, 298}, SheetCase{640, 480, 9}, SheetCase{640, 480, 52},
                       SheetCase{640, 480, 102}, SheetCase{640, 480, 327}, SheetCase{1920, 1080, 100066},
                       SheetCase{1920, 1080, 100114}});
}

// Scenes from the tuning range whose outline something at a corner had slanted: a note and a pen
// under one (1920 x 1080 seed 318), fingers (396), the edge of a shadow across the page (640 x 480
// seed 0) and the wood beside a corner (368). The cut follows the page's own edges past them.
TEST(EdgeFinder, CutsAlongThePagesOwnEdgesPastWhatLiesAtACorner) {
    expectPagesCutOut({SheetCase{1920, 1080, 318}, SheetCase{1920, 1080, 396}, SheetCase{640, 480, 0},
                       SheetCase{640, 480, 368}});
}

// Pages from the tuning range on checkered, dotted and gridded desks, whose squares make many
// outlines as well supported as the page's, or with a hand or a pen touching them (640 x 480 seeds
// 26, 44, 275 and 1920 x 1080 seed 44): the page's outline is judged and cut out.
TEST(EdgeFinder, CutsOutThePageAmongTheDesksOwnOutlines) {
    expectPagesCutOut({SheetCase{640, 480, 26}, SheetCase{640, 480, 44}, SheetCase{640, 480, 275},
                       SheetCase{1920, 1080, 44}});
}

// White keyboards at 640 x 480, from the tuning range: an outline over their keys was as white,
// as sparsely printed and as well supported as a page, but its corners are far from right angles.
TEST(EdgeFinder, CutsNothingOutOfAWhiteKeyboardAt640x480) {
    for (const uint32_t seed : {72u, 156u, 289u}) {
        const scenes::Scene s = scenes::renderWithoutSheet(640, 480, seed);
        ASSERT_EQ(s.kind, scenes::Kind::Keyboard) << "seed " << seed;
        EXPECT_FALSE(kelpo::findDocument(s.frame)) << "seed " << seed << " (" << s.description << ")";
    }
}

// At 640 x 480 a page of small dense text has as much print as a shipping label. Pages from the
// tuning range that were not cut for it (a photo and a stamp among the text, a band, a signature)
// are cut out; labels with as much print, whose rules run from edge to edge, are still not, whether
// the outline found is the label's, one just around it or one of the parts its rules divide it into
// (302). Nor are labels of less print that the bound for small frames let through (92, 379), nor
// sections of a label outlined by four lines, its edges and its rules (106, 100227).
TEST(EdgeFinder, TellsAPageOfDenseTextFromAShippingLabelAt640x480) {
    expectPagesCutOut({SheetCase{640, 480, 124}, SheetCase{640, 480, 133}, SheetCase{640, 480, 339}});
    for (const uint32_t seed : {8u, 85u, 302u, 92u, 379u, 106u, 100227u}) {
        const scenes::Scene s = scenes::renderWithoutSheet(640, 480, seed);
        ASSERT_EQ(s.kind, scenes::Kind::ParcelLabel) << "seed " << seed;
        EXPECT_FALSE(kelpo::findDocument(s.frame)) << "seed " << seed << " (" << s.description << ")";
    }
}

// In small frames the rows and columns of a page's print make lines as strong as its sides: pages
// outlined by no region of their own (a hand over the edge on a pale desk or a dark one, a dotted
// desk as light as the paper, a shadow across a page on a speckled desk) were lost among them. Their
// sides are fitted to the edges (the 1280 x 720 page kept its proportions only so), and one fitted
// to a band's outer edge is the page with its band (600124 was cut short at the band).
TEST(EdgeFinder, FindsThePagesSidesAmongTheLinesOfItsPrint) {
    expectPagesCutOut({SheetCase{640, 480, 100080}, SheetCase{640, 480, 400020}, SheetCase{640, 480, 500161},
                       SheetCase{640, 480, 500128}, SheetCase{1280, 720, 300009},
                       SheetCase{640, 480, 600124}});
}

TEST(EdgeFinder, AspectOfARectangleInPerspective) {
    // A 2 : 3 rectangle turned 20 degrees on a plane tilted 30 degrees about the horizontal axis, seen
    // with 1000 pixels of focal length about the frame's centre.
    const double f = 1000, tilt = 30 * CV_PI / 180, turn = 20 * CV_PI / 180;
    auto project = [&](double px, double py) {
        const double x = px * std::cos(turn) - py * std::sin(turn),
                     y = px * std::sin(turn) + py * std::cos(turn);
        const double z = 2000 + y * std::sin(tilt);
        return cv::Point2f(static_cast<float>(640 + f * x / z),
                           static_cast<float>(360 + f * y * std::cos(tilt) / z));
    };
    const Quad q{project(-400, -600), project(400, -600), project(400, 600), project(-400, 600)};
    const double drawn =
        (cv::norm(q[3] - q[0]) + cv::norm(q[2] - q[1])) / (cv::norm(q[1] - q[0]) + cv::norm(q[2] - q[3]));
    EXPECT_GT(std::fabs(drawn - 1.5), 0.1);                             // the drawn proportions are off...
    EXPECT_NEAR(kelpo::sheetAspect(q, cv::Size(1280, 720)), 1.5, 0.01); // ...the recovered ones are not
    // Tilted only, with one pair of sides parallel, the camera's focal length cannot be told from the
    // outline: a usual one (the frame's longer side) is taken, here the camera's own.
    const double g = 1280;
    auto tilted = [&](double x, double y) {
        const double z = 2000 + y * std::sin(tilt);
        return cv::Point2f(static_cast<float>(640 + g * x / z),
                           static_cast<float>(360 + g * y * std::cos(tilt) / z));
    };
    const Quad trapezoid{tilted(-400, -600), tilted(400, -600), tilted(400, 600), tilted(-400, 600)};
    EXPECT_NEAR(kelpo::sheetAspect(trapezoid, cv::Size(1280, 720)), 1.5, 0.01);
    // Seen square on, the drawn proportions are the true ones.
    const Quad flat{cv::Point2f(100, 100), cv::Point2f(500, 100), cv::Point2f(500, 700),
                    cv::Point2f(100, 700)};
    EXPECT_NEAR(kelpo::sheetAspect(flat, cv::Size(1280, 720)), 1.5, 1e-6);
}

TEST(EdgeFinder, OverlapOfQuads) {
    const Quad a{cv::Point2f(0, 0), cv::Point2f(10, 0), cv::Point2f(10, 10), cv::Point2f(0, 10)};
    const Quad b{cv::Point2f(5, 0), cv::Point2f(15, 0), cv::Point2f(15, 10), cv::Point2f(5, 10)};
    EXPECT_NEAR(kelpo::quadOverlap(a, a), 1.0, 1e-9);
    EXPECT_NEAR(kelpo::quadOverlap(a, b), 50.0 / 150.0, 1e-6);
    // An outline widened over a band shares two corners with the one it was widened from: the overlap
    // is the smaller's share of the larger (OpenCV's own intersection answered the larger's area).
    const Quad page{cv::Point2f(268, 38), cv::Point2f(458, 102), cv::Point2f(352, 384),
                    cv::Point2f(172, 312)};
    Quad wider = page;
    const cv::Point2f up0 = (page[0] - page[3]) * static_cast<float>(1 / cv::norm(page[0] - page[3]));
    const cv::Point2f up1 = (page[1] - page[2]) * static_cast<float>(1 / cv::norm(page[1] - page[2]));
    wider[0] += up0 * 14.f;
    wider[1] += up1 * 14.f;
    auto area = [](const Quad& q) {
        return std::fabs(cv::contourArea(std::vector<cv::Point2f>(q.begin(), q.end())));
    };
    EXPECT_NEAR(kelpo::quadOverlap(page, wider), area(page) / area(wider), 1e-4);
    EXPECT_NEAR(kelpo::quadOverlap(wider, page), area(page) / area(wider), 1e-4);
}

} // namespace
} // namespace qx::test
