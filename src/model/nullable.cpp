#include "model/nullable.h"

namespace ravelo {

TDateTime TNullableTime::GetValue() const {
  if (!defined_) throw ETimeUndefined();
  return value_;
}

bool TNullableTime::EqualTo(const TNullableTime& other) const {
  return defined_ && other.defined_ && kind_ == other.kind_ && value_ == other.value_;
}

bool TNullableTime::LaterThan(const TNullableTime& other) const {
  return defined_ && other.defined_ && kind_ == other.kind_ && value_ > other.value_;
}

std::int64_t TNullableSize::GetValue() const {
  if (!defined_) throw ESizeUndefined();
  return value_;
}

}  // namespace ravelo
