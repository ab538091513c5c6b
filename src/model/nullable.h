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

// How a time was read: exactly (the local disk; a server's machine listing,
// MLST or MDTM, in universal time made local), or to the minute in the
// server's own zone (a LIST line). Times of different kinds cannot be
// compared: the zone of a LIST time is the server's, and unknown.
enum class TTimeKind : std::uint8_t { Exact = 0, Minute = 1 };

// A time that may be undefined, with the kind it was read with (in what
// would otherwise be padding). Comparisons are exact: two times are equal
// only when both are defined, of one kind and bit-for-bit the same value.
class TNullableTime {
 public:
  TNullableTime() = default;

  void Clear() { defined_ = false; }
  void SetValue(TDateTime time, TTimeKind kind = TTimeKind::Exact) {
    value_ = time;
    defined_ = true;
    kind_ = kind;
  }
  // Throws ETimeUndefined when not defined.
  TDateTime GetValue() const;
  bool Defined() const { return defined_; }
  TTimeKind Kind() const { return kind_; }

  // False when either side is undefined (even when both are) or the kinds
  // differ.
  bool EqualTo(const TNullableTime& other) const;
  // True only when both are defined, of one kind, and this one is strictly
  // greater.
  bool LaterThan(const TNullableTime& other) const;

 private:
  TDateTime value_ = 0;
  bool defined_ = false;
  TTimeKind kind_ = TTimeKind::Exact;
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
