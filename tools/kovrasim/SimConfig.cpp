#include "SimConfig.h"

#include <charconv>

namespace kovrasim {

std::optional<std::uint32_t> ParseNumber(const std::string& text)
{
    int base = 10;
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

std::optional<TSimPhoneSpec> ParsePhoneSpec(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    // The name may not hold a colon; everything else is digits.
    while (true) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 5 || parts[0].empty())
        return std::nullopt;
    TSimPhoneSpec spec;
    spec.Number = parts[0];
    spec.Password = parts[1];
    spec.Name = parts.size() > 2 ? parts[2] : "Phone " + parts[0];
    if (parts.size() > 3) {
        const auto caps = ParseNumber(parts[3]);
        if (!caps)
            return std::nullopt;
        spec.Capabilities = *caps;
    }
    if (parts.size() > 4) {
        const auto count = ParseNumber(parts[4]);
        if (!count)
            return std::nullopt;
        spec.VoiceMailCount = *count;
    }
    return spec;
}

std::vector<TSimPhoneSpec> DefaultPhones()
{
    return {
        {"1001", "1234", "Alice Archer", kAllCapabilities, 2},
        {"1002", "1234", "Bob Baker", kAllCapabilities, 0},
        {"1003", "1234", "Chloé Carter", kAllCapabilities, 0},
    };
}

} // namespace kovrasim
