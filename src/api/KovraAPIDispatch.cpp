// Decoding of what the server sends and the events it raises; meet-me list assembly.

#include <algorithm>

#include "api/KovraAPIConsts.h"
#include "api/KovraUDPApi.h"

namespace api {

namespace {

// The fewest bytes one party takes on the wire: a call connection party is a time, two empty
// strings and two integers; a meet-me party adds an oid and drops an integer.
constexpr std::size_t kMinCallPartyBytes = 4 + 4 + 4 + 4 + 4;
constexpr std::size_t kMinMeetmePartyBytes = 12 + 4 + 4 + 4 + 4;
// Unfinished meet-me lists kept at most; the oldest goes first.
constexpr std::size_t kMaxMeetmeLists = 64;
constexpr std::uint32_t kMeetmeConferenceChanged = 4;

// Responses that carry nothing but their error code, with the event each raises.
struct ErrorOnlyResponse {
    std::uint32_t Type;
    TKovraEvent TKovraAPI::*Event;
};

constexpr ErrorOnlyResponse kErrorOnlyResponses[] = {
    {KovraMsg::MONITOR_STOP_RSP, &TKovraAPI::OnLogout},
    {KovraMsg::ANSWER_CALL_RSP, &TKovraAPI::OnAnswerCall},
    {KovraMsg::COMPLETE_TRANSFER_RSP, &TKovraAPI::OnCompleteTransfer},
    {KovraMsg::COMPLETE_CONFERENCE_RSP, &TKovraAPI::OnCompleteConference},
    {KovraMsg::DIAL_DIGITS_RSP, &TKovraAPI::OnDialDigits},
    {KovraMsg::DROP_CONNECTION_RSP, &TKovraAPI::OnDropCall},
    {KovraMsg::HOLD_CALL_RSP, &TKovraAPI::OnHoldCall},
    {KovraMsg::PARK_CALL_RSP, &TKovraAPI::OnParkCall},
    {KovraMsg::PICKUP_CALL_RSP, &TKovraAPI::OnPickupCall},
    {KovraMsg::QUERY_PHONE_STATE_RSP, &TKovraAPI::OnQueryPhoneState},
    {KovraMsg::REDIRECT_CALL_RSP, &TKovraAPI::OnRedirectCall},
    {KovraMsg::RETRIEVE_CALL_RSP, &TKovraAPI::OnRetrieveCall},
    {KovraMsg::SET_CALL_FORWARDING_RSP, &TKovraAPI::OnSetForwarding},
    {KovraMsg::SET_DO_NOT_DISTURB_RSP, &TKovraAPI::OnDoNotDisturb},
    {KovraMsg::SINGLE_STEP_TRANSFER_RSP, &TKovraAPI::OnSingleTransfer},
    {KovraMsg::SINGLE_STEP_CONFERENCE_RSP, &TKovraAPI::OnSingleConference},
    {KovraMsg::CONFERENCE_CALL_RSP, &TKovraAPI::OnConferenceCall},
    {KovraMsg::DROP_CONFERENCE_CONNECTION_RSP, &TKovraAPI::OnDropConference},
    {KovraMsg::VOICE_MAIL_RSP, &TKovraAPI::OnVoiceMail},
    {KovraMsg::SET_APPLICATION_DATA_RSP, &TKovraAPI::OnApplicationSetData},
    {KovraMsg::MEETME_OPERATOR_RSP, &TKovraAPI::OnMeetmeOperator},
};

struct MeetmeResponse {
    std::uint32_t Type;
    TKovraMeetmeEvent TKovraAPI::*Event;
};

constexpr MeetmeResponse kMeetmeResponses[] = {
    {KovraMsg::MEETME_MONITOR_STOP_RSP, &TKovraAPI::OnMeetmeLogout},
    {KovraMsg::MEETME_LOCK_RSP, &TKovraAPI::OnMeetmeLock},
    {KovraMsg::MEETME_MUTE_RSP, &TKovraAPI::OnMeetmeMute},
    {KovraMsg::MEETME_DROP_CALL_RSP, &TKovraAPI::OnMeetmeDropCall},
    {KovraMsg::MEETME_ROLL_CALL_RSP, &TKovraAPI::OnMeetmeRollCall},
    {KovraMsg::MEETME_MODIFY_RSP, &TKovraAPI::OnMeetmeModify},
    {KovraMsg::MEETME_SET_CALL_INFO_RSP, &TKovraAPI::OnMeetmeSetCallInfo},
    {KovraMsg::MEETME_ACK_HAND_RSP, &TKovraAPI::OnMeetmeAckHand},
};

} // namespace

void TKovraAPI::DispatchMessage(TKovraAPIMsg& msg)
{
    const std::shared_ptr<bool> alive = alive_; // a handler may destroy the session
    switch (msg.dwMsgType) {
    case KovraMsg::CALL_CONNECTION_EVENT:
        lastError_ = 0;
        DispatchCallConnection(msg);
        break;
    case KovraMsg::PHONE_STATE_EVENT:
        lastError_ = 0;
        DispatchPhoneState(msg);
        break;
    case KovraMsg::MEETME_CONFERENCE_EVENT:
        lastError_ = 0;
        DispatchMeetmeConference(msg);
        break;
    default:
        if (!KovraMsg::IsEventOrControl(msg.dwMsgType))
            DispatchResponse(msg);
        break;
    }
    if (*alive)
        lastError_ = 0;
}

void TKovraAPI::DispatchResponse(TKovraAPIMsg& msg)
{
    const std::uint32_t type = msg.dwMsgType;
    // The manager has read the InvokeID; the error code comes next.
    lastError_ = msg.ReadInt32();
    const std::uint32_t error = lastError_;
    for (const ErrorOnlyResponse& response : kErrorOnlyResponses) {
        if (response.Type == type) {
            RaiseEvent(this->*response.Event, *this, error);
            return;
        }
    }
    for (const MeetmeResponse& response : kMeetmeResponses) {
        if (response.Type == type) {
            const std::uint32_t confId = msg.ReadInt32();
            RaiseEvent(this->*response.Event, *this, error, confId);
            return;
        }
    }
    switch (type) {
    case KovraMsg::MONITOR_START_RSP: {
        const std::uint32_t monitorId = msg.ReadInt32();
        const std::string device = msg.ReadStr();
        const std::uint32_t deviceType = msg.ReadInt32();
        RaiseEvent(OnLogin, *this, error, monitorId, device, deviceType);
        break;
    }
    case KovraMsg::MAKE_CALL_RSP:
    case KovraMsg::SETUP_TRANSFER_RSP:
    case KovraMsg::SETUP_CONFERENCE_RSP: {
        const std::string oidCall = msg.ReadOid();
        const TKovraCallEvent& event = type == KovraMsg::MAKE_CALL_RSP        ? OnMakeCall
                                       : type == KovraMsg::SETUP_TRANSFER_RSP ? OnSetupTransfer
                                                                              : OnSetupConference;
        RaiseEvent(event, *this, error, oidCall);
        break;
    }
    case KovraMsg::GET_CALL_FORWARDING_RSP: {
        TKovraCallForwarding forwarding;
        forwarding.ForwardAll = msg.ReadStr();
        forwarding.ForwardBusy = msg.ReadStr();
        forwarding.ForwardNoAnswer = msg.ReadStr();
        forwarding.ForwardOutOfService = msg.ReadStr();
        RaiseEvent(OnGetForwarding, *this, error, forwarding);
        break;
    }
    case KovraMsg::QUERY_PHONE_CONFIG_RSP: {
        TKovraPhoneConfig config;
        config.ConfigText = msg.ReadStr();
        config.ConfigValue1 = msg.ReadInt32();
        config.ConfigValue2 = msg.ReadInt32();
        config.Capabilities = msg.ReadInt32();
        RaiseEvent(OnQueryPhoneConfig, *this, error, config);
        break;
    }
    case KovraMsg::GET_APPLICATION_DATA_RSP: {
        const std::string application = msg.ReadStr();
        const std::string value = msg.ReadStr();
        RaiseEvent(OnApplicationGetData, *this, error, application, value);
        break;
    }
    case KovraMsg::MEETME_MONITOR_START_RSP: {
        const std::uint32_t confId = msg.ReadInt32();
        const bool moderator = msg.ReadBool();
        RaiseEvent(OnMeetmeLogin, *this, error, confId, moderator);
        break;
    }
    case KovraMsg::MEETME_QUERY_RSP: {
        const TKovraDateTime eventTime = msg.ReadTime();
        const std::uint32_t confId = msg.ReadInt32();
        const std::uint32_t guestId = msg.ReadInt32();
        const TKovraDateTime start = msg.ReadTime();
        const std::uint32_t duration = msg.ReadInt32();
        const std::uint32_t ports = msg.ReadInt32();
        const std::uint32_t maxPortsJoined = msg.ReadInt32();
        const std::string topic = msg.ReadStr();
        const std::string joinDid = msg.ReadStr();
        const std::uint32_t state = msg.ReadInt32();
        const bool locked = msg.ReadBool();
        const bool muted = msg.ReadBool();
        RaiseEvent(OnMeetmeQuery, *this, error, eventTime, confId, guestId, start, duration, ports,
                   maxPortsJoined, topic, joinDid, state, locked, muted);
        break;
    }
    default:
        break;
    }
}

void TKovraAPI::DispatchCallConnection(TKovraAPIMsg& msg)
{
    const std::uint32_t monitorId = msg.ReadInt32();
    const std::string device = msg.ReadStr();
    const std::string oidCall = msg.ReadOid();
    const std::uint32_t event = msg.ReadInt32();
    const std::uint32_t cause = msg.ReadInt32();
    const TKovraDateTime eventTime = msg.ReadTime();
    const std::uint32_t announced = msg.ReadInt32();
    // The count comes from the wire: never read (or allocate) more parties than the bytes hold.
    const std::size_t count = std::min<std::size_t>(announced, msg.Remaining() / kMinCallPartyBytes);
    std::vector<TKovraCallConnection> connections(count);
    for (TKovraCallConnection& party : connections) {
        party.PartyTime = msg.ReadTime();
        party.PartyNumber = msg.ReadStr();
        party.PartyName = msg.ReadStr();
        party.PartyState = msg.ReadInt32();
        party.PartyConnState = msg.ReadInt32();
    }
    const std::string oidRelated = msg.ReadOid();
    RaiseEvent(OnCallConnection, *this, monitorId, device, oidCall, oidRelated, event, cause, eventTime,
               static_cast<int>(count), connections);
}

void TKovraAPI::DispatchPhoneState(TKovraAPIMsg& msg)
{
    TKovraPhoneState state;
    state.MonitorID = msg.ReadInt32();
    state.Device = msg.ReadStr();
    state.PhoneState = msg.ReadInt32();
    state.StateTime = msg.ReadTime();
    state.FlagA = msg.ReadBool();
    state.DoNotDisturb = msg.ReadBool();
    state.VoiceMailCount = msg.ReadInt32();
    state.Forwarded = msg.ReadBool();
    state.FlagB = msg.ReadBool();
    state.FlagC = msg.ReadBool();
    RaiseEvent(OnPhoneState, *this, state);
}

void TKovraAPI::DispatchMeetmeConference(TKovraAPIMsg& msg)
{
    const std::uint32_t confId = msg.ReadInt32();
    const std::string oidCall = msg.ReadOid();
    const std::uint32_t dwEvent = msg.ReadInt32();
    const TKovraDateTime eventTime = msg.ReadTime();
    if (dwEvent != kMeetmeConferenceChanged) {
        DispatchMeetmeFragment(msg, confId, oidCall, dwEvent, eventTime);
        return;
    }
    const TKovraDateTime start = msg.ReadTime();
    const std::uint32_t duration = msg.ReadInt32();
    const std::uint32_t ports = msg.ReadInt32();
    const std::uint32_t maxPortsJoined = msg.ReadInt32();
    const std::string topic = msg.ReadStr();
    const std::uint32_t state = msg.ReadInt32();
    const bool locked = msg.ReadBool();
    const bool muted = msg.ReadBool();
    RaiseEvent(OnMeetmeChanged, *this, confId, eventTime, start, duration, ports, maxPortsJoined, topic,
               state, locked, muted);
}

void TKovraAPI::DispatchMeetmeFragment(TKovraAPIMsg& msg, std::uint32_t confId, const std::string& oidCall,
                                       std::uint32_t dwEvent, TKovraDateTime dtEventTime)
{
    const std::uint32_t total = msg.ReadInt32();
    const std::uint32_t first = msg.ReadInt32();
    const std::uint32_t last = msg.ReadInt32();
    const std::uint32_t moreFollows = msg.ReadInt32();

    auto sameConference = [confId](const std::unique_ptr<TKovraMeetmeConference>& list) {
        return list->ConfID == confId;
    };
    auto found = std::find_if(meetmeLists_.begin(), meetmeLists_.end(), sameConference);
    if (first == 0) {
        if (found != meetmeLists_.end())
            meetmeLists_.erase(found);
        // A total no stream of datagrams could carry is a broken or hostile list.
        if (total > KOVRA_MEETME_MAX_PARTIES)
            return;
        if (meetmeLists_.size() >= kMaxMeetmeLists)
            meetmeLists_.erase(meetmeLists_.begin());
        auto list = std::make_unique<TKovraMeetmeConference>();
        list->ConfID = confId;
        list->ExpectedCount = total;
        meetmeLists_.push_back(std::move(list));
        found = meetmeLists_.end() - 1;
    } else if (found == meetmeLists_.end()) {
        return;
    }
    TKovraMeetmeConference& list = **found;

    if (list.ExpectedCount > 0 && last >= first) {
        // Bounded by the bytes left, and parties past the total would never be delivered.
        const std::uint64_t announced = static_cast<std::uint64_t>(last) - first + 1;
        const std::size_t room =
            list.ExpectedCount - std::min<std::size_t>(list.ExpectedCount, list.Parties.size());
        const std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>({announced, msg.Remaining() / kMinMeetmePartyBytes, room}));
        for (std::size_t i = 0; i < count; ++i) {
            auto party = std::make_unique<TKovraMeetmeParty>();
            party->PartyCall = msg.ReadOid();
            party->PartyTime = msg.ReadTime();
            party->PartyNumber = msg.ReadStr();
            party->PartyName = msg.ReadStr();
            party->PartyConnState = msg.ReadInt32();
            list.Parties.push_back(std::move(party));
        }
    }
    if (moreFollows != 0)
        return;

    std::unique_ptr<TKovraMeetmeConference> finished = std::move(*found);
    meetmeLists_.erase(found);
    if (!OnMeetmeConnections)
        return;
    std::vector<TKovraMeetmeCallConnection> connections(finished->ExpectedCount);
    for (std::size_t i = 0; i < connections.size() && i < finished->Parties.size(); ++i)
        connections[i] = *finished->Parties[i];
    RaiseEvent(OnMeetmeConnections, *this, confId, oidCall, dwEvent, dtEventTime,
               static_cast<int>(finished->ExpectedCount), connections);
}

} // namespace api
