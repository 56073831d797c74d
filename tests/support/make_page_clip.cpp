// Writes a clip of pages turned by hand on a desk, and prints when each page lies still.
//   qx_make_page_clip OUT.(avi|mp4|mkv|webm) [--pages N] [--still S] [--long-still PAGE:S] [--size WxH]
//                     [--fps N] [--seed N]
#include "support/page_clips.h"

#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the fonts of the pages' titles
    const QStringList args = QGuiApplication::arguments().mid(1);
    qx::test::PageClipPlan plan;
    QString out;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--pages"))
            plan.pages = next.toInt(), ++i;
        else if (a == QLatin1String("--still"))
            plan.still = next.toDouble(), ++i;
        else if (a == QLatin1String("--long-still"))
            plan.longStillPage = next.section(':', 0, 0).toInt() - 1,
            plan.longStill = next.section(':', 1).toDouble(), ++i;
        else if (a == QLatin1String("--size"))
            plan.width = next.section('x', 0, 0).toInt(), plan.height = next.section('x', 1).toInt(), ++i;
        else if (a == QLatin1String("--fps"))
            plan.fps = next.toInt(), ++i;
        else if (a == QLatin1String("--seed"))
            plan.seed = next.toUInt(), ++i;
        else
            out = a;
    }
    if (out.isEmpty() || plan.pages < 1 || plan.width < 64 || plan.height < 64 || plan.fps < 1) {
        std::fputs("usage: qx_make_page_clip OUT.(avi|mp4|mkv|webm) [--pages N] [--still S] "
                   "[--long-still PAGE:S] [--size WxH] [--fps N] [--seed N]\n",
                   stderr);
        return 2;
    }
    QString error;
    if (!qx::test::writePageClip(plan, out, &error)) {
        std::fprintf(stderr, "qx_make_page_clip: %s\n", error.toUtf8().constData());
        return 1;
    }
    const qx::test::PageClipTimes times = qx::test::pageClipTimes(plan);
    for (std::size_t i = 0; i < times.settled.size(); ++i)
        std::printf("page %zu %s still from %.3f s\n", i + 1,
                    qx::test::pageMark(static_cast<int>(i)).toUtf8().constData(), times.settled[i]);
    std::printf("end %.3f s\n", times.end);
    return 0;
}
