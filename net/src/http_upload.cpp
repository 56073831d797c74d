// The multipart upload over libcurl: one POST whose body is exactly head, file and tail.
#include "qx/net/http_upload.h"
#include "curl_easy.h"
#include "local_file.h"
#include "qx/net/multipart.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qx::net {

namespace {

constexpr int kServiceHttp = 3;
constexpr int kServiceHttps = 4107;

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// The body as head, file and tail handed to libcurl in turn. The file is read straight into
// libcurl's buffer: a 20 MB picture costs no 20 MB of memory and no extra copy. Its size is taken
// when it is opened; a file that shrinks meanwhile ends the upload with a file error rather than
// sending less than the announced length.
struct Body {
    std::string head;
    int fd = -1;
    curl_off_t fileSize = 0;
    std::string tail;
    curl_off_t position = 0;
    int fileError = 0; // errno of a failed read

    ~Body() {
        if (fd >= 0)
            ::close(fd);
    }
    curl_off_t size() const { return curl_off_t(head.size()) + fileSize + curl_off_t(tail.size()); }

    size_t read(char* out, size_t room) {
        size_t written = 0;
        const auto headEnd = curl_off_t(head.size());
        const curl_off_t fileEnd = headEnd + fileSize;
        if (position < headEnd) {
            const size_t n = std::min(room, size_t(headEnd - position));
            std::memcpy(out, head.data() + position, n);
            written += n;
            position += curl_off_t(n);
        }
        while (written < room && position >= headEnd && position < fileEnd) {
            const size_t want = std::min(room - written, size_t(fileEnd - position));
            const ssize_t n = ::pread(fd, out + written, want, position - headEnd);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fileError = n < 0 ? errno : EIO;
                return CURL_READFUNC_ABORT;
            }
            written += size_t(n);
            position += n;
        }
        if (written < room && position >= fileEnd) {
            const size_t offset = size_t(position - fileEnd);
            const size_t n = std::min(room - written, tail.size() - std::min(offset, tail.size()));
            std::memcpy(out + written, tail.data() + offset, n);
            written += n;
            position += curl_off_t(n);
        }
        return written;
    }
};

size_t readBody(char* out, size_t size, size_t count, void* body) {
    return static_cast<Body*>(body)->read(out, size * count);
}

// A proxy that asks for credentials again, or a connection that is re-established, rewinds.
int seekBody(void* body, curl_off_t offset, int origin) {
    auto& b = *static_cast<Body*>(body);
    if (origin != SEEK_SET || offset < 0 || offset > b.size())
        return CURL_SEEKFUNC_CANTSEEK;
    b.position = offset;
    return CURL_SEEKFUNC_OK;
}

// How the server's side of the connection ended. A server that answers before it has read the whole
// body and then closes makes its kernel reset the connection (unread data, or data arriving after
// the close); one that read everything closes with a plain FIN. Looked at once the answer's head is
// in, before libcurl's own closing traffic (TLS sends a closing alert) could draw a reset of its own.
struct PeerWatch {
    curl_socket_t socket = CURL_SOCKET_BAD;
    bool serverCloses = false; // "Connection: close" or HTTP/1.0: its FIN or reset follows the answer
    bool reset = false;
};

int noteSocket(void* watch, curl_socket_t fd, curlsocktype) {
    static_cast<PeerWatch*>(watch)->socket = fd;
    return CURL_SOCKOPT_OK;
}

size_t watchHeader(char* data, size_t size, size_t count, void* watch) {
    std::string line(data, size * count);
    for (char& c : line)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    auto& w = *static_cast<PeerWatch*>(watch);
    if (line.rfind("http/", 0) == 0) {
        w.serverCloses = line.rfind("http/1.0", 0) == 0;
    } else if (line.rfind("connection:", 0) == 0 && line.find("close") != std::string::npos) {
        w.serverCloses = true;
    } else if ((line == "\r\n" || line == "\n") && w.serverCloses && w.socket != CURL_SOCKET_BAD) {
        // The end of the head. Its FIN or reset comes right behind the answer: waited for, briefly,
        // without reading (POLLIN is not asked for, so the answer's body waiting does not count).
        pollfd p{w.socket, POLLRDHUP, 0};
        ::poll(&p, 1, 1000);
        tcp_info info{};
        socklen_t length = sizeof info;
        if ((p.revents & POLLERR) || (::getsockopt(w.socket, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
                                      info.tcpi_state == TCP_CLOSE))
            w.reset = true;
    }
    return size * count;
}

size_t appendAnswer(char* data, size_t size, size_t count, void* answer) {
    static_cast<std::string*>(answer)->append(data, size * count);
    return size * count;
}

// The cause codes file errors have always been reported with.
int fileCause(int error) {
    switch (error) {
    case ENOENT:
        return 2; // file not found
    case ENOTDIR:
    case ENAMETOOLONG:
        return 3; // bad path
    case EMFILE:
    case ENFILE:
        return 4; // too many open files
    case EACCES:
    case EPERM:
        return 5; // access denied
    case EIO:
        return 10; // hard I/O error
    default:
        return 1; // generic
    }
}

enum class FileOpen { Ok, CannotOpen, Empty };

FileOpen openFile(const std::string& path, Body& body) {
    off_t size = 0;
    const int fd = detail::openLocalFile(path, size);
    if (fd < 0)
        return FileOpen::CannotOpen;
    if (size == 0) {
        ::close(fd);
        return FileOpen::Empty;
    }
    body.fd = fd;
    body.fileSize = curl_off_t(size);
    return FileOpen::Ok;
}

// Trusts the authorities of `extraFile` beside the system's: libcurl takes one bundle, so the
// system's bundle and the extra file go to it as one block of PEM text, kept in `authorities` while
// the transfer runs.
bool trustExtraAuthorities(CURL* curl, const std::string& extraFile, std::string& authorities) {
    const auto readAll = [](const std::string& path, std::string& out) {
        off_t size = 0;
        const int fd = detail::openLocalFile(path, size);
        if (fd < 0)
            return false;
        const size_t start = out.size();
        out.resize(start + size_t(size));
        size_t done = 0;
        while (done < size_t(size)) {
            const ssize_t n = ::pread(fd, out.data() + start + done, size_t(size) - done, off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(fd);
        out.resize(start + done);
        return done == size_t(size);
    };
    char* systemBundle = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CAINFO, &systemBundle);
    if (systemBundle && *systemBundle) {
        if (readAll(systemBundle, authorities))
            authorities += "\n";
        else
            authorities.clear();
    }
    const size_t extraStart = authorities.size();
    if (!readAll(extraFile, authorities) ||
        authorities.find("-----BEGIN CERTIFICATE-----", extraStart) == std::string::npos)
        return false;
    curl_blob blob{authorities.data(), authorities.size(), CURL_BLOB_NOCOPY};
    return curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob) == CURLE_OK;
}

} // namespace

std::string UploadUrl::transportUrl() const {
    return std::string(secure() ? "https://" : "http://") + server + ":" + std::to_string(port) + object;
}

std::optional<UploadUrl> parseUploadUrl(const std::string& url) {
    CURLU* parts = curl_url();
    if (!parts)
        return std::nullopt;
    std::optional<UploadUrl> result;
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    char* path = nullptr;
    char* query = nullptr;
    if (curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0') {
        const std::string kind = lowerAscii(scheme);
        if (kind == "http" || kind == "https") {
            UploadUrl parsed;
            parsed.server = host;
            parsed.serviceType = kind == "https" ? kServiceHttps : kServiceHttp;
            parsed.https = kind == "https";
            parsed.port = kind == "https" ? 443 : 80;
            bool portOk = true;
            if (curl_url_get(parts, CURLUPART_PORT, &port, 0) == CURLUE_OK) {
                char* end = nullptr;
                const long value = std::strtol(port, &end, 10);
                portOk = *end == '\0' && value > 0 && value <= 65535;
                parsed.port = int(value);
            }
            if (curl_url_get(parts, CURLUPART_PATH, &path, 0) == CURLUE_OK)
                parsed.object = path;
            if (parsed.object.empty())
                parsed.object = "/";
            if (curl_url_get(parts, CURLUPART_QUERY, &query, 0) == CURLUE_OK)
                parsed.object += std::string("?") + query;
            if (portOk)
                result = parsed;
        }
    }
    for (char* part : {scheme, host, port, path, query})
        curl_free(part);
    curl_url_cleanup(parts);
    return result;
}

namespace {

HttpUploadResult upload(const HttpUploadRequest& request, const LogSink& log) {
    using Failure = HttpUploadResult::Failure;
    HttpUploadResult result;

    const auto url = parseUploadUrl(request.url);
    if (!url) {
        log("解析URL失败!");
        result.failure = Failure::BadUrl;
        return result;
    }
    log("解析URL为" + url->server + " : " + std::to_string(url->port) + " : " + url->object + " :" +
        std::to_string(url->serviceType));

    Body body;
    body.head = multipartHead(request.formFileName, request.contentType);
    body.tail = multipartTail();
    switch (openFile(request.filePath, body)) {
    case FileOpen::Ok:
        break;
    case FileOpen::CannotOpen:
        log(request.missingFileLog);
        result.failure = Failure::MissingFile;
        return result;
    case FileOpen::Empty:
        result.failure = Failure::EmptyFile;
        return result;
    }

    std::string proxy = request.proxyServer;
    if (proxy.empty()) {
        const EnvironmentProxy found = environmentProxy(url->secure());
        if (found.state == EnvironmentProxy::State::Empty) {
            log("不使用代理服务器!");
        } else if (found.state == EnvironmentProxy::State::Set) {
            proxy = found.value;
            result.proxyFromEnvironment = found.value;
            log("获取代理服务器，值为：" + found.value);
        }
    }

    detail::CurlEasy easy;
    if (!easy) {
        log("发送请求的参数错误!");
        result.failure = Failure::RequestFailed;
        return result;
    }
    CURL* curl = easy.get();
    const std::string target = url->transportUrl();
    curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, body.size());
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readBody);
    curl_easy_setopt(curl, CURLOPT_READDATA, &body);
    curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, &seekBody);
    curl_easy_setopt(curl, CURLOPT_SEEKDATA, &body);
    std::string answer;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    PeerWatch peer;
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &watchHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &peer);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, &noteSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &peer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(request.connectTimeout.count()));
    easy.watchIdle(request.sendIdle, request.receiveIdle, request.cancel);
    std::string authorities; // the system's bundle and the extra file, while the transfer runs
    if (url->secure()) {
        log("设置https请求安全标志!");
        if (!request.tls.verify) {
            log("已关闭https证书校验(TlsVerify=FALSE)，不检查服务器证书!");
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
        } else if (!request.tls.extraCaFile.empty()) {
            if (!trustExtraAuthorities(curl, request.tls.extraCaFile, authorities)) {
                log("无法读取https信任证书文件:" + request.tls.extraCaFile);
                result.failure = Failure::RequestFailed;
                return result;
            }
        }
    }

    // Our own headers, and empty ones for those libcurl would add on its own.
    const std::string headers = multipartHeaders(url->server, url->port);
    curl_slist* list = nullptr;
    for (size_t start = 0; start < headers.size();) {
        const size_t end = headers.find("\r\n", start);
        list = curl_slist_append(list, headers.substr(start, end - start).c_str());
        start = end + 2;
    }
    for (const char* extra : {"Pragma: no-cache", "Cache-Control: no-cache", "Expect:", "Accept:"})
        list = curl_slist_append(list, extra);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    log("发送请求成功!");
    if (url->secure())
        log("设置https文件安全标志!");

    // The proxy and its bypass list are always set, so no variable of the environment is consulted
    // behind our back (libcurl reads them when these options are left alone).
    const std::string effectiveProxy = proxyFromSetting(proxy, url->secure());
    curl_easy_setopt(curl, CURLOPT_PROXY, effectiveProxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    if (!proxy.empty()) {
        log("设置代理服务器，值为：" + proxy);
        if (!request.proxyUser.empty() && !request.proxyPassword.empty()) {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
            curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
            log("设置代理服务器用户名和密码!");
        }
    }

    const CURLcode code = easy.perform();
    curl_slist_free_all(list);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_off_t sent = 0;
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
    // A server or proxy that refuses the request often answers before it has read the body and
    // then closes, which resets the connection under the rest of the body. Its answer is the
    // outcome that matters; an error after a 2xx status stays an error, as the body may be cut.
    const bool refusedEarly = code != CURLE_OK && result.status >= 300;
    if (code == CURLE_ABORTED_BY_CALLBACK && body.fileError) {
        result.status = 0;
        result.failure = Failure::File;
        result.errorBox = "FileException occur!\r\n" + std::to_string(fileCause(body.fileError));
        result.errorLog = "文件出错!";
        return result;
    }
    if (code != CURLE_OK && !refusedEarly) {
        if (code == CURLE_PEER_FAILED_VERIFICATION)
            log("https服务器证书校验失败，未上传: " + easy.errorText(code));
        result.status = 0;
        result.failure = Failure::Internet;
        result.errorBox = "InternetException occur!\r\n" + easy.errorText(code);
        result.errorLog = "网络出错!";
        return result;
    }
    // A captive portal, a block page or a proxy may answer 200 after the first kilobytes and close:
    // the exchange then ends without error, but the server never had the picture.
    // Bytes libcurl handed to the kernel may still lie unread on the server's side when it answers;
    // the reset of its close says they were never read.
    if (code == CURLE_OK && result.status < 300 && (sent != body.size() || peer.reset)) {
        const std::string bytes = std::to_string(sent) + "/" + std::to_string(body.size());
        log("服务器在收到全部数据前已应答，上传未完成! " +
            (sent != body.size() ? "已发送" + bytes + "字节" : std::string("服务器未读完数据即断开连接")));
        result.status = 0;
        result.failure = Failure::Internet;
        result.errorBox = "InternetException occur!\r\nThe server answered before the whole upload was " +
                          (sent != body.size() ? "sent (" + bytes + " bytes)"
                                               : std::string("read (it reset the connection)"));
        result.errorLog = "网络出错!";
        return result;
    }
    result.response = answer.substr(0, answer.find('\0'));
    log("服务器返回:" + result.response);
    if (result.status == 200)
        log("上传图片成功!");
    else
        log("上传图片失败，服务器返回状态码" + std::to_string(result.status) + "!");
    return result;
}

} // namespace

HttpUploadResult uploadMultipart(const HttpUploadRequest& request, const LogSink& log) {
    try {
        return upload(request, log);
    } catch (const std::bad_alloc&) {
        HttpUploadResult result;
        result.failure = HttpUploadResult::Failure::Unknown;
        result.errorBox = "Unknow Exception occur!\r\n" + std::to_string(ENOMEM);
        result.errorLog = "发生未知错误!";
        return result;
    }
}

} // namespace qx::net
