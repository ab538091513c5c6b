#pragma once

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/drop_feedback.h"
#include "shell/replace_question.h"

namespace ravelo {

// One drop into the local cache: the dropped paths, the folder they go into,
// copy or move.
struct TDropRequest {
  std::vector<std::string> Files;
  std::string Destination;
  bool Copy = true;
};

enum TDropResult { drDone, drCancelled, drFailed };

struct TDropOutcome {
  TDropResult Result = drDone;
  std::string Message;               // drFailed: the error to show
  std::vector<std::string> Skipped;  // pipes, devices and sockets left where they were
};

// Copies or moves the dropped files into the destination: first counts the
// bytes to copy, then transfers item after item, asking before it replaces
// anything. A copy is written under a hidden name and renamed into place when
// complete; a move by copy deletes its source only after the copy is on disk;
// on one file system a move is a rename. Symbolic links are copied as links,
// special files skipped. Dropping an entry into its own folder does nothing;
// a folder dropped into itself or its subfolder refuses the whole drop.
//
// Threads: Run is called once, in any one thread (TDropJob runs it in a
// thread of its own), and makes every feedback call in that thread. Cancel
// and Cancelled may be called from any thread; the flag is atomic, seen
// between files and between chunks of a copy.
class TDropWalk {
 public:
  TDropWalk(TDropRequest request, IDropFeedback& feedback);

  TDropOutcome Run();
  void Cancel() { cancelled_ = true; }
  bool Cancelled() const { return cancelled_; }

 private:
  bool AlreadyThere(const std::string& path) const;
  void RefuseFolderIntoItself() const;
  void CountEntry(const std::string& path, const struct stat& status);
  void TransferItem(const std::string& folder, const std::string& path, const struct stat& status);
  void TransferEntry(const std::string& folder, const std::string& path, const struct stat& status,
                     bool replace);
  bool MoveByRename(const std::string& path, const struct stat& status, const std::string& target,
                    bool replace);
  void TransferFolder(const std::string& target, const std::string& source,
                      const struct stat& status, bool replace);
  void CopyEntry(const std::string& path, const struct stat& status, const std::string& target,
                 bool replace);
  bool Renames(const struct stat& status) const;
  void Progress(std::int64_t bytes, bool final);

  TDropRequest request_;
  IDropFeedback& feedback_;  // outlives the walk
  std::atomic<bool> cancelled_{false};
  // The fields below belong to the thread running Run.
  dev_t destination_device_ = 0;
  ino_t destination_inode_ = 0;
  std::int64_t total_ = 0;
  TReplaceAnswer mode_ = raNone;
  std::vector<std::string> skipped_;
  std::chrono::steady_clock::time_point last_progress_{};
  std::int64_t last_reported_ = -1;  // of the file being copied
};

}  // namespace ravelo
