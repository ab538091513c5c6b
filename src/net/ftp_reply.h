#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ravelo {

// One reply of the server.
struct TFtpReply {
  // The first four characters of the first line, trimmed, without the hyphen
  // of a multi-line reply ("230").
  std::string TextCode;
  // TextCode as a number; 0 when it is not one.
  int NumericCode = 0;
  // Every line from its fifth character on.
  std::vector<std::string> Text;
  // Every line whole, trimmed: feature lines and MLST facts are read from
  // these, since Text cuts their first characters off.
  std::vector<std::string> Lines;

  // Text with a line break after every line: the message of a reply error.
  std::string JoinedText() const;
};

// Cuts the bytes of a control connection into lines. A line ends at LF; a CR
// before it is dropped, then blanks and control characters are trimmed from
// both ends; lines empty after trimming are skipped.
class TFtpLineReader {
 public:
  // Reads at most size bytes into buffer and answers how many; 0 at the end of
  // the stream. May raise (a socket error, a time-out).
  using TSource = std::function<std::size_t(char* buffer, std::size_t size)>;

  TFtpLineReader(TSource source, std::size_t max_line_length);

  // The next non-empty line. Raises EFtpLineTooLong for a line over the
  // limit and EFtpConnClosed when the stream ends first.
  std::string ReadLine();
  // True when the line last read began with a blank before trimming.
  bool LastLineIndented() const { return last_indented_; }
  // True when bytes are waiting that a ReadLine would use first.
  bool HasBuffered() const { return start_ < buffer_.size(); }
  // Drops what is buffered; for a new connection.
  void Reset();
  void SetMaxLineLength(std::size_t max_line_length) { max_line_length_ = max_line_length; }

 private:
  TSource source_;
  std::size_t max_line_length_;
  std::string buffer_;
  std::size_t start_ = 0;
  bool last_indented_ = false;
};

// Reads one reply, multi-line ones included; raises EFtpReplyTooLong on a
// reply of more than max_lines lines. A line shorter than four characters
// ends a multi-line reply unless it is indented: feature lines (" CCC") are.
TFtpReply ReadFtpReply(TFtpLineReader& reader, std::size_t max_lines);

// Builds the reply fields from its lines (TextCode, NumericCode, Text).
TFtpReply MakeFtpReply(std::vector<std::string> lines);

// Blanks and control characters off both ends.
std::string_view TrimFtpLine(std::string_view line);

// ASCII letters compared without their case, as FTP's keywords, feature
// names and listing facts are; every other byte as it is.
bool EqualIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace ravelo
