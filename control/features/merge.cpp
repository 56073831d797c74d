// MergeImage: the waiting merge files collected in name order and written as one JPEG, TIFF or PDF.
#include "control/features/merge.h"

#include "control/core/process_modes.h"
#include "qx/interface/result_codes.h"

#include "control/capture/a4_pdf.h"
#include "control/capture/capture.h"
#include "control/capture/capture_folders.h"
#include "control/capture/capture_names.h"
#include "control/core/control_context.h"
#include "control/features/merge_canvas.h"
#include "control/features/pdf_text.h"
#include "control/ui/merge_settings_dialog.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace qx::control {

namespace {

// The merged JPEG takes the encoder's usual quality, not the capture's JPG_Compress.
constexpr int kMergedJpegQuality = 75;

} // namespace

bool Merge::IsMerge() {
    m_modes.mergeMode = true;
    m_control.writeLog(QStringLiteral("选择合并模式!"));
    return true;
}

std::vector<Merge::Picture> Merge::collect(const QString& folder, Kind& kind) {
    const QString& last = m_capture.lastFormat();
    // Folder listings come in no particular order here; names start with their capture time, so byte
    // order is capture order.
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    std::vector<Picture> pictures;
    bool tiff = false;
    bool pdf = false;
    for (const QString& name : names) {
        const QString tail = name.right(15);
        const bool jpg = tail == QLatin1String(kJpgMergeTail);
        const bool tif = tail == QLatin1String(kTifMergeTail) && last == QLatin1String("tif");
        const bool pdfPage = tail == QLatin1String(kPdfMergeTail) && last == QLatin1String("pdf");
        if (!jpg && !tif && !pdfPage)
            continue;
        const QString path = platform::joinPath(folder, name);
        const auto info = imaging::readJpegInfo(path);
        if (!info) {
            m_control.writeLog(QStringLiteral("合并图片无法读取，已跳过:") + path);
            continue;
        }
        tiff = tiff || tif;
        pdf = pdf || pdfPage;
        pictures.push_back({path, info->width, info->height, info->dpiX});
    }
    kind = tiff ? Kind::Tiff : pdf ? Kind::Pdf : Kind::Jpeg;
    return pictures;
}

MergeSettings Merge::askSettings() {
    CMergeSettingDlg dialog(m_control.uiHost(), m_control.controlWindow());
    const int result = m_control.uiHost().runDialog(
        &dialog, QStringLiteral("merge-settings"),
        [&dialog](const QVariant& answer) { dialog.applyAnswer(answer.toMap()); });
    return result == QDialog::Accepted ? dialog.acceptedSettings() : CMergeSettingDlg::cancelledSettings();
}

int Merge::writeJpeg(const std::vector<Picture>& pictures, const QString& path,
                     const ProgressReport& progress) {
    const MergeSettings settings = askSettings();
    std::vector<QSize> sizes;
    std::vector<QString> paths;
    int dpi = 0;
    for (const Picture& p : pictures) {
        sizes.emplace_back(p.width, p.height);
        paths.push_back(p.path);
        dpi = std::max(dpi, static_cast<int>(p.dpi));
    }
    const MergeLayout layout = layOutMerge(sizes, settings);
    // Found out before anything is drawn: a JPEG cannot be larger than this.
    if (layout.width > imaging::kJpegMaxSide || layout.height > imaging::kJpegMaxSide) {
        m_control.writeLog(QStringLiteral("合并图片尺寸%1 x %2超出JPEG上限%3，合并失败!")
                               .arg(layout.width)
                               .arg(layout.height)
                               .arg(imaging::kJpegMaxSide));
        return automation::kNotSaved;
    }
    if (progress)
        progress(0, static_cast<int>(pictures.size()));
    if (!writeMergedJpeg(layout, paths, settings, dpi, kMergedJpegQuality, path, progress)) {
        m_control.writeLog(QStringLiteral("写合并图片失败，合并图片已保留!"));
        return automation::kNotSaved;
    }
    m_control.writeLog(QStringLiteral("生成合并图片成功!"));
    return 0;
}

int Merge::writeTiff(const std::vector<Picture>& pictures, const QString& path,
                     const ProgressReport& progress) {
    // One page decoded at a time: each keeps its own depth and resolution.
    imaging::TiffPageWriter writer(path);
    const int total = static_cast<int>(pictures.size());
    if (progress)
        progress(0, total);
    for (const Picture& p : pictures) {
        // The merged pictures are removed after the merge: a damaged one keeps them all.
        const auto picture = imaging::loadIntactPicture(p.path);
        if (!picture) {
            m_control.writeLog(QStringLiteral("合并图片无法完整读取:") + p.path);
            break;
        }
        if (!writer.addPage(*picture))
            break;
        if (writer.pages() == 1)
            m_control.writeLog(QStringLiteral("生成第一页Tif!"));
        if (progress)
            progress(writer.pages(), total);
    }
    if (writer.pages() != static_cast<int>(pictures.size()) || !writer.commit()) {
        m_control.writeLog(QStringLiteral("写多页Tif失败，合并图片已保留!"));
        return automation::kNotSaved;
    }
    m_control.writeLog(QStringLiteral("生成多页Tif!"));
    return 0;
}

int Merge::writePdf(const std::vector<Picture>& pictures, const QString& path, const MergeRequest& request) {
    std::vector<A4Page> jpegs;
    for (const Picture& p : pictures)
        jpegs.push_back({p.path, {}});
    const auto log = [this](const QString& line) { m_control.writeLog(line); };
    // Each page is read when the document reaches it: one decoded page in memory at a time.
    PdfText text({request.pdfText, request.textLanguages}, log);
    const int total = static_cast<int>(jpegs.size());
    if (request.progress)
        request.progress(0, total);
    const int code = writeA4Pdf(
        jpegs, pdf::mergePlacement, path, log,
        [&](std::size_t index) { return text.ofJpegFile(jpegs[index].file); },
        [&](std::size_t pages) {
            if (request.progress)
                request.progress(static_cast<int>(pages), total);
        });
    if (code == 0)
        m_control.writeLog(QStringLiteral("生成多页Pdf!"));
    return code;
}

MergeResult Merge::MergeImage(const MergeRequest& request) {
    using namespace automation;
    const auto failed = [](int code) {
        MergeResult result;
        result.code = code;
        return result;
    };
    // The merge captures wrote into the dated folder, or into the capture folder when it could not
    // be made.
    const std::optional<QString> captureFolder = CaptureFolders::captureFolder(request.saveFolder);
    const QString source =
        !m_folders.mergeFolder().isEmpty() ? m_folders.mergeFolder() : captureFolder.value_or(QString());
    Kind kind = Kind::Jpeg;
    const std::vector<Picture> pictures = source.isEmpty() ? std::vector<Picture>{} : collect(source, kind);
    if (pictures.empty()) {
        m_control.ownMessageBox(QStringLiteral("没有等待合并的图片，请先在合并模式下拍照!"));
        m_control.writeLog(QStringLiteral("没有等待合并的图片!"));
        return failed(kMergeNothingWaiting);
    }
    if (!captureFolder) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        m_control.writeLog(QStringLiteral("合并:自定义图片路径错误!"));
        return failed(kMorvelBadSavePath);
    }
    const QString folder = *captureFolder;
    // Two merges within one second take two names, as captures do.
    const QString stamp = freeTimeStamp(folder);
    QString output;
    QString pdfName;
    int code = 0;
    switch (kind) {
    case Kind::Tiff:
        output = platform::joinPath(folder, stamp + QStringLiteral("-Merge.tif"));
        code = writeTiff(pictures, output, request.progress);
        break;
    case Kind::Pdf:
        if (!request.customName.isEmpty()) {
            pdfName = request.customName + QStringLiteral(".pdf");
            if (!isPlainName(request.customName)) {
                m_control.writeLog(QStringLiteral("自定义图片名无效:") + request.customName);
                return failed(kBadCustomName);
            }
        }
        output =
            platform::joinPath(folder, pdfName.isEmpty() ? stamp + QStringLiteral("-Merge.pdf") : pdfName);
        code = writePdf(pictures, output, request);
        break;
    case Kind::Jpeg:
        output = platform::joinPath(folder, stamp + QStringLiteral("-Merge.jpg"));
        code = writeJpeg(pictures, output, request.progress);
        break;
    }
    if (code != 0)
        return failed(code);
    MergeResult result;
    if (!pdfName.isEmpty())
        result.customName = pdfName;
    result.picture = output;
    // Only what went into the merged file goes; merge files still waiting for another kind of merge
    // stay, and so does the dated folder while it holds them.
    for (const Picture& p : pictures)
        QFile::remove(p.path);
    if (source == m_folders.mergeFolder())
        QDir().rmdir(source);
    return result;
}

} // namespace qx::control
