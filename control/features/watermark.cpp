// AddWaterMark: stamping the last picture through the watermark dialog.
#include "control/features/watermark.h"

#include "control/core/control_context.h"
#include "control/features/watermark_stamp.h"
#include "control/ui/watermark_dialog.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/files.h"
#include "qx/platform/folders.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace qx::control {

namespace {

// The JPEG encoder's own default, used when a stamped picture goes back to JPEG.
constexpr int kDefaultJpegQuality = 75;

} // namespace

int Watermark::AddWaterMark(const QString& picture, bool showBox) {
    CWaterMarkDlg dialog(m_control.uiHost(), picture, platform::tempFolder(), m_control.controlWindow());
    const int result =
        m_control.uiHost().runDialog(&dialog, QStringLiteral("watermark"), [&](const QVariant& answer) {
            dialog.applyAnswer(answer.toMap());
            // The scripted answer ends with 添加水印 pressed.
            dialog.accept();
        });
    if (result != QDialog::Accepted)
        return 0;
    const StampResult& stamp = dialog.stamp();
    if (!stamp.ok) {
        // Nothing was stamped: saying so, not "添加水印成功".
        m_control.writeLog(stamp.failure);
        return 0;
    }
    if (replacePicture(picture, stamp.path) && showBox)
        m_control.ownMessageBox(QStringLiteral("添加水印成功"));
    return 0;
}

bool Watermark::replacePicture(const QString& picture, const QString& stamped) {
    // The stamped copy is this call's alone: it goes on every path but the one that keeps it.
    const auto removeStamp = qScopeGuard([&] { QFile::remove(stamped); });
    const QString extension = picture.mid(picture.lastIndexOf(QLatin1Char('.')) + 1);
    bool replaced = false;
    if (extension == QLatin1String("jpg")) {
        // The JPEG goes beside the picture and over it only once it is complete and reads back; it
        // takes the picture's permissions.
        const auto bmp = imaging::loadBmp(stamped);
        const QString temporary = bmp ? platform::createSiblingFile(picture) : QString();
        replaced = !temporary.isEmpty() &&
                   imaging::saveJpeg(*bmp, temporary, kDefaultJpegQuality, bmp->dpiX, bmp->dpiX) &&
                   imaging::readJpegInfo(temporary).has_value() &&
                   platform::renameReplacing(temporary, picture);
        if (!replaced && !temporary.isEmpty())
            QFile::remove(temporary);
    } else if (extension == QLatin1String("bmp")) {
        // Copied over in one step, checked first: the stamped BMP may lie on another file system.
        QFile file;
        const QByteArray bytes = platform::openRegularFile(file, stamped) ? file.readAll() : QByteArray();
        replaced = !bytes.isEmpty() && imaging::loadBmp(stamped).has_value() &&
                   platform::replaceFileContents(picture, bytes);
    } else {
        // Any other kind of picture stays as it is; the stamped copy waits in the temporary folder
        // under its documented name.
        const QString kept = stampedPath(platform::tempFolder(), picture);
        if (platform::renameReplacing(stamped, kept))
            return true;
        m_control.writeLog(QStringLiteral("添加水印失败，无法写入:") + kept);
        return false;
    }
    if (!replaced)
        m_control.writeLog(QStringLiteral("添加水印失败，图片未替换:") + picture);
    return replaced;
}

} // namespace qx::control
