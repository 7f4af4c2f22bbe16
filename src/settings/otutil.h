#pragma once
// Phone-number helpers: the dialable form numbers are stored and compared in, and the display form.

#include <string>
#include <string_view>

namespace settings {

// Only 0-9, '*' and '#', in order.
std::string DialableDigits(std::string_view text);
// "4255551234" -> "(425) 555-1234"; a number with an extension marker 'x' shows what follows it.
std::string FormatPhoneNumber(std::string_view text);

} // namespace settings
