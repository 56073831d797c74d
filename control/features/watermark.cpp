// AddWaterMark: stamping the last picture through the watermark dialog.
#include "control/features/watermark.h"

#include "control/core/control_context.h"
#include "control/ui/watermark_dialog.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

namespace qx::control {

namespace {

// The JPEG encoder's own default, used when a stamped picture goes back to JPEG.
constexpr int kDefaultJpegQuality = 75;

// A unique file beside `target`, so the rename over it stays on one file system.
QString siblingTemporary(const QString& target) {
    QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    return file.fileName();
}

bool renameOver(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

int Watermark::AddWaterMark() {
    const QString picture = m_control.properties().cPicName;
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
    if (replacePicture(picture, stamp.path) && m_control.properties().bShowMsgBox)
        m_control.ownMessageBox(QStringLiteral("添加水印成功"));
    return 0;
}

bool Watermark::replacePicture(const QString& picture, const QString& stamped) {
    const QString extension = picture.mid(picture.lastIndexOf(QLatin1Char('.')) + 1);
    if (extension == QLatin1String("jpg")) {
        // The JPEG goes beside the picture and over it only once it is complete and reads back.
        const auto bmp = imaging::loadBmp(stamped);
        const QString target = picture.left(picture.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".jpg");
        const QString temporary = siblingTemporary(target);
        const bool written = bmp && !temporary.isEmpty() &&
                             imaging::saveJpeg(*bmp, temporary, kDefaultJpegQuality, bmp->dpiX, bmp->dpiX) &&
                             imaging::readJpegInfo(temporary).has_value();
        if (!written || !renameOver(temporary, target)) {
            if (!temporary.isEmpty())
                QFile::remove(temporary);
            m_control.writeLog(QStringLiteral("添加水印失败，图片未替换:") + picture);
            return false;
        }
        QFile::remove(stamped);
        m_control.properties().cPicName = target;
        return true;
    }
    if (extension == QLatin1String("bmp")) {
        const QString temporary = siblingTemporary(picture);
        const bool copied = !temporary.isEmpty() && QFile::remove(temporary) &&
                            QFile::copy(stamped, temporary) && imaging::loadBmp(temporary).has_value();
        if (!copied || !renameOver(temporary, picture)) {
            if (!temporary.isEmpty())
                QFile::remove(temporary);
            m_control.writeLog(QStringLiteral("添加水印失败，图片未替换:") + picture);
            return false;
        }
        QFile::remove(stamped);
        return true;
    }
    // Any other kind of picture stays as it is; the stamped copy waits in the temporary folder.
    return true;
}

} // namespace qx::control
