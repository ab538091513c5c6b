#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ravelo {

class TNode;

// ravelo-cli's output is one record a line, its fields split by tabs. A name
// may hold any byte but "/", "\" and NUL, so control characters and "\" are
// written as escapes: \t, \n, \r, \\ and \xHH. A name never holds "\", so
// reading the escapes back (CliUnescape) cannot misread a name.
std::string CliEscape(std::string_view text);
// The escapes above read back; a "\" before anything else stays as it is.
std::string CliUnescape(std::string_view text);

// A node's PATH as ravelo-cli prints it: its names joined by "/", escaped,
// a folder's ending in "/" ("./" for the root); none once the node has left
// the tree. Main thread.
std::optional<std::string> CliNodePath(const TNode& node);

}  // namespace ravelo
