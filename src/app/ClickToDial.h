#pragma once
// Click-to-dial: a "tel:" or "callto:" link given to the program as its first argument is a
// make-call of the link's dialable digits.

#include <string>
#include <string_view>
#include <vector>

namespace app {

// Whether the text starts with one of the link schemes (any case); such an argument is never an
// enciphered parameter string.
bool IsCallLink(std::string_view argument);

struct TCallLink {
    std::string Number; // the dialable digits; empty when refused
    std::string Error;  // why the text was refused, as the user reads it; empty when accepted
};

// The number of a link: percent escapes decoded, "//" after the scheme and everything from the
// first ";" or "?" dropped, the visual separators removed. Links without digits, or with letters or
// other characters a phone cannot dial, are refused, and so are numbers that would be dialled as
// another number (a country code other than +1: there are no dialing rules for them).
TCallLink ParseCallLink(std::string_view link);

// The dialable digits of a number copied from the clipboard, by the same rules; only digits,
// "*#+-.() /" and blanks are accepted.
TCallLink ClipboardNumber(std::string_view text);

// What a link opened while no program runs tells the user: the program starts from the portal.
std::string CallLinkWithoutProgram();

// The program's parameters for a link's number, handed over or evaluated like "-MakeCall".
std::vector<std::string> CallLinkParameters(const std::string& number);

} // namespace app
