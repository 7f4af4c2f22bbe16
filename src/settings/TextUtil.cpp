#include "settings/TextUtil.h"

#include <charconv>

namespace settings {

std::string Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string ToLowerAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

std::string ToUpperAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

std::string Substitute(std::string_view format, std::string_view placeholder, std::string_view value)
{
    std::string text(format);
    const std::size_t at = placeholder.empty() ? std::string::npos : text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), value);
    return text;
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with)
{
    std::string result;
    if (what.empty())
        return std::string(text);
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(what, start)) != std::string_view::npos;
         start = found + what.size()) {
        result.append(text.substr(start, found - start));
        result.append(with);
    }
    result.append(text.substr(start));
    return result;
}

std::optional<int> ParseDecimal(std::string_view text)
{
    std::string trimmed = Trim(text);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits[0] == '+')
        digits.remove_prefix(1);
    if (digits.empty() || digits[0] == '+')
        return std::nullopt;
    int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

int StrToIntDef(std::string_view text, int fallback)
{
    return ParseDecimal(text).value_or(fallback);
}

std::vector<std::string> SplitSkippingEmpty(std::string_view text, char separator)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            items.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

bool SplitQuotedWords(std::string_view line, std::vector<std::string>& words)
{
    words.clear();
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : line) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return !quoted;
}

} // namespace settings
