// Video clips of pages turned by hand on a desk, made by the tests for the file-fed virtual camera.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace qx::test {

// What a clip shows, in order: the empty desk, then for each page a hand that lays it on the pile
// (over the page before) and leaves, and the page lying still; at the end the hand takes the pile
// away and the empty desk stays. Every frame has sensor noise, and the exposure drifts slowly.
struct PageClipPlan {
    int width = 640;
    int height = 480;
    int fps = 15;
    int pages = 10;
    double emptyStart = 1.0; // seconds of empty desk first
    double turn = 0.9;       // seconds the hand takes to bring a page and leave
    double still = 1.5;      // seconds each page lies still
    int longStillPage = -1;  // this page (0-based) lies still for `longStill` seconds instead
    double longStill = 0;
    double emptyEnd = 1.5; // seconds of empty desk after the pile was taken away
    unsigned seed = 1;
};

// The mark each page carries: a QR code of this text, read back from a capture with ZXing.
QString pageMark(int page);

// One page's picture (distinct text blocks, its number, its QR mark) at `width` pixels wide.
QImage renderPage(int page, int width, unsigned seed);

// When in the clip the motion of each turn ends, and how long the clip runs, in seconds.
struct PageClipTimes {
    std::vector<double> settled; // page i lies still from this time on
    double end = 0;
};
PageClipTimes pageClipTimes(const PageClipPlan& plan);

// Frame `n` of the clip (RGB32).
QImage renderClipFrame(const PageClipPlan& plan, int n);

// Writes the clip with GStreamer: ".avi" as Motion JPEG, ".mp4" as H.264, ".mkv" as H.264 in
// Matroska, ".webm" as VP8. False (with `error`) when it could not be written.
bool writePageClip(const PageClipPlan& plan, const QString& path, QString* error = nullptr);

// The QR marks ZXing reads in a picture file, or in a picture, in no particular order.
std::vector<QString> readMarks(const QString& picturePath);
std::vector<QString> readMarks(const QImage& picture);

} // namespace qx::test
