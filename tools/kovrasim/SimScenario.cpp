#include "SimScenario.h"

#include <fstream>
#include <sstream>

#include "SimControl.h"

namespace kovrasim {

bool LoadScenario(const std::string& path, std::vector<TScenarioLine>& lines, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read scenario " + path;
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    return ParseScenario(text.str(), path, lines, error);
}

bool ParseScenario(const std::string& text, const std::string& name, std::vector<TScenarioLine>& lines,
                   std::string& error)
{
    lines.clear();
    std::istringstream input(text);
    std::string line;
    int number = 0;
    while (std::getline(input, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        std::vector<std::string> words;
        if (!Tokenize(line, words)) {
            error = name + ":" + std::to_string(number) + ": unclosed quote";
            return false;
        }
        if (!IsKnownCommand(words[0])) {
            error = name + ":" + std::to_string(number) + ": unknown command " + words[0];
            return false;
        }
        lines.push_back({number, line.substr(start)});
    }
    return true;
}

} // namespace kovrasim
