#include "net/ftp_date_time.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace ravelo {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned mp = (5 * day_of_year + 2) / 153;
  day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long long>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr long long kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01
constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

int FtpDaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::optional<double> EncodeFtpDateTime(const TFtpDateTimeParts& parts) {
  if (parts.Year < 1 || parts.Year > 9999 || parts.Day < 1 ||
      parts.Day > FtpDaysInMonth(parts.Year, parts.Month) || parts.Hour < 0 || parts.Hour > 23 ||
      parts.Minute < 0 || parts.Minute > 59 || parts.Second < 0 || parts.Second > 59 ||
      parts.Millisecond < 0 || parts.Millisecond > 999) {
    return std::nullopt;
  }
  const double days =
      static_cast<double>(DaysFromCivil(parts.Year, static_cast<unsigned>(parts.Month),
                                        static_cast<unsigned>(parts.Day)) +
                          kEpochOffset);
  const double time =
      ((parts.Hour * 60.0 + parts.Minute) * 60.0 + parts.Second) * 1000.0 + parts.Millisecond;
  const double fraction = time / kMillisecondsPerDay;
  return days < 0 ? days - fraction : days + fraction;
}

std::optional<double> FtpUtcToDateTime(const TFtpDateTimeParts& utc) {
  if (!EncodeFtpDateTime(utc)) return std::nullopt;
  const long long days =
      DaysFromCivil(utc.Year, static_cast<unsigned>(utc.Month), static_cast<unsigned>(utc.Day));
  const std::time_t seconds =
      static_cast<std::time_t>(days * 86400 + utc.Hour * 3600 + utc.Minute * 60 + utc.Second);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return std::nullopt;
  TFtpDateTimeParts parts;
  parts.Year = local.tm_year + 1900;
  parts.Month = local.tm_mon + 1;
  parts.Day = local.tm_mday;
  parts.Hour = local.tm_hour;
  parts.Minute = local.tm_min;
  // A leap second (60) is not a field a date-time can hold.
  parts.Second = std::min(local.tm_sec, 59);
  parts.Millisecond = utc.Millisecond;
  return EncodeFtpDateTime(parts);
}

TFtpDateTimeParts DecodeFtpDateTime(double value) {
  TFtpDateTimeParts parts;
  if (!std::isfinite(value) || std::fabs(value) > 3e6) return parts;
  double whole = std::trunc(value);
  long long milliseconds = std::llround(std::fabs(value - whole) * kMillisecondsPerDay);
  if (milliseconds >= 86400000) {
    milliseconds -= 86400000;
    whole += value < 0 ? -1 : 1;
  }
  CivilFromDays(static_cast<long long>(whole) - kEpochOffset, parts.Year, parts.Month, parts.Day);
  parts.Millisecond = static_cast<int>(milliseconds % 1000);
  parts.Second = static_cast<int>(milliseconds / 1000 % 60);
  parts.Minute = static_cast<int>(milliseconds / 60000 % 60);
  parts.Hour = static_cast<int>(milliseconds / 3600000);
  return parts;
}

}  // namespace ravelo
