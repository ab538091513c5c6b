#pragma once

#include <string>
#include <string_view>

namespace ravelo {

// Downloads never write the local copy itself: they fill a hidden file in
// the same folder and put it in the copy's place only once complete, so a
// failed transfer leaves the previous copy and nothing partial. The hidden
// files are named kDownloadTempPrefix and a random suffix; local listings
// leave every such name out.
inline constexpr std::string_view kDownloadTempPrefix = ".ravelo-download-";

bool IsDownloadTempName(std::string_view name);

// One temporary download file. Created in the folder of the target (which
// must exist) with the usual permissions (0666 less the umask); removed on
// destruction unless committed. One thread.
class TDownloadTempFile {
 public:
  // Throws std::system_error when the file cannot be created.
  explicit TDownloadTempFile(std::string target);
  ~TDownloadTempFile();
  TDownloadTempFile(const TDownloadTempFile&) = delete;
  TDownloadTempFile& operator=(const TDownloadTempFile&) = delete;

  // Appends bytes; throws std::system_error.
  void Write(std::string_view bytes);
  // Gives the file the permissions of the target it replaces (when there is
  // one), closes it and renames it over the target; throws
  // std::system_error, leaving the target as it was.
  void Commit();
  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }

 private:
  void Close();

  std::string target_;
  std::string path_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace ravelo
