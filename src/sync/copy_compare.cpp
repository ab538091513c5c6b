#include "sync/copy_compare.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace ravelo {

std::vector<TCompareRow> SideBySide(const std::vector<TDiffLine>& script) {
  std::vector<TCompareRow> rows;
  std::size_t i = 0;
  while (i < script.size()) {
    if (script[i].Kind == TDiffKind::Same) {
      rows.push_back({TRowKind::Same, script[i].Left, script[i].Right});
      ++i;
      continue;
    }
    std::vector<std::size_t> removed;
    std::vector<std::size_t> added;
    for (; i < script.size() && script[i].Kind == TDiffKind::Removed; ++i)
      removed.push_back(script[i].Left);
    for (; i < script.size() && script[i].Kind == TDiffKind::Added; ++i)
      added.push_back(script[i].Right);
    const std::size_t count = std::max(removed.size(), added.size());
    for (std::size_t row = 0; row < count; ++row) {
      if (row < removed.size() && row < added.size())
        rows.push_back({TRowKind::Changed, removed[row], added[row]});
      else if (row < removed.size())
        rows.push_back({TRowKind::Removed, removed[row], std::nullopt});
      else
        rows.push_back({TRowKind::Added, std::nullopt, added[row]});
    }
  }
  return rows;
}

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad()) throw std::runtime_error("Cannot Read '" + path + "'");
  return std::move(text).str();
}

bool LooksBinary(const std::string& text) {
  constexpr std::size_t kProbe = 8192;
  return text.find('\0') < kProbe;
}

}  // namespace

TCopyComparison CompareCopies(const std::string& left_path, const std::string& right_path) {
  TCopyComparison result;
  result.LeftText = ReadWhole(left_path);
  result.RightText = ReadWhole(right_path);
  result.LeftSize = static_cast<std::int64_t>(result.LeftText.size());
  result.RightSize = static_cast<std::int64_t>(result.RightText.size());
  result.Differ = result.LeftText != result.RightText;
  result.Binary = LooksBinary(result.LeftText) || LooksBinary(result.RightText);
  if (result.Binary) {
    result.LeftText.clear();
    result.RightText.clear();
    return result;
  }
  result.Rows = SideBySide(DiffLines(SplitLines(result.LeftText), SplitLines(result.RightText)));
  return result;
}

}  // namespace ravelo
