#include "app/ScreenPop.h"

namespace app {

std::string UrlEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

std::string ScreenPopAddress(std::string_view pattern, std::string_view number, std::string_view name)
{
    // One pass, so a caller's name that reads "{number}" is never filled in again.
    std::string address;
    std::size_t from = 0;
    while (from < pattern.size()) {
        const std::size_t open = pattern.find('{', from);
        if (open == std::string_view::npos)
            break;
        address.append(pattern.substr(from, open - from));
        const std::string_view rest = pattern.substr(open);
        if (rest.starts_with("{number}")) {
            address += UrlEncode(number);
            from = open + 8;
        } else if (rest.starts_with("{name}")) {
            address += UrlEncode(name);
            from = open + 6;
        } else {
            address += '{';
            from = open + 1;
        }
    }
    if (from < pattern.size())
        address.append(pattern.substr(from));
    return address;
}

} // namespace app
