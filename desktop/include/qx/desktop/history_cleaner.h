// HistoryCleaner: which picture files 清空图像列表 deletes from the save folder, and the deletion itself.
#pragma once

#include <QDate>
#include <QString>
#include <functional>

namespace qx::desktop {

class HistoryCleaner {
public:
    // `today` names the merge folder that goes; the local date when not given.
    explicit HistoryCleaner(std::function<QDate()> today = {});

    // The folder the pictures of the Save-Path setting lie in: that folder, or the shared temporary
    // folder when the setting is empty; with a trailing '/'.
    static QString folderFor(const QString& savePath);
    // Whether a file of that name goes: a picture (jpg, bmp, tif, gif, pdf) and, in the shared
    // temporary folder (`ownFolder` false), one the control named (a time stamp first).
    static bool removes(const QString& name, bool ownFolder);

    // Deletes the pictures of the Save-Path setting's folder and today's merge folder in it. Links
    // are deleted themselves, never followed.
    void clear(const QString& savePath) const;

private:
    std::function<QDate()> m_today;
};

} // namespace qx::desktop
