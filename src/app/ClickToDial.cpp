#include "app/ClickToDial.h"

#include "platform/Text.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

namespace {

constexpr std::string_view kSchemes[] = {"tel:", "callto:"};

std::size_t SchemeLength(std::string_view text)
{
    for (std::string_view scheme : kSchemes)
        if (text.size() >= scheme.size() && settings::SameText(text.substr(0, scheme.size()), scheme))
            return scheme.size();
    return 0;
}

TCallLink Refused(std::string_view link, const std::string& why)
{
    return {std::string(), "The link \"" + std::string(link) + "\" " + why};
}

} // namespace

bool IsCallLink(std::string_view argument)
{
    return SchemeLength(argument) > 0;
}

TCallLink ParseCallLink(std::string_view link)
{
    const std::size_t scheme = SchemeLength(link);
    if (scheme == 0)
        return Refused(link, "is not a \"tel:\" or \"callto:\" link.");
    std::string_view rest = link.substr(scheme);
    if (rest.substr(0, 2) == "//")
        rest.remove_prefix(2);
    // Parameters ("tel:123;ext=4", "callto:123?call") are not part of the number.
    rest = rest.substr(0, rest.find_first_of(";?"));

    std::string decoded;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%') {
            const int high = i + 2 < rest.size() ? platform::HexDigitValue(rest[i + 1]) : -1;
            const int low = high >= 0 ? platform::HexDigitValue(rest[i + 2]) : -1;
            if (low < 0)
                return Refused(link, "has a broken escape.");
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += rest[i];
        }
    }
    // A semicolon that arrived escaped still starts the parameters.
    TCallLink number = NumberToDial(decoded.substr(0, decoded.find(';')));
    return number.Error.empty() ? number : Refused(link, number.Error);
}

TCallLink NumberToDial(std::string_view text)
{
    for (char c : text)
        if (std::string_view("0123456789*#+-.() /").find(c) == std::string_view::npos)
            return {std::string(), "is not a phone number that can be dialled."};
    std::string number = DialableDigits(text);
    if (number.empty())
        return {std::string(), "holds no number to dial."};
    return {std::move(number), std::string()};
}

std::vector<std::string> CallLinkParameters(const std::string& number)
{
    return {"-MakeCall", number};
}
