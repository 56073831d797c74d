// Folders the system works in: the temporary folder, module and program folders, the data folder.
#pragma once

#include <QString>

namespace qx::platform {

// The temporary folder: $Temp when set and not empty, else $TMPDIR, else /tmp; always with a trailing '/'.
QString tempFolder();

// The folder (with a trailing '/') of the loaded module that contains `address` (dladdr); empty when
// the address lies in no module.
QString moduleFolder(const void* address);

// The folder of the running executable, with a trailing '/'.
QString programFolder();

// Where files that live "beside the modules" are written: `moduleDir` itself when it is a writable
// folder (a build tree, a portable install), else $XDG_DATA_HOME/qxcamera/ (default
// ~/.local/share/qxcamera/), created on demand. Always with a trailing '/'.
QString dataFolder(const QString& moduleDir);

// Appends '/' when `folder` is not empty and does not end with one.
QString withTrailingSlash(const QString& folder);

} // namespace qx::platform
