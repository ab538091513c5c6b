#pragma once

#include <optional>

namespace ravelo {

// Calendar fields of a date-time as listings give them.
struct TFtpDateTimeParts {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

// Date-times are doubles counting days since 30 December 1899, the fraction
// being the time of day. Before that day the whole part counts backwards
// while the fraction still adds the time of day (-1.25: 29 December, 06:00).
// Nothing when a field is out of range (month 13, 31 April, hour 24, year 0).
std::optional<double> EncodeFtpDateTime(const TFtpDateTimeParts& parts);

// A universal time (as MLSD, MLST and MDTM give it) as a local date-time:
// the fields are moved into the local time zone, then encoded as listing
// times are. Nothing when a field is out of range.
std::optional<double> FtpUtcToDateTime(const TFtpDateTimeParts& utc);

// The fields of a date-time; milliseconds are rounded to the nearest.
TFtpDateTimeParts DecodeFtpDateTime(double value);

// The day of month count, 0 for a month out of range.
int FtpDaysInMonth(int year, int month);

}  // namespace ravelo
