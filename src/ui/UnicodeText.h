#pragma once
// Text conversions at the edges of the toolkit: captions are UTF-8; the window system is UTF-16.

#include <string>
#include <string_view>

namespace ui {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// What a Unicode-capable control displays for a text from the message bundle: each \uXXXX
// (either case of u, four hex digits) becomes that code unit; any other backslash is dropped.
std::string DecodeEscapes(std::string_view text);

// The text a caption shows once accelerator marks are taken out: "&&" shows one "&", a single
// "&" only underlines the next character.
std::string StripAccelerators(std::string_view caption);

// Counts and cuts in UTF-16 code units, as the window system measures text.
std::size_t Utf16Length(std::string_view text);
std::string TruncateUtf16(std::string_view text, std::size_t units);

} // namespace ui
