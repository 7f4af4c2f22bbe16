#include "settings/csvstr.h"

#include "settings/TextUtil.h"

namespace settings {

using settings::ReplaceAll;
using settings::Trim;

TCsvString::TCsvString(std::string_view text, bool trim, char quote) : quote_(quote), trim_(trim)
{
    SetText(text);
}

std::string TCsvString::Encoded() const
{
    return "#" + std::to_string(static_cast<unsigned char>(quote_));
}

void TCsvString::AddParsed(std::string_view field)
{
    items_.emplace_back(trim_ ? Trim(field) : std::string(field));
}

void TCsvString::SetText(std::string_view text)
{
    items_.clear();
    cursor_ = 0;
    // A text that is empty, or nothing but a pair of quotes, holds no items.
    std::string_view inner = text;
    if (quote_ != 0 && !inner.empty() && inner.front() == quote_ && inner.back() == quote_) {
        inner.remove_prefix(1);
        if (!inner.empty() && inner.back() == quote_)
            inner.remove_suffix(1);
    }
    if (inner.empty())
        return;

    std::string walk(text);
    walk += ',';
    std::size_t start = 0;
    bool inQuotes = false;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        char c = walk[i];
        if (quote_ != 0 && c == quote_) {
            inQuotes = !inQuotes;
            if (inQuotes) {
                start = i + 1;
                continue;
            }
            AddParsed(std::string_view(walk).substr(start, i - start));
            std::size_t comma = walk.find(',', i + 1);
            if (comma == std::string::npos)
                return;
            start = comma + 1;
            i = comma;
        } else if (c == ',' && !inQuotes) {
            AddParsed(std::string_view(walk).substr(start, i - start));
            start = i + 1;
        }
    }
}

std::string TCsvString::Text(bool quoted) const
{
    std::string text;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i > 0)
            text += ',';
        if (quoted && quote_ != 0)
            text.append(1, quote_).append(items_[i]).append(1, quote_);
        else
            text += items_[i];
    }
    return text;
}

std::string TCsvString::Normalise(std::string_view value) const
{
    // Surrounding quotes are taken off unless they belong to the value ("a" "b" keeps its own).
    while (quote_ != 0 && !value.empty() && value.front() == quote_ && value.back() == quote_) {
        if (value.size() >= 2) {
            bool secondIsQuote = value[1] == quote_;
            bool secondLastIsQuote = value[value.size() - 2] == quote_;
            if (value.size() > 2 && secondIsQuote != secondLastIsQuote)
                break;
        }
        value.remove_prefix(1);
        if (!value.empty() && value.back() == quote_)
            value.remove_suffix(1);
        if (value.empty())
            break;
    }
    std::string result = trim_ ? Trim(value) : std::string(value);
    if (quote_ != 0 && result.find(quote_) != std::string::npos)
        result = ReplaceAll(result, std::string(1, quote_), Encoded());
    return result;
}

int TCsvString::Add(std::string_view value)
{
    items_.push_back(Normalise(value));
    return Count() - 1;
}

std::string TCsvString::Item(int index) const
{
    if (index < 0 || index >= Count())
        return std::string();
    const std::string& item = items_[static_cast<std::size_t>(index)];
    std::string decoded = quote_ != 0 ? ReplaceAll(item, Encoded(), std::string(1, quote_)) : item;
    return trim_ ? Trim(decoded) : decoded;
}

void TCsvString::SetItem(int index, std::string_view value)
{
    if (index >= 0 && index < Count())
        items_[static_cast<std::size_t>(index)] = Normalise(value);
}

void TCsvString::Delete(int index)
{
    if (index >= 0 && index < Count()) {
        items_.erase(items_.begin() + index);
        if (cursor_ > static_cast<std::size_t>(index))
            --cursor_;
    }
}

void TCsvString::Clear()
{
    items_.clear();
    cursor_ = 0;
}

bool TCsvString::Next(std::string& value)
{
    if (cursor_ >= items_.size())
        return false;
    value = Item(static_cast<int>(cursor_++));
    return true;
}

} // namespace settings
