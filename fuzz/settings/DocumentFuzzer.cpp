// Arbitrary configuration documents and field lines, and write-then-read of names and values
// taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/Csv.h"
#include "settings/MSNConfig.h"
#include "settings/csvprop.h"
#include "settings/csvstr.h"

using namespace settings;

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

enum class TPiece { Section, Key, Value };

// What the format can hold: names hold no '=' and no quote characters and are not blank at their
// ends; section names are the program's own and hold no "#" before a digit (the top level is
// never escaped).
std::string Storable(std::string text, TPiece piece)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char& c = text[i];
        if (c == '\0' || (piece != TPiece::Value &&
                          (c == '=' || c == '"' || c == '|' || static_cast<unsigned char>(c) <= ' ')))
            c = 'n';
        if (piece == TPiece::Section && c == '#' && i + 1 < text.size() && text[i + 1] >= '0' &&
            text[i + 1] <= '9')
            c = '%';
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);

    TKovraAssistantConfig config;
    config.SetText(input);
    std::string once = config.GetText();
    config.SetText(once);
    // A lone empty section written as "||" reads back as no section at all; from then on the
    // document is stable.
    Require(config.GetText() == once || once == "||");
    once = config.GetText();
    config.SetText(once);
    Require(config.GetText() == once);
    std::vector<std::string> keys;
    for (const char* section : {"Confirm", "IMStates", "Forward", "Call Later", ""}) {
        config.ReadSection(section, keys);
        for (const std::string& key : keys) {
            TCsv line(config.ReadString(section, key, ""));
            for (int i = 0; i < line.FieldCount() && i < 8; ++i)
                (void)line.FieldInt(i);
        }
        config.ReadSectionValues(section, keys);
        (void)config.ReadInteger(section, "Exit", 1);
    }

    TCsvString trimmed(input, true);
    for (std::string item; trimmed.Next(item);) {
    }
    TCsvProperties alternating(input, TCsvProperties::AlternatingItems);
    for (int i = 0; i < alternating.Count(); ++i)
        (void)alternating.Value(alternating.Name(i));

    // Pieces separated by 0x01: section, key, value, ... written then read back.
    std::vector<std::string> pieces;
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\x01', start);
        if (end == std::string::npos)
            end = input.size();
        pieces.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    TKovraAssistantConfig store;
    for (std::size_t i = 0; i + 2 < pieces.size(); i += 3) {
        std::string section = Storable(pieces[i], TPiece::Section);
        std::string key = Storable(pieces[i + 1], TPiece::Key);
        std::string value = Storable(pieces[i + 2], TPiece::Value);
        if (section.empty() || key.empty())
            continue;
        store.WriteString(section, key, value);
        Require(store.ReadString(section, key, "\x02") == value);
        TKovraAssistantConfig reread;
        reread.SetText(store.GetText());
        Require(reread.ReadString(section, key, "\x02") == value);
    }

    // Field lines: whatever goes in comes out (fields have no leading blanks and fit the limit).
    TCsv fields;
    std::vector<std::string> written;
    for (const std::string& piece : pieces) {
        std::string field = piece.substr(0, TCsv::kMaxField);
        field.erase(0, field.find_first_not_of(' ') == std::string::npos ? field.size()
                                                                         : field.find_first_not_of(' '));
        if (written.empty() && field.empty())
            continue;
        fields.AddField(field);
        written.push_back(field);
    }
    for (std::size_t i = 0; i < written.size(); ++i)
        Require(fields.FieldText(static_cast<int>(i)) == written[i]);
    return 0;
}
