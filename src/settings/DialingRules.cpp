#include "settings/DialingRules.h"

#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

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

std::string DialingRuleRefusal(TDialingRules::TField field, std::string_view value)
{
    const std::string title = TDialingRules::kTitles[field];
    std::string why;
    if (!AllDigits(value))
        why = LocalText("txtDialingNotDigits", "The dialing rule \"%n\" cannot be \"%s\": only digits are.");
    else if (field != TDialingRules::dfInternalLength && value.size() > TDialingRules::kMaxCode)
        why = LocalText("txtDialingCodeTooLong",
                        "The dialing rule \"%n\" cannot be \"%s\": a code has at most 8 digits.");
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
    for (int field = 0; field < dfCount; ++field) {
        Values[field] = config.ReadString(kSection, kNames[field], "");
        if (std::string why = DialingRuleRefusal(static_cast<TField>(field), Values[field]); !why.empty()) {
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

// A number given with its country code, "+" dropped.
TDialledNumber WithCountryCode(const std::string& digits, const TDialingRules& rules)
{
    const std::string& country = rules[TRules::dfCountryCode];
    const std::string& outside = rules[TRules::dfOutsideLine];
    if (!country.empty() && digits.starts_with(country)) {
        const std::string national = digits.substr(country.size());
        if (national.empty())
            return {{}, TDialRefusal::NoNumber};
        const std::string& area = rules[TRules::dfAreaCode];
        if (!area.empty() && national.starts_with(area) && national.size() > area.size())
            return {outside + national.substr(area.size())};
        return {outside + rules[TRules::dfLongDistance] + national};
    }
    if (!rules[TRules::dfInternational].empty())
        return {outside + rules[TRules::dfInternational] + digits};
    // Without rules a "+1" number is dialled as its digits, as it always was; any other country
    // code would reach another number that way.
    if (country.empty())
        return digits[0] == '1' ? TDialledNumber{digits} : TDialledNumber{{}, TDialRefusal::CountryCode};
    return {{}, TDialRefusal::NoInternational};
}

} // namespace

TDialledNumber DialableNumber(std::string_view text, const TDialingRules& rules)
{
    if (text.find_first_not_of("0123456789*#+-.() /") != std::string_view::npos)
        return {{}, TDialRefusal::NotANumber};
    const std::size_t plus = text.find('+');
    if (plus != std::string_view::npos) {
        if (!DialableDigits(text.substr(0, plus)).empty() ||
            text.find('+', plus + 1) != std::string_view::npos)
            return {{}, TDialRefusal::NotANumber};
        const std::string digits = DialableDigits(text.substr(plus + 1));
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

std::string WrittenDigits(std::string_view text)
{
    const std::string digits = DialableDigits(text);
    const std::size_t plus = text.find('+');
    return plus != std::string_view::npos && DialableDigits(text.substr(0, plus)).empty() && !digits.empty()
               ? "+" + digits
               : digits;
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
    }
    return Substitute(why, "%s", number);
}

} // namespace settings
