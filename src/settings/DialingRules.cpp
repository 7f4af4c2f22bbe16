#include "settings/DialingRules.h"

#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

#include <algorithm>

namespace settings {

const std::array<const char*, TDialingRules::dfCount> TDialingRules::kNames = {
    "CountryCode", "AreaCode", "OutsideLine", "International", "LongDistance", "InternalLength"};

const std::array<const char*, TDialingRules::dfCount> TDialingRules::kTitles = {
    "Country code", "Area code", "Outside line", "International", "Long distance", "Internal up to"};

namespace {

bool AllDigits(std::string_view text)
{
    return text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::size_t TDialingRules::InternalLength() const
{
    // Load and the page let only checked values in; a value set otherwise counts as none.
    const std::string& length = Values[dfInternalLength];
    if (!DialingRuleRefusal(dfInternalLength, length).empty())
        return 0;
    return static_cast<std::size_t>(StrToIntDef(length, 0));
}

std::string DialingRuleRefusal(TDialingRules::TField field, std::string_view value,
                               std::string_view longDistance)
{
    const std::string title = TDialingRules::kTitles[field];
    std::string why;
    if (!AllDigits(value))
        why = LocalText("txtDialingNotDigits", "The dialing rule \"%n\" cannot be \"%s\": only digits are.");
    else if (field != TDialingRules::dfInternalLength && value.size() > TDialingRules::kMaxCode)
        why = LocalText("txtDialingCodeTooLong",
                        "The dialing rule \"%n\" cannot be \"%s\": a code has at most 8 digits.");
    else if (field == TDialingRules::dfCountryCode && (value.starts_with('0') || value.size() > 3))
        why =
            LocalText("txtDialingCountryCode", "The dialing rule \"%n\" cannot be \"%s\": a country code has "
                                               "one to three digits and does not start with 0.");
    else if (field == TDialingRules::dfAreaCode && !longDistance.empty() && value.starts_with(longDistance))
        why = LocalText("txtDialingAreaCode", "The dialing rule \"%n\" cannot be \"%s\": the area code is "
                                              "written without the long-distance prefix.");
    else if (field == TDialingRules::dfInternalLength &&
             (value.size() > 2 ||
              StrToIntDef(std::string(value), 0) > int{TDialingRules::kMaxInternalLength}))
        why = LocalText("txtDialingLengthTooLarge",
                        "The dialing rule \"%n\" cannot be \"%s\": a number has at most 15 digits.");
    else
        return {};
    return Substitute(Substitute(why, "%n", title), "%s", value);
}

std::vector<std::string> TDialingRules::Load(const TKovraAssistantConfig& config)
{
    std::vector<std::string> refused;
    for (int field = 0; field < dfCount; ++field)
        Values[field] = config.ReadString(kSection, kNames[field], "");
    for (int field = 0; field < dfCount; ++field) {
        const auto rule = static_cast<TField>(field);
        if (std::string why = DialingRuleRefusal(rule, Values[field], Values[dfLongDistance]); !why.empty()) {
            refused.push_back(std::move(why));
            Values[field].clear();
        }
    }
    return refused;
}

void TDialingRules::Save(TKovraAssistantConfig& config) const
{
    for (int field = 0; field < dfCount; ++field)
        config.WriteString(kSection, kNames[field], Values[field]);
}

namespace {

using TRules = TDialingRules;

// The text after a "+" without the "(0)" people write between the country code and the national
// number ("+44 (0)20 ..."): the trunk prefix dialled at home, never dialled from abroad.
std::string WithoutTrunkGroup(std::string_view text)
{
    std::size_t code = text.find_first_not_of(' ');
    if (code == std::string_view::npos)
        return std::string(text);
    const std::size_t codeEnd = std::min(text.find_first_not_of("0123456789", code), text.size());
    if (codeEnd == code || codeEnd - code > 3)
        return std::string(text);
    std::size_t at = text.find_first_not_of(" -.", codeEnd);
    if (at == std::string_view::npos || text[at] != '(')
        return std::string(text);
    at = text.find_first_not_of(' ', at + 1);
    if (at == std::string_view::npos || text[at] != '0')
        return std::string(text);
    at = text.find_first_not_of(' ', at + 1);
    if (at == std::string_view::npos || text[at] != ')')
        return std::string(text);
    return std::string(text.substr(0, codeEnd)) + " " + std::string(text.substr(at + 1));
}

// A number given with its country code, "+" dropped.
TDialledNumber WithCountryCode(const std::string& digits, const TDialingRules& rules)
{
    const std::string& country = rules[TRules::dfCountryCode];
    const std::string& outside = rules[TRules::dfOutsideLine];
    const std::string& longDistance = rules[TRules::dfLongDistance];
    if (!country.empty() && digits.starts_with(country)) {
        std::string national = digits.substr(country.size());
        // "+44 020 ...": the trunk prefix written after the country code by mistake; a national
        // number never starts with it.
        if (!longDistance.empty() && national.starts_with(longDistance))
            national.erase(0, longDistance.size());
        if (national.empty())
            return {{}, TDialRefusal::NoNumber};
        const std::string& area = rules[TRules::dfAreaCode];
        if (!area.empty() && national.starts_with(area) && national.size() > area.size())
            return {outside + national.substr(area.size())};
        return {outside + longDistance + national};
    }
    if (!rules[TRules::dfInternational].empty())
        return {outside + rules[TRules::dfInternational] + digits};
    // Without rules a "+1" number is dialled as its digits, as it always was (behind the outside
    // line like any other number); any other country code would reach another number that way.
    if (country.empty())
        return digits[0] == '1' ? TDialledNumber{outside + digits}
                                : TDialledNumber{{}, TDialRefusal::CountryCode};
    return {{}, TDialRefusal::NoInternational};
}

} // namespace

namespace {

TDialledNumber DialledAsWritten(std::string_view text, const TDialingRules& rules)
{
    if (text.find_first_not_of("0123456789*#+-.() /") != std::string_view::npos)
        return {{}, TDialRefusal::NotANumber};
    const std::size_t plus = text.find('+');
    if (plus != std::string_view::npos) {
        if (!DialableDigits(text.substr(0, plus)).empty() ||
            text.find('+', plus + 1) != std::string_view::npos)
            return {{}, TDialRefusal::NotANumber};
        const std::string digits = DialableDigits(WithoutTrunkGroup(text.substr(plus + 1)));
        if (digits.empty())
            return {{}, TDialRefusal::NoNumber};
        if (digits[0] == '*' || digits[0] == '#')
            return {{}, TDialRefusal::NotANumber};
        return WithCountryCode(digits, rules);
    }
    std::string digits = DialableDigits(text);
    if (digits.empty())
        return {{}, TDialRefusal::NoNumber};
    // Service codes and internal numbers stay inside the office.
    if (digits[0] == '*' || digits[0] == '#' || digits.size() <= rules.InternalLength())
        return {std::move(digits)};
    return {rules[TRules::dfOutsideLine] + digits};
}

} // namespace

TDialledNumber DialableNumber(std::string_view text, const TDialingRules& rules)
{
    TDialledNumber dialled = DialledAsWritten(text, rules);
    // The phone takes no more; a longer text is no number anyway.
    if (dialled.Number.size() > TDialingRules::kMaxDialled)
        return {{}, TDialRefusal::TooLong};
    return dialled;
}

std::string WrittenDigits(std::string_view text)
{
    const std::size_t plus = text.find('+');
    if (plus == std::string_view::npos || !DialableDigits(text.substr(0, plus)).empty())
        return DialableDigits(text);
    const std::string digits = DialableDigits(WithoutTrunkGroup(text.substr(plus + 1)));
    return digits.empty() ? digits : "+" + digits;
}

std::string DialRefusalText(TDialRefusal refusal, std::string_view number)
{
    std::string why;
    switch (refusal) {
    case TDialRefusal::None:
        return {};
    case TDialRefusal::NotANumber:
        why = LocalText("txtNumberNotANumber", "\"%s\" is not a phone number that can be dialled.");
        break;
    case TDialRefusal::NoNumber:
        why = LocalText("txtNumberNoNumber", "\"%s\" holds no number to dial.");
        break;
    case TDialRefusal::CountryCode:
        why = LocalText("txtNumberCountryCode",
                        "\"%s\" has a country code other than +1; set the dialing rules on the Preferences "
                        "page to dial it.");
        break;
    case TDialRefusal::NoInternational:
        why = LocalText("txtNumberNoInternational",
                        "\"%s\" is a number abroad; set the international prefix on the Preferences page to "
                        "dial it.");
        break;
    case TDialRefusal::TooLong:
        why =
            LocalText("txtNumberTooLong", "\"%s\" is too long to dial: a phone dials at most 32 characters.");
        break;
    }
    return Substitute(why, "%s", number);
}

} // namespace settings
