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

// The folder holding libQXCameraCtrl.so and its neighbours (outside libraries, libqx_media.so): the
// program folder when libQXCameraCtrl.so lies there (a build tree, a portable install), else the
// private library folder relative to the program (installed: <prefix>/lib/<multiarch>/qxcamera/,
// found from <prefix>/bin/). With a trailing '/'.
QString controlModulesFolder();

// controlModulesFolder() for a program living in `programDir`.
QString controlModulesFolderFor(const QString& programDir);

// The private library folder relative to the program folder in an installed layout, as the build
// was configured (for example "../lib/x86_64-linux-gnu/qxcamera").
QString installedModulesPath();

// Whether `folder` belongs to an installed layout: the private library folder
// (…/lib/<multiarch>/qxcamera/) or a program folder whose control lies in that private folder.
// Files there belong to the package manager, so nothing is written into them even when they are
// writable (run by root, or unpacked into a user's folder).
bool isInstalledFolder(const QString& folder);

// Where files that live "beside the modules" are written: `moduleDir` itself when it is a writable
// folder (a build tree, a portable install) and not part of an installed layout, else
// $XDG_DATA_HOME/qxcamera/ (default ~/.local/share/qxcamera/), created on demand. Always with a
// trailing '/'.
QString dataFolder(const QString& moduleDir);

// Appends '/' when `folder` is not empty and does not end with one.
QString withTrailingSlash(const QString& folder);

// The path of `name` inside `folder`, whether or not the folder was written with its trailing '/':
// "/x/cards" and "/x/cards/" both give "/x/cards/<name>", never "/x/cards<name>" beside the folder.
// An empty folder gives `name` as it is.
QString joinPath(const QString& folder, const QString& name);

} // namespace qx::platform
