#pragma once

#include <stdexcept>
#include <string>

namespace ravelo {

// Failures of a drop into the local cache. The file operations themselves
// raise std::system_error with the path and the system's message.
class EDrop : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The user chose Cancel in the replace question; the drop ends silently.
class ECancelOperation : public EDrop {
 public:
  ECancelOperation() : EDrop("Transfer Operation Cancelled") {}
};

// A dropped folder would land in itself or one of its own subfolders; the
// drop is refused before anything is touched.
class EFolderIntoItself : public EDrop {
 public:
  EFolderIntoItself(const std::string& folder, bool copy)
      : EDrop(std::string(copy ? "Cannot Copy" : "Cannot Move") + " Folder \"" + folder +
              "\" Into Itself Or One Of Its Subfolders") {}
};

}  // namespace ravelo
