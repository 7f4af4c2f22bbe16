#include "settings/MSNConfig.h"

#include "settings/TextUtil.h"

namespace settings {

// The top level stays in the plain form: a section holding a text the plain form would misread
// is itself escaped, so its text carries no literal code up here.
TKovraAssistantConfig::TKovraAssistantConfig()
    : top_({}, TCsvProperties::NameEqualsValue, kSectionQuote, false)
{
}

TCsvProperties TKovraAssistantConfig::Section(std::string_view section) const
{
    return TCsvProperties(top_.Value(section, {}));
}

std::string TKovraAssistantConfig::ReadString(std::string_view section, std::string_view key,
                                              std::string_view fallback) const
{
    return Section(section).Value(key, fallback);
}

void TKovraAssistantConfig::WriteString(std::string_view section, std::string_view key,
                                        std::string_view value)
{
    TCsvProperties properties = Section(section);
    if (properties.SetValue(key, value))
        top_.SetValue(section, properties.Text());
}

int TKovraAssistantConfig::ReadInteger(std::string_view section, std::string_view key, int fallback) const
{
    return settings::StrToIntDef(ReadString(section, key, std::to_string(fallback)), fallback);
}

void TKovraAssistantConfig::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TKovraAssistantConfig::ReadSection(std::string_view section, std::vector<std::string>& keys) const
{
    keys.clear();
    TCsvProperties properties = Section(section);
    for (int i = 0; i < properties.Count(); ++i)
        keys.push_back(properties.Name(i));
}

void TKovraAssistantConfig::ReadSectionValues(std::string_view section, std::vector<std::string>& pairs) const
{
    pairs.clear();
    TCsvProperties properties = Section(section);
    for (int i = 0; i < properties.Count(); ++i)
        pairs.push_back(properties.Name(i) + "=" + properties.ValueAt(i));
}

bool TKovraAssistantConfig::SectionExists(std::string_view section) const
{
    return top_.IndexOfName(section) >= 0;
}

void TKovraAssistantConfig::EraseSection(std::string_view section)
{
    while (top_.Delete(section)) {
    }
}

TKovraAssistantConfig& KovraAssistantConfig()
{
    static TKovraAssistantConfig config;
    return config;
}

} // namespace settings
