// The exported functions of libqmrapi: each command export is one exchange and a copy of its data.
#define QMRAPI_BUILDING
#include "qmrapi.h"

#include "commands.h"

#include <cstdio>
#include <cstring>

// There is deliberately no load-time constructor: loading the library never touches the reader.

namespace {

using qmr::kReplyData;

// Copies on success only; the caller's buffer is untouched otherwise, and a null one is never written.
int32_t exchangeInto(const qmr::Command& command, uint8_t* out, size_t length) {
    std::vector<uint8_t> reply;
    const qmr::ExchangeResult result = qmr::runExchange(command, reply);
    if (result.passed && out != nullptr && length > 0)
        std::memcpy(out, reply.data() + kReplyData, length);
    return result.code;
}

uint32_t le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

int32_t le32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

extern "C" {

int32_t QMR_OpenPort(int32_t) {
    return QMR_SUCCESS;
}

int32_t QMR_ClosePort(int32_t) {
    return QMR_SUCCESS;
}

int32_t QMR_GetCOMBaud(int32_t, int32_t) {
    return QMR_SUCCESS;
}

int32_t QMR_SetCOMBaud(int32_t, int32_t, int32_t) {
    return QMR_SUCCESS;
}

int32_t QMR_SetMaxRFByte(int32_t, int32_t, int32_t) {
    return QMR_SUCCESS;
}

int32_t QMR_GetErrorString(int32_t, int32_t) {
    return QMR_SUCCESS;
}

int16_t GetTextInfo(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                    int32_t) {
    return 1;
}

int32_t QMR_ResetSAM(int32_t, int32_t) {
    return exchangeInto(qmr::kResetSam, nullptr, 0);
}

int32_t QMR_GetSAMStatus(int32_t, int32_t) {
    return exchangeInto(qmr::kGetSamStatus, nullptr, 0);
}

int32_t QMR_GetSAMID(int32_t, uint8_t* samId, int32_t) {
    return exchangeInto(qmr::kGetSamId, samId, QMR_SAM_ID_SIZE);
}

int32_t QMR_GetSAMIDToStr(int32_t, char* samIdText, int32_t) {
    std::vector<uint8_t> reply;
    const qmr::ExchangeResult result = qmr::runExchange(qmr::kGetSamId, reply);
    if (!result.passed || samIdText == nullptr)
        return result.code;
    const uint8_t* d = reply.data() + kReplyData;
    char work[260] = {};
    std::snprintf(work, sizeof work, "%02d-%02d-%08d-%010d-%010d", static_cast<int>(le16(d)),
                  static_cast<int>(le16(d + 2)), le32(d + 4), le32(d + 8), le32(d + 12));
    // Large or negative numbers make the text longer than 39 characters; it is cut so that the 40
    // bytes the caller gets always end in a terminating zero.
    work[QMR_SAM_ID_TEXT_SIZE - 1] = '\0';
    std::memcpy(samIdText, work, QMR_SAM_ID_TEXT_SIZE);
    return result.code;
}

int32_t QMR_ReadMngInfo(int32_t, uint8_t* info, int32_t) {
    return exchangeInto(qmr::kReadMngInfo, info, QMR_MNG_INFO_SIZE);
}

int32_t QMR_StartFindIDCard(int32_t, uint8_t* data, int32_t) {
    return exchangeInto(qmr::kFindCard, data, QMR_FIND_DATA_SIZE);
}

int32_t QMR_SelectIDCard(int32_t, uint8_t* data, int32_t) {
    return exchangeInto(qmr::kSelectCard, data, QMR_SELECT_DATA_SIZE);
}

int32_t QMR_ReadBaseMsg(int32_t, uint8_t* text, uint32_t* textLength, uint8_t* photo, uint32_t* photoLength,
                        int32_t) {
    std::vector<uint8_t> reply;
    const qmr::ExchangeResult result = qmr::runExchange(qmr::kReadBaseMsg, reply);
    if (!result.passed)
        return result.code;
    const uint32_t t = static_cast<uint32_t>(reply[10]) << 8 | reply[11];
    const uint32_t p = static_cast<uint32_t>(reply[12]) << 8 | reply[13];
    // Lengths that reach past the collected reply would copy bytes that are not there.
    if (14 + t + p > reply.size())
        return QMR_BAD_LENGTHS;
    if (textLength != nullptr)
        *textLength = t;
    if (photoLength != nullptr)
        *photoLength = p;
    if (text != nullptr && t > 0)
        std::memcpy(text, reply.data() + 14, t);
    if (photo != nullptr && p > 0)
        std::memcpy(photo, reply.data() + 14 + t, p);
    return QMR_SUCCESS;
}

int32_t QMR_ReadNewAppMsg(int32_t, uint8_t* message, int32_t, int32_t) {
    return exchangeInto(qmr::kReadNewAppMsg, message, QMR_APP_MSG_SIZE);
}

} // extern "C"
