#include "platform/Clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace platform {
namespace {

constexpr double kUnixEpochDays = 25569.0; // 1970-01-01 as days since 1899-12-30

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

bool ToLocal(std::time_t seconds, std::tm& local)
{
#ifdef _WIN32
    return localtime_s(&local, &seconds) == 0;
#else
    return localtime_r(&seconds, &local) != nullptr;
#endif
}

DateTimeParts PartsOf(const std::tm& local)
{
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace

std::uint64_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TDateTime EncodeDateTime(const DateTimeParts& parts)
{
    const double days =
        static_cast<double>(DaysFromCivil(parts.Year, parts.Month, parts.Day)) + kUnixEpochDays;
    return days + (parts.Hour * 3600.0 + parts.Minute * 60.0 + parts.Second) / 86400.0;
}

DateTimeParts DecodeDateTime(TDateTime value)
{
    const long long totalSeconds = std::llround(value * 86400.0);
    long long days = totalSeconds / 86400;
    long long secondOfDay = totalSeconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    DateTimeParts parts;
    CivilFromDays(days - static_cast<long long>(kUnixEpochDays), parts.Year, parts.Month, parts.Day);
    parts.Hour = static_cast<int>(secondOfDay / 3600);
    parts.Minute = static_cast<int>(secondOfDay / 60 % 60);
    parts.Second = static_cast<int>(secondOfDay % 60);
    return parts;
}

TDateTime UtcSecondsToLocal(std::uint32_t seconds)
{
    std::tm local{};
    if (!ToLocal(static_cast<std::time_t>(seconds), local))
        return kUnixEpochDays + seconds / 86400.0;
    return EncodeDateTime(PartsOf(local));
}

TDateTime Now()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    ToLocal(seconds, local);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return EncodeDateTime(PartsOf(local)) + millis / 86400000.0;
}

std::string FormatDateTime(TDateTime value)
{
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second);
    return text;
}

} // namespace platform
