// What the phone dials for numbers as people write them, under the rules of three offices and none.

#include <gtest/gtest.h>

#include "settings/DialingRules.h"

using namespace settings;

namespace {

// Country, area, outside line, international, long distance, internal length.
TDialingRules Rules(std::array<std::string, TDialingRules::dfCount> values)
{
    TDialingRules rules;
    rules.Values = std::move(values);
    return rules;
}

TEST(DialingRules, NumbersAsWrittenAreDialledByTheOfficesRules)
{
    const TDialingRules us = Rules({"1", "425", "9", "011", "1", "4"}),
                        usDirect = Rules({"1", "", "", "011", "1", "4"});
    const TDialingRules de = Rules({"49", "30", "0", "00", "0", "3"}),
                        uk = Rules({"44", "20", "9", "00", "0", "4"});
    // No rules: digits as they stand, only "+1" understood; an own country alone dials no other.
    const TDialingRules none, deOnly = Rules({"49", "", "", "", "0", ""}),
                              outsideOnly = Rules({"", "", "9", "", "", "4"});
    const std::tuple<const TDialingRules&, const char*, const char*, TDialRefusal> cases[] = {
        {us, "+1 (425) 555-1234", "95551234", TDialRefusal::None},        // own area
        {us, "+1 206.555.1234", "912065551234", TDialRefusal::None},      // other area
        {us, "+44 20 7946 0000", "9011442079460000", TDialRefusal::None}, // abroad
        {us, "011 49 30 1234567", "901149301234567", TDialRefusal::None}, // abroad as written
        {us, "(206) 555-1234", "92065551234", TDialRefusal::None},        // national as written
        {us, "1002", "1002", TDialRefusal::None},                         // internal
        {us, "*72 1002#", "*721002#", TDialRefusal::None},                // service code
        {us, "425-555-CALL", "", TDialRefusal::NotANumber},
        {us, "+1", "", TDialRefusal::NoNumber},
        {us, "555 +1", "", TDialRefusal::NotANumber},
        {usDirect, "+1 425 555 1234", "14255551234", TDialRefusal::None},
        {usDirect, "+7 495 123 4567", "01174951234567", TDialRefusal::None},
        {de, "+49 30 1234567", "01234567", TDialRefusal::None},
        {de, "+49 (89) 123456", "0089123456", TDialRefusal::None},
        {de, "+44 20 7946 0000", "000442079460000", TDialRefusal::None},
        {de, "030/1234567", "00301234567", TDialRefusal::None},
        {de, "123", "123", TDialRefusal::None},
        {de, "1234", "01234", TDialRefusal::None},
        {uk, "+44 20 7946 0000", "979460000", TDialRefusal::None},
        {uk, "+44 020 7946 0000", "979460000", TDialRefusal::None},
        {uk, "+44-( 0 )161 496 0000", "901614960000", TDialRefusal::None},
        {uk, "020 7946 0000", "902079460000", TDialRefusal::None},
        {uk, "#31#2001", "#31#2001", TDialRefusal::None},
        {none, "+1 (425) 555-1234", "14255551234", TDialRefusal::None},
        {none, "(425) 555-1234", "4255551234", TDialRefusal::None},
        {none, "+44 20 7946 0000", "", TDialRefusal::CountryCode},
        {none, "++1 425", "", TDialRefusal::NotANumber},
        {none, "(-)", "", TDialRefusal::NoNumber},
        {none, "12345678901234567890123456789012", "12345678901234567890123456789012", TDialRefusal::None},
        {none, "123456789012345678901234567890123", "", TDialRefusal::TooLong},
        {outsideOnly, "+1 425 555 1234", "914255551234", TDialRefusal::None},
        {deOnly, "+49 30 1234567", "0301234567", TDialRefusal::None},
        {deOnly, "+1 425 555 1234", "", TDialRefusal::NoInternational},
    };
    for (const auto& [rules, written, number, refusal] : cases) {
        const TDialledNumber dialled = DialableNumber(written, rules);
        EXPECT_EQ(dialled.Number, number) << written;
        EXPECT_EQ(dialled.Refusal, refusal) << written;
    }
    EXPECT_EQ(WrittenDigits("+44 (0)20 7946-0000"), "+442079460000");
}

TEST(DialingRules, CodesAreRefusedInAFormThePhoneCannotUse)
{
    using enum TDialingRules::TField;
    for (const auto& [field, value, longDistance, refused] : {std::tuple{dfCountryCode, "44", "", false},
                                                              {dfCountryCode, "0049", "", true},
                                                              {dfCountryCode, "4912", "", true},
                                                              {dfAreaCode, "020", "0", true},
                                                              {dfAreaCode, "020", "", false},
                                                              {dfAreaCode, "20", "0", false},
                                                              {dfOutsideLine, "9a", "", true}})
        EXPECT_EQ(DialingRuleRefusal(field, value, longDistance).empty(), !refused) << value;
}

} // namespace
