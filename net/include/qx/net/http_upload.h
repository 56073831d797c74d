// The HTTP upload of one file as a multipart form, and the proxy it goes through.
#pragma once

#include "qx/net/transfer.h"

#include <optional>
#include <string>

namespace qx::net {

// A URL split the way the upload uses it. An "https" URL is always sent over TLS, whatever its
// port; "http://host:443/" is sent over TLS too, as servers on that port have always been reached.
struct UploadUrl {
    std::string server; // as written in the URL; an IPv6 address keeps its brackets
    int port = 80;
    std::string object;  // path and query, "/" when the URL has none
    int serviceType = 3; // 3 for http, 4107 for https: the numbers the log has always shown
    bool https = false;  // the scheme
    bool secure() const { return https || port == 443; }
    // The URL handed to the transport: scheme by the port rule, server, port and object.
    std::string transportUrl() const;
};

// Only http and https URLs with a server and a port in 1..65535 parse.
std::optional<UploadUrl> parseUploadUrl(const std::string& url);

// The proxy a user's environment names for a request, in the order command-line programs use:
// https_proxy for a secure request, then http_proxy, then all_proxy, each in lower case first.
struct EnvironmentProxy {
    enum class State { Unset, Empty, Set };
    State state = State::Unset;
    std::string value;
};
EnvironmentProxy environmentProxy(bool secure);

// The proxy to use from a proxy setting: "host:port" or "scheme://host:port" as it stands, or the
// entry for the request's scheme from a list such as "http=h:p;https=h:p". Empty: no proxy.
std::string proxyFromSetting(const std::string& setting, bool secure);

// How a secure exchange checks the server. By default its certificate must chain to one of the
// system's authorities (or of `extraCaFile`), name the server and be in date.
struct TlsOptions {
    bool verify = true;      // false: unknown authorities, wrong names and expired certificates pass
    std::string extraCaFile; // PEM authorities trusted beside the system's; empty: the system's only
};

struct HttpUploadRequest {
    std::string url;
    std::string filePath;
    std::string formFileName; // bytes put between the quotes of the disposition, as given
    std::string contentType;
    std::string missingFileLog; // logged when the file cannot be opened
    std::string proxyServer;    // empty: the environment's proxy, see environmentProxy
    std::string proxyUser;
    std::string proxyPassword;
    // Idle limits: a transfer ends when nothing is sent (while sending) or received (while
    // waiting for the answer) for this long. There is no limit on the whole exchange.
    Seconds sendIdle{3600};
    Seconds receiveIdle{7200};
    Seconds connectTimeout{60};
    TlsOptions tls;
    const CancelFlag* cancel = nullptr;
};

struct HttpUploadResult {
    enum class Failure {
        None,          // an answer came; `status` says which
        BadUrl,        // "解析URL失败!"
        MissingFile,   // the file could not be opened
        EmptyFile,     // nothing to send, nothing logged
        RequestFailed, // the request could not be prepared (also: the extra CA file cannot be read)
        Internet,      // the transport failed while connecting, sending or reading, or the server
                       // answered before it had the whole body
        File,          // the file could not be read while it was sent (or shrank meanwhile)
        Unknown,       // anything else (memory)
    };
    Failure failure = Failure::None;
    long status = 0;
    std::string response; // the answer's body, as text up to a first zero byte
    // Only a 200 to the whole body is success: a server that answers early and closes has not got
    // the picture, whatever its status says.
    bool ok() const { return failure == Failure::None && status == 200; }
    // A proxy read from the environment, for the caller to keep for later uploads.
    std::optional<std::string> proxyFromEnvironment;
    // For Internet, File and Unknown: the text of the box the caller shows, and its log line.
    std::string errorBox;
    std::string errorLog;
};

// Sends head, the file's bytes and tail as one body of known length with a POST; follows no
// redirect, sends no user agent and no "Expect". Blocks until the answer is read or the transfer
// fails. Log lines go to `log` as they happen; boxes are left to the caller.
HttpUploadResult uploadMultipart(const HttpUploadRequest& request, const LogSink& log);

} // namespace qx::net
