#pragma once
// What the server session delivers to the program: the records carried by events and the event
// types. Every handler runs on the main thread and receives the session first.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace api {

class TKovraAPI;

// A local date-time: days since 1899-12-30 with the time of day as the fraction.
using TKovraDateTime = double;

// Declared in this order; PHONE_STATE_EVENT carries VoiceMailCount seventh, before Forwarded.
struct TKovraPhoneState {
    std::uint32_t MonitorID = 0;
    std::string Device;
    std::uint32_t PhoneState = 0;
    TKovraDateTime StateTime = 0;
    bool FlagA = false;
    bool DoNotDisturb = false;
    bool Forwarded = false;
    bool FlagB = false;
    bool FlagC = false;
    std::uint32_t VoiceMailCount = 0;
};

struct TKovraPhoneConfig {
    std::string ConfigText;
    std::uint32_t ConfigValue1 = 0;
    std::uint32_t ConfigValue2 = 0;
    std::uint32_t Capabilities = 0;
};

// The four kinds in the order the forwarding kinds 0 to 3 address them.
struct TKovraCallForwarding {
    std::string ForwardAll;
    std::string ForwardBusy;
    std::string ForwardNoAnswer;
    std::string ForwardOutOfService;
};

// Declared in this order; the wire carries PartyName before PartyState.
struct TKovraCallConnection {
    TKovraDateTime PartyTime = 0;
    std::string PartyNumber;
    std::uint32_t PartyState = 0;
    std::string PartyName;
    std::uint32_t PartyConnState = 0;
};

struct TKovraMeetmeCallConnection {
    std::string PartyCall;
    TKovraDateTime PartyTime = 0;
    std::string PartyNumber;
    std::string PartyName;
    std::uint32_t PartyConnState = 0;
};

// One party while a meet-me list is being collected.
struct TKovraMeetmeParty : TKovraMeetmeCallConnection {};

// A meet-me party list under assembly, from its first fragment to its last.
struct TKovraMeetmeConference {
    std::uint32_t ConfID = 0;
    std::uint32_t ExpectedCount = 0;
    std::vector<std::unique_ptr<TKovraMeetmeParty>> Parties;
};

using TKovraEvent = std::function<void(TKovraAPI& Sender, std::uint32_t dwError)>;
using TKovraCallEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, const std::string& oidCall)>;
using TKovraConnectedEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, const std::string& szServer)>;
using TKovraDisconnectedEvent = std::function<void(TKovraAPI& Sender)>;
using TKovraLoginEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, std::uint32_t dwMonitorID,
                       const std::string& szDevice, std::uint32_t dwDeviceType)>;
using TKovraPhoneStateEvent = std::function<void(TKovraAPI& Sender, const TKovraPhoneState& State)>;
using TKovraPhoneConfigEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, const TKovraPhoneConfig& Config)>;
using TKovraCallForwardingEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, const TKovraCallForwarding& CallForwarding)>;
using TKovraCallConnectionEvent = std::function<void(
    TKovraAPI& Sender, std::uint32_t dwMonitorID, const std::string& szDevice, const std::string& oidCall,
    const std::string& oidRelated, std::uint32_t dwEvent, std::uint32_t dwEventCause,
    TKovraDateTime dtEventTime, int nCount, const std::vector<TKovraCallConnection>& Connections)>;
using TKovraSendReceiveEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwMsgSeq, std::uint32_t dwMsgType)>;
using TKovraGetAppDataEvent = std::function<void(
    TKovraAPI& Sender, std::uint32_t dwError, const std::string& szApplication, const std::string& szValue)>;
using TKovraMeetmeLoginEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, std::uint32_t dwConfID, bool bIsModerator)>;
using TKovraMeetmeEvent =
    std::function<void(TKovraAPI& Sender, std::uint32_t dwError, std::uint32_t dwConfID)>;
using TKovraMeetmeQueryEvent = std::function<void(
    TKovraAPI& Sender, std::uint32_t dwError, TKovraDateTime dtEventTime, std::uint32_t dwConfID,
    std::uint32_t dwGuestID, TKovraDateTime dtStart, std::uint32_t dwDuration, std::uint32_t dwPorts,
    std::uint32_t dwMaxPortsJoined, const std::string& szTopic, const std::string& szJoinDID,
    std::uint32_t dwState, bool bLocked, bool bMuted)>;
using TKovraMeetmeChangedEvent = std::function<void(
    TKovraAPI& Sender, std::uint32_t dwConfID, TKovraDateTime dtEventTime, TKovraDateTime dtStart,
    std::uint32_t dwDuration, std::uint32_t dwPorts, std::uint32_t dwMaxPortsJoined,
    const std::string& szTopic, std::uint32_t dwState, bool bLocked, bool bMuted)>;
using TKovraMeetmeConnectionsEvent = std::function<void(
    TKovraAPI& Sender, std::uint32_t dwConfID, const std::string& oidCall, std::uint32_t dwEvent,
    TKovraDateTime dtEventTime, int nCount, const std::vector<TKovraMeetmeCallConnection>& Connections)>;

// Raises an event when it is assigned. A copy runs: the handler may reassign or clear its own
// event, or start a waiting operation that swaps it, while it runs.
template <typename Event, typename... Args>
void RaiseEvent(const Event& event, TKovraAPI& sender, Args&&... args)
{
    if (!event)
        return;
    const Event handler = event;
    handler(sender, std::forward<Args>(args)...);
}

} // namespace api
