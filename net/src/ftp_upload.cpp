// FTP sending over libcurl: connect and log in, the folder step with quoted commands whose answers
// are read from the command transcript, then STOR, all on one control connection.
#include "qx/net/ftp_upload.h"
#include "curl_easy.h"
#include "local_file.h"

#include <cctype>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace qx::net {

namespace {

using Outcome = FtpUploadResult::Outcome;

// The answers to the folder commands we sent. libcurl continues after a quoted command marked
// with '*' that fails, so its answer code is the only way to know how the command went.
struct Transcript {
    struct Command {
        std::string text;
        int reply = 0;
    };
    std::vector<Command> commands;

    int replyTo(const std::string& command) const {
        for (auto it = commands.rbegin(); it != commands.rend(); ++it)
            if (it->text == command)
                return it->reply;
        return 0;
    }
};

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* transcript) {
    auto& t = *static_cast<Transcript*>(transcript);
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (type == CURLINFO_HEADER_OUT) {
        // Only the folder commands are kept: nothing else is needed, and the password stays out.
        if (line.rfind("CWD ", 0) == 0 || line.rfind("MKD ", 0) == 0)
            t.commands.push_back({line, 0});
        else
            t.commands.push_back({line.substr(0, line.find(' ')), 0});
    } else if (type == CURLINFO_HEADER_IN && !t.commands.empty() && t.commands.back().reply == 0) {
        // The last line of an answer is "NNN text"; "NNN-text" lines continue it.
        if (line.size() >= 4 && line[3] == ' ' && std::isdigit(static_cast<unsigned char>(line[0])))
            t.commands.back().reply = std::stoi(line.substr(0, 3));
    }
    return 0;
}

bool positive(int reply) {
    return reply >= 200 && reply < 300;
}

// Leading digits, as the text has always been read; nothing numeric is the default port.
long portNumber(const std::string& text) {
    size_t i = text.find_first_not_of(" \t");
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 65535)
            return -1;
    }
    return value == 0 ? 21 : value;
}

std::string percentEncodePath(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        }
    }
    return out;
}

size_t readFile(char* out, size_t size, size_t count, void* file) {
    const size_t n = std::fread(out, 1, size * count, static_cast<FILE*>(file));
    if (n == 0 && std::ferror(static_cast<FILE*>(file)))
        return CURL_READFUNC_ABORT;
    return n;
}

bool transportTimedOut(CURLcode code, const detail::CurlEasy& easy) {
    return code == CURLE_OPERATION_TIMEDOUT || (code == CURLE_ABORTED_BY_CALLBACK && easy.timedOut());
}

} // namespace

bool isSafeFtpText(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

FtpUploadResult ftpUpload(const FtpUploadRequest& request, const LogSink& log) {
    FtpUploadResult result;
    for (const std::string* text :
         {&request.server, &request.user, &request.password, &request.folder, &request.remoteName}) {
        if (!isSafeFtpText(*text)) {
            result.outcome = Outcome::BadArgument;
            return result;
        }
    }
    const long port = portNumber(request.port);
    detail::CurlEasy easy;
    if (!easy) {
        log("创建FTP InternetSession失败!");
        result.outcome = Outcome::SessionFailed;
        return result;
    }
    if (port < 0 || request.server.empty()) {
        log("创建FTP连接失败!");
        result.outcome = Outcome::ConnectFailed;
        return result;
    }
    CURL* curl = easy.get();
    Transcript transcript;
    const std::string host = request.server.find(':') != std::string::npos && request.server[0] != '['
                                 ? "[" + request.server + "]"
                                 : request.server;
    const std::string root = "ftp://" + host + ":" + std::to_string(port) + "/";
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &onDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &transcript);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    // Proxies of the environment are for the web; FTP goes straight to the server.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(request.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(request.replyTimeout.count()));
    easy.watchIdle(request.dataIdle, request.replyTimeout, request.cancel);
    if (!request.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, request.password.c_str());
    }

    const auto failed = [&](CURLcode code) {
        result.outcome = Outcome::Failed;
        result.errorText = easy.errorText(code);
        return result;
    };
    // One folder step: the quoted commands run after the login, on the connection libcurl keeps.
    const auto quote = [&](const std::vector<std::string>& commands) {
        curl_slist* list = nullptr;
        for (const std::string& command : commands)
            list = curl_slist_append(list, ("*" + command).c_str());
        curl_easy_setopt(curl, CURLOPT_URL, root.c_str());
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(curl, CURLOPT_QUOTE, list);
        const CURLcode code = easy.perform();
        curl_easy_setopt(curl, CURLOPT_QUOTE, nullptr);
        curl_slist_free_all(list);
        return code;
    };

    const std::string cwd = "CWD " + request.folder;
    const CURLcode connected = quote({cwd});
    if (connected != CURLE_OK) {
        if (transportTimedOut(connected, easy))
            return failed(connected);
        log("创建FTP连接失败!");
        result.outcome = Outcome::ConnectFailed;
        return result;
    }
    if (!positive(transcript.replyTo(cwd))) {
        log("设置FTP保存路径失败，尝试创建保存路径：" + request.folder);
        const std::string mkd = "MKD " + request.folder;
        if (const CURLcode code = quote({mkd, cwd}); code != CURLE_OK)
            return failed(code);
        if (!positive(transcript.replyTo(mkd)))
            log("创建FTP保存路径失败!");
        if (!positive(transcript.replyTo(cwd))) {
            log("设置FTP保存路径失败!");
            easy.close();
            log("FTP关闭连接!");
            result.outcome = Outcome::FolderUnavailable;
            return result;
        }
    }

    off_t size = 0;
    const int fd = detail::openLocalFile(request.localFile, size);
    FILE* file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!file) {
        if (fd >= 0)
            ::close(fd);
        log("找不到待上传图片: " + request.localFile);
        result.outcome = Outcome::LocalFileMissing;
        return result;
    }
    // The name goes to STOR as it stands, in the folder chosen above: no CWD of libcurl's own.
    const std::string target = root + percentEncodePath(request.remoteName);
    curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readFile);
    curl_easy_setopt(curl, CURLOPT_READDATA, file);
    const CURLcode stored = easy.perform();
    std::fclose(file);
    curl_off_t sent = 0;
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
    // A server that confirms the STOR before the whole file went over has not got the picture.
    if (stored == CURLE_UPLOAD_FAILED || stored == CURLE_REMOTE_ACCESS_DENIED ||
        (stored == CURLE_OK && sent != curl_off_t(size))) {
        log("FTP上传失败!");
        result.outcome = Outcome::StoreRefused;
    } else if (stored != CURLE_OK) {
        return failed(stored);
    } else {
        log("FTP上传成功!");
        result.outcome = Outcome::Stored;
    }
    easy.close();
    log("FTP关闭连接!");
    return result;
}

} // namespace qx::net
