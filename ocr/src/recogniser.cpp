// The recogniser over Tesseract's API, fed Leptonica pictures as its own command feeds them.
#include "qx/ocr/recogniser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <optional>
#include <thread>

namespace qx::ocr {

namespace {

// Below this OSD confidence a page is read as it was captured: a guess that turned an upright page
// would lose all its text, a missed turn only that page's.
constexpr float kMinOrientationConfidence = 2.0F;

// Tesseract asks OpenMP for four threads in its network layers, regions far too short to share out:
// on two cores the threads spend more time waking each other than working (a page took 5.9 s
// against 1.3 s on one thread, most of it in the kernel). With dynamic adjustment on and one thread
// wanted, libgomp runs those regions on the calling thread alone. These are the calling thread's own
// settings, so every thread that runs the engine makes them.
void oneThreadForTesseract() {
    omp_set_dynamic(1);
    omp_set_num_threads(1);
}

struct PixFree {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixFree>;

QStringList packsOf(const QString& languages) {
    return languages.split(QLatin1Char('+'), Qt::SkipEmptyParts);
}

} // namespace

bool validLanguages(const QString& languages) {
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_]+(\\+[A-Za-z0-9_]+)*$"));
    return form.match(languages).hasMatch();
}

QString Recogniser::dataFolder() {
    const QByteArray prefix = qgetenv("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return QDir(QFile::decodeName(prefix)).absolutePath() + QLatin1Char('/');
    // What Debian's libtesseract5 looks in when nothing says otherwise.
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata/");
}

struct Recogniser::Engine {
    tesseract::TessBaseAPI text;
    tesseract::TessBaseAPI orientation;
    bool textReady = false;
    bool orientationReady = false;
    QString failure; // why the text engine could not start; it is not tried again
    bool tried = false;

    static void quiet(tesseract::TessBaseAPI& api) {
        // Its progress lines ("Estimating resolution as ...") are not the container's to see.
        api.SetVariable("debug_file", "/dev/null");
    }

    void start(const QString& languages) {
        tried = true;
        oneThreadForTesseract();
        if (!validLanguages(languages)) {
            failure = QStringLiteral("语言设置无效:") + languages;
            return;
        }
        const QString folder = dataFolder();
        QStringList missing;
        for (const QString& pack : packsOf(languages))
            if (!QFileInfo(folder + pack + QStringLiteral(".traineddata")).isFile())
                missing << pack;
        if (!missing.isEmpty()) {
            failure = QStringLiteral("未安装语言包%1(%2)").arg(missing.join(QLatin1Char('+')), folder);
            return;
        }
        const QByteArray path = QFile::encodeName(folder);
        if (text.Init(path.constData(), languages.toUtf8().constData(), tesseract::OEM_DEFAULT) != 0) {
            failure = QStringLiteral("语言包%1无法加载(%2)").arg(languages, folder);
            return;
        }
        quiet(text);
        text.SetPageSegMode(tesseract::PSM_AUTO);
        textReady = true;
        if (QFileInfo(folder + QStringLiteral("osd.traineddata")).isFile() &&
            orientation.Init(path.constData(), "osd", tesseract::OEM_DEFAULT) == 0) {
            quiet(orientation);
            orientation.SetPageSegMode(tesseract::PSM_OSD_ONLY);
            orientationReady = true;
        }
    }

    // OSD's "orientation in degrees": the clockwise turn the page's text was given; 0 when unsure.
    int turnOf(Pix* pix) {
        oneThreadForTesseract();
        orientation.SetImage(pix);
        int degrees = 0;
        float confidence = 0;
        const char* script = nullptr;
        float scriptConfidence = 0;
        const bool found =
            orientation.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
        orientation.Clear();
        return found && confidence >= kMinOrientationConfidence &&
                       (degrees == 90 || degrees == 180 || degrees == 270)
                   ? degrees
                   : 0;
    }

    // The words of `pix` read as it is; nothing when the engine fails on it.
    std::optional<pdf::TextLayer> words(Pix* pix, int turn) {
        text.SetImage(pix);
        if (text.Recognize(nullptr) != 0) {
            text.Clear();
            return std::nullopt;
        }
        pdf::TextLayer layer;
        layer.width = static_cast<int>(pixGetWidth(pix));
        layer.height = static_cast<int>(pixGetHeight(pix));
        layer.turn = turn;
        // A word takes its line's top and bottom: words of one line then share one size and baseline,
        // so readers keep them in one line in order (a flat glyph such as "一" has an ink box a few
        // pixels high, which alone would make a line of its own).
        std::unique_ptr<tesseract::ResultIterator> it(text.GetIterator());
        int lineTop = 0;
        int lineBottom = 0;
        if (it) {
            do {
                if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
                    int l = 0, r = 0;
                    it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &lineTop, &r, &lineBottom);
                }
                if (it->Empty(tesseract::RIL_WORD))
                    continue;
                const std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_WORD));
                const QString word = QString::fromUtf8(utf8.get()).trimmed();
                int left = 0, top = 0, right = 0, bottom = 0;
                if (word.isEmpty() || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                    continue;
                layer.words.push_back({word, double(left), double(std::min(top, lineTop)), double(right),
                                       double(std::max(bottom, lineBottom))});
            } while (it->Next(tesseract::RIL_WORD));
        }
        text.Clear();
        return layer;
    }

    Recognition read(PixPtr pix) {
        oneThreadForTesseract();
        Recognition result;
        // Most pages lie upright: their text is read while the orientation is found on the other
        // core (OSD takes nearly as long as the reading itself), and only a page found turned is
        // read again, upright. The detector gets a copy: Leptonica's reference counts are not
        // shared between threads.
        int turn = 0;
        std::thread detector;
        PixPtr copy;
        if (!orientationReady) {
            result.note = QStringLiteral("未安装方向检测语言包osd，按拍摄方向识别");
        } else if ((copy = PixPtr(pixCopy(nullptr, pix.get())))) {
            detector = std::thread([this, &copy, &turn] { turn = turnOf(copy.get()); });
        }
        std::optional<pdf::TextLayer> layer = words(pix.get(), 0);
        if (detector.joinable())
            detector.join();
        else if (orientationReady)
            turn = turnOf(pix.get());
        if (turn != 0) {
            PixPtr upright(pixRotateOrth(pix.get(), (360 - turn) / 90));
            if (!upright) {
                result.failure = QStringLiteral("图片无法转正");
                return result;
            }
            result.note = QStringLiteral("文字方向:顺时针%1度").arg(turn);
            layer = words(upright.get(), turn);
        }
        if (!layer) {
            result.failure = QStringLiteral("识别引擎出错");
            return result;
        }
        result.layer = std::move(layer);
        return result;
    }
};

Recogniser::Recogniser(QString languages)
    : m_engine(std::make_unique<Engine>()), m_languages(std::move(languages)) {}

Recogniser::~Recogniser() = default;

Recognition Recogniser::recogniseJpeg(const QByteArray& jpeg) {
    if (!m_engine->tried)
        m_engine->start(m_languages);
    if (!m_engine->textReady)
        return Recognition{std::nullopt, m_engine->failure, {}, true};
    PixPtr pix(
        pixReadMem(reinterpret_cast<const l_uint8*>(jpeg.constData()), static_cast<size_t>(jpeg.size())));
    if (!pix)
        return Recognition{std::nullopt, QStringLiteral("图片无法解码"), {}};
    return m_engine->read(std::move(pix));
}

Recognition Recogniser::recogniseJpegFile(const QString& path) {
    if (!m_engine->tried)
        m_engine->start(m_languages);
    if (!m_engine->textReady)
        return Recognition{std::nullopt, m_engine->failure, {}, true};
    PixPtr pix(pixRead(QFile::encodeName(path).constData()));
    if (!pix)
        return Recognition{std::nullopt, QStringLiteral("图片无法读取:") + path, {}};
    return m_engine->read(std::move(pix));
}

} // namespace qx::ocr
