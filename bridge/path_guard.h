// Which paths a bridge client may hand to the control: only those inside the allowed capture folders.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <utility>
#include <vector>

namespace qx::bridge {

// What a request may do with its paths: refused with a reason, or run with each checked path in the
// form it was checked in (links resolved, folders ending in '/'), so what the control opens later is
// what was checked, whatever a link swapped in meanwhile points at.
struct GuardVerdict {
    QString refusal;   // empty: the request may run
    QVariantList args; // the arguments, checked paths replaced by their resolved form
    // Properties the control reads the path from, to be set to their resolved form before the call.
    std::vector<std::pair<QString, QString>> properties;
};

class PathGuard {
public:
    explicit PathGuard(const QStringList& folders);

    // A file inside one of the folders once links are resolved: the resolved path, or empty when it
    // is not inside or cannot be trusted. A folder itself is no file inside it. ".." components,
    // dangling links and paths through a link that leaves the folders are refused.
    QString resolvedFile(const QString& path) const;
    // One of the folders or a folder inside one, resolved and ending in '/'; empty when not.
    QString resolvedFolder(const QString& path) const;
    bool inside(const QString& path) const { return !resolvedFile(path).isEmpty(); }
    // A file name without a folder part: no '/', not "." or "..".
    static bool plainName(const QString& name);

    // Whether and how a request may run. `property` reads the control's current value of a property
    // by name (for the methods that act on the last picture or the card folder).
    GuardVerdict check(const QString& op, const QString& name, const QVariantList& args,
                       const std::function<QString(const char* property)>& property) const;
    QString refusal(const QString& op, const QString& name, const QVariantList& args,
                    const std::function<QString(const char* property)>& property) const {
        return check(op, name, args, property).refusal;
    }

    QStringList folders() const { return m_folders; }

private:
    QString insideFolder(const QString& target, bool allowFolderItself) const;

    QStringList m_folders;
};

// Opens a path that resolvedFile() gave for reading without following any link on the way, so a
// link swapped in after the check fails the open instead of leading outside. -1 when it cannot.
int openResolvedForReading(const QString& resolvedPath);

} // namespace qx::bridge
