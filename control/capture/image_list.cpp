// The captured-image list: the control's own picture names in the capture folder, and two switches.
#include "control/core/control.h"
#include "qx/platform/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qx::control {

namespace {
constexpr const char* kBadFolderBox = "请确保自定义图片保存路径(例如：C:\\)是正确的!";

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

int CMorvelQxWebCtrl::RefreshImgList(const QString& PhotoFormat) {
    const QString format = PhotoFormat.toLower();
    m_s.imageCount = 0;
    const auto folder = captureFolder();
    if (!folder) {
        ownMessageBox(QString::fromUtf8(kBadFolderBox));
        writeLog(QStringLiteral("枚举图片:自定义图片路径错误!"));
        return 0;
    }
    const QFileInfoList entries =
        QDir(*folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (m_s.imageCount >= kImageSlots)
            break;
        if (isListedName(entry.fileName(), format))
            m_s.imageNames[static_cast<std::size_t>(m_s.imageCount++)] = entry.fileName();
    }
    if (m_s.imageCount == 0)
        writeLog(QStringLiteral("没有历史拍照图片!"));
    return m_s.imageCount;
}

QString CMorvelQxWebCtrl::GetImgNameByIdx(short idx) {
    if (idx < 0 || idx >= m_s.imageCount)
        return QString();
    return m_s.imageNames[static_cast<std::size_t>(idx)];
}

short CMorvelQxWebCtrl::DeleteImg(short cursel) {
    if (cursel < 0 || cursel >= m_s.imageCount)
        return 1;
    const auto folder = captureFolder();
    if (!folder) {
        ownMessageBox(QString::fromUtf8(kBadFolderBox));
        writeLog(QStringLiteral("删除图片:自定义图片路径错误!"));
        return 2;
    }
    QFile::remove(*folder + m_s.imageNames[static_cast<std::size_t>(cursel)]);
    return 0;
}

short CMorvelQxWebCtrl::DeleteImgByName(const QString& Img) {
    // A folder of that name is found too; its deletion is attempted and fails, as a file deletion would.
    if (Img.isEmpty() || !QFileInfo::exists(Img)) {
        writeLog(QStringLiteral("待删除图片不存在!"));
        return -1;
    }
    QFile::remove(Img);
    return 0;
}

bool CMorvelQxWebCtrl::IsMerge() {
    mergeMode = true;
    writeLog(QStringLiteral("选择合并模式!"));
    return true;
}

void CMorvelQxWebCtrl::ResetFileList() {
    m_p.cFileList.clear();
}

} // namespace qx::control
