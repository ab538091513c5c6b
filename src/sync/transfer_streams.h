#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <streambuf>
#include <vector>

namespace ravelo {

class TDownloadTempFile;

// The streams a server hands the FTP client for one transfer. Both count
// the bytes they move into a counter the progress display reads from
// another thread, and both keep the system's error when the disk fails, so
// the caller can raise that ("No space left on device") instead of the
// client's general stream error. Used by the transfer's thread only.

// Writes a download into its temporary file.
class TDownloadSink : public std::streambuf {
 public:
  TDownloadSink(TDownloadTempFile& file, std::atomic<std::int64_t>& moved)
      : file_(file), moved_(moved) {}
  std::exception_ptr Error() const { return error_; }

 protected:
  std::streamsize xsputn(const char* bytes, std::streamsize count) override;
  int_type overflow(int_type c) override;

 private:
  TDownloadTempFile& file_;
  std::atomic<std::int64_t>& moved_;
  std::exception_ptr error_;
};

// Reads an upload from a local file; owns the descriptor. The client
// rewinds it before it sends (seekg(0)).
class TUploadSource : public std::streambuf {
 public:
  TUploadSource(int fd, std::atomic<std::int64_t>& moved);
  ~TUploadSource() override;
  TUploadSource(const TUploadSource&) = delete;
  TUploadSource& operator=(const TUploadSource&) = delete;
  std::exception_ptr Error() const { return error_; }

 protected:
  int_type underflow() override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

 private:
  int fd_;
  std::atomic<std::int64_t>& moved_;
  std::vector<char> buffer_;
  std::exception_ptr error_;
};

}  // namespace ravelo
