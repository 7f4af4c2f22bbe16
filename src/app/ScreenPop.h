#pragma once
// Screen-pop: the address the user gave, filled in with the caller, opened once per ringing call.

#include <string>
#include <string_view>

namespace app {

// Every byte but the unreserved characters (letters, digits, "-", ".", "_", "~") as %XX.
std::string UrlEncode(std::string_view text);
// "{number}" and "{name}" replaced by their encoded values; the rest stays as the user wrote it.
std::string ScreenPopAddress(std::string_view pattern, std::string_view number, std::string_view name);

} // namespace app
