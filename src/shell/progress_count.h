#pragma once

#include <cstdint>

namespace ravelo {

// The arithmetic of the progress dialog: bytes of the whole transfer, bytes
// done over all files, bytes of the current file, and the bar's position.
// Belongs to the dialog; one thread.
class TProgressCount {
 public:
  void Start(std::int64_t total);
  // A new file begins.
  void NextFile() { current_ = 0; }
  // The current file has transferred bytes so far; the same count twice
  // advances once.
  void Advance(std::int64_t bytes);

  std::int64_t Total() const { return total_; }
  std::int64_t Done() const { return done_; }
  // 0 to 100: done over total, rounded to the nearest (halves to even).
  int Position() const { return position_; }

 private:
  std::int64_t total_ = 0;
  std::int64_t done_ = 0;
  std::int64_t current_ = 0;
  int position_ = 0;
};

}  // namespace ravelo
