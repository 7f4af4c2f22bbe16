#include "settings/csvprop.h"

#include <vector>

#include "settings/TextUtil.h"

namespace settings {

using settings::ReplaceAll;

namespace {

constexpr std::string_view kEncodedEquals = "#61";
constexpr std::string_view kEncodedHash = "#35";
constexpr char kEscapedMark = '#';
// The codes the document's readers decode: '=' at both levels, the sections' double quote and
// the top level's bar. A text holding one of them cannot be stored in the plain form.
constexpr std::string_view kPlainCodes[] = {"#61", "#34", "#124"};

bool PlainFormMisreads(std::string_view text)
{
    for (std::string_view code : kPlainCodes)
        if (text.find(code) != std::string_view::npos)
            return true;
    return false;
}

std::string QuoteCode(char quote)
{
    return "#" + std::to_string(static_cast<unsigned char>(quote));
}

} // namespace

TCsvProperties::TCsvProperties(std::string_view text, TMode mode, char quote, bool escapable)
    : list_({}, false, quote), mode_(mode), escapable_(escapable)
{
    SetText(text);
}

void TCsvProperties::SetText(std::string_view text)
{
    escaped_ = escapable_ && mode_ == NameEqualsValue && !text.empty() && text.front() == kEscapedMark;
    if (escaped_)
        text.remove_prefix(1);
    list_.SetText(text);
}

std::string TCsvProperties::Text() const
{
    const std::string text = list_.Text(true);
    return escaped_ && !text.empty() ? kEscapedMark + text : text;
}

std::string TCsvProperties::Encode(std::string_view text, bool value) const
{
    const std::string quoteCode = QuoteCode(list_.Quote());
    std::string stored;
    for (char c : text) {
        if (c == '#')
            stored += kEncodedHash;
        else if (list_.Quote() != 0 && c == list_.Quote())
            stored += quoteCode;
        else if (value && c == '=')
            stored += kEncodedEquals;
        else
            stored += c;
    }
    return stored;
}

// The escaped form holds '#' only as the start of a code, so one pass from the left reads it.
std::string TCsvProperties::Decode(std::string_view stored) const
{
    const std::string quoteCode = QuoteCode(list_.Quote());
    std::string text;
    for (std::size_t i = 0; i < stored.size();) {
        const std::string_view rest = stored.substr(i);
        if (rest.starts_with(kEncodedHash)) {
            text += '#';
            i += kEncodedHash.size();
        } else if (list_.Quote() != 0 && rest.starts_with(quoteCode)) {
            text += list_.Quote();
            i += quoteCode.size();
        } else if (rest.starts_with(kEncodedEquals)) {
            text += '=';
            i += kEncodedEquals.size();
        } else {
            text += stored[i++];
        }
    }
    return text;
}

void TCsvProperties::UseEscapedForm()
{
    struct TPair {
        std::string Name, Value;
        bool Bare;
    };
    std::vector<TPair> pairs;
    for (int i = 0; i < list_.Count(); ++i)
        pairs.push_back({Name(i), ValueAt(i), list_.Item(i).find('=') == std::string::npos});
    escaped_ = true;
    list_.Clear();
    for (const TPair& pair : pairs)
        list_.Add(pair.Bare ? Encode(pair.Name, false)
                            : Encode(pair.Name, false) + "=" + Encode(pair.Value, true));
}

int TCsvProperties::Count() const
{
    return mode_ == NameEqualsValue ? list_.Count() : (list_.Count() + 1) / 2;
}

std::string TCsvProperties::Name(int index) const
{
    if (mode_ == AlternatingItems)
        return settings::Trim(list_.Item(index * 2));
    if (escaped_) {
        if (index < 0 || index >= list_.Count())
            return std::string();
        const std::string& stored = list_.RawItem(index);
        return settings::Trim(Decode(std::string_view(stored).substr(0, stored.find('='))));
    }
    std::string item = list_.Item(index);
    std::size_t equals = item.find('=');
    return settings::Trim(equals == std::string::npos ? item : item.substr(0, equals));
}

std::string TCsvProperties::ValueAt(int index) const
{
    if (mode_ == AlternatingItems)
        return list_.Item(index * 2 + 1);
    if (escaped_) {
        if (index < 0 || index >= list_.Count())
            return std::string();
        const std::string& stored = list_.RawItem(index);
        const std::size_t equals = stored.find('=');
        return equals == std::string::npos ? std::string()
                                           : Decode(std::string_view(stored).substr(equals + 1));
    }
    std::string item = list_.Item(index);
    std::size_t equals = item.find('=');
    if (equals == std::string::npos)
        return std::string();
    return ReplaceAll(std::string_view(item).substr(equals + 1), kEncodedEquals, "=");
}

int TCsvProperties::IndexOfName(std::string_view name) const
{
    if (name.empty())
        return -1;
    for (int i = 0; i < Count(); ++i)
        if (settings::SameText(Name(i), name))
            return i;
    return -1;
}

std::string TCsvProperties::Value(std::string_view name, std::string_view fallback) const
{
    int index = IndexOfName(name);
    return index < 0 ? std::string(fallback) : ValueAt(index);
}

int TCsvProperties::ValueInt(std::string_view name, int fallback) const
{
    return settings::StrToIntDef(Value(name, std::to_string(fallback)), fallback);
}

bool TCsvProperties::SetValue(std::string_view name, std::string_view value)
{
    if (name.empty())
        return false;
    int index = IndexOfName(name);
    if (mode_ == AlternatingItems) {
        if (index < 0) {
            list_.Add(name);
            list_.Add(value);
        } else if (index * 2 + 1 < list_.Count()) {
            list_.SetItem(index * 2 + 1, value);
        } else {
            list_.Add(value);
        }
        return true;
    }
    if (escapable_ && !escaped_ && (PlainFormMisreads(name) || PlainFormMisreads(value)))
        UseEscapedForm();
    std::string item = escaped_ ? Encode(name, false) : std::string(name);
    if (!value.empty())
        item += "=" + (escaped_ ? Encode(value, true) : ReplaceAll(value, "=", kEncodedEquals));
    if (index < 0)
        list_.Add(item);
    else
        list_.SetItem(index, item);
    return true;
}

bool TCsvProperties::SetValueInt(std::string_view name, int value)
{
    return SetValue(name, std::to_string(value));
}

bool TCsvProperties::Delete(std::string_view name)
{
    int index = IndexOfName(name);
    if (index < 0)
        return false;
    if (mode_ == AlternatingItems) {
        if (index * 2 + 1 < list_.Count())
            list_.Delete(index * 2 + 1);
        list_.Delete(index * 2);
    } else {
        list_.Delete(index);
    }
    return true;
}

} // namespace settings
