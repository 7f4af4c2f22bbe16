#pragma once
// The help launcher: help pages open in the browser the system registers for HTML files.

#include <string>
#include <string_view>

namespace app {

// The program between the first pair of double quotes of a shell open command; empty without one.
std::string BrowserFromOpenCommand(std::string_view command);
// The help address for a topic.
std::string HelpTopicAddress(std::string_view helpAddress, std::string_view topic);
// Starts the registered browser with the address; false when none is registered (nothing happens).
bool OpenHelpAddress(const std::string& address);

} // namespace app
