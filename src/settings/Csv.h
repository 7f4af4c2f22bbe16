#pragma once
// TCsv: one line of comma-separated fields, as used for rule, call-later and command lines.
// A field with a comma or a quote is written quoted with its quotes doubled; reading skips a
// field's leading blanks and undoes the quoting.

#include <string>
#include <string_view>

namespace settings {

class TCsv {
public:
    static constexpr char kNeverQuote = 1;
    static constexpr std::size_t kMaxField = 2048;

    explicit TCsv(std::string_view line = {});

    void SetLine(std::string_view line);
    const std::string& Line() const { return line_; }

    bool Field(int index, std::string& text) const;
    std::string FieldText(int index) const;
    // 0 when absent or not decimal.
    int FieldInt(int index) const;
    int FieldCount() const;

    void AddField(std::string_view text);
    void AddField(int value) { AddField(std::to_string(value)); }
    void Clear();

    char Quote() const { return quote_; }
    void SetQuote(char quote) { quote_ = quote; }
    bool ForceQuote() const { return forceQuote_; }
    void SetForceQuote(bool force) { forceQuote_ = force; }

private:
    // Start and end of field index within the line; false when the line has fewer fields.
    bool Locate(int index, std::size_t& begin, std::size_t& end) const;
    std::string Encode(std::string_view text) const;

    std::string line_;
    char quote_ = '"';
    bool forceQuote_ = false;
    // Fields added since the last SetLine or Clear, so that an empty first field stays a field.
    int added_ = 0;
};

} // namespace settings
