/* The exported C interface of libqmrapi, the library for the USB-HID identity-card reader 1A7E:5C39. */
#ifndef QMRAPI_H
#define QMRAPI_H

#include <stdint.h>

#if defined(QMRAPI_BUILDING)
#define QMRAPI_EXPORT __attribute__((visibility("default")))
#else
#define QMRAPI_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Results. Every export but GetTextInfo returns one byte-sized code in a 32-bit integer:
 *
 *   QMR_SUCCESS         0x90  success; the fixed result of the no-op exports
 *   QMR_CARD_FOUND      0x9F  QMR_StartFindIDCard: a card lies on the reader
 *   QMR_NO_CARD         0x80  QMR_StartFindIDCard: no card, or any other reply
 *   QMR_SELECT_FAILED   0x81  QMR_SelectIDCard: the card could not be selected
 *   QMR_NO_READER       0     no reader could be found or opened; for QMR_ReadBaseMsg and
 *                             QMR_ReadNewAppMsg also: the reader did not deliver the reply before
 *                             the collection gave up (one empty 3-second window, or 5 s in all
 *                             after the pause), so a caller is never kept waiting without end
 *   QMR_BAD_LENGTHS     0x82  QMR_ReadBaseMsg: the reply announces a text and a photo block that
 *                             do not fit the 1344 reply bytes (14 + T + P > 1344); nothing is copied
 *   any other value           the reader's third status byte, passed through
 *
 * Output buffers belong to the caller; on failure none of them is written. A null buffer pointer is
 * never written through.
 */
#define QMR_SUCCESS 0x90
#define QMR_CARD_FOUND 0x9F
#define QMR_NO_CARD 0x80
#define QMR_SELECT_FAILED 0x81
#define QMR_BAD_LENGTHS 0x82
#define QMR_NO_READER 0

/* Bytes each export writes on success. */
#define QMR_SAM_ID_SIZE 16
#define QMR_SAM_ID_TEXT_SIZE 40
#define QMR_MNG_INFO_SIZE 16
#define QMR_FIND_DATA_SIZE 5
#define QMR_SELECT_DATA_SIZE 9
#define QMR_APP_MSG_SIZE 70
/* The most a base message can hold in text and photo together; each of its two buffers must hold
   the block the reader sends (real cards: 256 text bytes, 1024 photo bytes). */
#define QMR_BASE_MSG_BLOCKS_MAX 1330

/* Present for clients written against serial readers: they do nothing and return QMR_SUCCESS. */
QMRAPI_EXPORT int32_t QMR_OpenPort(int32_t port);
QMRAPI_EXPORT int32_t QMR_ClosePort(int32_t port);
QMRAPI_EXPORT int32_t QMR_GetCOMBaud(int32_t port, int32_t baud);
QMRAPI_EXPORT int32_t QMR_SetCOMBaud(int32_t port, int32_t oldBaud, int32_t newBaud);
QMRAPI_EXPORT int32_t QMR_SetMaxRFByte(int32_t port, int32_t maxBytes, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_GetErrorString(int32_t code, int32_t text);
/* Does nothing and returns 1; the text block is not converted (clients decode it themselves). */
QMRAPI_EXPORT int16_t GetTextInfo(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6,
                                  int32_t a7, int32_t a8, int32_t a9, int32_t a10);

/* Security module. */
QMRAPI_EXPORT int32_t QMR_ResetSAM(int32_t port, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_GetSAMStatus(int32_t port, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_GetSAMID(int32_t port, uint8_t* samId, int32_t ifOpen);
/* "%02d-%02d-%08d-%010d-%010d" in 40 bytes, zero-padded; always zero-terminated within them. */
QMRAPI_EXPORT int32_t QMR_GetSAMIDToStr(int32_t port, char* samIdText, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_ReadMngInfo(int32_t port, uint8_t* info, int32_t ifOpen);

/* One card read: find (QMR_CARD_FOUND), select (QMR_SUCCESS), base message (QMR_SUCCESS). */
QMRAPI_EXPORT int32_t QMR_StartFindIDCard(int32_t port, uint8_t* data, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_SelectIDCard(int32_t port, uint8_t* data, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_ReadBaseMsg(int32_t port, uint8_t* text, uint32_t* textLength, uint8_t* photo,
                                      uint32_t* photoLength, int32_t ifOpen);
QMRAPI_EXPORT int32_t QMR_ReadNewAppMsg(int32_t port, uint8_t* message, int32_t length, int32_t ifOpen);

#ifdef __cplusplus
}
#endif

#endif /* QMRAPI_H */
