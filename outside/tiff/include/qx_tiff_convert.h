/* The layered-TIFF library libTiffConvert.so: pictures collected one by one as the pages of a pending
 * document, then written as one multi-page TIFF. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results below zero; every function returns one instead of failing in any other way. */
#define QX_TIF_BAD_PATH (-1)     /* a null or empty path */
#define QX_TIF_UNREADABLE (-2)   /* a missing file, or one that is not a picture that can be read */
#define QX_TIF_NO_PAGES (-3)     /* Convert2Tif with nothing pending */
#define QX_TIF_WRITE_FAILED (-4) /* the TIFF could not be written; no file is left at the path */

/* Reads the picture at `path` (a file path in the file system's encoding; BMP, JPEG, PNG, TIFF, GIF
 * and whatever else the imaging module reads; the first page of a multi-page file) and appends it
 * as the next page of the pending document. Returns the number of pages now pending (1 or more);
 * a file that cannot be read is refused and the pending pages stay as they were. */
int32_t AddImageToTifLayer(const char* path);

/* Writes the pending pages, in the order they were added, as one multi-page TIFF at `path`: every
 * page LZW-compressed at its own depth (1-bit, 8-bit grey or palette, 24-bit colour) and resolution.
 * The file replaces an older one only when it is complete. Returns the number of pages written; the
 * pending pages stay pending (CleanImageFromTifLayer empties them). */
int32_t Convert2Tif(const char* path);

/* Empties the pending document. Returns how many pages it held. */
int32_t CleanImageFromTifLayer(void);

/* The pending document is one per process, kept in memory as decoded pictures (so a file may be
 * deleted once it was added). Every function may be called from any thread; calls are serialised. */

#ifdef __cplusplus
}
#endif
