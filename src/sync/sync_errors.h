#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ravelo {

class TNode;

// Failures of the synchronization device. Declared here, below the device,
// because the nodes and the server raise and catch EFileNotFound too.
class ESync : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file missing on one side: locally (GetLocalInfo) or on the server
// (Remote, raised by the server for GetFileInfo). It keeps the node's path,
// not the node, which may be gone by the time the error is shown.
class EFileNotFound : public ESync {
 public:
  EFileNotFound(const TNode& node, bool remote);
  const std::string& Path() const { return path_; }
  bool Remote() const { return remote_; }

 private:
  std::string path_;
  bool remote_;
};

// A binary download whose byte count differs from the size the listing
// gave: a transfer cut but answered as complete is never kept.
class EIncompleteDownload : public ESync {
 public:
  EIncompleteDownload(std::int64_t received, std::int64_t listed)
      : ESync("Download Incomplete: " + std::to_string(received) + " Of " + std::to_string(listed) +
              " Bytes") {}
};

}  // namespace ravelo
