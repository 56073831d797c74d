/* The TIFF tool libTiffMakerDLL.so: a window for building, opening and taking apart multi-page TIFFs. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Shows the tool's window, a top-level window of the calling process's QApplication, and returns at
 * once; a window already open is raised instead. Returns 1 when the window is shown, 0 when it
 * cannot be: no QApplication, or a call from another thread than the application's (the reason
 * goes to standard error). Once a window was made the library stays loaded for the rest of the
 * process, since the window lives on after the caller frees it. */
int32_t ShowPlatform(void);

#ifdef __cplusplus
}
#endif
