// Morvel: the four capture paths (normal, edge-finding, and their merge variants), the colour mode,
// rotation, the conversions to the requested format, custom names and the one-page PDF.
#include "control/capture/capture.h"

#include "control/capture/cameras.h"
#include "control/capture/capture_folders.h"
#include "control/capture/capture_names.h"
#include "control/capture/edge_preview.h"
#include "control/capture/preview.h"
#include "control/core/control_context.h"
#include "control/core/outside_libraries.h"
#include "control/features/merge.h"
#include "qx/imaging/colour_modes.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/pdf/pdf_document.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QFile>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace qx::control {

namespace {

// How long a capture waits for the preview to deliver and save its frame.
constexpr int kFrameWaitMs = 5000;
// The pixels per inch of a field of view 12.112 inches wide, per pixel of capture width.
constexpr double kDpiPerPixel = 0.08256172861802936;

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

// Loads a picture, gives it the resolution and saves it through `save`; failures leave the chain to go
// on, as every step of it does.
template <typename Save> void resaveWithResolution(const QString& from, double dpi, Save save) {
    if (auto picture = imaging::loadPicture(from)) {
        picture->dpiX = picture->dpiY = dpi;
        save(*picture);
    }
}

} // namespace

void Capture::applyColourMode(const QString& bmp) {
    imaging::ColourResult result = imaging::ColourResult::Converted;
    switch (m_control.properties().nColorSpace) {
    case 1:
        result = imaging::convertToGrey(bmp);
        writeLog(QStringLiteral("图片转灰度"));
        break;
    case 2:
        result = imaging::convertToBlackAndWhite(bmp, m_control.settings().bwThreshold);
        writeLog(QStringLiteral("图片转黑白"));
        break;
    case 3:
        result = imaging::enhanceColour(bmp);
        writeLog(QStringLiteral("图片增强彩色"));
        break;
    default:
        return;
    }
    if (result != imaging::ColourResult::Converted)
        writeLog(QStringLiteral("颜色模式未应用:") + imaging::colourResultText(result));
}

void Capture::applyRotation(const QString& bmp) {
    const short angle = m_control.properties().nRotateAngle;
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) {
        m_control.properties().nRotateAngle = 0;
        return;
    }
    if (angle == 0)
        return;
    if (const auto picture = imaging::loadBmp(bmp))
        imaging::saveBmp(imaging::rotateClockwise(*picture, angle), bmp);
}

int Capture::makePdf(const QString& jpeg, const QString& pdfPath) {
    try {
        pdf::PdfDocument doc;
        doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
        if (!doc.beginDocument(pdfPath)) {
            writeLog(QStringLiteral("创建PDF失败!"));
            return -18;
        }
        doc.setInfo(QStringLiteral("Creator"), QStringLiteral("PDF Creator"));
        doc.setInfo(QStringLiteral("Author"), QStringLiteral("QX"));
        doc.setInfo(QStringLiteral("Title"), QStringLiteral("Convert to PDF"));
        doc.setInfo(QStringLiteral("Subject"), QStringLiteral("PDF Creator"));
        doc.beginPage(595, 842);
        const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
        const QSizeF size = doc.imageSize(image);
        const double r = size.width() / size.height();
        long x = 20, y = 20;
        // Centred in a 555 x 802 box with a 20-point margin; the difference is truncated, then halved.
        if (r < 555.0 / 802.0)
            x = static_cast<long>(std::fabs(555.0 - 802.0 * r)) / 2 + 20;
        else
            y = static_cast<long>(std::fabs(802.0 - 555.0 / r)) / 2 + 20;
        doc.fitImage(image, static_cast<double>(x), static_cast<double>(y), 555, 802);
        doc.closeImage(image);
        doc.endPage();
        doc.endDocument();
    } catch (const pdf::PdfError& e) {
        writeLog(QStringLiteral("PDFlib exception occurred!"));
        qWarning("PDF: %s", e.what());
        return -19;
    }
    return 0;
}

void Capture::writeCaptureJpeg(const QString& bmp, const QString& jpg, bool edgeVariant, double dpi) {
    // The edge-finding paths give every saved picture the output resolution; the normal paths use the
    // JPEG converter, which takes the BMP's own.
    if (edgeVariant)
        resaveWithResolution(bmp, dpi, [&](const imaging::Picture& p) {
            imaging::saveJpeg(p, jpg, m_control.settings().jpegQuality);
        });
    else
        imaging::convertBmpToJpeg(bmp, jpg, m_control.settings().jpegQuality);
}

int Capture::convertCapture(const QString& bmp, bool edgeVariant, double dpi) {
    const QString& format = m_lastFormat;
    m_control.properties().cPicName = bmp;
    if (format == QLatin1String("bmp")) {
        if (edgeVariant)
            resaveWithResolution(bmp, dpi, [&](const imaging::Picture& p) { imaging::saveBmp(p, bmp); });
    } else if (format == QLatin1String("jpg")) {
        const QString jpg = withExtension(bmp, QStringLiteral("jpg"));
        writeCaptureJpeg(bmp, jpg, edgeVariant, dpi);
        QFile::remove(bmp);
        m_control.properties().cPicName = jpg;
        writeLog(edgeVariant ? QStringLiteral("图片转jpg成功") : QStringLiteral("转换jpg成功"));
    } else if (format == QLatin1String("tif")) {
        const QString tif = withExtension(bmp, QStringLiteral("tif"));
        if (edgeVariant)
            resaveWithResolution(bmp, dpi, [&](const imaging::Picture& p) { imaging::saveTiffLzw(p, tif); });
        else if (const auto picture = imaging::loadBmp(bmp))
            imaging::saveTiffLzw(*picture, tif);
        QFile::remove(bmp);
        m_control.properties().cPicName = tif;
        writeLog(QStringLiteral("转换Tif成功!"));
    } else if (format == QLatin1String("gif")) {
        const QString jpg = withExtension(bmp, QStringLiteral("jpg"));
        const QString gif = withExtension(bmp, QStringLiteral("gif"));
        writeCaptureJpeg(bmp, jpg, edgeVariant, dpi);
        QFile::remove(bmp);
        if (auto picture = imaging::loadPicture(jpg)) {
            if (edgeVariant)
                picture->dpiY = picture->dpiX;
            imaging::saveGif(*picture, gif);
        }
        QFile::remove(jpg);
        m_control.properties().cPicName = gif;
        writeLog(edgeVariant ? QStringLiteral("图片转gif成功") : QStringLiteral("转换gif成功"));
    } else if (format == QLatin1String("pdf")) {
        const QString jpg = withExtension(bmp, QStringLiteral("jpg"));
        const QString pdfPath = withExtension(bmp, QStringLiteral("pdf"));
        imaging::convertBmpToJpeg(bmp, jpg, 75);
        QFile::remove(bmp);
        if (const int code = makePdf(jpg, pdfPath); code != 0)
            return code;
        QFile::remove(jpg);
        m_control.properties().cPicName = pdfPath;
        writeLog(QStringLiteral("转换PDF成功!"));
    }
    // Any other format leaves the captured BMP as the result, on both paths.
    return 0;
}

bool Capture::applyCustomName() {
    if (m_control.properties().CustomImgName.isEmpty() || m_control.properties().cPicName.size() < 4)
        return false;
    m_control.properties().CustomImgName += m_control.properties().cPicName.right(4);
    const QString target = m_control.properties().cPicName.left(
                               m_control.properties().cPicName.lastIndexOf(QLatin1Char('/')) + 1) +
                           m_control.properties().CustomImgName;
    if (target == m_control.properties().cPicName)
        return true;
    QFile::remove(target);
    QFile::rename(m_control.properties().cPicName, target);
    m_control.properties().cPicName = target;
    return true;
}

int Capture::Morvel(const QString& PhotoFormat) {
    // A timer or hotkey may call in while a capture waits for its frame: that call does not start
    // a second capture over the first one's grab.
    if (m_waiting) {
        writeLog(QStringLiteral("正在拍照，忽略本次拍照请求!"));
        return kMorvelBusy;
    }
    writeLog(QStringLiteral("开始拍照"));
    m_lastFormat = PhotoFormat.toLower();
    const bool merge = mergeMode;
    return m_edge.device() ? edgeCapture(merge) : normalCapture(merge);
}

int Capture::normalCapture(bool merge) {
    if (!m_normal.isOn()) {
        writeLog(QStringLiteral("非预览状态，抓图失败!"));
        return -10;
    }
    if (!m_cameras.cameraPresent())
        return -8;
    const auto captureDir = m_folders.captureFolder();
    if (!captureDir) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        writeLog(QStringLiteral("自定义图片路径错误!"));
        return -11;
    }
    const QString folder = merge ? m_folders.mergeFolderFor(*captureDir) : *captureDir;

    m_control.properties().cPicName.clear();
    m_waiting = true;
    const NormalPreview::Grab grab = m_normal.grabFrame(folder, kFrameWaitMs);
    m_waiting = false;
    if (grab == NormalPreview::Grab::TimedOut) {
        writeLog(QStringLiteral("等待图像帧超时，抓图失败!"));
        return kMorvelFrameTimeout;
    }
    const QString bmp = m_control.properties().cPicName;
    writeLog(merge ? QStringLiteral("普通合并bmp拍照") : QStringLiteral("普通模式bmp拍照"));
    applyColourMode(bmp);
    applyRotation(bmp);

    if (merge) {
        const QString jpg = mergeJpegPath(bmp, m_lastFormat);
        writeCaptureJpeg(bmp, jpg, false, 0);
        QFile::remove(bmp);
        m_control.properties().cPicName = jpg;
        mergeMode = false;
        writeLog(QStringLiteral("普通合并拍照成功完成"));
        return 0;
    }
    if (const int code = convertCapture(bmp, false, 0); code != 0)
        return code;
    if (applyCustomName())
        writeLog(QStringLiteral("自定义图片名成功"));
    writeLog(QStringLiteral("普通拍照成功完成!"));
    return 0;
}

int Capture::edgeCapture(bool merge) {
    if (!m_edge.isOn()) {
        writeLog(QStringLiteral("非寻边预览状态，抓图失败!"));
        return -10;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const auto captureDir = m_folders.captureFolder();
    if (!captureDir) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        writeLog(QStringLiteral("自定义图片路径错误!"));
        return -11;
    }
    const QString folder = merge ? m_folders.mergeFolderFor(*captureDir) : *captureDir;
    const QString bmp = folder + freeTimeStamp(folder, now) + QStringLiteral(".bmp");
    const int sourceDpi = static_cast<int>(m_cameras.captureWidth() * kDpiPerPixel);
    const double dpi = m_control.properties().pDPI != 0 ? m_control.properties().pDPI : sourceDpi;

    KelpoDevice* device = m_edge.device();
    if (device->GetDeviceState() != 0)
        return -8;
    if (device->Capture() == 0) {
        writeLog(QStringLiteral("capture拍照失败!"));
        return -5;
    }
    writeLog(QStringLiteral("capture成功"));
    device->SetCaptureOption(0);

    const int32_t size = device->GetImageSize();
    const uint8_t* data = device->GetImageData();
    if (size > 120 && data) {
        QFile file(bmp);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const auto resize = m_control.libraries().kelpoFilterImageResize;
            if (m_control.properties().pDPI == 0) {
                file.write(reinterpret_cast<const char*>(data), size);
            } else if (!resize) {
                // Without the DPI library the picture is kept at the camera's own resolution rather
                // than lost; the later steps still write pDPI as its resolution.
                writeLog(QStringLiteral("DPI转换库未加载，保存原始分辨率图片!"));
                file.write(reinterpret_cast<const char*>(data), size);
            } else {
                const int32_t converted = resize(data, sourceDpi, m_control.properties().pDPI, nullptr);
                if (converted > 0) {
                    std::vector<uint8_t> buffer(static_cast<std::size_t>(converted));
                    resize(data, sourceDpi, m_control.properties().pDPI, buffer.data());
                    file.write(reinterpret_cast<const char*>(buffer.data()), converted);
                }
            }
            file.close();
        }
    }
    device->ReleaseImage();

    writeLog(merge ? QStringLiteral("寻边合并模式写bmp文件成功") : QStringLiteral("寻边模式写bmp文件成功"));
    applyColourMode(bmp);
    applyRotation(bmp);

    if (merge) {
        const QString jpg = mergeJpegPath(bmp, m_lastFormat);
        writeCaptureJpeg(bmp, jpg, true, dpi);
        QFile::remove(bmp);
        m_control.properties().cPicName = jpg;
        mergeMode = false;
        writeLog(QStringLiteral("寻边合并模式拍照成功完成"));
        return 0;
    }
    if (const int code = convertCapture(bmp, true, dpi); code != 0)
        return code;
    if (applyCustomName())
        writeLog(QStringLiteral("自定义图片名称成功"));
    writeLog(QStringLiteral("寻边拍照成功完成"));
    return 0;
}

void Capture::writeLog(const QString& text) {
    m_control.writeLog(text);
}

} // namespace qx::control
