#include "KovraCtlEvents.h"

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"

using namespace api;

namespace kovractl {

using json = nlohmann::ordered_json;

std::string CtlDateTime(TKovraDateTime value)
{
    return platform::FormatDateTime(value);
}

json TCtlEventPrinter::PhoneState(const TKovraPhoneState& state)
{
    return json{{"MonitorID", state.MonitorID},   {"Device", state.Device},
                {"PhoneState", state.PhoneState}, {"StateTime", CtlDateTime(state.StateTime)},
                {"FlagA", state.FlagA},           {"DoNotDisturb", state.DoNotDisturb},
                {"Forwarded", state.Forwarded},   {"FlagB", state.FlagB},
                {"FlagC", state.FlagC},           {"VoiceMailCount", state.VoiceMailCount}};
}

json TCtlEventPrinter::PhoneConfig(const TKovraPhoneConfig& config)
{
    return json{{"ConfigText", config.ConfigText},
                {"ConfigValue1", config.ConfigValue1},
                {"ConfigValue2", config.ConfigValue2},
                {"Capabilities", config.Capabilities}};
}

json TCtlEventPrinter::CallForwarding(const TKovraCallForwarding& forwarding)
{
    return json{{"ForwardAll", forwarding.ForwardAll},
                {"ForwardBusy", forwarding.ForwardBusy},
                {"ForwardNoAnswer", forwarding.ForwardNoAnswer},
                {"ForwardOutOfService", forwarding.ForwardOutOfService}};
}

void TCtlEventPrinter::Emit(const std::string& name, json arguments)
{
    ++counts_[name];
    if (arguments.contains("dwError"))
        errors_[name] = arguments["dwError"].get<std::uint32_t>();
    json line{{"event", name}};
    for (auto& [key, value] : arguments.items())
        line[key] = value;
    // Wire texts are bytes; what is not UTF-8 is replaced rather than failing the line.
    out_ << line.dump(-1, ' ', false, json::error_handler_t::replace) << std::endl;
}

std::uint64_t TCtlEventPrinter::Count(const std::string& name) const
{
    const auto found = counts_.find(name);
    return found == counts_.end() ? 0 : found->second;
}

std::optional<std::uint32_t> TCtlEventPrinter::LastError(const std::string& name) const
{
    const auto found = errors_.find(name);
    if (found == errors_.end())
        return std::nullopt;
    return found->second;
}

std::uint64_t TCtlEventPrinter::ReceivedOfType(std::uint32_t type) const
{
    const auto found = received_.find(type);
    return found == received_.end() ? 0 : found->second;
}

std::optional<std::uint32_t> TCtlEventPrinter::ResponseError(std::uint32_t type) const
{
    const auto found = responseErrors_.find(type);
    if (found == responseErrors_.end())
        return std::nullopt;
    return found->second;
}

void TCtlEventPrinter::Attach(TKovraAPI& api)
{
    auto errorOnly = [this](const char* name) {
        return [this, name](TKovraAPI&, std::uint32_t dwError) { Emit(name, json{{"dwError", dwError}}); };
    };
    auto callEvent = [this](const char* name) {
        return [this, name](TKovraAPI&, std::uint32_t dwError, const std::string& oidCall) {
            Emit(name, json{{"dwError", dwError}, {"oidCall", oidCall}});
        };
    };
    auto meetmeEvent = [this](const char* name) {
        return [this, name](TKovraAPI&, std::uint32_t dwError, std::uint32_t dwConfID) {
            Emit(name, json{{"dwError", dwError}, {"dwConfID", dwConfID}});
        };
    };
    auto sendReceive = [this](const char* name, bool received) {
        return [this, name, received](TKovraAPI& sender, std::uint32_t dwMsgSeq, std::uint32_t dwMsgType) {
            if (received) {
                ++received_[dwMsgType];
                // A response is read up to its InvokeID here; its error code comes next.
                if (sender.CurrentMessage() && !KovraMsg::IsEventOrControl(dwMsgType)) {
                    TKovraAPIMsg response = *sender.CurrentMessage();
                    responseErrors_[dwMsgType] = response.ReadInt32();
                }
            }
            if (trace_)
                Emit(name, json{{"dwMsgSeq", dwMsgSeq},
                                {"dwMsgType", dwMsgType},
                                {"name", MessageTypeName(dwMsgType)}});
        };
    };

    api.OnLogin = [this](TKovraAPI&, std::uint32_t dwError, std::uint32_t dwMonitorID,
                         const std::string& szDevice, std::uint32_t dwDeviceType) {
        Emit("OnLogin", json{{"dwError", dwError},
                             {"dwMonitorID", dwMonitorID},
                             {"szDevice", szDevice},
                             {"dwDeviceType", dwDeviceType}});
    };
    api.OnLogout = errorOnly("OnLogout");
    api.OnConnected = [this](TKovraAPI&, std::uint32_t dwError, const std::string& szServer) {
        Emit("OnConnected", json{{"dwError", dwError}, {"szServer", szServer}});
    };
    api.OnDisconnected = [this](TKovraAPI&) { Emit("OnDisconnected", json::object()); };
    api.OnMakeCall = callEvent("OnMakeCall");
    api.OnVoiceMail = errorOnly("OnVoiceMail");
    api.OnDoNotDisturb = errorOnly("OnDoNotDisturb");
    api.OnSetForwarding = errorOnly("OnSetForwarding");
    api.OnGetForwarding = [this](TKovraAPI&, std::uint32_t dwError, const TKovraCallForwarding& forwarding) {
        Emit("OnGetForwarding", json{{"dwError", dwError}, {"CallForwarding", CallForwarding(forwarding)}});
    };
    api.OnPickupCall = errorOnly("OnPickupCall");
    api.OnAnswerCall = errorOnly("OnAnswerCall");
    api.OnParkCall = errorOnly("OnParkCall");
    api.OnRedirectCall = errorOnly("OnRedirectCall");
    api.OnHoldCall = errorOnly("OnHoldCall");
    api.OnRetrieveCall = errorOnly("OnRetrieveCall");
    api.OnAlternateCall = errorOnly("OnAlternateCall");
    api.OnDropCall = errorOnly("OnDropCall");
    api.OnDialDigits = errorOnly("OnDialDigits");
    api.OnSingleTransfer = errorOnly("OnSingleTransfer");
    api.OnSetupTransfer = callEvent("OnSetupTransfer");
    api.OnCompleteTransfer = errorOnly("OnCompleteTransfer");
    api.OnSingleConference = errorOnly("OnSingleConference");
    api.OnSetupConference = callEvent("OnSetupConference");
    api.OnCompleteConference = errorOnly("OnCompleteConference");
    api.OnDropConference = errorOnly("OnDropConference");
    api.OnConferenceCall = errorOnly("OnConferenceCall");
    api.OnPhoneState = [this](TKovraAPI&, const TKovraPhoneState& state) {
        Emit("OnPhoneState", json{{"State", PhoneState(state)}});
    };
    api.OnQueryPhoneState = errorOnly("OnQueryPhoneState");
    api.OnQueryPhoneConfig = [this](TKovraAPI&, std::uint32_t dwError, const TKovraPhoneConfig& config) {
        Emit("OnQueryPhoneConfig", json{{"dwError", dwError}, {"Config", PhoneConfig(config)}});
    };
    api.OnCallConnection =
        [this](TKovraAPI&, std::uint32_t dwMonitorID, const std::string& szDevice, const std::string& oidCall,
               const std::string& oidRelated, std::uint32_t dwEvent, std::uint32_t dwEventCause,
               TKovraDateTime dtEventTime, int nCount, const std::vector<TKovraCallConnection>& Connections) {
            json parties = json::array();
            for (const TKovraCallConnection& party : Connections)
                parties.push_back(json{{"PartyTime", CtlDateTime(party.PartyTime)},
                                       {"PartyNumber", party.PartyNumber},
                                       {"PartyState", party.PartyState},
                                       {"PartyName", party.PartyName},
                                       {"PartyConnState", party.PartyConnState}});
            Emit("OnCallConnection", json{{"dwMonitorID", dwMonitorID},
                                          {"szDevice", szDevice},
                                          {"oidCall", oidCall},
                                          {"oidRelated", oidRelated},
                                          {"dwEvent", dwEvent},
                                          {"dwEventCause", dwEventCause},
                                          {"dtEventTime", CtlDateTime(dtEventTime)},
                                          {"nCount", nCount},
                                          {"Connections", parties}});
        };
    api.OnReceive = sendReceive("OnReceive", true);
    api.OnSend = sendReceive("OnSend", false);
    api.OnError = errorOnly("OnError");
    api.OnApplicationSetData = errorOnly("OnApplicationSetData");
    api.OnApplicationGetData = [this](TKovraAPI&, std::uint32_t dwError, const std::string& szApplication,
                                      const std::string& szValue) {
        Emit("OnApplicationGetData",
             json{{"dwError", dwError}, {"szApplication", szApplication}, {"szValue", szValue}});
    };
    api.OnMeetmeLogin = [this](TKovraAPI&, std::uint32_t dwError, std::uint32_t dwConfID, bool bIsModerator) {
        Emit("OnMeetmeLogin",
             json{{"dwError", dwError}, {"dwConfID", dwConfID}, {"bIsModerator", bIsModerator}});
    };
    api.OnMeetmeLogout = meetmeEvent("OnMeetmeLogout");
    api.OnMeetmeAckHand = meetmeEvent("OnMeetmeAckHand");
    api.OnMeetmeMute = meetmeEvent("OnMeetmeMute");
    api.OnMeetmeLock = meetmeEvent("OnMeetmeLock");
    api.OnMeetmeDropCall = meetmeEvent("OnMeetmeDropCall");
    api.OnMeetmeRollCall = meetmeEvent("OnMeetmeRollCall");
    api.OnMeetmeModify = meetmeEvent("OnMeetmeModify");
    api.OnMeetmeOperator = errorOnly("OnMeetmeOperator");
    api.OnMeetmeQuery =
        [this](TKovraAPI&, std::uint32_t dwError, TKovraDateTime dtEventTime, std::uint32_t dwConfID,
               std::uint32_t dwGuestID, TKovraDateTime dtStart, std::uint32_t dwDuration,
               std::uint32_t dwPorts, std::uint32_t dwMaxPortsJoined, const std::string& szTopic,
               const std::string& szJoinDID, std::uint32_t dwState, bool bLocked, bool bMuted) {
            Emit("OnMeetmeQuery", json{{"dwError", dwError},
                                       {"dtEventTime", CtlDateTime(dtEventTime)},
                                       {"dwConfID", dwConfID},
                                       {"dwGuestID", dwGuestID},
                                       {"dtStart", CtlDateTime(dtStart)},
                                       {"dwDuration", dwDuration},
                                       {"dwPorts", dwPorts},
                                       {"dwMaxPortsJoined", dwMaxPortsJoined},
                                       {"szTopic", szTopic},
                                       {"szJoinDID", szJoinDID},
                                       {"dwState", dwState},
                                       {"bLocked", bLocked},
                                       {"bMuted", bMuted}});
        };
    api.OnMeetmeSetCallInfo = meetmeEvent("OnMeetmeSetCallInfo");
    api.OnMeetmeChanged = [this](TKovraAPI&, std::uint32_t dwConfID, TKovraDateTime dtEventTime,
                                 TKovraDateTime dtStart, std::uint32_t dwDuration, std::uint32_t dwPorts,
                                 std::uint32_t dwMaxPortsJoined, const std::string& szTopic,
                                 std::uint32_t dwState, bool bLocked, bool bMuted) {
        Emit("OnMeetmeChanged", json{{"dwConfID", dwConfID},
                                     {"dtEventTime", CtlDateTime(dtEventTime)},
                                     {"dtStart", CtlDateTime(dtStart)},
                                     {"dwDuration", dwDuration},
                                     {"dwPorts", dwPorts},
                                     {"dwMaxPortsJoined", dwMaxPortsJoined},
                                     {"szTopic", szTopic},
                                     {"dwState", dwState},
                                     {"bLocked", bLocked},
                                     {"bMuted", bMuted}});
    };
    api.OnMeetmeConnections = [this](TKovraAPI&, std::uint32_t dwConfID, const std::string& oidCall,
                                     std::uint32_t dwEvent, TKovraDateTime dtEventTime, int nCount,
                                     const std::vector<TKovraMeetmeCallConnection>& Connections) {
        json parties = json::array();
        for (const TKovraMeetmeCallConnection& party : Connections)
            parties.push_back(json{{"PartyCall", party.PartyCall},
                                   {"PartyTime", CtlDateTime(party.PartyTime)},
                                   {"PartyNumber", party.PartyNumber},
                                   {"PartyName", party.PartyName},
                                   {"PartyConnState", party.PartyConnState}});
        Emit("OnMeetmeConnections", json{{"dwConfID", dwConfID},
                                         {"oidCall", oidCall},
                                         {"dwEvent", dwEvent},
                                         {"dtEventTime", CtlDateTime(dtEventTime)},
                                         {"nCount", nCount},
                                         {"Connections", parties}});
    };
}

} // namespace kovractl
