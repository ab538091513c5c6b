#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravelo {

// The file list as other programs exchange it: a text/uri-list (RFC 2483) of
// file:// URIs, one per line ended by CR LF, lines beginning with "#" being
// comments.
inline constexpr std::string_view kUriListMimeType = "text/uri-list";

// One "file:///..." line per absolute path. Every byte but the unreserved
// characters and "/" is percent-encoded, so blanks, "%", line breaks and
// non-ASCII bytes survive. Throws std::invalid_argument for a path that is
// not absolute or holds a zero byte.
std::string EncodeUriList(const std::vector<std::string>& paths);

// The local paths of a list, in order. Accepts file:///path,
// file://localhost/path, file://<this host's name>/path and file:/path, CR LF
// or a bare LF, comments and blank lines. Refuses the whole list (nullopt)
// when any line is anything else: another scheme, another host, a query or
// fragment, a malformed or zero escape, a path that is not absolute. A list
// of comments only gives no paths.
std::optional<std::vector<std::string>> DecodeUriList(std::string_view text);

}  // namespace ravelo
