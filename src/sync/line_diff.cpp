#include "sync/line_diff.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace ravelo {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r' && end < text.size()) --end;
    lines.push_back(text.substr(start, end - start));
    start = next;
  }
  return lines;
}

namespace {

// Lines as numbers, equal lines equal numbers: the search compares numbers.
class TDiff {
 public:
  TDiff(std::vector<int> a, std::vector<int> b) : a_(std::move(a)), b_(std::move(b)) {}

  std::vector<TDiffLine> Run() {
    Solve(0, a_.size(), 0, b_.size());
    return std::move(out_);
  }

 private:
  using TPoint = std::pair<std::size_t, std::size_t>;

  void Solve(std::size_t a_lo, std::size_t a_hi, std::size_t b_lo, std::size_t b_hi) {
    while (a_lo < a_hi && b_lo < b_hi && a_[a_lo] == b_[b_lo])
      out_.push_back({TDiffKind::Same, a_lo++, b_lo++});
    std::size_t tail = 0;
    while (a_hi > a_lo && b_hi > b_lo && a_[a_hi - 1] == b_[b_hi - 1]) {
      --a_hi;
      --b_hi;
      ++tail;
    }
    if (a_lo == a_hi || b_lo == b_hi) {
      Plain(a_lo, a_hi, b_lo, b_hi);
    } else if (const auto middle = MiddleSnake(a_lo, a_hi, b_lo, b_hi)) {
      Solve(a_lo, a_lo + middle->first, b_lo, b_lo + middle->second);
      Solve(a_lo + middle->first, a_hi, b_lo + middle->second, b_hi);
    } else {
      Plain(a_lo, a_hi, b_lo, b_hi);
    }
    for (std::size_t i = 0; i < tail; ++i) out_.push_back({TDiffKind::Same, a_hi + i, b_hi + i});
  }

  void Plain(std::size_t a_lo, std::size_t a_hi, std::size_t b_lo, std::size_t b_hi) {
    for (std::size_t i = a_lo; i < a_hi; ++i) out_.push_back({TDiffKind::Removed, i, b_lo});
    for (std::size_t j = b_lo; j < b_hi; ++j) out_.push_back({TDiffKind::Added, a_hi, j});
  }

  // Walks the shortest edit path from both ends at once until the two
  // meet; answers the meeting point, relative to the range's start.
  std::optional<TPoint> MiddleSnake(std::size_t a_lo, std::size_t a_hi, std::size_t b_lo,
                                    std::size_t b_hi) const {
    const long n = static_cast<long>(a_hi - a_lo);
    const long m = static_cast<long>(b_hi - b_lo);
    const long max_d = (n + m + 1) / 2;
    const long offset = max_d;
    const long length = 2 * max_d + 2;
    std::vector<long> forward(static_cast<std::size_t>(length), -1);
    std::vector<long> backward(static_cast<std::size_t>(length), -1);
    forward[static_cast<std::size_t>(offset + 1)] = 0;
    backward[static_cast<std::size_t>(offset + 1)] = 0;
    const long delta = n - m;
    const bool front = delta % 2 != 0;
    const int* a = a_.data() + a_lo;
    const int* b = b_.data() + b_lo;
    auto at = [](std::vector<long>& v, long index) -> long& {
      return v[static_cast<std::size_t>(index)];
    };
    long k1_start = 0, k1_end = 0, k2_start = 0, k2_end = 0;
    for (long d = 0; d < max_d; ++d) {
      for (long k1 = -d + k1_start; k1 <= d - k1_end; k1 += 2) {
        const long i1 = offset + k1;
        long x1 = (k1 == -d || (k1 != d && at(forward, i1 - 1) < at(forward, i1 + 1)))
                      ? at(forward, i1 + 1)
                      : at(forward, i1 - 1) + 1;
        long y1 = x1 - k1;
        while (x1 < n && y1 < m && a[x1] == b[y1]) {
          ++x1;
          ++y1;
        }
        at(forward, i1) = x1;
        if (x1 > n) {
          k1_end += 2;
        } else if (y1 > m) {
          k1_start += 2;
        } else if (front) {
          const long i2 = offset + delta - k1;
          if (i2 >= 0 && i2 < length && at(backward, i2) != -1 && x1 >= n - at(backward, i2))
            return TPoint(static_cast<std::size_t>(x1), static_cast<std::size_t>(y1));
        }
      }
      for (long k2 = -d + k2_start; k2 <= d - k2_end; k2 += 2) {
        const long i2 = offset + k2;
        long x2 = (k2 == -d || (k2 != d && at(backward, i2 - 1) < at(backward, i2 + 1)))
                      ? at(backward, i2 + 1)
                      : at(backward, i2 - 1) + 1;
        long y2 = x2 - k2;
        while (x2 < n && y2 < m && a[n - x2 - 1] == b[m - y2 - 1]) {
          ++x2;
          ++y2;
        }
        at(backward, i2) = x2;
        if (x2 > n) {
          k2_end += 2;
        } else if (y2 > m) {
          k2_start += 2;
        } else if (!front) {
          const long i1 = offset + delta - k2;
          if (i1 >= 0 && i1 < length && at(forward, i1) != -1) {
            const long x1 = at(forward, i1);
            const long y1 = offset + x1 - i1;
            if (x1 >= n - x2)
              return TPoint(static_cast<std::size_t>(x1), static_cast<std::size_t>(y1));
          }
        }
      }
    }
    return std::nullopt;
  }

  const std::vector<int> a_;
  const std::vector<int> b_;
  std::vector<TDiffLine> out_;
};

}  // namespace

std::vector<TDiffLine> DiffLines(const std::vector<std::string_view>& left,
                                 const std::vector<std::string_view>& right) {
  std::unordered_map<std::string_view, int> ids;
  auto number = [&ids](const std::vector<std::string_view>& lines) {
    std::vector<int> numbers;
    numbers.reserve(lines.size());
    for (const std::string_view line : lines)
      numbers.push_back(ids.emplace(line, static_cast<int>(ids.size())).first->second);
    return numbers;
  };
  std::vector<int> a = number(left);
  std::vector<int> b = number(right);
  return TDiff(std::move(a), std::move(b)).Run();
}

}  // namespace ravelo
