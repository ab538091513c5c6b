#include "net/ftp_features.h"

#include <charconv>
#include <optional>

namespace ravelo {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a number of at most six digits at position, moving past it;
// nothing when there is none or it is over max_value.
std::optional<int> NumberAt(std::string_view text, std::size_t& position, int max_value) {
  const std::size_t start = position;
  while (position < text.size() && IsDigit(text[position]) && position - start < 6) ++position;
  if (position == start) return std::nullopt;
  int value = 0;
  std::from_chars(text.data() + start, text.data() + position, value);
  if (value > max_value) return std::nullopt;
  return value;
}

}  // namespace

TFtpFeatures::TFtpFeatures(const TFtpReply& reply) {
  if (reply.NumericCode != 211 || reply.Lines.size() < 2) return;
  // The first and the last line carry the code; the features lie between.
  for (std::size_t i = 1; i + 1 < reply.Lines.size(); ++i) {
    const std::string& line = reply.Lines[i];
    const std::size_t blank = line.find(' ');
    features_.emplace_back(line.substr(0, blank),
                           blank == std::string::npos ? std::string() : line.substr(blank + 1));
  }
}

bool TFtpFeatures::Has(std::string_view name) const {
  for (const auto& feature : features_) {
    if (EqualIgnoringCase(feature.first, name)) return true;
  }
  return false;
}

std::string TFtpFeatures::Parameters(std::string_view name) const {
  for (const auto& feature : features_) {
    if (EqualIgnoringCase(feature.first, name)) return feature.second;
  }
  return {};
}

std::optional<int> ParsePasvPort(std::string_view text) {
  for (std::size_t start = 0; start < text.size(); ++start) {
    if (!IsDigit(text[start]) || (start > 0 && IsDigit(text[start - 1]))) continue;
    std::size_t position = start;
    int numbers[6];
    int count = 0;
    while (count < 6) {
      const auto number = NumberAt(text, position, 255);
      if (!number) break;
      numbers[count++] = *number;
      if (count == 6 || position >= text.size() || text[position] != ',') break;
      ++position;
    }
    if (count != 6) continue;
    const int port = numbers[4] * 256 + numbers[5];
    if (port > 0) return port;
  }
  return std::nullopt;
}

std::optional<int> ParseEpsvPort(std::string_view text) {
  const std::size_t open = text.find('(');
  if (open == std::string_view::npos || open + 5 > text.size()) return std::nullopt;
  const char delimiter = text[open + 1];
  if (delimiter < 33 || delimiter > 126 || text[open + 2] != delimiter ||
      text[open + 3] != delimiter) {
    return std::nullopt;
  }
  std::size_t position = open + 4;
  const auto port = NumberAt(text, position, 65535);
  if (!port || *port == 0 || position >= text.size() || text[position] != delimiter) {
    return std::nullopt;
  }
  return port;
}

}  // namespace ravelo
