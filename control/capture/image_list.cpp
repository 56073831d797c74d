// The captured-image list: the control's own picture names in the capture folder.
#include "control/capture/image_list.h"

#include "control/capture/capture_folders.h"
#include "control/core/control_context.h"
#include "qx/platform/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qx::control {

namespace {
// Time-stamp names ("2015-06-26-14-00-27.jpg") and merged names ("...-Merge.jpg"), nothing else. The
// dashes alone would also let merge-mode pictures ("...27ForJpgMerge.jpg") through, so the extension
// must follow the stamp (or its "-Merge") directly.
bool isListedName(const QString& name, const QString& format) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || name.mid(dot + 1) != format || name.indexOf(QLatin1Char('-')) != 4)
        return false;
    const qsizetype lastDash = name.lastIndexOf(QLatin1Char('-'));
    if (lastDash == 16)
        return dot == 19;
    return lastDash == 19 && name.mid(20, dot - 20) == QLatin1String("Merge");
}
} // namespace

int ImageList::RefreshImgList(const QString& PhotoFormat, const QString& saveFolder) {
    const QString format = PhotoFormat.toLower();
    m_imageCount = 0;
    const auto folder = CaptureFolders::captureFolder(saveFolder);
    if (!folder) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        m_control.writeLog(QStringLiteral("枚举图片:自定义图片路径错误!"));
        return 0;
    }
    const QFileInfoList entries =
        QDir(*folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (m_imageCount >= kImageSlots)
            break;
        if (isListedName(entry.fileName(), format))
            m_imageNames[static_cast<std::size_t>(m_imageCount++)] = entry.fileName();
    }
    if (m_imageCount == 0)
        m_control.writeLog(QStringLiteral("没有历史拍照图片!"));
    return m_imageCount;
}

QString ImageList::GetImgNameByIdx(short idx) const {
    if (idx < 0 || idx >= m_imageCount)
        return QString();
    return m_imageNames[static_cast<std::size_t>(idx)];
}

short ImageList::DeleteImg(short cursel, const QString& saveFolder) {
    if (cursel < 0 || cursel >= m_imageCount)
        return 1;
    const auto folder = CaptureFolders::captureFolder(saveFolder);
    if (!folder) {
        m_control.ownMessageBox(QString::fromUtf8(kBadSavePathBox));
        m_control.writeLog(QStringLiteral("删除图片:自定义图片路径错误!"));
        return 2;
    }
    QFile::remove(platform::joinPath(*folder, m_imageNames[static_cast<std::size_t>(cursel)]));
    return 0;
}

short ImageList::DeleteImgByName(const QString& Img) {
    // A folder of that name is found too; its deletion is attempted and fails, as a file deletion would.
    if (Img.isEmpty() || !QFileInfo::exists(Img)) {
        m_control.writeLog(QStringLiteral("待删除图片不存在!"));
        return -1;
    }
    QFile::remove(Img);
    return 0;
}

} // namespace qx::control
