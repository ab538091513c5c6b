#include "ui/display_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "net/ftp_date_time.h"

namespace ravelo {

std::string SizePanelText(int selected_count, std::string_view size_text) {
  if (selected_count != 1 || size_text.empty()) return {};
  return "Size: " + std::string(size_text);
}

std::string NodeErrorText(std::string_view message, std::string_view node_name) {
  return "Error: " + std::string(message) + ", Node: " + std::string(node_name);
}

std::string ConnectErrorText(std::string_view message) {
  return "Error: " + std::string(message);
}

std::string ClearCacheQuestion(int count) {
  return count == 1 ? "1 file holds local changes that would be lost. Clear its cache anyway?"
                    : std::to_string(count) +
                          " files hold local changes that would be lost. Clear their cache anyway?";
}

std::string DateTimeText(TDateTime time, const TTextFormat& format) {
  const TFtpDateTimeParts parts = DecodeFtpDateTime(time);
  char buffer[32];
  std::string text;
  if (format.ShortDate) {
    text = format.ShortDate(parts.Year, parts.Month, parts.Day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.Year, parts.Month, parts.Day);
    text = buffer;
  }
  if (parts.Hour == 0 && parts.Minute == 0 && parts.Second == 0 && parts.Millisecond == 0)
    return text;
  if (format.LongTime) return text + " " + format.LongTime(parts.Hour, parts.Minute, parts.Second);
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
  return text + " " + buffer;
}

int TransferPercent(std::int64_t position, std::int64_t total, std::int64_t base) {
  if (total == base) return 0;
  const double percent = std::nearbyint(static_cast<double>(position - base) /
                                        static_cast<double>(total - base) * 100.0);
  return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

std::string VersionText(std::string_view version) {
  const auto first = version.find('.');
  const auto second = first == std::string_view::npos ? first : version.find('.', first + 1);
  return "Version " + std::string(version.substr(0, second));
}

}  // namespace ravelo
