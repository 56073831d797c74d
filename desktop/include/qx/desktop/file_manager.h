// Showing a picture in the desktop's file manager, with the file selected.
#pragma once

#include <QString>

namespace qx::desktop {

// Asks the file manager over D-Bus (org.freedesktop.FileManager1.ShowItems) to open the folder of
// `filePath` with the file selected; without a file manager service, or for a file that is not
// there, opens the folder itself. Returns at once: the answer is handled when it arrives.
void showInFileManager(const QString& filePath);

} // namespace qx::desktop
