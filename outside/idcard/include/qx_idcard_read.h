/* The exported C interface of libQX_IDCardRead, the card-reading library the camera control loads. */
#ifndef QX_IDCARD_READ_H
#define QX_IDCARD_READ_H

#include <stdint.h>

#if defined(QX_IDCARD_READ_BUILDING)
#define QX_IDCARD_READ_EXPORT __attribute__((visibility("default")))
#else
#define QX_IDCARD_READ_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of IDInfoChar. */
#define QX_IDCARD_OK 0
#define QX_IDCARD_BAD_ARGUMENT 1  /* buffer is null */
#define QX_IDCARD_NO_READER 2     /* no reader could be found or opened */
#define QX_IDCARD_NO_CARD 3       /* the reader found no card */
#define QX_IDCARD_SELECT_FAILED 4 /* the card could not be selected */
#define QX_IDCARD_READ_FAILED 5   /* the base message could not be read, or held no text */

#define QX_IDCARD_RECORD_SIZE 2048

/*
 * Reads one card (find, select, base message) and writes its text record into `buffer` (2048 bytes):
 * GBK text, zero-terminated, "IDCARD:" and a CR LF, then name, sex, nation, birthday, address, id,
 * authority and validity as key='value' each followed by ',' and a CR LF. *length (when not null)
 * gets the record's byte length without the zero. The holder photo replaces "ImgTemp.bmp" in the data
 * folder of this library; the file is deleted first, so a failed read leaves none. On failure the
 * buffer holds an empty text and *length is 0.
 */
QX_IDCARD_READ_EXPORT int32_t IDInfoChar(char* buffer, int32_t* length);

/*
 * Writes a picture of both sides of the card last read by IDInfoChar into `folder` as a 32-bit BMP
 * and returns its file name (UTF-8), valid until the next call; "" when there is no card read, the
 * folder does not exist or the file cannot be written. Draws text: when the process has no
 * QGuiApplication, one on the offscreen platform is created and kept; when it has a plain
 * QCoreApplication instead, the call fails.
 */
QX_IDCARD_READ_EXPORT const char* IDInfoBMP(const char* folder);

#ifdef __cplusplus
}
#endif

#endif /* QX_IDCARD_READ_H */
