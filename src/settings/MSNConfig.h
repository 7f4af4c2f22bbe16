#pragma once
// TKovraAssistantConfig: the user's settings, one document kept on the server as the application
// data "KovraAssistant". The top level is a '|'-quoted name=value list of sections; each section
// is a '"'-quoted name=value list of its own. Main thread only.

#include <string>
#include <string_view>
#include <vector>

#include "settings/csvprop.h"

namespace settings {

class TKovraAssistantConfig {
public:
    static constexpr char kSectionQuote = '|';
    static constexpr std::string_view kApplicationName = "KovraAssistant";

    TKovraAssistantConfig();

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    void WriteInteger(std::string_view section, std::string_view key, int value);

    // Keys, and key=value texts, in stored order.
    void ReadSection(std::string_view section, std::vector<std::string>& keys) const;
    void ReadSectionValues(std::string_view section, std::vector<std::string>& pairs) const;
    bool SectionExists(std::string_view section) const;
    void EraseSection(std::string_view section);

    std::string GetText() const { return top_.Text(); }
    void SetText(std::string_view text) { top_.SetText(text); }

private:
    TCsvProperties Section(std::string_view section) const;

    TCsvProperties top_;
};

// The program-wide store, empty until the document is loaded after log-in.
TKovraAssistantConfig& KovraAssistantConfig();

} // namespace settings
