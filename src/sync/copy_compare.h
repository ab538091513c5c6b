#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sync/line_diff.h"

namespace ravelo {

// One row of two texts side by side: a line on either side or both. Same
// rows hold equal lines; Changed rows a removed line beside an added one.
enum class TRowKind { Same, Changed, Removed, Added };

struct TCompareRow {
  TRowKind Kind;
  std::optional<std::size_t> Left;   // line index in the left text
  std::optional<std::size_t> Right;  // line index in the right text
  bool operator==(const TCompareRow&) const = default;
};

// An edit script as rows: each run of removed lines is paired, line by
// line, with the run of added lines that follows it.
std::vector<TCompareRow> SideBySide(const std::vector<TDiffLine>& script);

// Two files read whole. Binary when either holds a NUL byte in its first
// 8 KB: then only Differ and the sizes are told, no rows.
struct TCopyComparison {
  bool Binary = false;
  bool Differ = false;
  std::int64_t LeftSize = 0;
  std::int64_t RightSize = 0;
  std::string LeftText;
  std::string RightText;
  std::vector<TCompareRow> Rows;
};

// Throws std::runtime_error ("Cannot Read '<path>'") when a file cannot be
// read.
TCopyComparison CompareCopies(const std::string& left_path, const std::string& right_path);

}  // namespace ravelo
