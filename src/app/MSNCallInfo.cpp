#include "app/MSNCallInfo.h"

#include <chrono>

#include "app/AssistantSeams.h"
#include "platform/Clock.h"

using namespace api;

namespace app {

TCallInfo::TCallInfo(std::string oid)
    : CallId(std::move(oid)), StartTick(platform::TickCount()),
      Began(std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::system_clock::now().time_since_epoch())
                .count())
{
}

TCallInfo::~TCallInfo()
{
    ClosePopup();
}

bool TCallInfo::IsConference() const
{
    return Devices.size() >= 2 && RemoteState != psParked && RemoteState != psPrivacyGuard &&
           RemoteState != psNotConference;
}

void TCallInfo::SetFirstName(const std::string& name)
{
    if (Names.empty())
        Names.push_back(name);
    else
        Names[0] = name;
}

void TCallInfo::SetFirstDevice(const std::string& device)
{
    if (Devices.empty())
        Devices.push_back(device);
    else
        Devices[0] = device;
}

std::string TCallInfo::Name(int index) const
{
    return index >= 0 && index < NameCount() ? Names[static_cast<std::size_t>(index)] : std::string();
}

std::string TCallInfo::Device(int index) const
{
    return index >= 0 && index < DeviceCount() ? Devices[static_cast<std::size_t>(index)] : std::string();
}

void TCallInfo::AddParty(const std::string& name, const std::string& device)
{
    Names.push_back(name);
    Devices.push_back(device);
}

void TCallInfo::ClearParties()
{
    Names.clear();
    Devices.clear();
}

void TCallInfo::ClosePopup()
{
    ICallPopup* popup = Popup;
    Popup = nullptr;
    if (popup) {
        popup->ClosePopup();
        delete popup;
    }
}

} // namespace app
