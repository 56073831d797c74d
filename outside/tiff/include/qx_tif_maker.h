/* The TIFF tool libTiffMakerDLL.so: a window for building, opening and taking apart multi-page TIFFs. */
#pragma once

#include "qx/interface/tif_tool_host.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Shows the tool's window, a top-level window of the calling process's QApplication, and returns at
 * once; a window already open is raised instead. Returns 1 when the window is shown, 0 when it
 * cannot be: no QApplication, or a call from another thread than the application's (the reason
 * goes to standard error). Once a window was made the library stays loaded for the rest of the
 * process, since the window lives on after the caller frees it. The window's dialogs are its own. */
int32_t ShowPlatform(void);

/* As ShowPlatform, with the window's dialogs, questions and messages asked through `host` (see
 * qx/interface/tif_tool_host.h) from now on, and the window announced to it; a null host is
 * ShowPlatform. The window is one per process: the latest call's host has it, and the host it had
 * before is told it closed. */
int32_t ShowPlatformWithHost(const QxTifToolHost* host);

/* The caller of ShowPlatformWithHost is going away: no call is made through `host` after this returns
 * (a host that does not have the window is only forgotten), and the window, if it is open, goes on
 * with dialogs of its own. Never calls back. Like the others, only on the application's thread: from
 * another it does nothing but say so on standard error. */
void ReleasePlatformHost(const QxTifToolHost* host);

#ifdef __cplusplus
}
#endif
