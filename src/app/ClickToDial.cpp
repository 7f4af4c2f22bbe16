#include "app/ClickToDial.h"

#include "platform/Text.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

using namespace settings;

namespace app {

namespace {

constexpr std::string_view kSchemes[] = {"tel:", "callto:"};

enum class TRefusal {
    None,
    NotALink,
    BrokenEscape,
    NotANumber,
    NoNumber,
    CountryCode,
    NoInternational,
    TooLong
};

struct TRefusalText {
    TRefusal Refusal;
    const char* LinkKey;
    const char* LinkText; // "%s" is the link
    const char* ClipboardKey;
    const char* ClipboardText;
};

constexpr TRefusalText kRefusals[] = {
    {TRefusal::NotALink, "txtLinkNotALink", "The link \"%s\" is not a \"tel:\" or \"callto:\" link.", "", ""},
    {TRefusal::BrokenEscape, "txtLinkBrokenEscape", "The link \"%s\" has a broken escape.", "", ""},
    {TRefusal::NotANumber, "txtLinkNotANumber", "The link \"%s\" is not a phone number that can be dialled.",
     "txtClipboardNotANumber", "The clipboard's text is not a phone number that can be dialled."},
    {TRefusal::NoNumber, "txtLinkNoNumber", "The link \"%s\" holds no number to dial.",
     "txtClipboardNoNumber", "The clipboard's text holds no number to dial."},
    {TRefusal::CountryCode, "txtLinkCountryCode",
     "The link \"%s\" has a country code other than +1; set the dialing rules on the Preferences page to "
     "dial it.",
     "txtClipboardCountryCode",
     "The clipboard's text has a country code other than +1; set the dialing rules on the Preferences page "
     "to dial it."},
    {TRefusal::NoInternational, "txtLinkNoInternational",
     "The link \"%s\" is a number abroad; set the international prefix on the Preferences page to dial it.",
     "txtClipboardNoInternational",
     "The clipboard's text is a number abroad; set the international prefix on the Preferences page to "
     "dial it."},
    {TRefusal::TooLong, "txtLinkTooLong",
     "The link \"%s\" is too long to dial: a phone dials at most 32 characters.", "txtClipboardTooLong",
     "The clipboard's text is too long to dial: a phone dials at most 32 characters."},
};

const TRefusalText& TextOf(TRefusal refusal)
{
    for (const TRefusalText& text : kRefusals)
        if (text.Refusal == refusal)
            return text;
    return kRefusals[0];
}

TCallLink LinkRefused(std::string_view link, TRefusal refusal)
{
    const TRefusalText& text = TextOf(refusal);
    return {std::string(), settings::Substitute(LocalText(text.LinkKey, text.LinkText), "%s", link)};
}

std::size_t SchemeLength(std::string_view text)
{
    for (std::string_view scheme : kSchemes)
        if (text.size() >= scheme.size() && settings::SameText(text.substr(0, scheme.size()), scheme))
            return scheme.size();
    return 0;
}

// The number as written, separators dropped, when the rules (or, without rules, its form alone)
// can dial it.
TRefusal WrittenNumber(std::string_view text, const TDialingRules* rules, std::string& number)
{
    const TDialledNumber dialled = DialableNumber(text, rules ? *rules : TDialingRules());
    switch (dialled.Refusal) {
    case TDialRefusal::None:
        break;
    case TDialRefusal::NotANumber:
        return TRefusal::NotANumber;
    case TDialRefusal::NoNumber:
        return TRefusal::NoNumber;
    case TDialRefusal::CountryCode:
        if (!rules)
            break;
        return TRefusal::CountryCode;
    case TDialRefusal::NoInternational:
        return TRefusal::NoInternational;
    case TDialRefusal::TooLong:
        return TRefusal::TooLong;
    }
    number = WrittenDigits(text);
    return TRefusal::None;
}

} // namespace

bool IsCallLink(std::string_view argument)
{
    return SchemeLength(argument) > 0;
}

TCallLink ParseCallLink(std::string_view link, const TDialingRules* rules)
{
    const std::size_t scheme = SchemeLength(link);
    if (scheme == 0)
        return LinkRefused(link, TRefusal::NotALink);
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
                return LinkRefused(link, TRefusal::BrokenEscape);
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += rest[i];
        }
    }
    // A semicolon that arrived escaped still starts the parameters.
    std::string number;
    const TRefusal refusal = WrittenNumber(decoded.substr(0, decoded.find(';')), rules, number);
    if (refusal != TRefusal::None)
        return LinkRefused(link, refusal);
    return {std::move(number), std::string()};
}

TCallLink ClipboardNumber(std::string_view text, const TDialingRules& rules)
{
    std::string number;
    const TRefusal refusal = WrittenNumber(text, &rules, number);
    if (refusal == TRefusal::None)
        return {std::move(number), std::string()};
    const TRefusalText& why = TextOf(refusal);
    return {std::string(), LocalText(why.ClipboardKey, why.ClipboardText)};
}

TDialingRules StoredDialingRules()
{
    TDialingRules rules;
    rules.Load(KovraAssistantConfig());
    return rules;
}

std::string CallLinkWithoutProgram()
{
    return LocalText("txtLinkNoProgram",
                     "Kovra Assistant is not running, so it cannot dial the link. Start it "
                     "from your web portal first, then open the link again.");
}

std::vector<std::string> CallLinkParameters(const std::string& number)
{
    return {"-MakeCall", number};
}

} // namespace app
