#include "options/SectionPairs.h"

#include <unordered_map>

#include "settings/MSNConfig.h"
#include "settings/TextUtil.h"
#include "settings/csvprop.h"
#include "settings/csvstr.h"

using namespace settings;

namespace options {

namespace {

// A text the plain form would read back changed: the section goes to the escaped form, which
// only the key-by-key writes produce.
bool NeedsEscapedForm(std::string_view text)
{
    for (std::string_view code : {"#61", "#34", "#124"})
        if (text.find(code) != std::string_view::npos)
            return true;
    return false;
}

} // namespace

std::vector<TSectionPair> ReadSectionPairs(const TKovraAssistantConfig& config, std::string_view section,
                                           const std::function<bool(std::string_view name)>& wanted)
{
    // Names and name=value texts, one parse each: a text is its name, '=' and the value.
    std::vector<std::string> names, texts;
    config.ReadSection(section, names);
    config.ReadSectionValues(section, texts);
    std::vector<TSectionPair> pairs;
    std::unordered_map<std::string, std::size_t> first;
    for (std::size_t i = 0; i < names.size() && i < texts.size(); ++i) {
        if (wanted && !wanted(names[i]))
            continue;
        const auto [at, added] = first.try_emplace(ToLowerAscii(names[i]), pairs.size());
        pairs.push_back({names[i], added ? texts[i].substr(names[i].size() + 1) : pairs[at->second].Value});
    }
    return pairs;
}

void WriteSectionPairs(TKovraAssistantConfig& config, std::string_view section,
                       const std::vector<TSectionPair>& pairs)
{
    config.EraseSection(section);
    bool escaped = false;
    for (const TSectionPair& pair : pairs)
        escaped =
            escaped || (!pair.Name.empty() && (NeedsEscapedForm(pair.Name) || NeedsEscapedForm(pair.Value)));
    if (escaped) {
        for (const TSectionPair& pair : pairs)
            config.WriteString(section, pair.Name, pair.Value);
        return;
    }
    // The plain form's items as the section's own writes make them: a write finds the first entry
    // whose stored name (trimmed) is its name, else adds one.
    TCsvString items({}, false, TCsvString::kDoubleQuote);
    std::unordered_map<std::string, int> placed;
    for (const TSectionPair& pair : pairs) {
        if (pair.Name.empty())
            continue;
        std::string item = pair.Name;
        if (!pair.Value.empty())
            item += "=" + ReplaceAll(pair.Value, "=", "#61");
        if (const auto found = placed.find(ToLowerAscii(pair.Name)); found != placed.end()) {
            items.SetItem(found->second, item);
            continue;
        }
        const int index = items.Add(item);
        const std::string stored = items.Item(index);
        placed.try_emplace(ToLowerAscii(Trim(std::string_view(stored).substr(0, stored.find('=')))), index);
    }
    if (items.Count() == 0)
        return;
    TCsvProperties top(config.GetText(), TCsvProperties::NameEqualsValue,
                       TKovraAssistantConfig::kSectionQuote, false);
    top.SetValue(section, items.Text(true));
    config.SetText(top.Text());
}

} // namespace options
