#pragma once
// Small text helpers shared by the settings units. Texts are bytes: only ASCII is folded or
// trimmed, so UTF-8 passes through unchanged.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace settings {

// Drops blanks and control characters (codes up to 32) at both ends.
std::string Trim(std::string_view text);
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
using platform::SameText;
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);
// The format with its first placeholder ("%s", "%d") replaced by value, as the bundle's
// texts are filled in; a format without the placeholder stays as it is.
std::string Substitute(std::string_view format, std::string_view placeholder, std::string_view value);
// A decimal integer with an optional sign, blanks around allowed; nothing when the text is not
// one or it does not fit.
std::optional<int> ParseDecimal(std::string_view text);
int StrToIntDef(std::string_view text, int fallback);
// Splits at a separator; empty fields never make items, so runs and leading separators vanish.
std::vector<std::string> SplitSkippingEmpty(std::string_view text, char separator);

// Splits a command line at blanks; "double quotes" keep blanks inside a word. False on an unclosed
// quote.
bool SplitQuotedWords(std::string_view line, std::vector<std::string>& words);

} // namespace settings
