// The multipart form's fixed texts and the two file-name encodings.
#include "qx/net/multipart.h"

#include <cstdio>

namespace qx::net {

namespace {

void appendHex(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0f];
}

bool isAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The C locale's white space, which is what the encoding turns into '+'.
bool isAsciiSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string multipartHeaders(std::string_view server, int port) {
    std::string headers = "Content-Type: multipart/form-data; boundary=";
    headers += kBoundary;
    headers += "\r\nHost: ";
    headers += server;
    headers += ':';
    headers += std::to_string(port);
    headers += "\r\n";
    return headers;
}

std::string multipartHead(std::string_view formFileName, std::string_view contentType) {
    std::string head = "--";
    head += kBoundary;
    head += "\r\n";
    head += "Content-Disposition: form-data; name=\"QX_Image\"; filename=\"";
    head += formFileName;
    head += "\"\r\nContent-Type: ";
    head += contentType;
    head += "\r\nContent-Transfer-Encoding: binary\r\n\r\n";
    return head;
}

std::string multipartTail() {
    std::string tail = "\r\n--";
    tail += kBoundary;
    tail += "\r\nContent-Disposition: form-data; name=\"submit\"\r\n\r\nsubmit\r\n--";
    tail += kBoundary;
    tail += "--\r\n";
    return tail;
}

std::string percentEncodeFileName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (isAsciiAlnum(c) || c == '-' || c == '.' || c == '_')
            out += ch;
        else if (isAsciiSpace(c))
            out += '+';
        else
            appendHex(out, c);
    }
    return out;
}

std::string quotableFileName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\r' || c == '\n')
            appendHex(out, c);
        else
            out += ch;
    }
    return out;
}

} // namespace qx::net
