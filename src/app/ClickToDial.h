#pragma once
// Click-to-dial: a "tel:" or "callto:" link given to the program as its first argument is a
// make-call of the link's dialable digits.

#include <string>
#include <string_view>
#include <vector>

// Whether the text starts with one of the link schemes (any case); such an argument is never an
// enciphered parameter string.
bool IsCallLink(std::string_view argument);

struct TCallLink {
    std::string Number; // the dialable digits; empty when refused
    std::string Error;  // why the link was refused; empty when accepted
};

// The number of a link: percent escapes decoded, "//" after the scheme and everything from the
// first ";" or "?" dropped, the visual separators removed. Links without digits, or with letters or
// other characters a phone cannot dial, are refused.
TCallLink ParseCallLink(std::string_view link);

// The dialable digits of a written number: only digits, "*#+-.() /" and blanks are accepted. The
// error says why it was refused, to follow a description of where the text came from.
TCallLink NumberToDial(std::string_view text);

// The program's parameters for a link's number, handed over or evaluated like "-MakeCall".
std::vector<std::string> CallLinkParameters(const std::string& number);
