#include "shell/replace_question.h"

#include <sys/stat.h>

#include <cstdio>

#include "shell/file_system.h"

namespace ravelo {

namespace {

TReplaceSide ReadSide(const std::string& path) {
  TReplaceSide side;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return side;
  side.Found = true;
  side.Folder = S_ISDIR(status.st_mode);
  side.Size = status.st_size;
  side.Time = status.st_mtim;
  return side;
}

bool Later(const std::timespec& a, const std::timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

std::string Grouped(std::int64_t whole, const std::string& separator) {
  std::string digits = std::to_string(whole);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), separator);
  return digits;
}

}  // namespace

TReplaceFacts ReadReplaceFacts(const std::string& source, const std::string& folder) {
  return {source, folder, ReadSide(folder + "/" + NamePart(source)), ReadSide(source)};
}

std::string SizeText(std::int64_t bytes, const TTextFormat& format) {
  const bool negative = bytes < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
  // Hundredths of a kilobyte, rounded half up, without overflow.
  const std::uint64_t hundredths = magnitude / 1024 * 100 + (magnitude % 1024 * 100 + 512) / 1024;
  std::string text = negative && hundredths != 0 ? "-" : "";
  text += Grouped(static_cast<std::int64_t>(hundredths / 100), format.ThousandsSeparator);
  if (const std::uint64_t fraction = hundredths % 100; fraction != 0) {
    text += format.DecimalPoint;
    text.push_back(static_cast<char>('0' + fraction / 10));
    if (fraction % 10 != 0) text.push_back(static_cast<char>('0' + fraction % 10));
  }
  return text + " KB";
}

std::string DateText(const std::timespec& time, const TTextFormat& format) {
  std::tm local{};
  const std::time_t seconds = time.tv_sec;
  localtime_r(&seconds, &local);
  char buffer[32];
  std::string text;
  if (format.ShortDate) {
    text = format.ShortDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    text = buffer;
  }
  if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0 && time.tv_nsec == 0)
    return text;
  if (format.LongTime)
    return text + " " + format.LongTime(local.tm_hour, local.tm_min, local.tm_sec);
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text + " " + buffer;
}

TReplaceTexts ReplaceTexts(const TReplaceFacts& facts, const TTextFormat& format) {
  TReplaceTexts texts;
  const TReplaceSide& existing = facts.Existing;
  const TReplaceSide& replacing = facts.Replacing;
  const std::string kind = !existing.Found ? "" : existing.Folder ? "folder" : "file";
  texts.Lead = "A " + kind + " \"";
  texts.Name = NamePart(facts.Source);
  texts.Tail = "\" already exists in folder\r\n\"" + facts.Folder + "\"";
  if (existing.Found) {
    if (!existing.Folder) texts.ExistingSize = SizeText(existing.Size, format);
    texts.ExistingDate = DateText(existing.Time, format);
  }
  if (replacing.Found) {
    if (!replacing.Folder) texts.ReplacingSize = SizeText(replacing.Size, format);
    texts.ReplacingDate = DateText(replacing.Time, format);
  }
  texts.ShowInfo = existing.Found && replacing.Found;
  if (texts.ShowInfo) {
    texts.ExistingNewer = Later(existing.Time, replacing.Time);
    texts.ReplacingNewer = Later(replacing.Time, existing.Time);
  }
  return texts;
}

}  // namespace ravelo
