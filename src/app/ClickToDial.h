#pragma once
// Click-to-dial: a "tel:" or "callto:" link given to the program as its first argument is a
// make-call of the link's number, dialled by the user's dialing rules.

#include <string>
#include <string_view>
#include <vector>

#include "settings/DialingRules.h"

namespace app {

// Whether the text starts with one of the link schemes (any case); such an argument is never an
// enciphered parameter string.
bool IsCallLink(std::string_view argument);

struct TCallLink {
    std::string
        Number; // the number as written, separators dropped ("+", "*" and "#" kept); empty when refused
    std::string Error; // why the text was refused, as the user reads it; empty when accepted
};

// The number of a link: percent escapes decoded, "//" after the scheme and everything from the
// first ";" or "?" dropped, the visual separators removed. Links without digits, or with letters or
// other characters a phone cannot dial, are refused, and so are numbers the rules cannot dial (see
// settings::DialableNumber). Without rules (a link opened as the program starts, before the
// document holding them is known) only the number's form is checked.
TCallLink ParseCallLink(std::string_view link, const settings::TDialingRules* rules = nullptr);

// A number copied from the clipboard, by the same rules; only digits, "*#+-.() /" and blanks are
// accepted.
TCallLink ClipboardNumber(std::string_view text, const settings::TDialingRules& rules);

// The rules in the program's settings document; refused entries count as unset.
settings::TDialingRules StoredDialingRules();

// What a link opened while no program runs tells the user: the program starts from the portal.
std::string CallLinkWithoutProgram();

// The program's parameters for a link's number, handed over or evaluated like "-MakeCall".
std::vector<std::string> CallLinkParameters(const std::string& number);

} // namespace app
