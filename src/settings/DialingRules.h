#pragma once
// TDialingRules: how the user's phone reaches numbers beyond the office (its own country and area,
// the outside-line, international and long-distance prefixes, and how long an internal number can
// be), kept in the settings document's "Dialing" section; and DialableNumber, which turns a number
// as people write it into what the phone dials. With no rules set, numbers are dialled as their
// digits and only "+1" is understood.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class TKovraAssistantConfig;

struct TDialingRules {
    enum TField {
        dfCountryCode,
        dfAreaCode,
        dfOutsideLine,
        dfInternational,
        dfLongDistance,
        dfInternalLength,
        dfCount
    };
    static constexpr const char* kSection = "Dialing";
    // Configuration key of each field, in TField order.
    static const std::array<const char*, dfCount> kNames;
    // How the user reads each field.
    static const std::array<const char*, dfCount> kTitles;
    // A code or prefix has at most kMaxCode digits, an internal number at most kMaxInternalLength;
    // the phone dials at most kMaxDialled characters.
    static constexpr std::size_t kMaxCode = 8, kMaxInternalLength = 15, kMaxDialled = 32;

    // Digits only, each checked by DialingRuleRefusal; empty when not set.
    std::array<std::string, dfCount> Values;

    const std::string& operator[](TField field) const { return Values[field]; }
    // Numbers up to this many digits are internal: dialled as they stand. 0 when not set.
    std::size_t InternalLength() const;

    // A refused entry is left unset and named in the result; the others load.
    std::vector<std::string> Load(const TKovraAssistantConfig& config);
    void Save(TKovraAssistantConfig& config) const;
};

// Why a text cannot be the field's value, empty when it can: digits only, a code no longer than
// kMaxCode digits, a country code of one to three digits not starting with 0, an area code not
// starting with the long-distance prefix (given when set), an internal length no more than
// kMaxInternalLength.
std::string DialingRuleRefusal(TDialingRules::TField field, std::string_view value,
                               std::string_view longDistance = {});

enum class TDialRefusal {
    None,
    NotANumber,      // letters, other characters, or a "+" anywhere but in front
    NoNumber,        // no digits
    CountryCode,     // a country code other than +1 with no rules to dial it
    NoInternational, // another country's number, and no international prefix set
    TooLong,         // more than kMaxDialled characters to dial
};

struct TDialledNumber {
    std::string Number; // what the phone dials; empty when refused
    TDialRefusal Refusal = TDialRefusal::None;
};

// The digits the phone dials for a number as written: separators (blanks, "-", ".", "(", ")", "/")
// dropped, "*" and "#" kept. A "+" number in the own country is dialled nationally (the own area
// without its code, another behind the long-distance prefix; a "(0)" or the long-distance prefix
// written after the country code is dropped), one abroad behind the international prefix; everything but
// internal numbers and service codes ("*..." or "#...") goes behind the outside-line prefix. A number written
// without "+" is otherwise dialled as written.
TDialledNumber DialableNumber(std::string_view text, const TDialingRules& rules);

// A number kept as written, for the rules to dial later: its dialable digits, behind a "+" when the
// text has one before them ("+44 (0)20 7946-0000" -> "+442079460000").
std::string WrittenDigits(std::string_view text);

// The refusal as the user reads it for a typed or stored number ("%s" in the texts is the number).
std::string DialRefusalText(TDialRefusal refusal, std::string_view number);

} // namespace settings
