#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace ravelo {

// The file system a path is on, or would be created on: the device id of the
// path itself (a symbolic link counts as the link, not its target) or of its
// nearest existing ancestor. Nullopt when not even "/" or "." can be read.
std::optional<dev_t> FileSystemOf(const std::string& path);

// True when every path is on the file system where entries created in
// folder would go (following links to folder). False for no paths.
bool AllOnFileSystemOf(const std::vector<std::string>& paths, const std::string& folder);

// The parent of a path as written ("/a/b" gives "/a", "/a" gives "/", "a"
// gives "."); trailing slashes are no component.
std::string ParentPath(const std::string& path);
// The last component ("/a/b/" gives "b"; "/" gives "").
std::string NamePart(const std::string& path);

}  // namespace ravelo
