#pragma once

#include "platform/local_time.h"

namespace platform {

// Day arithmetic on the proleptic Gregorian calendar, free of time zones: a change of summer time
// between two dates moves nothing by an hour.

// Days from 1970-01-01 to the date of `time`; its time of day is ignored.
long long daysSinceEpoch(const LocalTime &time);

// The date `days` after 1970-01-01, at 00:00:00.
LocalTime dateFromDays(long long days);

} // namespace platform
