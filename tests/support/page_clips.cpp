// Renders clips of pages laid on a desk by a hand, and writes them through a GStreamer encoder.
#include "support/page_clips.h"

// Result::text() as UTF-8, as later ZXing-cpp versions give it.
#define ZX_USE_UTF8 1
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace qx::test {

namespace {

constexpr double kPageHeight = 0.8; // of the frame's height
constexpr double kAspect = 1.414;

QImage renderDesk(int w, int h, unsigned seed) {
    QImage desk(w, h, QImage::Format_RGB32);
    desk.fill(QColor(86, 66, 50));
    QPainter p(&desk);
    QRandomGenerator rng(seed * 31 + 5);
    for (int i = 0; i < h / 2; ++i) {
        const int y = static_cast<int>(rng.bounded(h));
        const int tone = 60 + static_cast<int>(rng.bounded(40));
        p.setPen(QPen(QColor(tone + 25, tone + 8, tone - 10, 80), 1 + rng.bounded(3)));
        const int x0 = static_cast<int>(rng.bounded(w));
        p.drawLine(x0 - w / 2, y, x0 + w / 2, y + static_cast<int>(rng.bounded(7)) - 3);
    }
    return desk;
}

// Where page i lies once put down: its centre and turn, a little different for every page.
struct Placement {
    QPointF centre;
    double angle;
};

Placement placement(int page, int w, int h, unsigned seed) {
    QRandomGenerator rng(seed * 977 + static_cast<unsigned>(page) * 13 + 1);
    const double dx = (rng.generateDouble() - 0.5) * w * 0.05;
    const double dy = (rng.generateDouble() - 0.5) * h * 0.04;
    const double angle = (rng.generateDouble() - 0.5) * 6.0;
    return {QPointF(w / 2.0 + dx, h / 2.0 + dy), angle};
}

void drawHand(QPainter& p, QPointF at, double scale) {
    // A palm and four fingers reaching left, in a skin tone: a shape the size and colour of a hand.
    p.save();
    p.translate(at);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(222, 170, 138));
    p.drawEllipse(QPointF(scale * 0.55, 0), scale * 0.42, scale * 0.36);
    for (int i = 0; i < 4; ++i)
        p.drawRoundedRect(QRectF(-scale * 0.25, -scale * 0.3 + i * scale * 0.17, scale * 0.6, scale * 0.13),
                          scale * 0.06, scale * 0.06);
    p.setBrush(QColor(196, 146, 116));
    p.drawRoundedRect(QRectF(scale * 0.7, -scale * 0.12, scale * 0.9, scale * 0.3), scale * 0.1, scale * 0.1);
    p.restore();
}

// The cached pictures of one plan's look.
struct Scene {
    QImage desk;
    std::vector<QImage> pages;
    std::vector<Placement> places;
    std::vector<std::vector<uint8_t>> noise; // per-pixel offsets, a few sets used in turn
};

const Scene& sceneFor(const PageClipPlan& plan) {
    static std::map<std::tuple<int, int, int, unsigned>, std::unique_ptr<Scene>> cache;
    auto& slot = cache[{plan.width, plan.height, plan.pages, plan.seed}];
    if (!slot) {
        slot = std::make_unique<Scene>();
        slot->desk = renderDesk(plan.width, plan.height, plan.seed);
        const int pageW = static_cast<int>(plan.height * kPageHeight / kAspect);
        for (int i = 0; i < plan.pages; ++i) {
            slot->pages.push_back(renderPage(i, pageW, plan.seed));
            slot->places.push_back(placement(i, plan.width, plan.height, plan.seed));
        }
        QRandomGenerator rng(plan.seed + 99);
        for (int k = 0; k < 5; ++k) {
            std::vector<uint8_t> n(static_cast<std::size_t>(plan.width) * plan.height);
            for (auto& v : n)
                v = static_cast<uint8_t>(rng.bounded(13)); // 0..12, centred at 6: about +-6 levels
            slot->noise.push_back(std::move(n));
        }
    }
    return *slot;
}

void drawPageAt(QPainter& p, const QImage& page, QPointF centre, double angle) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    const QRectF box(-page.width() / 2.0, -page.height() / 2.0, page.width(), page.height());
    p.fillRect(box.translated(3, 4), QColor(20, 16, 12, 110)); // its shadow
    p.drawImage(box, page);
    p.restore();
}

double smooth(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

} // namespace

QString pageMark(int page) {
    return QStringLiteral("QXPAGE-%1").arg(page + 1, 2, 10, QLatin1Char('0'));
}

QImage renderPage(int page, int width, unsigned seed) {
    const int height = static_cast<int>(width * kAspect);
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(QColor(248, 247, 242));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator rng(seed * 7919 + static_cast<unsigned>(page) * 104729 + 3);
    const double u = width / 100.0;
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(std::max(6, static_cast<int>(u * 9)));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(25, 25, 30));
    p.drawText(QRectF(u * 6, u * 4, width - u * 12, u * 12), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("第%1页  %2").arg(page + 1).arg(page + 1));
    // Blocks of "print": lines of words of random lengths, their layout (columns, indents, a table, a
    // box) different for every page, so each page is its own content and not only its number.
    double y = u * 20;
    const int blocks = 3 + static_cast<int>(rng.bounded(3));
    for (int b = 0; b < blocks && y < height - u * 45; ++b) {
        const int kind = static_cast<int>(rng.bounded(3));
        const int lines = 3 + static_cast<int>(rng.bounded(6));
        if (kind == 2) { // a table
            const int cols = 2 + static_cast<int>(rng.bounded(3));
            const double rowH = u * 6;
            p.setPen(QPen(QColor(40, 40, 40), std::max(1.0, u * 0.4)));
            for (int r = 0; r <= lines; ++r)
                p.drawLine(QPointF(u * 6, y + r * rowH), QPointF(width - u * 6, y + r * rowH));
            for (int c = 0; c <= cols; ++c) {
                const double x = u * 6 + c * (width - u * 12) / cols;
                p.drawLine(QPointF(x, y), QPointF(x, y + lines * rowH));
            }
            y += lines * rowH + u * 6;
            continue;
        }
        const double indent = kind == 1 ? u * 20 : u * 6;
        for (int l = 0; l < lines; ++l) {
            double x = indent + (l == 0 ? u * 6 : 0);
            const double end = width - u * 6 - (l == lines - 1 ? rng.bounded(40) * u : 0);
            while (x < end) {
                const double word = u * (3 + rng.bounded(9));
                p.fillRect(QRectF(x, y, std::min(word, end - x), u * 2.2), QColor(35, 35, 40));
                x += word + u * 1.6;
            }
            y += u * 4.6;
        }
        y += u * 5;
    }
    // The mark: a QR code of the page's text at the bottom right, on a clear margin.
    ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
    writer.setMargin(0);
    const ZXing::BitMatrix bits = writer.encode(pageMark(page).toStdString(), 0, 0);
    const double side = width * 0.34;
    const double module = side / bits.width();
    const QPointF origin(width - side - u * 6, height - side - u * 6);
    p.fillRect(QRectF(origin - QPointF(module * 3, module * 3), QSizeF(side + module * 6, side + module * 6)),
               QColor(255, 255, 255));
    for (int yy = 0; yy < bits.height(); ++yy)
        for (int xx = 0; xx < bits.width(); ++xx)
            if (bits.get(xx, yy))
                p.fillRect(
                    QRectF(origin.x() + xx * module, origin.y() + yy * module, module + 0.3, module + 0.3),
                    Qt::black);
    return img;
}

PageClipTimes pageClipTimes(const PageClipPlan& plan) {
    PageClipTimes times;
    double t = plan.emptyStart;
    for (int i = 0; i < plan.pages; ++i) {
        t += plan.turn;
        times.settled.push_back(t);
        t += i == plan.longStillPage ? plan.longStill : plan.still;
    }
    times.end = t + plan.turn + plan.emptyEnd;
    return times;
}

QImage renderClipFrame(const PageClipPlan& plan, int n) {
    const Scene& scene = sceneFor(plan);
    const double t = static_cast<double>(n) / plan.fps;
    const int w = plan.width;
    const int h = plan.height;
    const double handScale = h * 0.28;
    QImage frame = scene.desk.copy();
    {
        QPainter p(&frame);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setRenderHint(QPainter::Antialiasing);
        // Which pages lie, which one moves and where the hand is.
        double start = plan.emptyStart;
        int lying = 0;
        std::optional<std::pair<int, double>> moving; // the page and how far its turn has gone (0..1)
        for (int i = 0; i < plan.pages; ++i) {
            if (t < start)
                break;
            if (t < start + plan.turn) {
                moving = std::make_pair(i, (t - start) / plan.turn);
                break;
            }
            lying = i + 1;
            start += plan.turn + (i == plan.longStillPage ? plan.longStill : plan.still);
        }
        const double takeAway = start; // after the last page's still time
        const bool takingAway = !moving && lying == plan.pages && t >= takeAway;
        const double awayShift =
            takingAway ? smooth((t - takeAway) / plan.turn) * (w * 1.2) : 0.0; // the pile slides out right
        const bool gone = takingAway && t >= takeAway + plan.turn;
        if (!gone)
            for (int i = 0; i < lying; ++i)
                drawPageAt(p, scene.pages[i], scene.places[i].centre + QPointF(awayShift, 0),
                           scene.places[i].angle);
        if (moving) {
            const auto [i, f] = *moving;
            // The first 60 % of the turn brings the page from beyond the right edge; then the hand
            // lets go and leaves to the right.
            const double bring = smooth(f / 0.6);
            const Placement& place = scene.places[i];
            const QPointF from = place.centre + QPointF(w * 0.9, -h * 0.1);
            const QPointF centre = from + (place.centre - from) * bring;
            const double angle = place.angle + (1 - bring) * 12.0;
            drawPageAt(p, scene.pages[i], centre, angle);
            const QPointF grip = centre + QPointF(scene.pages[i].width() * 0.35, 0);
            const double leave = smooth((f - 0.6) / 0.4);
            drawHand(p, grip + QPointF(leave * w * 0.7, leave * h * 0.15), handScale);
        } else if (takingAway && !gone) {
            const QPointF grip(w / 2.0 + scene.pages[0].width() * 0.35 + awayShift, h / 2.0);
            drawHand(p, grip, handScale);
        }
    }
    // The camera: an exposure that drifts slowly (a cloud, a lamp warming up) and sensor noise.
    const double gain = 1.0 + 0.06 * std::sin(2 * M_PI * t / 13.0);
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v)
        lut[v] = static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(v * gain)), 0, 255));
    const std::vector<uint8_t>& noise = scene.noise[static_cast<std::size_t>(n) % scene.noise.size()];
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        const uint8_t* nz = noise.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const int d = static_cast<int>(nz[x]) - 6;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(lut[qRed(c)] + d, 0, 255), std::clamp(lut[qGreen(c)] + d, 0, 255),
                           std::clamp(lut[qBlue(c)] + d, 0, 255));
        }
    }
    return frame;
}

bool writePageClip(const PageClipPlan& plan, const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    const QString suffix = path.section(QLatin1Char('.'), -1).toLower();
    QString encoder;
    if (suffix == QLatin1String("avi"))
        encoder = QStringLiteral("jpegenc quality=90 ! avimux");
    else if (suffix == QLatin1String("mp4"))
        encoder = QStringLiteral("x264enc speed-preset=ultrafast key-int-max=15 ! h264parse ! mp4mux");
    else if (suffix == QLatin1String("mkv"))
        encoder = QStringLiteral("x264enc speed-preset=ultrafast key-int-max=15 ! h264parse ! matroskamux");
    else if (suffix == QLatin1String("webm"))
        encoder = QStringLiteral("vp8enc deadline=1 ! webmmux");
    else
        return fail(QStringLiteral("no encoder for .%1").arg(suffix));
    const QString description =
        QStringLiteral("appsrc name=frames format=time ! videoconvert ! %1 ! filesink name=out").arg(encoder);
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), &parseError);
    if (!pipeline || parseError) {
        const QString why =
            parseError ? QString::fromUtf8(parseError->message) : QStringLiteral("no pipeline");
        if (parseError)
            g_error_free(parseError);
        if (pipeline)
            gst_object_unref(pipeline);
        return fail(why);
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "frames");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", QFile::encodeName(path).constData(), nullptr);
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                        plan.width, "height", G_TYPE_INT, plan.height, "framerate",
                                        GST_TYPE_FRACTION, plan.fps, 1, nullptr);
    g_object_set(src, "caps", caps, "block", TRUE, "max-bytes", guint64{8u << 20}, nullptr);
    gst_caps_unref(caps);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const int frames = static_cast<int>(std::ceil(pageClipTimes(plan).end * plan.fps));
    bool ok = true;
    for (int n = 0; n < frames && ok; ++n) {
        const QImage frame = renderClipFrame(plan, n);
        const gsize bytes = static_cast<gsize>(frame.sizeInBytes());
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
        gst_buffer_fill(buffer, 0, frame.constBits(), bytes);
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(static_cast<guint64>(n), GST_SECOND, plan.fps);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, plan.fps);
        ok = gst_app_src_push_buffer(GST_APP_SRC(src), buffer) == GST_FLOW_OK;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    QString why;
    if (!msg)
        why = QStringLiteral("the encoder did not finish");
    else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError* err = nullptr;
        gst_message_parse_error(msg, &err, nullptr);
        why = QString::fromUtf8(err ? err->message : "error");
        if (err)
            g_error_free(err);
    }
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(src);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    if (!ok && why.isEmpty())
        why = QStringLiteral("the encoder refused a frame");
    if (!why.isEmpty())
        return fail(why);
    return true;
}

std::vector<QString> readMarks(const QString& picturePath) {
    QImageReader reader(picturePath);
    return readMarks(reader.read());
}

std::vector<QString> readMarks(const QImage& picture) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    std::vector<QString> marks;
    if (grey.isNull())
        return marks;
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                static_cast<int>(grey.bytesPerLine()));
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints))
        if (r.isValid())
            marks.push_back(QString::fromStdString(r.text()));
    return marks;
}

} // namespace qx::test
