#pragma once

#include <string_view>

namespace ravelo {

// Whether a name from a listing (the server's or the local disk's) may
// become a node: not empty, not "." or "..", and free of "/", "\" and NUL.
// Any other name could make a path leave its folder, so a hostile server
// could have us write outside the local root.
bool IsValidNodeName(std::string_view name);

}  // namespace ravelo
