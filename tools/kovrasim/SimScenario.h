#pragma once
// A scenario file: control commands, one per line, with "wait MS" lines between them; blank lines
// and lines starting with # are skipped.

#include <string>
#include <vector>

namespace kovrasim {

struct TScenarioLine {
    int Number = 0; // 1-based line in the file
    std::string Text;
};

// Reads and checks the whole file before anything runs; false with "file:line: reason" otherwise.
bool LoadScenario(const std::string& path, std::vector<TScenarioLine>& lines, std::string& error);
bool ParseScenario(const std::string& text, const std::string& name, std::vector<TScenarioLine>& lines,
                   std::string& error);

} // namespace kovrasim
