// The deletion of 清空图像列表: the save folder's pictures and today's merge folder, nothing else.
#include "qx/desktop/history_cleaner.h"

#include "qx/desktop/picture_list.h"
#include "qx/platform/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>
#include <utility>

namespace qx::desktop {

namespace {

bool hasPictureExtension(const QString& name) {
    const QString ext = name.right(3).toLower();
    return ext == QLatin1String("jpg") || ext == QLatin1String("bmp") || ext == QLatin1String("tif") ||
           ext == QLatin1String("gif") || ext == QLatin1String("pdf");
}

// The names the control gives its pictures: a time stamp first.
bool isControlPictureName(const QString& name) {
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}-\\d{2}-\\d{2}-\\d{2}"));
    return stamp.match(name).hasMatch();
}

} // namespace

HistoryCleaner::HistoryCleaner(std::function<QDate()> today) : m_today(std::move(today)) {
    if (!m_today)
        m_today = [] { return QDate::currentDate(); };
}

QString HistoryCleaner::folderFor(const QString& savePath) {
    return savePath.isEmpty() ? platform::tempFolder() : platform::withTrailingSlash(savePath);
}

bool HistoryCleaner::removes(const QString& name, bool ownFolder) {
    return hasPictureExtension(name) && (ownFolder || isControlPictureName(name));
}

void HistoryCleaner::clear(const QString& savePath) const {
    // Without a save path the pictures lie in the shared temporary folder: there only the files the
    // control named are removed, never other programs' pictures.
    const bool ownFolder = !savePath.isEmpty();
    const QString folder = folderFor(savePath);
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() && !entry.exists())
            continue;
        if (removes(entry.fileName(), ownFolder))
            QFile::remove(entry.absoluteFilePath());
    }
    // Without its trailing '/': a path ending in one names the folder a link points to, and
    // remove_all would empty that folder instead of removing the link.
    QString merge = folder + mergeFolderName(m_today());
    merge.chop(1);
    std::error_code error;
    // remove_all removes links themselves and never follows them out of the folder.
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(merge).toStdString()), error);
}

} // namespace qx::desktop
