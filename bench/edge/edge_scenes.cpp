// How often the edge finder finds the sheet in rendered scenes with a sheet, and how often it would cut
// something out of scenes without one. Run by hand:
//   build/bench/edge_scenes [--first N] [--count N] [--size WxH] [--confidence C] [--list] [--dump DIR]
// --dump writes each miss as a picture (PPM) into DIR: the true page in green, what the finder took in red.
// The defaults are the held-out range (seeds from 100000, 240 scenes of each kind, 1920 x 1080, the
// finder's default confidence); the finder was tuned on seeds below 1000.
#include "support/edge_scenes.h"
#include "edge_finder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
    uint32_t first = 100000;
    int count = 240;
    int width = 1920;
    int height = 1080;
    double confidence = qx::kelpo::kDefaultMinConfidence;
    bool list = false;
    std::string dump;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--first" && more)
            o.first = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--count" && more)
            o.count = std::atoi(argv[++i]);
        else if (a == "--size" && more && std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) == 2)
            continue;
        else if (a == "--confidence" && more)
            o.confidence = std::atof(argv[++i]);
        else if (a == "--list")
            o.list = true;
        else if (a == "--dump" && more)
            o.dump = argv[++i];
        else
            return false;
    }
    return o.count > 0 && o.width >= 64 && o.height >= 64;
}

void dumpMiss(const Options& o, const std::string& name, const cv::Mat& frame, const qx::kelpo::Quad* truth,
              const std::optional<qx::kelpo::Detection>& found) {
    if (o.dump.empty())
        return;
    cv::Mat shown = frame.clone();
    auto outline = [&](const qx::kelpo::Quad& q, const cv::Scalar& colour) {
        std::vector<cv::Point> pts;
        for (const cv::Point2f& p : q)
            pts.emplace_back(cvRound(p.x), cvRound(p.y));
        cv::polylines(shown, pts, true, colour, 3);
    };
    if (truth)
        outline(*truth, cv::Scalar(0, 200, 0));
    if (found)
        outline(found->quad, cv::Scalar(0, 0, 255));
    // Portable pixmap: no image library needed, and any viewer or `convert` reads it.
    if (FILE* f = std::fopen((o.dump + "/" + name + ".ppm").c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", shown.cols, shown.rows);
        cv::Mat rgb;
        cv::cvtColor(shown, rgb, cv::COLOR_BGR2RGB);
        for (int y = 0; y < rgb.rows; ++y)
            std::fwrite(rgb.ptr(y), 3, static_cast<std::size_t>(rgb.cols), f);
        std::fclose(f);
    }
}

double percentile(const std::vector<double>& sorted, double p) {
    return sorted[std::min(sorted.size() - 1,
                           static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--first N] [--count N] [--size WxH] [--confidence C] [--list]\n",
                     argv[0]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    double seconds = 0;
    auto timed = [&](const cv::Mat& frame) {
        const auto start = Clock::now();
        auto found = qx::kelpo::detectDocument(frame);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        return found;
    };

    std::vector<double> overlaps;
    int found = 0;
    for (int i = 0; i < o.count; ++i) {
        const uint32_t seed = o.first + static_cast<uint32_t>(i);
        const qx::scenes::Scene s = qx::scenes::renderSheet(o.width, o.height, seed);
        const auto d = timed(s.frame);
        const bool cropped = d && d->confidence >= o.confidence;
        const double iou = cropped ? qx::kelpo::quadOverlap(d->quad, qx::kelpo::orderCorners(s.page)) : 0.0;
        overlaps.push_back(iou);
        found += iou >= 0.97;
        if (iou < 0.97) {
            if (o.list)
                std::printf("  sheet %u: %s, overlap %.3f, confidence %.2f, %s\n", seed,
                            cropped ? "cut" : "not cut", iou, d ? d->confidence : 0.0, s.description.c_str());
            const qx::kelpo::Quad truth = qx::kelpo::orderCorners(s.page);
            dumpMiss(o, "sheet-" + std::to_string(seed), s.frame, &truth, d);
        }
    }
    std::map<std::string, std::pair<int, int>> kinds; // cut, scenes
    int cut = 0;
    for (int i = 0; i < o.count; ++i) {
        const uint32_t seed = o.first + static_cast<uint32_t>(i);
        const qx::scenes::Scene s = qx::scenes::renderWithoutSheet(o.width, o.height, seed);
        const auto d = timed(s.frame);
        const bool cropped = d && d->confidence >= o.confidence;
        auto& k = kinds[qx::scenes::kindName(s.kind)];
        ++k.second;
        if (cropped) {
            ++k.first;
            ++cut;
            if (o.list)
                std::printf("  no sheet %u: cut, %s, confidence %.2f\n", seed, s.description.c_str(),
                            d->confidence);
            dumpMiss(o, "nosheet-" + std::to_string(seed), s.frame, nullptr, d);
        }
    }
    std::sort(overlaps.begin(), overlaps.end());
    const double n = o.count;
    std::printf("%d x %d, seeds %u-%u, confidence %.2f\n", o.width, o.height, o.first,
                o.first + static_cast<uint32_t>(o.count) - 1, o.confidence);
    std::printf("sheets: %d of %d cut with overlap >= 0.97 (%.1f %%)\n", found, o.count, 100.0 * found / n);
    std::printf("  overlap: lowest %.3f, 5th %.3f, 10th %.3f, 25th %.3f percentile, median %.3f\n",
                overlaps.front(), percentile(overlaps, 0.05), percentile(overlaps, 0.10),
                percentile(overlaps, 0.25), percentile(overlaps, 0.5));
    std::printf("no sheet: %d of %d cut (%.1f %%)\n", cut, o.count, 100.0 * cut / n);
    for (const auto& [name, k] : kinds)
        std::printf("  %-13s %d of %d\n", name.c_str(), k.first, k.second);
    std::printf("finder: %.2f ms per frame on these scenes\n", seconds * 1000 / (2 * n));
    return 0;
}
