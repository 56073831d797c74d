// Which paths a bridge client may hand to the control: only those inside the allowed capture folders.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace qx::bridge {

class PathGuard {
public:
    explicit PathGuard(const QStringList& folders);

    // True when `path` is absolute and lies in (or is) one of the folders once links are resolved.
    // ".." components, dangling links and paths through a link that leaves the folders are refused.
    bool inside(const QString& path) const;
    // A file name without a folder part: no '/', not "." or "..".
    static bool plainName(const QString& name);

    // Why a request may not run, or an empty text when it may. `property` reads the control's current
    // value of a property by name (for the methods that act on the last picture or the card folder).
    QString refusal(const QString& op, const QString& name, const QVariantList& args,
                    const std::function<QString(const char* property)>& property) const;

    QStringList folders() const { return m_folders; }

private:
    QString insideText(const char* what, const QString& path) const;

    QStringList m_folders;
};

} // namespace qx::bridge
