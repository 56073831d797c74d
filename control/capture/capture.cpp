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
#include "control/features/merge.h"
#include "qx/imaging/colour_modes.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/platform/files.h"
#include "qx/platform/folders.h"
#include "qx/platform/timestamp.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
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

// Loads a picture, gives it the resolution and saves it through `save`; false when any of it failed.
template <typename Save> bool resaveWithResolution(const QString& from, double dpi, Save save) {
    auto picture = imaging::loadIntactPicture(from);
    if (!picture)
        return false;
    picture->dpiX = picture->dpiY = dpi;
    return save(*picture);
}

// A step of the chain counts as done only when its file is there and holds something: the writers
// report their own failures, and this also catches a file removed behind the control's back.
bool written(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
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
    // The BMP is replaced only by a complete rotated copy, so a failure leaves it as it was captured.
    const auto picture = imaging::loadBmp(bmp);
    if (!picture || !imaging::saveBmp(imaging::rotateClockwise(*picture, angle), bmp))
        writeLog(QStringLiteral("旋转图片失败，保留未旋转的图片!"));
}

int Capture::makePdf(const QString& jpeg, const QString& pdfPath) {
    return writeA4Pdf({jpeg}, pdf::capturePlacement, pdfPath,
                      [this](const QString& line) { writeLog(line); });
}

bool Capture::writeCaptureJpeg(const QString& bmp, const QString& jpg, bool edgeVariant, double dpi) {
    // The edge-finding paths give every saved picture the output resolution; the normal paths use the
    // JPEG converter, which takes the BMP's own.
    const int quality = m_control.settings().jpegQuality;
    const bool ok = edgeVariant ? resaveWithResolution(bmp, dpi,
                                                       [&](const imaging::Picture& p) {
                                                           return imaging::saveJpeg(p, jpg, quality);
                                                       })
                                : imaging::convertBmpToJpeg(bmp, jpg, quality);
    return ok && written(jpg);
}

int Capture::keepBmp(const QString& bmp, const QString& failureLine) {
    // The captured BMP is the user's picture: it stays, and the container learns where it is.
    m_control.properties().cPicName = bmp;
    writeLog(failureLine);
    if (!written(bmp)) {
        writeLog(QStringLiteral("图片文件不存在，拍照失败!"));
        return kMorvelNotSaved;
    }
    writeLog(QStringLiteral("已保留bmp图片:") + bmp);
    return kMorvelConversionFailed;
}

int Capture::convertCapture(const QString& bmp, bool edgeVariant, double dpi) {
    const QString& format = m_lastFormat;
    ControlProperties& p = m_control.properties();
    p.cPicName = bmp;
    // Every intermediate and the BMP go only once the file made from them is written: a step that
    // fails leaves the BMP and removes what this capture made on the way.
    if (format == QLatin1String("bmp")) {
        if (edgeVariant && !resaveWithResolution(bmp, dpi, [&](const imaging::Picture& picture) {
                return imaging::saveBmp(picture, bmp);
            }))
            return keepBmp(bmp, QStringLiteral("设置bmp图片分辨率失败!"));
    } else if (format == QLatin1String("jpg")) {
        const QString jpg = withExtension(bmp, QStringLiteral("jpg"));
        if (!writeCaptureJpeg(bmp, jpg, edgeVariant, dpi))
            return keepBmp(bmp, QStringLiteral("转换jpg失败!"));
        QFile::remove(bmp);
        p.cPicName = jpg;
        writeLog(edgeVariant ? QStringLiteral("图片转jpg成功") : QStringLiteral("转换jpg成功"));
    } else if (format == QLatin1String("tif")) {
        const QString tif = withExtension(bmp, QStringLiteral("tif"));
        const auto saveTif = [&](const imaging::Picture& picture) {
            return imaging::saveTiffLzw(picture, tif);
        };
        bool ok = false;
        if (edgeVariant)
            ok = resaveWithResolution(bmp, dpi, saveTif);
        else if (const auto picture = imaging::loadBmp(bmp))
            ok = saveTif(*picture);
        if (!ok || !written(tif))
            return keepBmp(bmp, QStringLiteral("转换Tif失败!"));
        QFile::remove(bmp);
        p.cPicName = tif;
        writeLog(QStringLiteral("转换Tif成功!"));
    } else if (format == QLatin1String("gif")) {
        const QString jpg = withExtension(bmp, QStringLiteral("jpg"));
        const QString gif = withExtension(bmp, QStringLiteral("gif"));
        if (!writeCaptureJpeg(bmp, jpg, edgeVariant, dpi))
            return keepBmp(bmp, QStringLiteral("转换gif失败!"));
        auto picture = imaging::loadIntactPicture(jpg);
        if (picture && edgeVariant)
            picture->dpiY = picture->dpiX;
        const bool ok = picture && imaging::saveGif(*picture, gif) && written(gif);
        QFile::remove(jpg);
        if (!ok)
            return keepBmp(bmp, QStringLiteral("转换gif失败!"));
        QFile::remove(bmp);
        p.cPicName = gif;
        writeLog(edgeVariant ? QStringLiteral("图片转gif成功") : QStringLiteral("转换gif成功"));
    } else if (format == QLatin1String("pdf")) {
        const QString jpg = withExtension(bmp, QStringLiteral("jpg"));
        const QString pdfPath = withExtension(bmp, QStringLiteral("pdf"));
        if (!imaging::convertBmpToJpeg(bmp, jpg, 75) || !written(jpg)) {
            QFile::remove(jpg);
            return keepBmp(bmp, QStringLiteral("转换PDF失败!"));
        }
        int code = makePdf(jpg, pdfPath);
        if (code == 0 && !written(pdfPath)) {
            writeLog(QStringLiteral("创建PDF失败!"));
            code = -18;
        }
        QFile::remove(jpg);
        if (code != 0) {
            // The PDF's own code says what went wrong; the BMP stays all the same.
            keepBmp(bmp, QStringLiteral("转换PDF失败!"));
            return written(bmp) ? code : kMorvelNotSaved;
        }
        QFile::remove(bmp);
        p.cPicName = pdfPath;
        writeLog(QStringLiteral("转换PDF成功!"));
    }
    // Any other format leaves the captured BMP as the result, on both paths.
    return 0;
}

Capture::Naming Capture::applyCustomName() {
    ControlProperties& p = m_control.properties();
    if (p.CustomImgName.isEmpty() || p.cPicName.size() < 4)
        return Naming::None;
    // A name is a file name: a separator would move the picture out of the capture folder (a web page
    // can set this property).
    if (!isPlainName(p.CustomImgName)) {
        writeLog(QStringLiteral("自定义图片名无效:") + p.CustomImgName);
        return Naming::Failed;
    }
    const QString name = p.CustomImgName + p.cPicName.right(4);
    const QString target = p.cPicName.left(p.cPicName.lastIndexOf(QLatin1Char('/')) + 1) + name;
    // The rename replaces an older file of that name only once the picture is in its place, and the
    // picture takes the older file's permissions.
    if (target != p.cPicName && !platform::renameReplacing(p.cPicName, target)) {
        writeLog(QStringLiteral("自定义图片名失败:") + target);
        return Naming::Failed;
    }
    p.CustomImgName = name;
    p.cPicName = target;
    return Naming::Applied;
}

int Capture::finish(const char* namedLine, const char* doneLine) {
    const Naming naming = applyCustomName();
    if (naming == Naming::Applied)
        writeLog(QString::fromUtf8(namedLine));
    // Nothing is reported saved that is not on disk, whatever happened to it on the way.
    if (!written(m_control.properties().cPicName)) {
        writeLog(QStringLiteral("图片文件不存在，拍照失败!"));
        return kMorvelNotSaved;
    }
    if (naming == Naming::Failed)
        return kMorvelNameFailed;
    writeLog(QString::fromUtf8(doneLine));
    return 0;
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
    if (grab == NormalPreview::Grab::SaveFailed) {
        writeLog(QStringLiteral("写bmp文件失败，拍照失败!"));
        return kMorvelNotSaved;
    }
    const QString bmp = m_control.properties().cPicName;
    writeLog(merge ? QStringLiteral("普通合并bmp拍照") : QStringLiteral("普通模式bmp拍照"));
    applyColourMode(bmp);
    applyRotation(bmp);

    if (merge)
        return finishMerge(bmp, false, 0, "普通合并拍照成功完成");
    if (const int code = convertCapture(bmp, false, 0); code != 0)
        return code;
    return finish("自定义图片名成功", "普通拍照成功完成!");
}

bool Capture::writeCapturedImage(KelpoDevice& device, const QString& bmp, int sourceDpi) {
    const int32_t size = device.GetImageSize();
    const uint8_t* data = device.GetImageData();
    // An image this small cannot hold a picture: nothing is written rather than an empty file.
    if (size <= 120 || !data) {
        writeLog(QStringLiteral("寻边图像数据无效，未写bmp文件!"));
        return false;
    }
    const short targetDpi = m_control.properties().pDPI;
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
    const qint64 length = converted.empty() ? size : static_cast<qint64>(converted.size());
    // Written beside the target and renamed into place, so a full disk leaves no cut-short picture and
    // a link put at the name is replaced, never written through.
    if (!platform::replaceFileContents(bmp, QByteArrayView(bytes, length))) {
        writeLog(QStringLiteral("写bmp文件失败，拍照失败!"));
        return false;
    }
    return true;
}

int Capture::edgeCapture(bool merge) {
    if (!m_edge.isOn()) {
        writeLog(QStringLiteral("非寻边预览状态，抓图失败!"));
        return -10;
    }
    const short pDPI = m_control.properties().pDPI;
    if (pDPI < 0 || pDPI > kMaxOutputDpi) {
        writeLog(QStringLiteral("输出分辨率pDPI=%1无效(允许0到%2)，抓图失败!").arg(pDPI).arg(kMaxOutputDpi));
        return kMorvelBadDpi;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const auto captureDir = m_folders.captureFolder();
    if (!captureDir) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        writeLog(QStringLiteral("自定义图片路径错误!"));
        return -11;
    }
    const QString folder = merge ? m_folders.mergeFolderFor(*captureDir) : *captureDir;
    const QString bmp = platform::joinPath(folder, freeTimeStamp(folder, now) + QStringLiteral(".bmp"));
    const int sourceDpi = static_cast<int>(m_cameras.captureWidth() * kDpiPerPixel);
    const double dpi = pDPI != 0 ? pDPI : sourceDpi;

    KelpoDevice* device = m_edge.device();
    if (device->GetDeviceState() != 0)
        return -8;
    if (device->Capture() == 0) {
        writeLog(QStringLiteral("capture拍照失败!"));
        return -5;
    }
    writeLog(QStringLiteral("capture成功"));
    device->SetCaptureOption(0);
    const bool saved = writeCapturedImage(*device, bmp, sourceDpi);
    device->ReleaseImage();
    if (!saved)
        return kMorvelNotSaved;

    writeLog(merge ? QStringLiteral("寻边合并模式写bmp文件成功") : QStringLiteral("寻边模式写bmp文件成功"));
    applyColourMode(bmp);
    applyRotation(bmp);

    if (merge)
        return finishMerge(bmp, true, dpi, "寻边合并模式拍照成功完成");
    if (const int code = convertCapture(bmp, true, dpi); code != 0)
        return code;
    return finish("自定义图片名称成功", "寻边拍照成功完成");
}

int Capture::finishMerge(const QString& bmp, bool edgeVariant, double dpi, const char* doneLine) {
    const QString jpg = mergeJpegPath(bmp, m_lastFormat);
    // Merge mode stays on when the merge picture could not be made: the capture did not happen.
    if (!writeCaptureJpeg(bmp, jpg, edgeVariant, dpi))
        return keepBmp(bmp, QStringLiteral("生成合并图片失败!"));
    QFile::remove(bmp);
    m_control.properties().cPicName = jpg;
    mergeMode = false;
    writeLog(QString::fromUtf8(doneLine));
    return 0;
}

void Capture::writeLog(const QString& text) {
    m_control.writeLog(text);
}

} // namespace qx::control
