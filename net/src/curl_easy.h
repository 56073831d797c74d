// A libcurl easy handle owned by one transfer, with the idle limits and the cancel flag both
// protocols use.
#pragma once

#include "qx/net/transfer.h"

#include <curl/curl.h>

#include <chrono>
#include <string>

namespace qx::net::detail {

class CurlEasy {
public:
    CurlEasy();
    ~CurlEasy();
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    CURL* get() const { return m_curl; }
    explicit operator bool() const { return m_curl != nullptr; }

    // Ends the transfer when no byte moves for `sendIdle` while there is still something to send,
    // or for `receiveIdle` once everything is sent, or when `cancel` is set.
    void watchIdle(Seconds sendIdle, Seconds receiveIdle, const CancelFlag* cancel);

    CURLcode perform();
    // Ends the connection now (FTP says QUIT) rather than with the handle.
    void close();
    // The reason for the last failure: our own for an idle limit, else libcurl's detailed text.
    std::string errorText(CURLcode code) const;
    bool timedOut() const { return m_timedOut; }

private:
    static int onProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                          curl_off_t ulNow);

    CURL* m_curl = nullptr;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    Seconds m_sendIdle{0};
    Seconds m_receiveIdle{0};
    const CancelFlag* m_cancel = nullptr;
    curl_off_t m_lastUp = -1;
    curl_off_t m_lastDown = -1;
    std::chrono::steady_clock::time_point m_lastMove;
    bool m_timedOut = false;
    bool m_cancelled = false;
    std::string m_idleText;
};

} // namespace qx::net::detail
