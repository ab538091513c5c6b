#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace ravelo {

// Answers to "replace the existing entry?", as the dialog returns them; raNone
// is the drop's mode before any answer.
enum TReplaceAnswer : int {
  raNone = 0,
  raCancel = 2,
  raReplace = 6,
  raLeave = 7,
  raReplaceAll = 10
};

// One side of the question: the entry already in the folder, or the one
// being transferred. A symbolic link is described as the link.
struct TReplaceSide {
  bool Found = false;
  bool Folder = false;
  std::int64_t Size = 0;
  std::timespec Time{};
};

// What the question is about, read from the disk where the transfer runs.
struct TReplaceFacts {
  std::string Source;  // the dropped entry
  std::string Folder;  // the folder it is being copied or moved into
  TReplaceSide Existing;
  TReplaceSide Replacing;
};

TReplaceFacts ReadReplaceFacts(const std::string& source, const std::string& folder);

// The locale's way of writing numbers, dates and times, given by the window.
// Without the functions dates read 2026-03-05 and times 14:30:05.
struct TTextFormat {
  std::string ThousandsSeparator = ",";
  std::string DecimalPoint = ".";
  std::function<std::string(int year, int month, int day)> ShortDate;
  std::function<std::string(int hour, int minute, int second)> LongTime;
};

// Kilobytes with thousands separators and at most two decimals: 1536 bytes
// give "1.5 KB", 0 bytes "0 KB".
std::string SizeText(std::int64_t bytes, const TTextFormat& format);
// The local date, a blank and the time; the time is left out at exactly
// midnight.
std::string DateText(const std::timespec& time, const TTextFormat& format);

// Everything the replace dialog shows. The message is Lead, then Name in bold,
// then Tail: A file "name" already exists in folder, a line break, and the
// folder in double quotes. The information rows are shown only when both
// entries were found; "(newer)" marks the later one, neither when equal.
struct TReplaceTexts {
  std::string Lead;
  std::string Name;
  std::string Tail;
  bool ShowInfo = false;
  std::string ExistingSize;  // empty for a folder
  std::string ExistingDate;
  bool ExistingNewer = false;
  std::string ReplacingSize;
  std::string ReplacingDate;
  bool ReplacingNewer = false;
};

TReplaceTexts ReplaceTexts(const TReplaceFacts& facts, const TTextFormat& format);

}  // namespace ravelo
