#include "Messenger_TLB.h"

namespace messenger {

const char* const kMimeHeader = "Mime-Version: 1.0\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
const char* const kNotConnectedMessage =
    "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
    "'ConnectTo' before this operation";

#ifndef _WIN32
std::unique_ptr<TMsgrObject> CreateMsgrObject(const std::string&)
{
    return nullptr;
}
#endif

}  // namespace messenger
