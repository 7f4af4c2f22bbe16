#include "app/QMHelp.h"

namespace app {

std::string BrowserFromOpenCommand(std::string_view command)
{
    const auto open = command.find('"');
    if (open == std::string_view::npos)
        return {};
    const auto close = command.find('"', open + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(command.substr(open + 1, close - open - 1));
}

std::string HelpTopicAddress(std::string_view helpAddress, std::string_view topic)
{
    return std::string(helpAddress) + "&topic=" + std::string(topic);
}

} // namespace app
