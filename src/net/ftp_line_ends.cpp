#include "net/ftp_line_ends.h"

namespace ravelo {

void TFtpAsciiDecoder::Decode(std::string_view piece, std::string& out) {
  for (const char c : piece) {
    if (pending_cr_) {
      pending_cr_ = false;
      if (c != '\n') out += '\r';
    }
    if (c == '\r') {
      pending_cr_ = true;
    } else {
      out += c;
    }
  }
}

void TFtpAsciiDecoder::Finish(std::string& out) {
  if (pending_cr_) out += '\r';
  pending_cr_ = false;
}

void EncodeFtpAscii(std::string_view piece, std::string& out) {
  for (const char c : piece) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

}  // namespace ravelo
