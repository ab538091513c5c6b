#pragma once

#include <string>
#include <string_view>

namespace ravelo {

// The command-line programs' output is one record a line, its fields split by tabs. A name
// may hold any byte but "/", "\" and NUL, so control characters and "\" are
// written as escapes: \t, \n, \r, \\ and \xHH. A name never holds "\", so
// reading the escapes back (CliUnescape) cannot misread a name.
std::string CliEscape(std::string_view text);
// The escapes above read back; a "\" before anything else stays as it is.
std::string CliUnescape(std::string_view text);

}  // namespace ravelo
