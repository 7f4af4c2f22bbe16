#pragma once
// TCsvProperties: a name/value list over one TCsvString. Mode 0 keeps name=value items (with
// '=' inside a value stored as #61, an empty value as the bare name); mode 1 alternates name and
// value items. Names compare without case; the first match wins.

#include <string>
#include <string_view>

#include "settings/csvstr.h"

class TCsvProperties {
public:
    enum TMode : unsigned char { NameEqualsValue = 0, AlternatingItems = 1 };

    explicit TCsvProperties(std::string_view text = {}, TMode mode = NameEqualsValue,
                            char quote = TCsvString::kDoubleQuote);

    // Index of the pair, -1 when absent or the name is empty.
    int IndexOfName(std::string_view name) const;
    std::string Value(std::string_view name, std::string_view fallback = {}) const;
    int ValueInt(std::string_view name, int fallback) const;
    // Replaces the pair in place or appends it; false for an empty name.
    bool SetValue(std::string_view name, std::string_view value);
    bool SetValueInt(std::string_view name, int value);
    bool Delete(std::string_view name);

    int Count() const;
    std::string Name(int index) const;
    std::string ValueAt(int index) const;

    std::string Text() const { return list_.Text(true); }
    void SetText(std::string_view text) { list_.SetText(text); }
    char Quote() const { return list_.Quote(); }
    void SetQuote(char quote) { list_.SetQuote(quote); }
    TMode Mode() const { return mode_; }

private:
    TCsvString list_;
    TMode mode_;
};
