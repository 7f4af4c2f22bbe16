#pragma once
// Time: a monotonic millisecond tick and the program's date-time values (local time).

#include <cstdint>
#include <string>

namespace platform {

// Milliseconds from an arbitrary start; never goes back.
std::uint64_t TickCount();

// A local date-time as days since 1899-12-30 00:00 with the time of day as the fraction, the form
// the user-visible durations and reminders are computed in.
using TDateTime = double;

struct DateTimeParts {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0;
};

// Seconds since 1970-01-01 00:00:00 UTC converted to local time with the current zone rules.
TDateTime UtcSecondsToLocal(std::uint32_t seconds);
TDateTime Now();
TDateTime EncodeDateTime(const DateTimeParts& parts);
DateTimeParts DecodeDateTime(TDateTime value);
// "YYYY-MM-DD hh:mm:ss"
std::string FormatDateTime(TDateTime value);

} // namespace platform
