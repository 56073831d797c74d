// The bytes of the multipart form that carries a picture: boundary, head, tail and the file name.
#pragma once

#include <string>
#include <string_view>

namespace qx::net {

// 29 hyphens and a fixed tail: servers written for this control may look for it.
inline constexpr std::string_view kBoundary = "-----------------------------7d86d16250370";

// The request headers the upload adds: the form's content type and "Host: server:port".
std::string multipartHeaders(std::string_view server, int port);

// Everything in front of the file's bytes: boundary line, disposition with `formFileName` (used as
// given), content type and the blank line after "Content-Transfer-Encoding: binary".
std::string multipartHead(std::string_view formFileName, std::string_view contentType);

// Everything after the file's bytes: the "submit" field and the closing boundary.
std::string multipartTail();

// A file name percent-encoded for servers that decode it: ASCII letters, digits, '-', '.', '_' stay,
// white space becomes '+', every other byte "%XX" with upper-case hex. `utf8` is the name's UTF-8.
std::string percentEncodeFileName(std::string_view utf8);

// A file name as it stands, except that '"', CR and LF are percent-encoded: inside the quoted
// disposition they would end the name or the header line.
std::string quotableFileName(std::string_view utf8);

} // namespace qx::net
