#include "platform/file_time.h"

#include <cstdint>

namespace ravelo {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

constexpr std::int64_t kEpochOffsetDays = 25569;  // 1899-12-30 to 1970-01-01

}  // namespace

double FileTimeToDateTime(const std::timespec& time) {
  std::tm local{};
  const std::time_t seconds = time.tv_sec;
  if (localtime_r(&seconds, &local) == nullptr) {
    // Out of the calendar's range: take the time as universal time.
    return static_cast<double>(kEpochOffsetDays) + static_cast<double>(time.tv_sec) / 86400.0;
  }
  const std::int64_t days =
      DaysFromCivil(std::int64_t{local.tm_year} + 1900, static_cast<unsigned>(local.tm_mon + 1),
                    static_cast<unsigned>(local.tm_mday)) +
      kEpochOffsetDays;
  const double second_of_day = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                               static_cast<double>(time.tv_nsec) / 1e9;
  const double fraction = second_of_day / 86400.0;
  // Before the base day the whole part counts backwards and the fraction
  // still adds the time of day.
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

}  // namespace ravelo
