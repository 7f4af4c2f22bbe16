#pragma once
// TCsvString: an ordered list of items with its comma-separated text form. Inside an item the
// quote character is kept as '#' and its decimal code (#34, #124), so items never hold it.

#include <string>
#include <string_view>
#include <vector>

namespace settings {

class TCsvString {
public:
    static constexpr char kDoubleQuote = '"';

    explicit TCsvString(std::string_view text = {}, bool trim = false, char quote = kDoubleQuote);

    void SetText(std::string_view text);
    // The items joined by commas, each between quote characters when quoted (and quoting is on).
    std::string Text(bool quoted = true) const;

    int Add(std::string_view value);
    // Decoded item (trimmed when the trim flag is set); empty out of range.
    std::string Item(int index) const;
    // Ignored out of range.
    void SetItem(int index, std::string_view value);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    // The stored, still encoded form.
    const std::string& RawItem(int index) const { return items_[static_cast<std::size_t>(index)]; }

    // Sequential reading from the first item (every SetText starts it again).
    bool Next(std::string& value);
    void Rewind() { cursor_ = 0; }

    char Quote() const { return quote_; }
    void SetQuote(char quote) { quote_ = quote; }
    bool TrimItems() const { return trim_; }

private:
    std::string Normalise(std::string_view value) const;
    std::string Encoded() const;
    void AddParsed(std::string_view field);

    std::vector<std::string> items_;
    char quote_;
    bool trim_;
    std::size_t cursor_ = 0;
};

} // namespace settings
