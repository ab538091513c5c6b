#pragma once

#include <ctime>

namespace ravelo {

// The one conversion of a file's modification time (seconds and nanoseconds
// since the epoch) to a local date-time: days since 1899-12-30, the fraction
// being the time of day, in the local time zone. Every reader of local file
// times uses it, because the times it gives are compared exactly with the
// ones recorded earlier. Full precision: two writes a second apart (or much
// less) give different values.
double FileTimeToDateTime(const std::timespec& time);

}  // namespace ravelo
