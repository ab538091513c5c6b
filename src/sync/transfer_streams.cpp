#include "sync/transfer_streams.h"

#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "sync/download_temp_file.h"

namespace ravelo {

std::streamsize TDownloadSink::xsputn(const char* bytes, std::streamsize count) {
  if (error_) return 0;
  try {
    file_.Write(std::string_view(bytes, static_cast<std::size_t>(count)));
  } catch (...) {
    // Fewer bytes taken than given: the stream fails, and the client with it.
    error_ = std::current_exception();
    return 0;
  }
  moved_.fetch_add(count);
  return count;
}

TDownloadSink::int_type TDownloadSink::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char one = traits_type::to_char_type(c);
  return xsputn(&one, 1) == 1 ? c : traits_type::eof();
}

TUploadSource::TUploadSource(int fd, std::atomic<std::int64_t>& moved)
    : fd_(fd), moved_(moved), buffer_(64 * 1024) {}

TUploadSource::~TUploadSource() {
  ::close(fd_);
}

TUploadSource::int_type TUploadSource::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  ssize_t got;
  do {
    got = ::read(fd_, buffer_.data(), buffer_.size());
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    // Thrown, not answered with end of file: the stream goes bad and the
    // client refuses to report a cut file as sent.
    error_ = std::make_exception_ptr(std::system_error(errno, std::generic_category()));
    std::rethrow_exception(error_);
  }
  if (got == 0) return traits_type::eof();
  setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
  moved_.fetch_add(got);
  return traits_type::to_int_type(*gptr());
}

TUploadSource::pos_type TUploadSource::seekoff(off_type offset, std::ios_base::seekdir direction,
                                               std::ios_base::openmode which) {
  if (direction != std::ios_base::beg) return pos_type(off_type(-1));
  return seekpos(pos_type(offset), which);
}

TUploadSource::pos_type TUploadSource::seekpos(pos_type position, std::ios_base::openmode) {
  const off_t target = static_cast<off_t>(off_type(position));
  if (::lseek(fd_, target, SEEK_SET) != target) return pos_type(off_type(-1));
  setg(nullptr, nullptr, nullptr);
  return position;
}

}  // namespace ravelo
