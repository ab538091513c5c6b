#include "shell/drop_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "shell/drop_errors.h"
#include "shell/entry_copy.h"
#include "shell/file_system.h"

namespace ravelo {

namespace {

// Progress reaches the window at most this often during one file's copy.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

// The names in a folder, sorted, without "." and "..". A folder that cannot
// be read has none when counting, and fails the transfer.
std::vector<std::string> ReadFolder(const std::string& folder, bool strict) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    if (strict) ThrowFileError(errno, folder);
    return names;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  if (errno != 0 && strict) ThrowFileError(errno, folder);
  std::sort(names.begin(), names.end());
  return names;
}

bool IsSpecial(const struct stat& status) {
  return S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ||
         S_ISSOCK(status.st_mode);
}

bool IsDotName(const std::string& path) {
  const std::string name = NamePart(path);
  return name.empty() || name == "." || name == "..";
}

void MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return;
  if (errno == EEXIST) throw ETargetExists(path);
  ThrowFileError(errno, path);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

TDropWalk::TDropWalk(TDropRequest request, IDropFeedback& feedback)
    : request_(std::move(request)), feedback_(feedback) {
  request_.Destination = WithoutTrailingSlashes(request_.Destination);
}

TDropOutcome TDropWalk::Run() {
  TDropOutcome outcome;
  try {
    RefuseFolderIntoItself();
    std::error_code error;
    std::filesystem::create_directories(request_.Destination, error);
    if (error) ThrowFileError(error.value(), request_.Destination);
    struct stat destination {};
    if (::stat(request_.Destination.c_str(), &destination) != 0)
      ThrowFileError(errno, request_.Destination);
    if (!S_ISDIR(destination.st_mode)) ThrowFileError(ENOTDIR, request_.Destination);
    destination_device_ = destination.st_dev;
    destination_inode_ = destination.st_ino;

    // Each pass looks at the dropped paths as they are now; one that has gone
    // is skipped.
    const auto each_item = [this](const auto& action) {
      for (const std::string& path : request_.Files) {
        if (cancelled_) break;
        struct stat status {};
        if (IsDotName(path) || AlreadyThere(path) || ::lstat(path.c_str(), &status) != 0) continue;
        action(path, status);
      }
    };
    each_item(
        [this](const std::string& path, const struct stat& status) { CountEntry(path, status); });
    if (total_ > 0 && !cancelled_)
      feedback_.Start(request_.Copy ? "Copying..." : "Moving...", total_);
    each_item([this](const std::string& path, const struct stat& status) {
      TransferItem(request_.Destination, path, status);
    });
    outcome.Result = cancelled_ ? drCancelled : drDone;
  } catch (const ECancelOperation&) {
    outcome.Result = drCancelled;
  } catch (const std::exception& error) {
    outcome.Result = drFailed;
    outcome.Message = error.what();
  }
  feedback_.Finish();
  outcome.Skipped = std::move(skipped_);
  return outcome;
}

bool TDropWalk::AlreadyThere(const std::string& path) const {
  // The same folder whatever the path says: "..", links, letter case.
  struct stat parent {};
  return ::stat(ParentPath(path).c_str(), &parent) == 0 && parent.st_dev == destination_device_ &&
         parent.st_ino == destination_inode_;
}

void TDropWalk::RefuseFolderIntoItself() const {
  // Where the destination is, or will be created: its nearest existing
  // ancestor, with links resolved.
  std::string existing = request_.Destination;
  struct stat status {};
  while (::stat(existing.c_str(), &status) != 0 && ParentPath(existing) != existing)
    existing = ParentPath(existing);
  char resolved[PATH_MAX];
  if (::realpath(existing.c_str(), resolved) == nullptr) return;

  for (const std::string& path : request_.Files) {
    struct stat folder {};
    if (IsDotName(path) || ::lstat(path.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
      continue;
    for (std::string place = resolved;; place = ParentPath(place)) {
      if (::stat(place.c_str(), &status) == 0 && status.st_dev == folder.st_dev &&
          status.st_ino == folder.st_ino)
        throw EFolderIntoItself(path, request_.Copy);
      if (place == "/") break;
    }
  }
}

bool TDropWalk::Renames(const struct stat& status) const {
  return !request_.Copy && status.st_dev == destination_device_;
}

void TDropWalk::CountEntry(const std::string& path, const struct stat& status) {
  if (cancelled_ || Renames(status)) return;
  if (S_ISREG(status.st_mode)) {
    total_ += status.st_size;
  } else if (S_ISDIR(status.st_mode)) {
    for (const std::string& name : ReadFolder(path, false)) {
      struct stat child {};
      const std::string child_path = path + "/" + name;
      if (::lstat(child_path.c_str(), &child) == 0) CountEntry(child_path, child);
    }
  }
}

void TDropWalk::TransferItem(const std::string& folder, const std::string& path,
                             const struct stat& status) {
  try {
    TransferEntry(folder, path, status, mode_ == raReplaceAll);
    return;
  } catch (const ETargetExists&) {
  }
  mode_ = feedback_.ConfirmReplace(ReadReplaceFacts(path, folder));
  switch (mode_) {
    case raReplace:
    case raReplaceAll:
      try {
        TransferEntry(folder, path, status, true);
      } catch (const ETargetExists& error) {
        // Not this entry's clash to ask about again, nor its folder's.
        throw std::system_error(error.code(), error.Target());
      }
      if (mode_ == raReplace) mode_ = raNone;
      break;
    case raLeave:
      if (!Renames(status)) feedback_.Advance(S_ISREG(status.st_mode) ? status.st_size : 0);
      break;
    default:
      throw ECancelOperation();
  }
}

void TDropWalk::TransferEntry(const std::string& folder, const std::string& path,
                              const struct stat& status, bool replace) {
  const std::string target = folder + "/" + NamePart(path);
  if (IsSpecial(status)) {
    skipped_.push_back(path);
    return;
  }
  if (Renames(status) && MoveByRename(path, status, target, replace)) return;
  if (S_ISDIR(status.st_mode))
    TransferFolder(target, path, status, replace);
  else
    CopyEntry(path, status, target, replace);
}

bool TDropWalk::MoveByRename(const std::string& path, const struct stat& status,
                             const std::string& target, bool replace) {
  feedback_.NextFile(path);
  struct stat existing {};
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (S_ISDIR(status.st_mode) && exists && S_ISDIR(existing.st_mode)) {
    // A folder of that name is there: move the contents into it, as a copy
    // would, rather than replace it; the emptied source goes.
    TransferFolder(target, path, status, replace);
    ::rmdir(path.c_str());
    return true;
  }
  if (S_ISDIR(status.st_mode) && exists && replace && ::unlink(target.c_str()) != 0)
    ThrowFileError(errno, target);
  // A false return: another mount of the same file system; copy instead.
  return RenameEntry(path, target, replace);
}

void TDropWalk::TransferFolder(const std::string& target, const std::string& source,
                               const struct stat& status, bool replace) {
  const std::vector<std::string> names = ReadFolder(source, true);
  struct stat existing {};
  bool created = true;
  if (::lstat(target.c_str(), &existing) != 0) {
    MakeFolder(target);
  } else if (!S_ISDIR(existing.st_mode)) {
    if (!replace) throw ETargetExists(target);
    if (::unlink(target.c_str()) != 0) ThrowFileError(errno, target);
    MakeFolder(target);
  } else {
    created = false;
  }
  for (const std::string& name : names) {
    if (cancelled_) break;
    const std::string child_path = source + "/" + name;
    struct stat child {};
    if (::lstat(child_path.c_str(), &child) == 0) TransferItem(target, child_path, child);
  }
  if (created) {
    // Made writable for the copy; now the source's permission bits and time.
    if (::chmod(target.c_str(), status.st_mode & 0777) != 0) ThrowFileError(errno, target);
    const timespec times[2] = {status.st_atim, status.st_mtim};
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
  }
}

void TDropWalk::CopyEntry(const std::string& path, const struct stat& status,
                          const std::string& target, bool replace) {
  feedback_.NextFile(path);
  last_reported_ = -1;
  std::int64_t copied = 0;
  const TCopyOptions options{replace, !request_.Copy, &cancelled_, [&](std::int64_t bytes) {
                               copied = bytes;
                               Progress(bytes, false);
                             }};
  if (S_ISLNK(status.st_mode))
    CopySymbolicLink(path, target, options);
  else if (!CopyRegularFile(path, target, options))
    return;  // cancelled
  Progress(copied, true);
  // A move deletes its source only now, with the copy on disk; a source that
  // cannot be deleted stays, unreported.
  if (!request_.Copy) ::unlink(path.c_str());
}

void TDropWalk::Progress(std::int64_t bytes, bool final) {
  const auto now = std::chrono::steady_clock::now();
  if (final ? bytes == last_reported_ : now - last_progress_ < kProgressInterval) return;
  last_progress_ = now;
  last_reported_ = bytes;
  feedback_.Advance(bytes);
}

}  // namespace ravelo
