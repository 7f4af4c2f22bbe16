// What the phone dials for numbers as people write them, under the rules of three offices.

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

struct TDialCase {
    const char* Written;
    const char* Dialled; // "" when refused
    TDialRefusal Refusal = TDialRefusal::None;
};

void ExpectDialled(const TDialingRules& rules, std::initializer_list<TDialCase> cases)
{
    for (const TDialCase& row : cases) {
        const TDialledNumber dialled = DialableNumber(row.Written, rules);
        EXPECT_EQ(dialled.Number, row.Dialled) << row.Written;
        EXPECT_EQ(dialled.Refusal, row.Refusal) << row.Written;
    }
}

TEST(DialingRules, NorthAmericanOffice)
{
    const TDialingRules rules = Rules({"1", "425", "9", "011", "1", "4"});
    ExpectDialled(rules, {
                             {"+1 (425) 555-1234", "95551234"},        // own area
                             {"+1 206.555.1234", "912065551234"},      // other area
                             {"+44 20 7946 0000", "9011442079460000"}, // abroad
                             {"011 49 30 1234567", "901149301234567"}, // abroad as written
                             {"(206) 555-1234", "92065551234"},        // national as written
                             {"555-1234", "95551234"},                 // local
                             {"1002", "1002"},                         // internal
                             {"*72 1002#", "*721002#"},                // service code
                             {"+1 425 555 1234 #9", "95551234#9"},
                             {"425-555-CALL", "", TDialRefusal::NotANumber},
                             {"+", "", TDialRefusal::NoNumber},
                             {"+1", "", TDialRefusal::NoNumber},
                             {"555 +1", "", TDialRefusal::NotANumber},
                         });
    // Without an outside-line prefix and an area, own-country numbers keep their area code.
    ExpectDialled(Rules({"1", "", "", "011", "1", "4"}), {
                                                             {"+1 425 555 1234", "14255551234"},
                                                             {"+7 495 123 4567", "01174951234567"},
                                                         });
}

TEST(DialingRules, EuropeanOffices)
{
    ExpectDialled(Rules({"49", "30", "0", "00", "0", "3"}), {
                                                                {"+49 30 1234567", "01234567"},
                                                                {"+49 (89) 123456", "0089123456"},
                                                                {"+44 20 7946 0000", "000442079460000"},
                                                                {"0049 30 1234567", "00049301234567"},
                                                                {"030/1234567", "00301234567"},
                                                                {"12", "12"},
                                                                {"123", "123"},
                                                                {"1234", "01234"},
                                                                {"+1 425 555 1234", "00014255551234"},
                                                            });
    ExpectDialled(Rules({"44", "20", "9", "00", "0", "4"}), {
                                                                {"+44 20 7946 0000", "979460000"},
                                                                {"+44 161 496 0000", "901614960000"},
                                                                {"+49 30 1234567", "90049301234567"},
                                                                {"020 7946 0000", "902079460000"},
                                                                {"2001", "2001"},
                                                                {"#31#2001", "#31#2001"},
                                                                {"0800 ABC", "", TDialRefusal::NotANumber},
                                                            });
}

// No rules set: every number is dialled as its digits and only "+1" is understood, as before
// there were rules; an own country without an international prefix refuses other countries.
TEST(DialingRules, WithoutRulesNumbersAreDialledAsTheirDigits)
{
    ExpectDialled(TDialingRules(), {
                                       {"+1 (425) 555-1234", "14255551234"},
                                       {"(425) 555-1234", "4255551234"},
                                       {"1002", "1002"},
                                       {"*72#", "*72#"},
                                       {"+44 20 7946 0000", "", TDialRefusal::CountryCode},
                                       {"(+7) 495 1234567", "", TDialRefusal::CountryCode},
                                       {"++1 425", "", TDialRefusal::NotANumber},
                                       {"(-)", "", TDialRefusal::NoNumber},
                                   });
    ExpectDialled(Rules({"49", "", "", "", "0", ""}),
                  {
                      {"+49 30 1234567", "0301234567"},
                      {"+1 425 555 1234", "", TDialRefusal::NoInternational},
                  });
}

} // namespace
