#pragma once
// UTF-8 inside msgrsim, UTF-16 at the window system.

#include <string>

#include "ui/UnicodeText.h"

namespace msgrsim {

inline std::wstring Wide(const std::string& text)
{
    std::u16string wide = ui::Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Narrow(const wchar_t* text, std::size_t length)
{
    return ui::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

inline std::string Narrow(const std::wstring& text)
{
    return Narrow(text.data(), text.size());
}

} // namespace msgrsim
