#include "app/RunSwitches.h"

#include <charconv>

#include "app/MSNMain.h"

namespace app {

namespace {

// Decimal digits only, from lowest to 65535.
bool ParsePort(const char* text, unsigned lowest, std::uint16_t& port)
{
    const std::string_view value(text);
    unsigned number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < lowest ||
        number > 65535)
        return false;
    port = static_cast<std::uint16_t>(number);
    return true;
}

} // namespace

std::string ApplyRunSwitches(const std::function<const char*(const char* name)>& variable, bool shipped,
                             TAssistantOptions& options)
{
    if (!shipped)
        if (const char* name = variable("KOVRA_INSTANCE_NAME"); name && *name)
            options.InstanceName = name;
    struct TPortSwitch {
        const char* Name;
        unsigned Lowest;
        std::uint16_t& Port;
    };
    std::string refused;
    for (const TPortSwitch& port : {TPortSwitch{"KOVRA_SERVER_PORT", 1, options.Network.ServerPort},
                                    TPortSwitch{"KOVRA_LOCAL_PORT", 0, options.Network.LocalPort}}) {
        const char* value = variable(port.Name);
        if (value && !ParsePort(value, port.Lowest, port.Port))
            refused += (refused.empty() ? "" : "\n") + std::string(port.Name) + "=\"" + value +
                       "\" is not a port number (" + std::to_string(port.Lowest) + " to 65535).";
    }
    return refused;
}

} // namespace app
