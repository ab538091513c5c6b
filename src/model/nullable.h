#pragma once

#include <cstdint>
#include <stdexcept>

namespace ravelo {

// A date-time: whole days since 1899-12-30, the fraction being the time of
// day, in local time.
using TDateTime = double;

class ETimeUndefined : public std::runtime_error {
 public:
  ETimeUndefined() : std::runtime_error("Time Is Undefined") {}
};

class ESizeUndefined : public std::runtime_error {
 public:
  ESizeUndefined() : std::runtime_error("Size Is Undefined") {}
};

// A time that may be undefined. Comparisons are exact: two times are equal
// only when both are defined and bit-for-bit the same value.
class TNullableTime {
 public:
  TNullableTime() = default;

  void Clear() { defined_ = false; }
  void SetValue(TDateTime time) {
    value_ = time;
    defined_ = true;
  }
  // Throws ETimeUndefined when not defined.
  TDateTime GetValue() const;
  bool Defined() const { return defined_; }

  // False when either side is undefined, even when both are.
  bool EqualTo(const TNullableTime& other) const;
  // True only when both are defined and this one is strictly greater.
  bool LaterThan(const TNullableTime& other) const;

 private:
  TDateTime value_ = 0;
  bool defined_ = false;
};

// A byte count that may be undefined.
class TNullableSize {
 public:
  TNullableSize() = default;

  void Clear() { defined_ = false; }
  void SetValue(std::int64_t size) {
    value_ = size;
    defined_ = true;
  }
  // Throws ESizeUndefined when not defined.
  std::int64_t GetValue() const;
  bool Defined() const { return defined_; }

 private:
  std::int64_t value_ = 0;
  bool defined_ = false;
};

}  // namespace ravelo
