#include "shell/progress_count.h"

#include <algorithm>
#include <cmath>

namespace ravelo {

void TProgressCount::Start(std::int64_t total) {
  total_ = total;
  done_ = 0;
  current_ = 0;
  position_ = 0;
}

void TProgressCount::Advance(std::int64_t bytes) {
  done_ += bytes - current_;
  current_ = bytes;
  if (total_ == 0) return;
  // A move that had to copy after all can pass the counted total.
  const double percent =
      std::nearbyint(static_cast<double>(done_) / static_cast<double>(total_) * 100.0);
  position_ = static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

}  // namespace ravelo
