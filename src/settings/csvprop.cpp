#include "settings/csvprop.h"

#include "settings/TextUtil.h"

using settings::ReplaceAll;

namespace {
constexpr std::string_view kEncodedEquals = "#61";
}

TCsvProperties::TCsvProperties(std::string_view text, TMode mode, char quote)
    : list_(text, false, quote), mode_(mode)
{
}

int TCsvProperties::Count() const { return mode_ == NameEqualsValue ? list_.Count() : (list_.Count() + 1) / 2; }

std::string TCsvProperties::Name(int index) const
{
    if (mode_ == AlternatingItems)
        return settings::Trim(list_.Item(index * 2));
    std::string item = list_.Item(index);
    std::size_t equals = item.find('=');
    return settings::Trim(equals == std::string::npos ? item : item.substr(0, equals));
}

std::string TCsvProperties::ValueAt(int index) const
{
    if (mode_ == AlternatingItems)
        return list_.Item(index * 2 + 1);
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
    std::string item(name);
    if (!value.empty())
        item += "=" + ReplaceAll(value, "=", kEncodedEquals);
    if (index < 0)
        list_.Add(item);
    else
        list_.SetItem(index, item);
    return true;
}

bool TCsvProperties::SetValueInt(std::string_view name, int value) { return SetValue(name, std::to_string(value)); }

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
