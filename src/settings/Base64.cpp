#include "settings/Base64.h"

namespace settings {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kFill = 64;
constexpr int kInvalid = -1;

int SextetOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    if (c == '=')
        return kFill;
    return kInvalid;
}

} // namespace

std::string TBase64::Encode(std::string_view bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::size_t left = bytes.size() - i;
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

std::string TBase64::Decode(std::string_view text)
{
    std::string bytes;
    int group[4];
    int filled = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n')
            continue;
        int sextet = SextetOf(c);
        if (sextet == kInvalid)
            break;
        group[filled++] = sextet;
        if (filled < 4)
            continue;
        filled = 0;
        // A fill in the first two places carries no byte at all.
        if (group[0] == kFill || group[1] == kFill)
            break;
        bytes += static_cast<char>((group[0] << 2) | (group[1] >> 4));
        if (group[2] == kFill)
            break;
        bytes += static_cast<char>(((group[1] & 15) << 4) | (group[2] >> 2));
        if (group[3] == kFill)
            break;
        bytes += static_cast<char>(((group[2] & 3) << 6) | group[3]);
    }
    return bytes;
}

} // namespace settings
