#pragma once

#include <string>
#include <string_view>

namespace ravelo {

// ASCII transfers carry CR LF line ends on the wire; local text files end
// their lines with LF alone.

// Wire to local: a CR right before an LF is dropped, a lone CR kept. A CR at
// the end of one piece waits for the next.
class TFtpAsciiDecoder {
 public:
  // Appends the local form of piece to out.
  void Decode(std::string_view piece, std::string& out);
  // Appends a CR still waiting at the end of the data.
  void Finish(std::string& out);

 private:
  bool pending_cr_ = false;
};

// Local to wire: every LF becomes CR LF.
void EncodeFtpAscii(std::string_view piece, std::string& out);

}  // namespace ravelo
