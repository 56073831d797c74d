// The easy handle's life, libcurl's one-time set-up, and the idle watch.
#include "curl_easy.h"

#include <mutex>

namespace qx::net::detail {

namespace {

// curl_global_init is not thread-safe and transfers run on worker threads: do it once, first.
void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CurlEasy::CurlEasy() {
    initialiseCurl();
    m_curl = curl_easy_init();
    if (!m_curl)
        return;
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    // Worker threads must not get SIGALRM or SIGPIPE from name resolution or a closed socket.
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
}

CurlEasy::~CurlEasy() {
    if (m_curl)
        curl_easy_cleanup(m_curl);
}

void CurlEasy::watchIdle(Seconds sendIdle, Seconds receiveIdle, const CancelFlag* cancel) {
    m_sendIdle = sendIdle;
    m_receiveIdle = receiveIdle;
    m_cancel = cancel;
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CurlEasy::onProgress);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
}

void CurlEasy::close() {
    if (m_curl)
        curl_easy_cleanup(m_curl);
    m_curl = nullptr;
}

CURLcode CurlEasy::perform() {
    m_errorBuffer[0] = '\0';
    m_lastUp = m_lastDown = -1;
    m_lastMove = std::chrono::steady_clock::now();
    m_timedOut = m_cancelled = false;
    m_idleText.clear();
    return curl_easy_perform(m_curl);
}

std::string CurlEasy::errorText(CURLcode code) const {
    if (code == CURLE_ABORTED_BY_CALLBACK && !m_idleText.empty())
        return m_idleText;
    if (m_errorBuffer[0])
        return m_errorBuffer;
    return curl_easy_strerror(code);
}

int CurlEasy::onProgress(void* self, curl_off_t, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow) {
    auto& easy = *static_cast<CurlEasy*>(self);
    if (easy.m_cancel && easy.m_cancel->load()) {
        easy.m_cancelled = true;
        easy.m_idleText = "Transfer cancelled";
        return 1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (ulNow != easy.m_lastUp || dlNow != easy.m_lastDown) {
        easy.m_lastUp = ulNow;
        easy.m_lastDown = dlNow;
        easy.m_lastMove = now;
        return 0;
    }
    const bool sending = ulNow < ulTotal;
    const Seconds limit = sending ? easy.m_sendIdle : easy.m_receiveIdle;
    if (limit.count() > 0 && now - easy.m_lastMove >= limit) {
        easy.m_timedOut = true;
        easy.m_idleText = std::string("Operation timed out: nothing ") + (sending ? "sent" : "received") +
                          " for " + std::to_string(limit.count()) + " s";
        return 1;
    }
    return 0;
}

} // namespace qx::net::detail
