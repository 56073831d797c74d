// Recursive deletion of a folder and everything in it.
#pragma once

#include <QString>

namespace qx::control {

// Deletes every file and sub-folder of `folder` and then the folder itself. Failures are ignored and
// the rest is still deleted. Symbolic links are removed as links, never followed.
void DeleteFolderTree(const QString& folder);

} // namespace qx::control
