#pragma once
// The switches test and demo runs give the program in its environment: the server's port
// (KOVRA_SERVER_PORT), the local port (KOVRA_LOCAL_PORT) and the name that marks the running
// instance (KOVRA_INSTANCE_NAME), so that programs side by side neither share ports nor find each other.

#include <functional>
#include <string>

namespace app {

struct TAssistantOptions;

// variable gives an environment variable's value, null when it is not set. A value that is not a
// port is refused, and the result says which and why (empty when every value was taken). The
// shipped program takes no instance name: one program per desktop, whatever the environment.
std::string ApplyRunSwitches(const std::function<const char*(const char* name)>& variable, bool shipped,
                             TAssistantOptions& options);

} // namespace app
