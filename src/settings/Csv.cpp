#include "settings/Csv.h"

#include "settings/TextUtil.h"

namespace settings {

TCsv::TCsv(std::string_view line)
{
    SetLine(line);
}

void TCsv::SetLine(std::string_view line)
{
    line_.reserve(line.size() + kMaxField);
    line_.assign(line.data(), line.size());
    added_ = line_.empty() ? 0 : 1;
}

void TCsv::Clear()
{
    line_.clear();
    added_ = 0;
}

bool TCsv::Locate(int index, std::size_t& begin, std::size_t& end) const
{
    if (index < 0 || line_.empty())
        return false;
    std::size_t position = 0;
    for (int field = 0;; ++field) {
        while (position < line_.size() && line_[position] == ' ')
            ++position;
        begin = position;
        int quotes = 0;
        while (position < line_.size() && !(line_[position] == ',' && quotes % 2 == 0)) {
            if (line_[position] == quote_)
                ++quotes;
            ++position;
        }
        end = position;
        if (field == index)
            return true;
        if (position >= line_.size())
            return false;
        ++position;
    }
}

bool TCsv::Field(int index, std::string& text) const
{
    text.clear();
    std::size_t begin = 0, end = 0;
    if (!Locate(index, begin, end))
        return false;
    std::string_view field = std::string_view(line_).substr(begin, end - begin);
    if (!field.empty() && field.front() == quote_)
        field.remove_prefix(1);
    if (!field.empty() && field.back() == quote_)
        field.remove_suffix(1);
    for (std::size_t i = 0; i < field.size() && text.size() < kMaxField; ++i) {
        text += field[i];
        if (field[i] == quote_ && i + 1 < field.size() && field[i + 1] == quote_)
            ++i;
    }
    return true;
}

std::string TCsv::FieldText(int index) const
{
    std::string text;
    Field(index, text);
    return text;
}

int TCsv::FieldInt(int index) const
{
    return settings::StrToIntDef(FieldText(index), 0);
}

int TCsv::FieldCount() const
{
    if (line_.empty())
        return 0;
    int count = 0;
    std::size_t begin = 0, end = 0;
    while (Locate(count, begin, end))
        ++count;
    return count;
}

std::string TCsv::Encode(std::string_view text) const
{
    bool quoting = quote_ != kNeverQuote && (forceQuote_ || text.find(',') != std::string_view::npos ||
                                             text.find(quote_) != std::string_view::npos);
    if (!quoting)
        return std::string(text);
    std::string field(1, quote_);
    for (char c : text) {
        field += c;
        if (c == quote_)
            field += c;
    }
    field += quote_;
    return field;
}

void TCsv::AddField(std::string_view text)
{
    std::string field = Encode(text);
    if (added_ > 0)
        line_ += ',';
    if (line_.capacity() < line_.size() + field.size())
        line_.reserve(line_.size() + field.size() + kMaxField);
    line_ += field;
    ++added_;
}

} // namespace settings
