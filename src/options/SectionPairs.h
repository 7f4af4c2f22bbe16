#pragma once
// Whole sections of the settings document, read and written in one pass. The document answers
// one key at a time by parsing the section again and searching it from the top, so a list of n
// entries read or written key by key costs n² (seconds for a few thousand entries).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {
class TKovraAssistantConfig;
}

namespace options {

struct TSectionPair {
    std::string Name;
    std::string Value;
    bool operator==(const TSectionPair&) const = default;
};

// Every entry in stored order (those whose name wanted takes, when given), each with the value a
// read by its name gives: the first entry of that name's, names compared without case.
std::vector<TSectionPair> ReadSectionPairs(const settings::TKovraAssistantConfig& config,
                                           std::string_view section,
                                           const std::function<bool(std::string_view name)>& wanted = {});
// Replaces the section by the pairs, stored byte for byte as erasing it and writing them one key
// at a time would store them: a repeated name keeps its first place and takes the last value, an
// empty name is skipped, and no pairs leave no section.
void WriteSectionPairs(settings::TKovraAssistantConfig& config, std::string_view section,
                       const std::vector<TSectionPair>& pairs);

} // namespace options
