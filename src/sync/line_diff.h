#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ravelo {

enum class TDiffKind { Same, Removed, Added };

// One line of an edit script: Same lines stand in both texts (Left and
// Right are their indexes), Removed ones only in the left (Left), Added ones
// only in the right (Right).
struct TDiffLine {
  TDiffKind Kind;
  std::size_t Left;
  std::size_t Right;
  bool operator==(const TDiffLine&) const = default;
};

// The text's lines without their ends ("\n", "\r\n"); a last line without an
// end counts, an empty text has none. The views point into text.
std::vector<std::string_view> SplitLines(std::string_view text);

// A shortest edit script turning left into right, in order. The common start
// and end are taken first, then the middle is split at the middle of its
// shortest edit path and each half solved alone, so memory stays linear in
// the lines and time grows with lines times differences.
std::vector<TDiffLine> DiffLines(const std::vector<std::string_view>& left,
                                 const std::vector<std::string_view>& right);

}  // namespace ravelo
