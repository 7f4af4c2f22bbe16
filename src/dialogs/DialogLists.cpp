#include "dialogs/DialogLists.h"

#include <algorithm>
#include <cmath>

namespace dialogs {

std::uint32_t DateTimeToDos(platform::TDateTime value)
{
    // Truncated, never rounded up: a reminder set for "in 10 minutes" must not read as 10 and a bit.
    const double seconds = std::floor(value * 86400.0 + 1e-6);
    platform::DateTimeParts parts = platform::DecodeDateTime(seconds / 86400.0);
    if (parts.Year < 1980)
        parts = {1980, 1, 1, 0, 0, 0};
    if (parts.Year > 2107)
        parts = {2107, 12, 31, 23, 59, 58};
    const std::uint32_t date =
        static_cast<std::uint32_t>(((parts.Year - 1980) << 9) | (parts.Month << 5) | parts.Day);
    const std::uint32_t time =
        static_cast<std::uint32_t>((parts.Hour << 11) | (parts.Minute << 5) | (parts.Second / 2));
    return (date << 16) | time;
}

platform::TDateTime DosToDateTime(std::uint32_t dos)
{
    const std::uint32_t date = dos >> 16;
    const std::uint32_t time = dos & 0xFFFFu;
    platform::DateTimeParts parts;
    parts.Year = 1980 + static_cast<int>(date >> 9);
    // Fields a document could carry out of range are held to valid values.
    parts.Month = std::clamp(static_cast<int>((date >> 5) & 0x0F), 1, 12);
    parts.Day = std::clamp(static_cast<int>(date & 0x1F), 1, 31);
    parts.Hour = std::min(static_cast<int>(time >> 11), 23);
    parts.Minute = std::min(static_cast<int>((time >> 5) & 0x3F), 59);
    parts.Second = std::min(static_cast<int>(time & 0x1F) * 2, 58);
    return platform::EncodeDateTime(parts);
}

} // namespace dialogs
