#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace platform;

TEST(Clock, EncodeAndDecodeAreInverse)
{
    const DateTimeParts parts{2026, 12, 6, 21, 45, 59};
    const DateTimeParts back = DecodeDateTime(EncodeDateTime(parts));
    EXPECT_EQ(back.Year, 2026);
    EXPECT_EQ(back.Month, 12);
    EXPECT_EQ(back.Day, 6);
    EXPECT_EQ(back.Hour, 21);
    EXPECT_EQ(back.Minute, 45);
    EXPECT_EQ(back.Second, 59);
    EXPECT_EQ(FormatDateTime(EncodeDateTime(parts)), "2026-12-06 21:45:59");
}

TEST(Clock, DayZeroIsTheLastDayOf1899)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1970, 1, 1, 12, 0, 0}), 25569.5);
    EXPECT_EQ(FormatDateTime(36526.0), "2000-01-01 00:00:00");
}

TEST(Clock, UtcSecondsFollowTheLocalZone)
{
#ifndef _WIN32
    // The zone is the process's; UTC makes the expectation exact.
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(FormatDateTime(UtcSecondsToLocal(0)), "1970-01-01 00:00:00");
    EXPECT_EQ(FormatDateTime(UtcSecondsToLocal(1700000000)), "2023-11-14 22:13:20");
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(FormatDateTime(UtcSecondsToLocal(0)), "1970-01-01 01:00:00");
    unsetenv("TZ");
    tzset();
#else
    const DateTimeParts epoch = DecodeDateTime(UtcSecondsToLocal(0));
    EXPECT_TRUE(epoch.Year == 1970 || epoch.Year == 1969);
#endif
}

TEST(Clock, TickCountNeverGoesBack)
{
    std::uint64_t last = TickCount();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = TickCount();
        ASSERT_GE(now, last);
        last = now;
    }
}
