// Deletes a folder tree entry by entry so that one undeletable file does not keep the rest.
#include "control/core/folder_tree.h"

#include <filesystem>

namespace qx::control {

namespace {
void deleteTree(const std::filesystem::path& dir) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryEc;
        if (it->is_directory(entryEc) && !it->is_symlink(entryEc))
            deleteTree(it->path());
        else
            std::filesystem::remove(it->path(), entryEc);
    }
    std::filesystem::remove(dir, ec);
}
} // namespace

void DeleteFolderTree(const QString& folder) {
    if (folder.isEmpty())
        return;
    std::filesystem::path p(folder.toStdString());
    std::error_code ec;
    // A trailing separator names the folder itself.
    if (!p.has_filename())
        p = p.parent_path();
    if (std::filesystem::is_symlink(p, ec)) {
        std::filesystem::remove(p, ec);
        return;
    }
    if (!std::filesystem::is_directory(p, ec))
        return;
    deleteTree(p);
}

} // namespace qx::control
