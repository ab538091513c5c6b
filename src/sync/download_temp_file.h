#pragma once

#include <string>
#include <string_view>

#include "sync/local_folder.h"

namespace ravelo {

// Downloads never write the local copy itself: they fill a hidden file in
// the same folder and put it in the copy's place only once complete, so a
// failed transfer leaves the previous copy and nothing partial. The hidden
// files are named kDownloadTempPrefix and a random suffix; local listings
// leave every such name out.
inline constexpr std::string_view kDownloadTempPrefix = ".ravelo-download-";

bool IsDownloadTempName(std::string_view name);

// One temporary download file, created in the target's folder (made when
// missing, reached without following links: TLocalFolder) with the usual
// permissions (0666 less the umask); removed on destruction unless
// committed. One thread.
class TDownloadTempFile {
 public:
  // relative: the target's path below root. Throws std::system_error when
  // the folder or the file cannot be made.
  TDownloadTempFile(const std::string& root, std::string_view relative);
  ~TDownloadTempFile();
  TDownloadTempFile(const TDownloadTempFile&) = delete;
  TDownloadTempFile& operator=(const TDownloadTempFile&) = delete;

  // Appends bytes; throws std::system_error.
  void Write(std::string_view bytes);
  // Gives the file the permissions of the target it replaces (when there is
  // one), closes it and renames it over the target; throws
  // std::system_error, leaving the target as it was. Anything but a regular
  // file in the target's place (a link, a folder) is never replaced (EEXIST).
  void Commit();
  int Descriptor() const { return fd_; }

 private:
  void Close();

  TLocalFolder folder_;
  std::string target_;  // name in folder_
  std::string name_;    // the temporary file's name in folder_
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace ravelo
