#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ravelo {

class TNode;

// Where the conflict's "Copy" moves the local copy: the extension (from the
// last dot of the name, dot included; the whole name when it starts with its
// only dot) gets " (local)" before it, then " (local 2)", " (local 3)" ...
// until exists answers false.
std::string LocalCopyName(const std::string& local_path,
                          const std::function<bool(const std::string&)>& exists);

// The conflict's "Copy": renames the file's local copy, in its folder, to
// the first LocalCopyName nothing bears, never over an entry (a name taken
// meanwhile fails with EEXIST); answers the new name. The tree learns of
// both names when the folder is listed again. Throws std::system_error with
// the system's message, ETerminated for a node that has left the tree.
std::string RenameLocalCopy(const std::string& local_root, const TNode& file);

}  // namespace ravelo
