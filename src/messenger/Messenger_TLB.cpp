#include "Messenger_TLB.h"

namespace messenger {

const char* const kMimeHeader = "Mime-Version: 1.0\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
const char* const kNotConnectedMessage =
    "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
    "'ConnectTo' before this operation";

void TMsgrObject::BeginConnect(std::function<void(bool connected)> done)
{
    bool connected = true;
    try {
        Connect();
    } catch (const EOleError&) {
        connected = false;
    }
    if (done)
        done(connected);
}

bool IsClientGone(long code)
{
    switch (static_cast<unsigned long>(code)) {
    case 0x80010007UL: // the server died
    case 0x80010012UL: // the server died, the call may not have run
    case 0x80010108UL: // the object was disconnected from its clients
    case 0x800401FDUL: // the object is not connected to its server
    case 0x800706BAUL: // the RPC server is unavailable
    case 0x800706BEUL: // the remote call failed
    case 0x800706BFUL: // the remote call failed and did not run
        return true;
    default:
        return false;
    }
}

#ifndef _WIN32
std::unique_ptr<TMsgrObject> CreateMsgrObject(const std::string&)
{
    return nullptr;
}
#endif

} // namespace messenger
