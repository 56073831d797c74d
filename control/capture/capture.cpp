// Morvel: the four capture paths (normal, edge-finding, and their merge variants), the colour mode,
// rotation, the conversions to the requested format, custom names and the one-page PDF.
#include "control/capture/capture.h"

#include "control/capture/a4_pdf.h"
#include "control/capture/cameras.h"
#include "control/capture/capture_folders.h"
#include "control/capture/capture_names.h"
#include "control/capture/edge_preview.h"
#include "control/capture/preview.h"
#include "control/core/control_context.h"
#include "control/core/outside_libraries.h"
#include "control/core/process_modes.h"
#include "control/features/pdf_text.h"
#include "qx/imaging/colour_modes.h"
#include "qx/imaging/encoders.h"
#include "qx/platform/files.h"
#include "qx/platform/folders.h"

#include <QFileInfo>
#include <vector>

namespace qx::control {

using namespace automation;

namespace {

// How long a capture waits for the preview to deliver its frame.
constexpr int kFrameWaitMs = 5000;
// The pixels per inch of a field of view 12.112 inches wide, per pixel of capture width.
constexpr double kDpiPerPixel = 0.08256172861802936;
// The JPEG a PDF page holds is always of this quality.
constexpr int kPdfJpegQuality = 75;

QString mergeSuffix(const QString& format) {
    if (format == QLatin1String("tif"))
        return QStringLiteral("ForTifMerge.jpg");
    if (format == QLatin1String("pdf"))
        return QStringLiteral("ForPdfMerge.jpg");
    return QStringLiteral("ForJpgMerge.jpg");
}

// The BMP's path without its dot and extension, followed by the merge tail.
QString mergeJpegPath(const QString& bmp, const QString& format) {
    const qsizetype dot = bmp.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? bmp : bmp.left(dot)) + mergeSuffix(format);
}

// A step of the chain counts as done only when its file is there and holds something: the writers
// report their own failures, and this also catches a file removed behind the control's back.
bool written(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

} // namespace

void Capture::flush(Shot& shot) {
    for (const QString& line : std::as_const(shot.lines))
        writeLog(line);
    shot.lines.clear();
}

void Capture::applyColourMode(Shot& shot) {
    imaging::ColourResult result = imaging::ColourResult::Converted;
    switch (m_request.colourMode) {
    case 1:
        result = imaging::convertToGrey(shot.picture);
        shot.lines << QStringLiteral("图片转灰度");
        break;
    case 2:
        result = imaging::convertToBlackAndWhite(shot.picture, m_control.settings().bwThreshold);
        shot.lines << QStringLiteral("图片转黑白");
        break;
    case 3:
        result = imaging::enhanceColour(shot.picture);
        shot.lines << QStringLiteral("图片增强彩色");
        break;
    default:
        return;
    }
    if (result != imaging::ColourResult::Converted)
        shot.lines << QStringLiteral("颜色模式未应用:") + imaging::colourResultText(result);
}

void Capture::applyRotation(Shot& shot) {
    const short angle = m_request.rotation;
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) {
        m_result.rotationReset = true;
        return;
    }
    if (angle == 0)
        return;
    imaging::Picture turned = imaging::rotateClockwise(shot.picture, angle);
    // A picture that cannot be turned stays as it was captured.
    if (turned.isNull())
        shot.lines << QStringLiteral("旋转图片失败，保留未旋转的图片!");
    else
        shot.picture = std::move(turned);
}

const imaging::Picture& Capture::atOutputDpi(Shot& shot) const {
    if (shot.edge)
        shot.picture.dpiX = shot.picture.dpiY = shot.dpi;
    return shot.picture;
}

const imaging::Picture& Capture::atOwnDpi(Shot& shot) const {
    shot.picture.dpiX = shot.ownDpiX;
    shot.picture.dpiY = shot.ownDpiY;
    return shot.picture;
}

bool Capture::writeBmp(Shot& shot, const imaging::Picture& picture) {
    if (imaging::saveBmp(picture, shot.bmp))
        return true;
    // Nothing of the picture could be kept: none of the chain's lines stand, only this.
    shot.lines.clear();
    if (!shot.edge) {
        writeLog(QStringLiteral("抓图失败!"));
        m_control.errorBox(QStringLiteral(" 抓图失败."));
    }
    writeLog(QStringLiteral("写bmp文件失败，拍照失败!"));
    return false;
}

int Capture::keepBmp(Shot& shot, const QString& failureLine, int code) {
    // The captured picture is the user's: it stays as the BMP (at its own resolution, as the camera
    // or the DPI step gave it), and the container learns where it is.
    if (!writeBmp(shot, atOwnDpi(shot)))
        return kNotSaved;
    m_result.picture = shot.bmp;
    flush(shot);
    writeLog(failureLine);
    if (!written(shot.bmp)) {
        writeLog(QStringLiteral("图片文件不存在，拍照失败!"));
        return kNotSaved;
    }
    writeLog(QStringLiteral("已保留bmp图片:") + shot.bmp);
    return code;
}

int Capture::convert(Shot& shot) {
    const QString& format = m_lastFormat;
    const int quality = m_control.settings().jpegQuality;
    const bool edge = shot.edge;
    QString target;
    if (format == QLatin1String("bmp")) {
        if (!writeBmp(shot, atOutputDpi(shot)))
            return kNotSaved;
        target = shot.bmp;
    } else if (format == QLatin1String("jpg")) {
        target = withExtension(shot.bmp, QStringLiteral("jpg"));
        if (!imaging::saveJpeg(atOutputDpi(shot), target, quality) || !written(target))
            return keepBmp(shot, QStringLiteral("转换jpg失败!"));
        shot.lines << (edge ? QStringLiteral("图片转jpg成功") : QStringLiteral("转换jpg成功"));
    } else if (format == QLatin1String("tif")) {
        target = withExtension(shot.bmp, QStringLiteral("tif"));
        if (!imaging::saveTiffLzw(atOutputDpi(shot), target) || !written(target))
            return keepBmp(shot, QStringLiteral("转换Tif失败!"));
        shot.lines << QStringLiteral("转换Tif成功!");
    } else if (format == QLatin1String("gif")) {
        // The GIF is made of the JPEG the format has always gone through, decoded again.
        target = withExtension(shot.bmp, QStringLiteral("gif"));
        const std::optional<QByteArray> jpeg = imaging::encodeJpeg(atOutputDpi(shot), quality);
        std::optional<imaging::Picture> decoded = jpeg ? imaging::decodeJpeg(*jpeg) : std::nullopt;
        if (decoded && edge)
            decoded->dpiY = decoded->dpiX;
        if (!decoded || !imaging::saveGif(*decoded, target) || !written(target))
            return keepBmp(shot, QStringLiteral("转换gif失败!"));
        shot.lines << (edge ? QStringLiteral("图片转gif成功") : QStringLiteral("转换gif成功"));
    } else if (format == QLatin1String("pdf")) {
        // The page holds the picture's JPEG at its own resolution, on both paths.
        target = withExtension(shot.bmp, QStringLiteral("pdf"));
        const std::optional<QByteArray> jpeg = imaging::encodeJpeg(atOwnDpi(shot), kPdfJpegQuality);
        if (!jpeg)
            return keepBmp(shot, QStringLiteral("转换PDF失败!"));
        const auto log = [&shot](const QString& line) { shot.lines << line; };
        // The recogniser reads the page's JPEG in memory, the picture as the colour mode and rotation
        // left it: the words are those of the pixels the page shows.
        PdfText text({m_request.pdfText, m_request.textLanguages}, log);
        const std::optional<pdf::TextLayer> layer = text.ofJpeg(*jpeg);
        int code = writeA4Pdf({A4Page{QString(), *jpeg}}, pdf::capturePlacement, target, log,
                              [&layer](std::size_t) { return layer; });
        if (code == 0 && !written(target)) {
            shot.lines << QStringLiteral("创建PDF失败!");
            code = kPdfNotCreated;
        }
        // The PDF's own code says what went wrong; the BMP keeps the picture all the same.
        if (code != 0)
            return keepBmp(shot, QStringLiteral("转换PDF失败!"), code);
        shot.lines << QStringLiteral("转换PDF成功!");
    } else {
        // Any other format leaves the captured BMP as the result, on both paths.
        if (!writeBmp(shot, atOwnDpi(shot)))
            return kNotSaved;
        target = shot.bmp;
    }
    m_result.picture = target;
    flush(shot);
    if (m_stage)
        m_stage(Stage::FileWritten, target);
    return 0;
}

Capture::Naming Capture::applyCustomName() {
    const QString& wanted = m_request.customName;
    const QString current = m_result.picture.value_or(QString());
    if (wanted.isEmpty() || current.size() < 4)
        return Naming::None;
    // A name is a file name: a separator would move the picture out of the capture folder (a web page
    // can set this property).
    if (!isPlainName(wanted)) {
        writeLog(QStringLiteral("自定义图片名无效:") + wanted);
        return Naming::Failed;
    }
    const QString name = wanted + current.right(4);
    const QString target = current.left(current.lastIndexOf(QLatin1Char('/')) + 1) + name;
    // The rename replaces an older file of that name only once the picture is in its place, and the
    // picture takes the older file's permissions.
    if (target != current && !platform::renameReplacing(current, target)) {
        writeLog(QStringLiteral("自定义图片名失败:") + target);
        return Naming::Failed;
    }
    m_result.customName = name;
    m_result.picture = target;
    return Naming::Applied;
}

int Capture::finish(const char* namedLine, const char* doneLine) {
    const Naming naming = applyCustomName();
    if (naming == Naming::Applied)
        writeLog(QString::fromUtf8(namedLine));
    // Nothing is reported saved that is not on disk, whatever happened to it on the way.
    if (!written(m_result.picture.value_or(QString()))) {
        writeLog(QStringLiteral("图片文件不存在，拍照失败!"));
        return kNotSaved;
    }
    if (naming == Naming::Failed)
        return kBadCustomName;
    writeLog(QString::fromUtf8(doneLine));
    return 0;
}

CaptureResult Capture::Morvel(const CaptureRequest& request) {
    writeLog(QStringLiteral("开始拍照"));
    m_request = request;
    m_result = CaptureResult{};
    m_lastFormat = request.format.toLower();
    const bool merge = m_modes.mergeMode;
    m_result.code = m_edge.device() ? edgeCapture(merge) : normalCapture(merge);
    return m_result;
}

int Capture::normalCapture(bool merge) {
    if (!m_normal.isOn()) {
        writeLog(QStringLiteral("非预览状态，抓图失败!"));
        return kMorvelNoPreview;
    }
    if (!m_cameras.cameraPresent())
        return kMorvelNoCamera;
    const auto captureDir = CaptureFolders::captureFolder(m_request.saveFolder);
    if (!captureDir) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        writeLog(QStringLiteral("自定义图片路径错误!"));
        return kMorvelBadSavePath;
    }
    const QString folder = merge ? m_folders.mergeFolderFor(*captureDir) : *captureDir;

    // The last picture is no longer this call's answer.
    m_result.picture = QString();
    std::optional<imaging::Picture> frame = m_normal.grabNext(kFrameWaitMs);
    if (!frame) {
        writeLog(QStringLiteral("等待图像帧超时，抓图失败!"));
        return kMorvelFrameTimeout;
    }
    if (m_stage)
        m_stage(Stage::PictureTaken, QString());
    Shot shot;
    shot.picture = std::move(*frame);
    shot.bmp = platform::joinPath(folder, freeTimeStamp(folder) + QStringLiteral(".bmp"));
    shot.lines << (merge ? QStringLiteral("普通合并bmp拍照") : QStringLiteral("普通模式bmp拍照"));
    applyColourMode(shot);
    applyRotation(shot);
    shot.ownDpiX = shot.picture.dpiX;
    shot.ownDpiY = shot.picture.dpiY;

    const int code = merge ? finishMerge(shot, "普通合并拍照成功完成") : convert(shot);
    m_normal.recycle(std::move(shot.picture));
    if (merge || code != 0)
        return code;
    return finish("自定义图片名成功", "普通拍照成功完成!");
}

bool Capture::takeCapturedImage(KelpoDevice& device, int sourceDpi, imaging::Picture& picture) {
    const int32_t size = device.GetImageSize();
    const uint8_t* data = device.GetImageData();
    // An image this small cannot hold a picture: there is nothing to write.
    if (size <= 120 || !data) {
        writeLog(QStringLiteral("寻边图像数据无效，未写bmp文件!"));
        return false;
    }
    const short targetDpi = m_request.dpi;
    std::vector<uint8_t> converted;
    if (targetDpi != 0) {
        const auto resize = m_control.libraries().kelpoFilterImageResize;
        const int32_t length = resize ? resize(data, sourceDpi, targetDpi, nullptr) : 0;
        if (!resize) {
            // Without the DPI library the picture is kept at the camera's own resolution rather
            // than lost; the later steps still write pDPI as its resolution.
            writeLog(QStringLiteral("DPI转换库未加载，保存原始分辨率图片!"));
        } else if (length <= 120) {
            writeLog(QStringLiteral("DPI转换失败，保存原始分辨率图片!"));
        } else {
            converted.resize(static_cast<std::size_t>(length));
            if (resize(data, sourceDpi, targetDpi, converted.data()) != length) {
                writeLog(QStringLiteral("DPI转换失败，保存原始分辨率图片!"));
                converted.clear();
            }
        }
    }
    const char* bytes = reinterpret_cast<const char*>(converted.empty() ? data : converted.data());
    const qsizetype length = converted.empty() ? size : static_cast<qsizetype>(converted.size());
    std::optional<imaging::Picture> decoded = imaging::decodeBmp(QByteArrayView(bytes, length));
    if (!decoded || decoded->isNull()) {
        writeLog(QStringLiteral("寻边图像数据无效，未写bmp文件!"));
        return false;
    }
    picture = std::move(*decoded);
    return true;
}

int Capture::edgeCapture(bool merge) {
    if (!m_edge.isOn()) {
        writeLog(QStringLiteral("非寻边预览状态，抓图失败!"));
        return kMorvelNoPreview;
    }
    const short pDPI = m_request.dpi;
    if (pDPI < 0 || pDPI > kMaxOutputDpi) {
        writeLog(QStringLiteral("输出分辨率pDPI=%1无效(允许0到%2)，抓图失败!").arg(pDPI).arg(kMaxOutputDpi));
        return kMorvelBadDpi;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const auto captureDir = CaptureFolders::captureFolder(m_request.saveFolder);
    if (!captureDir) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        writeLog(QStringLiteral("自定义图片路径错误!"));
        return kMorvelBadSavePath;
    }
    const QString folder = merge ? m_folders.mergeFolderFor(*captureDir) : *captureDir;
    Shot shot;
    shot.edge = true;
    shot.bmp = platform::joinPath(folder, freeTimeStamp(folder, now) + QStringLiteral(".bmp"));
    const int sourceDpi = static_cast<int>(m_cameras.captureWidth() * kDpiPerPixel);
    shot.dpi = pDPI != 0 ? pDPI : sourceDpi;

    KelpoDevice* device = m_edge.device();
    if (device->GetDeviceState() != 0)
        return kMorvelNoCamera;
    if (device->Capture() == 0) {
        writeLog(QStringLiteral("capture拍照失败!"));
        return kMorvelDeviceFailed;
    }
    writeLog(QStringLiteral("capture成功"));
    if (const auto outcome = m_control.libraries().getKelpoCaptureOutcome; outcome && outcome(device) == 2)
        writeLog(QStringLiteral("未找到文档页面，保存整幅画面"));
    device->SetCaptureOption(0);
    const bool taken = takeCapturedImage(*device, sourceDpi, shot.picture);
    device->ReleaseImage();
    if (!taken)
        return kNotSaved;
    if (m_stage)
        m_stage(Stage::PictureTaken, QString());

    shot.lines << (merge ? QStringLiteral("寻边合并模式写bmp文件成功")
                         : QStringLiteral("寻边模式写bmp文件成功"));
    applyColourMode(shot);
    applyRotation(shot);
    shot.ownDpiX = shot.picture.dpiX;
    shot.ownDpiY = shot.picture.dpiY;

    if (merge)
        return finishMerge(shot, "寻边合并模式拍照成功完成");
    if (const int code = convert(shot); code != 0)
        return code;
    return finish("自定义图片名称成功", "寻边拍照成功完成");
}

int Capture::finishMerge(Shot& shot, const char* doneLine) {
    const QString jpg = mergeJpegPath(shot.bmp, m_lastFormat);
    // Merge mode stays on when the merge picture could not be made: the capture did not happen.
    if (!imaging::saveJpeg(atOutputDpi(shot), jpg, m_control.settings().jpegQuality) || !written(jpg))
        return keepBmp(shot, QStringLiteral("生成合并图片失败!"));
    m_result.picture = jpg;
    m_modes.mergeMode = false;
    flush(shot);
    writeLog(QString::fromUtf8(doneLine));
    return 0;
}

void Capture::writeLog(const QString& text) {
    m_control.writeLog(text);
}

} // namespace qx::control
