// Virtual document cameras: the QX_VIRTUAL_CAMERAS syntax, the desk-and-document scene, YUY2 frames.
#include "qx/media/virtual_camera.h"

#include <QFont>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace qx::media {

namespace {

constexpr int kMaxVirtualSide = 8192;
constexpr int kNoiseVariants = 4;
constexpr unsigned kBrightness = 1;
constexpr unsigned kContrast = 2;
constexpr unsigned kSaturation = 3;

bool parseHexId(const QString& text, unsigned& out) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,4}$"));
    if (!hex.match(text).hasMatch())
        return false;
    out = text.toUInt(nullptr, 16);
    return true;
}

uint8_t clampByte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 studio-range conversion of two RGB pixels into one YUY2 macro-pixel.
inline void toYuy2(QRgb a, QRgb b, int noiseA, int noiseB, uint8_t* out) {
    const int ra = qRed(a), ga = qGreen(a), ba = qBlue(a);
    const int rb = qRed(b), gb = qGreen(b), bb = qBlue(b);
    const int ya = ((66 * ra + 129 * ga + 25 * ba + 128) >> 8) + 16;
    const int yb = ((66 * rb + 129 * gb + 25 * bb + 128) >> 8) + 16;
    const int r = (ra + rb) / 2, g = (ga + gb) / 2, bl = (ba + bb) / 2;
    const int u = ((-38 * r - 74 * g + 112 * bl + 128) >> 8) + 128;
    const int v = ((112 * r - 94 * g - 18 * bl + 128) >> 8) + 128;
    out[0] = clampByte(ya + noiseA);
    out[1] = clampByte(u);
    out[2] = clampByte(yb + noiseB);
    out[3] = clampByte(v);
}

std::vector<uint8_t> convertScene(const QImage& rgb, uint32_t seed, int noiseAmplitude) {
    const int w = rgb.width() & ~1;
    const int h = rgb.height();
    std::vector<uint8_t> out(static_cast<std::size_t>(w) * h * 2);
    uint32_t state = seed * 2654435761u + 1;
    auto noise = [&]() {
        if (noiseAmplitude == 0)
            return 0;
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) % (2 * noiseAmplitude + 1)) - noiseAmplitude;
    };
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* dst = out.data() + static_cast<std::size_t>(y) * w * 2;
        for (int x = 0; x < w; x += 2, dst += 4) {
            const int na = noise();
            const int nb = noise();
            toYuy2(line[x], line[x + 1], na, nb, dst);
        }
    }
    return out;
}

// EAN-13 modules (95 of them, 1 = bar) for a 12-digit number; the check digit is computed.
QString ean13Digits(const QString& twelve) {
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (twelve[i].unicode() - '0') * (i % 2 ? 3 : 1);
    return twelve + QChar('0' + (10 - sum % 10) % 10);
}

std::vector<bool> ean13Modules(const QString& digits) {
    static const char* const l[] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                    "0110001", "0101111", "0111011", "0110111", "0001011"};
    static const char* const g[] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                                    "0111001", "0000101", "0010001", "0001001", "0010111"};
    static const char* const parity[] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                         "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
    std::vector<bool> m;
    auto put = [&](const char* bits, bool invert) {
        for (const char* b = bits; *b; ++b)
            m.push_back((*b == '1') != invert);
    };
    put("101", false);
    const char* p = parity[digits[0].unicode() - '0'];
    for (int i = 1; i <= 6; ++i) {
        const int d = digits[i].unicode() - '0';
        put(p[i - 1] == 'L' ? l[d] : g[d], false);
    }
    put("01010", false);
    for (int i = 7; i <= 12; ++i)
        put(l[digits[i].unicode() - '0'], true);
    put("101", false);
    return m;
}

void drawDesk(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(74, 58, 46));
    // Wood-like grain: long, faint streaks of a few tones.
    QRandomGenerator rng(7);
    for (int i = 0; i < h / 3; ++i) {
        const int y = static_cast<int>(rng.bounded(h));
        const int tone = 50 + static_cast<int>(rng.bounded(40));
        p.setPen(QPen(QColor(tone + 20, tone + 5, tone - 10, 90), 1 + rng.bounded(3)));
        const int x0 = static_cast<int>(rng.bounded(w));
        p.drawLine(x0 - w / 2, y, x0 + w / 2, y + static_cast<int>(rng.bounded(9)) - 4);
    }
}

constexpr double kPageHeight = 0.84; // of the scene's height
constexpr double kPageTurn = 4.5;    // degrees, clockwise

void drawPage(QPainter& p, int w, int h) {
    const double pageH = h * kPageHeight;
    const double pageW = pageH / 1.414;
    p.save();
    p.translate(w / 2.0, h / 2.0);
    p.rotate(kPageTurn);
    const QRectF page(-pageW / 2, -pageH / 2, pageW, pageH);
    p.fillRect(page.translated(pageH * 0.008, pageH * 0.01), QColor(30, 24, 20, 150)); // shadow
    p.fillRect(page, QColor(250, 250, 246));

    const double unit = pageH / 100.0;
    QFont title(QStringLiteral("WenQuanYi Zen Hei"));
    title.setPixelSize(std::max(4, static_cast<int>(unit * 3.2)));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(20, 20, 20));
    const double left = page.left() + unit * 7;
    const double textW = pageW - unit * 14;
    p.drawText(QRectF(left, page.top() + unit * 6, textW, unit * 5), Qt::AlignHCenter,
               QStringLiteral("业务受理单  SERVICE FORM"));

    QFont body = title;
    body.setBold(false);
    body.setPixelSize(std::max(3, static_cast<int>(unit * 1.7)));
    p.setFont(body);
    const QStringList lines{
        QStringLiteral("申请人姓名：张三        证件号码：110101199001011234"),
        QStringLiteral("Applicant: ZHANG SAN    Account: 6222 0200 1234 5678"),
        QStringLiteral("办理事项：开立个人结算账户，并开通网上银行服务。"),
        QStringLiteral("Service: opening of a personal account with online banking."),
        QStringLiteral("本人承诺以上信息真实、准确、完整，并同意相关条款。"),
        QStringLiteral("I confirm that the information above is true and complete."),
        QStringLiteral("联系地址：北京市东城区东长安街一号  邮编 100005"),
        QStringLiteral("Address: No. 1 East Chang'an Avenue, Beijing 100005"),
        QStringLiteral("受理网点：第三营业部   柜员号：0827   日期：2026-12-08"),
    };
    double y = page.top() + unit * 16;
    for (int i = 0; i < 18; ++i) {
        p.drawText(QPointF(left, y), lines[i % lines.size()]);
        y += unit * 3.4;
    }

    // A barcode strip under the text.
    const QString digits = ean13Digits(QStringLiteral("690123456789"));
    const std::vector<bool> modules = ean13Modules(digits);
    const double module = std::max(1.0, unit * 0.38);
    const double barTop = page.bottom() - unit * 20;
    for (std::size_t i = 0; i < modules.size(); ++i)
        if (modules[i])
            p.fillRect(QRectF(left + unit * 2 + i * module, barTop, module, unit * 9), Qt::black);
    p.drawText(QPointF(left + unit * 2, barTop + unit * 11.5), digits);

    // A red stamp over the end of the text, as a seal is put, clear of the barcode.
    const QPointF centre(page.right() - unit * 15, page.bottom() - unit * 33);
    const double r = unit * 9;
    p.setPen(QPen(QColor(205, 30, 35, 210), unit * 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r, r);
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double rr = (i % 2 ? 0.38 : 0.95) * r * 0.35;
        const QPointF pt(centre.x() + rr * std::cos(a), centre.y() + rr * std::sin(a));
        i == 0 ? star.moveTo(pt) : star.lineTo(pt);
    }
    star.closeSubpath();
    p.fillPath(star, QColor(205, 30, 35, 210));
    QFont seal = body;
    seal.setPixelSize(std::max(3, static_cast<int>(unit * 1.6)));
    p.setFont(seal);
    p.drawText(QRectF(centre.x() - r, centre.y() + r * 0.35, 2 * r, r * 0.5), Qt::AlignHCenter,
               QStringLiteral("业务专用章"));
    p.restore();
}

} // namespace

std::optional<std::vector<VirtualCameraSpec>> parseVirtualCameras(const QString& text, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    std::vector<VirtualCameraSpec> out;
    static const QRegularExpression sizeForm(QStringLiteral("^(\\d+)[xX](\\d+)(/mjpg)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression optionForm(QStringLiteral("^(stall|unplug)-after=(\\d+)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    for (const QString& rawCamera : text.split(QLatin1Char(','))) {
        const QString camera = rawCamera.trimmed();
        if (camera.isEmpty())
            continue;
        // The options follow the sizes, each after a '!'; they are split off first, since a file's
        // path may hold a ':'.
        QStringList sizesAndOptions = camera.split(QLatin1Char('!'));
        const QStringList parts = sizesAndOptions.takeFirst().split(QLatin1Char(':'));
        if (parts.size() != 2 && parts.size() != 3)
            return fail(QStringLiteral("\"%1\" is not [VID:]PID:SIZES").arg(camera));
        VirtualCameraSpec spec;
        if (parts.size() == 3 && !parseHexId(parts[0].trimmed(), spec.vendorId))
            return fail(QStringLiteral("\"%1\" is no hexadecimal vendor id").arg(parts[0]));
        if (!parseHexId(parts[parts.size() - 2].trimmed(), spec.productId))
            return fail(QStringLiteral("\"%1\" is no hexadecimal product id").arg(parts[parts.size() - 2]));
        const QString sizes = parts.last();
        for (const QString& rawSize : sizes.split(QLatin1Char(';'))) {
            const QString size = rawSize.trimmed();
            if (size.isEmpty())
                continue;
            const auto m = sizeForm.match(size);
            if (!m.hasMatch())
                return fail(QStringLiteral("\"%1\" is no WIDTHxHEIGHT size").arg(size));
            const int w = m.captured(1).toInt();
            const int h = m.captured(2).toInt();
            // YUY2 pairs pixels, so widths are even.
            if (w < 2 || h < 2 || w > kMaxVirtualSide || h > kMaxVirtualSide || w % 2)
                return fail(QStringLiteral("%1 is no usable camera size").arg(size));
            const bool mjpg = !m.captured(3).isEmpty();
            spec.formats.push_back(VideoFormat{mjpg ? QStringLiteral("MJPG") : QStringLiteral("YUY2"), w, h,
                                               virtualFrameRate(w, h), 1});
        }
        if (spec.formats.empty())
            return fail(QStringLiteral("\"%1\" offers no size").arg(camera));
        bool fileGiven = false;
        for (const QString& rawOption : sizesAndOptions) {
            const QString option = rawOption.trimmed();
            if (option.startsWith(QLatin1String("file="), Qt::CaseInsensitive)) {
                if (fileGiven)
                    return fail(QStringLiteral("\"%1\" gives file= twice").arg(camera));
                fileGiven = true;
                spec.videoFile = QString::fromUtf8(QByteArray::fromPercentEncoding(option.mid(5).toUtf8()));
                if (spec.videoFile.trimmed().isEmpty())
                    return fail(QStringLiteral("\"%1\" names no video file").arg(option));
                if (spec.videoFile.contains(QChar(0)))
                    return fail(QStringLiteral("\"%1\" names a file with a NUL in its path").arg(option));
                continue;
            }
            if (option.compare(QLatin1String("loop"), Qt::CaseInsensitive) == 0) {
                if (spec.loop)
                    return fail(QStringLiteral("\"%1\" gives loop twice").arg(camera));
                spec.loop = true;
                continue;
            }
            const auto m = optionForm.match(option);
            if (!m.hasMatch())
                return fail(QStringLiteral("\"%1\" is none of stall-after=N, unplug-after=N, file=PATH, loop")
                                .arg(option));
            bool ok = false;
            const uint64_t frames = m.captured(2).toULongLong(&ok);
            if (!ok)
                return fail(QStringLiteral("%1 is no frame count").arg(m.captured(2)));
            const bool stall = m.captured(1).compare(QLatin1String("stall"), Qt::CaseInsensitive) == 0;
            std::optional<uint64_t>& slot = stall ? spec.stallAfter : spec.unplugAfter;
            if (slot)
                return fail(QStringLiteral("\"%1\" gives %2-after twice")
                                .arg(camera, QLatin1String(stall ? "stall" : "unplug")));
            slot = frames;
        }
        if (spec.loop && spec.videoFile.isEmpty())
            return fail(QStringLiteral("\"%1\" loops, but plays no video file (file=PATH)").arg(camera));
        out.push_back(std::move(spec));
    }
    return out;
}

QString describeVirtualCamera(const VirtualCameraSpec& spec) {
    QStringList sizes;
    for (const VideoFormat& f : spec.formats)
        sizes.push_back(QStringLiteral("%1x%2").arg(f.width).arg(f.height) +
                        (f.fourcc == QLatin1String("MJPG") ? QStringLiteral("/mjpg") : QString()));
    QString text =
        QString::asprintf("%04x:%04x:", spec.vendorId, spec.productId) + sizes.join(QLatin1Char(';'));
    if (spec.stallAfter)
        text += QStringLiteral("!stall-after=%1").arg(*spec.stallAfter);
    if (spec.unplugAfter)
        text += QStringLiteral("!unplug-after=%1").arg(*spec.unplugAfter);
    if (!spec.videoFile.isEmpty())
        text +=
            QStringLiteral("!file=") + QString::fromLatin1(spec.videoFile.toUtf8().toPercentEncoding("/~"));
    if (spec.loop)
        text += QStringLiteral("!loop");
    return text;
}

int virtualFrameRate(int width, int height) {
    return static_cast<long long>(width) * height <= 1920LL * 1080 ? 30 : 15;
}

namespace {

// The cameras unplugged in this process, by list position and description: a camera read anew from
// the same description is the camera that was unplugged.
std::mutex g_unpluggedMutex;
std::set<QString> g_unplugged;

QString unplugKey(const VirtualCameraSpec& spec, int index) {
    return QString::number(index) + QLatin1Char('|') + describeVirtualCamera(spec);
}

bool wasUnplugged(const VirtualCameraSpec& spec, int index) {
    std::lock_guard lock(g_unpluggedMutex);
    return g_unplugged.count(unplugKey(spec, index)) > 0;
}

} // namespace

VirtualCamera::VirtualCamera(VirtualCameraSpec spec, int index)
    : m_spec(std::move(spec)), m_index(index), m_unplugged(wasUnplugged(m_spec, m_index)) {}

void VirtualCamera::unplug() {
    m_unplugged = true;
    std::lock_guard lock(g_unpluggedMutex);
    g_unplugged.insert(unplugKey(m_spec, m_index));
}

std::vector<CameraControl> VirtualCamera::list() {
    return {
        {kBrightness, QStringLiteral("Brightness"), -100, 100, 1, 0, m_brightness.load()},
        {kContrast, QStringLiteral("Contrast"), 0, 200, 1, 100, m_contrast.load()},
        {kSaturation, QStringLiteral("Saturation"), 0, 200, 1, 100, m_saturation.load()},
    };
}

bool VirtualCamera::set(unsigned id, int value) {
    switch (id) {
    case kBrightness:
        m_brightness = std::clamp(value, -100, 100);
        return true;
    case kContrast:
        m_contrast = std::clamp(value, 0, 200);
        return true;
    case kSaturation:
        m_saturation = std::clamp(value, 0, 200);
        return true;
    default:
        return false;
    }
}

QImage VirtualCamera::renderDocumentScene(int width, int height) {
    QImage scene(width, height, QImage::Format_RGB32);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawDesk(p, width, height);
    drawPage(p, width, height);
    return scene;
}

std::array<QPointF, 4> VirtualCamera::documentCorners(int width, int height) {
    const double pageH = height * kPageHeight;
    const double pageW = pageH / 1.414;
    QTransform t;
    t.translate(width / 2.0, height / 2.0);
    t.rotate(kPageTurn);
    return {t.map(QPointF(-pageW / 2, -pageH / 2)), t.map(QPointF(pageW / 2, -pageH / 2)),
            t.map(QPointF(pageW / 2, pageH / 2)), t.map(QPointF(-pageW / 2, pageH / 2))};
}

VirtualCamera::Generator::Generator(const VirtualCamera& camera, int width, int height)
    : m_camera(camera), m_width(width & ~1), m_height(height) {
    const QString scenePath = qEnvironmentVariable("QX_VIRTUAL_SCENE");
    if (!scenePath.isEmpty()) {
        QImageReader reader(scenePath);
        reader.setAutoTransform(true);
        const QImage picture = reader.read();
        if (picture.isNull())
            qWarning("QX_VIRTUAL_SCENE %s cannot be read (%s); showing the document scene",
                     qPrintable(scenePath), qPrintable(reader.errorString()));
        else {
            // Still, so that captures of it repeat exactly: no drift and no noise.
            QImage frame(m_width, m_height, QImage::Format_RGB32);
            frame.fill(Qt::black);
            const QImage scaled =
                picture.scaled(m_width, m_height, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB32);
            QPainter(&frame).drawImage((m_width - scaled.width()) / 2, (m_height - scaled.height()) / 2,
                                       scaled);
            m_still = true;
            m_sceneWidth = m_width;
            m_variants.push_back(convertScene(frame, 0, 0));
            return;
        }
    }
    m_margin = std::max(4, m_width / 160) & ~1;
    m_sceneWidth = m_width + 2 * m_margin;
    const QImage scene = renderDocumentScene(m_sceneWidth, m_height + 2 * m_margin);
    for (int i = 0; i < kNoiseVariants; ++i)
        m_variants.push_back(convertScene(scene, static_cast<uint32_t>(i + 1), 3));
}

void VirtualCamera::Generator::frame(uint64_t n, uint8_t* out) const {
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * 2;
    const std::size_t sceneRowBytes = static_cast<std::size_t>(m_sceneWidth) * 2;
    int dx = 0, dy = 0;
    const std::vector<uint8_t>* source = &m_variants[0];
    if (!m_still) {
        // A slow drift of a few pixels, as a hand or a stand moves, and changing sensor noise.
        const double t = static_cast<double>(n) / virtualFrameRate(m_width, m_height);
        dx = (m_margin + static_cast<int>(std::lround(m_margin * 0.6 * std::sin(t * 2 * M_PI / 11.0)))) & ~1;
        dy = m_margin + static_cast<int>(std::lround(m_margin * 0.6 * std::sin(t * 2 * M_PI / 7.0 + 1.0)));
        source = &m_variants[n % m_variants.size()];
    }
    for (int y = 0; y < m_height; ++y)
        std::memcpy(out + y * rowBytes, source->data() + (y + dy) * sceneRowBytes + dx * 2, rowBytes);

    m_camera.adjust(out, frameBytes());
}

void VirtualCamera::adjust(uint8_t* yuy2, std::size_t bytes) const {
    const int brightness = m_brightness.load();
    const int contrast = m_contrast.load();
    const int saturation = m_saturation.load();
    if (brightness == 0 && contrast == 100 && saturation == 100)
        return;
    uint8_t lumaLut[256], chromaLut[256];
    for (int v = 0; v < 256; ++v) {
        lumaLut[v] = clampByte((v - 128) * contrast / 100 + 128 + brightness);
        chromaLut[v] = clampByte((v - 128) * saturation / 100 + 128);
    }
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        yuy2[i] = lumaLut[yuy2[i]];
        yuy2[i + 1] = chromaLut[yuy2[i + 1]];
    }
}

} // namespace qx::media
