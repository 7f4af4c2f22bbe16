#include "settings/otutil.h"

namespace settings {

std::string DialableDigits(std::string_view text)
{
    std::string digits;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == '*' || c == '#')
            digits += c;
    return digits;
}

std::string FormatPhoneNumber(std::string_view text)
{
    std::size_t marker = text.find('x');
    if (marker != std::string_view::npos)
        return std::string(text.substr(marker + 1));

    std::string rest = DialableDigits(text);
    auto takeLast = [&rest](std::size_t count) {
        std::size_t cut = rest.size() > count ? rest.size() - count : 0;
        std::string tail = rest.substr(cut);
        rest.erase(cut);
        return tail;
    };
    std::string result = takeLast(4);
    if (!rest.empty())
        result = takeLast(3) + "-" + result;
    if (!rest.empty())
        result = "(" + takeLast(3) + ") " + result;
    if (!rest.empty())
        result = rest + " " + result;
    return result;
}

} // namespace settings
