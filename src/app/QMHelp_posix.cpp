#include "app/QMHelp.h"

namespace app {

// No registry of HTML handlers here: help stays closed, as when the key is missing.
bool OpenHelpAddress(const std::string&)
{
    return false;
}

} // namespace app
