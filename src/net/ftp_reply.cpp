#include "net/ftp_reply.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "net/ftp_exceptions.h"

namespace ravelo {

namespace {

constexpr std::size_t kReadPiece = 4096;

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string TFtpReply::JoinedText() const {
  std::string joined;
  for (const auto& line : Text) {
    joined += line;
    joined += '\n';
  }
  return joined;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

std::string_view TrimFtpLine(std::string_view line) {
  while (!line.empty() && IsTrimmed(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsTrimmed(line.back())) line.remove_suffix(1);
  return line;
}

TFtpLineReader::TFtpLineReader(TSource source, std::size_t max_line_length)
    : source_(std::move(source)), max_line_length_(max_line_length) {}

void TFtpLineReader::Reset() {
  buffer_.clear();
  start_ = 0;
}

std::string TFtpLineReader::ReadLine() {
  for (;;) {
    std::size_t scanned = start_;
    for (;;) {
      const auto end = buffer_.find('\n', scanned);
      if (end != std::string::npos) {
        std::string_view raw(buffer_.data() + start_, end - start_);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (raw.size() > max_line_length_) {
          start_ = end + 1;
          throw EFtpLineTooLong();
        }
        std::string line(TrimFtpLine(raw));
        start_ = end + 1;
        if (!line.empty()) {
          last_indented_ = raw.front() == ' ' || raw.front() == '\t';
          return line;
        }
        scanned = start_;
        continue;
      }
      // An unfinished line already over the limit (its CR aside) is too long.
      if (buffer_.size() - start_ > max_line_length_ + 1) throw EFtpLineTooLong();
      break;
    }
    buffer_.erase(0, start_);
    start_ = 0;
    const std::size_t old_size = buffer_.size();
    buffer_.resize(old_size + kReadPiece);
    std::size_t got = 0;
    try {
      got = source_(buffer_.data() + old_size, kReadPiece);
    } catch (...) {
      buffer_.resize(old_size);
      throw;
    }
    buffer_.resize(old_size + got);
    if (got == 0) throw EFtpConnClosed();
  }
}

TFtpReply MakeFtpReply(std::vector<std::string> lines) {
  TFtpReply reply;
  if (!lines.empty()) {
    const std::string& first = lines.front();
    std::string code(TrimFtpLine(std::string_view(first).substr(0, 4)));
    if (code.size() == 4 && code[3] == '-') code.pop_back();
    reply.TextCode = code;
    // Three digits, the first not 0: "022" or "+22" must not pass for 22.
    if (code.size() == 3 && code[0] >= '1' && code[0] <= '9' &&
        std::isdigit(static_cast<unsigned char>(code[1])) &&
        std::isdigit(static_cast<unsigned char>(code[2]))) {
      reply.NumericCode = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    }
  }
  reply.Text.reserve(lines.size());
  for (auto& line : lines) reply.Text.push_back(line.size() > 4 ? line.substr(4) : std::string());
  reply.Lines = std::move(lines);
  return reply;
}

TFtpReply ReadFtpReply(TFtpLineReader& reader, std::size_t max_lines) {
  std::vector<std::string> lines;
  lines.push_back(reader.ReadLine());
  const std::string& first = lines.front();
  if (first.size() >= 4 && first[3] == '-') {
    const std::string terminator = first.substr(0, 3) + ' ';
    for (;;) {
      if (lines.size() >= max_lines) throw EFtpReplyTooLong();
      lines.push_back(reader.ReadLine());
      const std::string& line = lines.back();
      if ((line.size() < 4 && !reader.LastLineIndented()) ||
          EqualIgnoringCase(std::string_view(line).substr(0, 4), terminator)) {
        break;
      }
    }
  }
  return MakeFtpReply(std::move(lines));
}

}  // namespace ravelo
