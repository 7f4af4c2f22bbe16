#pragma once
// Case-insensitive comparison of texts, for every layer. Only ASCII letters fold, so UTF-8 passes
// through unchanged.

#include <algorithm>
#include <string_view>

namespace platform {

inline bool SameText(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace platform
