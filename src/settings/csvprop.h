#pragma once
// TCsvProperties: a name/value list over one TCsvString. Mode 0 keeps name=value items (with
// '=' inside a value stored as #61, an empty value as the bare name); mode 1 alternates name and
// value items. Names compare without case; the first match wins.
//
// The plain form reads "#61", "#34" and "#124" as codes wherever they stand, so a text holding
// one of them literally ("#615551234", "Room #61") would come back changed. A mode-0 list that
// holds such a text is written in the escaped form instead: its text starts with '#' (before
// the first quote, where the plain form never has anything) and every '#' of its names and
// values is stored as #35, so no literal code is left. Lists without such texts keep the plain
// form byte for byte, and every plain text reads as it always did.

#include <string>
#include <string_view>

#include "settings/csvstr.h"

namespace settings {

class TCsvProperties {
public:
    enum TMode : unsigned char { NameEqualsValue = 0, AlternatingItems = 1 };

    // escapable: whether the list may switch to the escaped form (the settings document's top
    // level does not: its values are section texts, whose codes are their own).
    explicit TCsvProperties(std::string_view text = {}, TMode mode = NameEqualsValue,
                            char quote = TCsvString::kDoubleQuote, bool escapable = true);

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

    std::string Text() const;
    void SetText(std::string_view text);
    char Quote() const { return list_.Quote(); }
    void SetQuote(char quote) { list_.SetQuote(quote); }
    TMode Mode() const { return mode_; }
    bool Escaped() const { return escaped_; }

private:
    std::string Encode(std::string_view text, bool value) const;
    std::string Decode(std::string_view stored) const;
    void UseEscapedForm();

    TCsvString list_;
    TMode mode_;
    bool escapable_;
    bool escaped_ = false;
};

} // namespace settings
