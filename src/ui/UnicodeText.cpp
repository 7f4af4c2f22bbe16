#include "ui/UnicodeText.h"

#include "platform/Text.h"

namespace ui {

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        unsigned length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? (lead & 0x1F)
                        : length == 3 ? (lead & 0x0F)
                                      : (lead & 0x07);
        bool valid = length != 0 && i + length <= text.size();
        for (unsigned k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            // A broken sequence shows as the replacement character rather than vanishing.
            out.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

std::string DecodeEscapes(std::string_view text)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\\') {
            std::size_t end = text.find('\\', i);
            if (end == std::string_view::npos)
                end = text.size();
            out += Utf8ToUtf16(text.substr(i, end - i));
            i = end;
            continue;
        }
        if (i + 5 < text.size() && (text[i + 1] == 'u' || text[i + 1] == 'U')) {
            int code = 0;
            bool hex = true;
            for (int k = 0; k < 4 && hex; ++k) {
                const int digit = platform::HexDigitValue(text[i + 2 + k]);
                hex = digit >= 0;
                code = code * 16 + digit;
            }
            if (hex) {
                out.push_back(static_cast<char16_t>(code));
                i += 6;
                continue;
            }
        }
        ++i; // any other backslash is dropped
    }
    return Utf16ToUtf8(out);
}

std::string StripAccelerators(std::string_view caption)
{
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out.push_back('&');
                ++i;
            }
            continue;
        }
        out.push_back(caption[i]);
    }
    return out;
}

std::size_t Utf16Length(std::string_view text)
{
    return Utf8ToUtf16(text).size();
}

std::string TruncateUtf16(std::string_view text, std::size_t units)
{
    std::u16string wide = Utf8ToUtf16(text);
    if (wide.size() <= units)
        return std::string(text);
    wide.resize(units);
    // Never leave half a surrogate pair behind.
    if (!wide.empty() && wide.back() >= 0xD800 && wide.back() < 0xDC00)
        wide.pop_back();
    return Utf16ToUtf8(wide);
}

} // namespace ui
