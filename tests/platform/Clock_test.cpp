#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

using namespace platform;

TEST(Clock, DaysCountFromTheLastDayOf1899AndEncodeAndDecodeAreInverse)
{
    const DateTimeParts parts{2026, 12, 6, 21, 45, 59};
    const DateTimeParts back = DecodeDateTime(EncodeDateTime(parts));
    EXPECT_EQ(std::tie(back.Year, back.Month, back.Day, back.Hour, back.Minute, back.Second),
              std::make_tuple(2026, 12, 6, 21, 45, 59));
    EXPECT_EQ(FormatDateTime(EncodeDateTime(parts)), "2026-12-06 21:45:59");
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1970, 1, 1, 12, 0, 0}), 25569.5);
    EXPECT_EQ(FormatDateTime(36526.0), "2000-01-01 00:00:00");
}

namespace {

// Sets the process's zone in the form both C runtimes read from TZ ("UTC0", "CET-1").
void SetZone(const char* zone)
{
#ifdef _WIN32
    _putenv_s("TZ", zone);
    _tzset();
#else
    if (zone[0])
        setenv("TZ", zone, 1);
    else
        unsetenv("TZ");
    tzset();
#endif
}

} // namespace

TEST(Clock, UtcSecondsFollowTheLocalZone)
{
    // The zone is the process's; a fixed one makes the expectation exact.
    SetZone("UTC0");
    EXPECT_DOUBLE_EQ(UtcSecondsToLocal(0), 25569.0);
    EXPECT_EQ(FormatDateTime(UtcSecondsToLocal(1700000000)), "2023-11-14 22:13:20");
    SetZone("CET-1");
    EXPECT_EQ(FormatDateTime(UtcSecondsToLocal(0)), "1970-01-01 01:00:00");
    SetZone("");
}
