#include "SimPhones.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "api/KovraAPIConsts.h"

using namespace api;

namespace kovrasim {
namespace {

// The client's receive buffer: a value whose answer would not fit could be stored but never read back.
constexpr std::size_t kClientDatagramLimit = 4096;

enum TKovraError : std::uint32_t {
    kOk = 0,
    kInvalidPassword = 1,
    kInvalidDevice = 2,
    kInvalidMsgType = 8,
    kInvalidParameter = 10,
    kDuplicateMonitor = 11,
    kNoMonitor = 12,
    kFeatureNotEnabled = 28,
    kKeyNotFound = 22,
    kSystemFailure = 27,
};

bool IsSettingRequest(std::uint32_t type)
{
    switch (type) {
    case KovraMsg::QUERY_PHONE_STATE_REQ:
    case KovraMsg::QUERY_PHONE_CONFIG_REQ:
    case KovraMsg::GET_CALL_FORWARDING_REQ:
    case KovraMsg::SET_CALL_FORWARDING_REQ:
    case KovraMsg::SET_DO_NOT_DISTURB_REQ:
    case KovraMsg::GET_APPLICATION_DATA_REQ:
    case KovraMsg::SET_APPLICATION_DATA_REQ:
        return true;
    default:
        return false;
    }
}

bool IsCallRequest(std::uint32_t type)
{
    switch (type) {
    case KovraMsg::ALTERNATE_CALL_REQ:
    case KovraMsg::ANSWER_CALL_REQ:
    case KovraMsg::COMPLETE_TRANSFER_REQ:
    case KovraMsg::COMPLETE_CONFERENCE_REQ:
    case KovraMsg::DIAL_DIGITS_REQ:
    case KovraMsg::DROP_CONNECTION_REQ:
    case KovraMsg::HOLD_CALL_REQ:
    case KovraMsg::MAKE_CALL_REQ:
    case KovraMsg::PARK_CALL_REQ:
    case KovraMsg::PICKUP_CALL_REQ:
    case KovraMsg::REDIRECT_CALL_REQ:
    case KovraMsg::RETRIEVE_CALL_REQ:
    case KovraMsg::SETUP_TRANSFER_REQ:
    case KovraMsg::SETUP_CONFERENCE_REQ:
    case KovraMsg::SINGLE_STEP_TRANSFER_REQ:
    case KovraMsg::SINGLE_STEP_CONFERENCE_REQ:
    case KovraMsg::CONFERENCE_CALL_REQ:
    case KovraMsg::DROP_CONFERENCE_CONNECTION_REQ:
    case KovraMsg::VOICE_MAIL_REQ:
        return true;
    default:
        return false;
    }
}

// Values are the client's bytes in its code page, not necessarily UTF-8: those that are not are
// kept as hexadecimal, so every byte survives a restart.
nlohmann::json ValueToJson(const std::string& value)
{
    try {
        (void)nlohmann::json(value).dump();
        return value;
    } catch (const nlohmann::json::exception&) {
        static const char digits[] = "0123456789ABCDEF";
        std::string hex;
        for (unsigned char c : value) {
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        return nlohmann::json{{"hex", hex}};
    }
}

std::string FromHex(const std::string& hex)
{
    auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : 0;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    return bytes;
}

// A state of a phone with nothing to report, which the client carries without reading.
constexpr std::uint32_t kPhoneStateNormal = 2;
// Capability bit that gates each forwarding kind.
constexpr TKovraCapability kForwardBits[4] = {capForwardAlways, capForwardBusy, capForwardNoAnswer,
                                              capForwardOutOfService};

} // namespace

std::uint32_t UnixNow()
{
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

TSimPhoneSystem::TSimPhoneSystem(const TSimOptions& options, TSimServer& server, TSimTrace& trace)
    : options_(options), server_(server), trace_(trace), epoch_(UnixNow())
{
    for (const TSimPhoneSpec& spec : options.Phones.empty() ? DefaultPhones() : options.Phones)
        phones_[spec.Number].Spec = spec;
}

bool TSimPhoneSystem::LoadData(std::string& error)
{
    if (options_.DataFile.empty() || !std::filesystem::exists(options_.DataFile))
        return true;
    std::ifstream file(options_.DataFile, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    // A broken file is refused rather than overwritten by the next save.
    const nlohmann::json document = nlohmann::json::parse(text.str(), nullptr, false);
    if (document.is_discarded() || !document.is_object() ||
        (document.contains("appdata") && !document["appdata"].is_object())) {
        error = "data file " + options_.DataFile + " is not a kovrasim data document";
        return false;
    }
    if (!document.contains("appdata"))
        return true;
    for (const auto& [phone, applications] : document["appdata"].items()) {
        if (!applications.is_object())
            continue;
        for (const auto& [application, value] : applications.items()) {
            if (value.is_string())
                appData_[phone][application] = value.get<std::string>();
            else if (value.is_object() && value.contains("hex") && value["hex"].is_string())
                appData_[phone][application] = FromHex(value["hex"].get<std::string>());
        }
    }
    return true;
}

bool TSimPhoneSystem::SaveData()
{
    if (options_.DataFile.empty())
        return true;
    nlohmann::json document;
    document["appdata"] = nlohmann::json::object();
    for (const auto& [phone, applications] : appData_)
        for (const auto& [application, value] : applications)
            document["appdata"][phone][application] = ValueToJson(value);
    // Written aside and renamed over, so a crash mid-write never leaves half a file.
    const std::string temporary = options_.DataFile + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << document.dump(2);
        if (!file)
            return false;
    }
    std::error_code failure;
#ifdef _WIN32
    std::filesystem::remove(options_.DataFile, failure);
#endif
    std::filesystem::rename(temporary, options_.DataFile, failure);
    return !failure;
}

TSimPhone* TSimPhoneSystem::Phone(const std::string& number)
{
    const auto found = phones_.find(number);
    return found == phones_.end() ? nullptr : &found->second;
}

const TSimPhone* TSimPhoneSystem::FindPhone(const std::string& number) const
{
    const auto found = phones_.find(number);
    return found == phones_.end() ? nullptr : &found->second;
}

std::string TSimPhoneSystem::AppData(const std::string& phone, const std::string& application) const
{
    const auto found = appData_.find(phone);
    if (found == appData_.end())
        return std::string();
    const auto value = found->second.find(application);
    return value == found->second.end() ? std::string() : value->second;
}

TKovraAPIMsg TSimPhoneSystem::Response(std::uint32_t type, std::uint32_t invokeId, std::uint32_t error) const
{
    TKovraAPIMsg msg(type, 0);
    msg.WriteInt32(invokeId);
    msg.WriteInt32(error);
    return msg;
}

void TSimPhoneSystem::Respond(int session, std::uint32_t type, std::uint32_t invokeId, std::uint32_t error)
{
    server_.Send(session, Response(type, invokeId, error));
}

void TSimPhoneSystem::HandleRequest(int session, std::uint32_t invokeId, TKovraAPIMsg& msg)
{
    switch (msg.dwMsgType) {
    case KovraMsg::MONITOR_START_REQ:
        MonitorStart(session, invokeId, msg);
        return;
    case KovraMsg::MONITOR_STOP_REQ:
        MonitorStop(session, invokeId, msg);
        return;
    default:
        break;
    }
    if (IsSettingRequest(msg.dwMsgType) || IsCallRequest(msg.dwMsgType)) {
        DeviceRequest(session, invokeId, msg);
        Flush();
        return;
    }
    trace_.Note("no handling for " + MessageTypeName(msg.dwMsgType));
    Respond(session, KovraMsg::FAILURE_RSP, invokeId, kInvalidMsgType);
}

void TSimPhoneSystem::SessionEnded(int session)
{
    for (auto& [number, phone] : phones_)
        if (phone.MonitorSession == session)
            phone.MonitorSession = 0;
}

TSimPhone* TSimPhoneSystem::RequireDevice(int session, const std::string& device, std::uint32_t& error)
{
    TSimPhone* phone = Phone(device);
    if (!phone)
        error = kInvalidDevice;
    else if (phone->MonitorSession != session)
        error = kNoMonitor;
    else
        return phone;
    return nullptr;
}

bool TSimPhoneSystem::Allowed(const TSimPhone& phone, TKovraCapability bit, std::uint32_t& error) const
{
    if (HasCapability(phone.Spec.Capabilities, bit))
        return true;
    error = kFeatureNotEnabled;
    return false;
}

void TSimPhoneSystem::MonitorStart(int session, std::uint32_t invokeId, TKovraAPIMsg& msg)
{
    const std::string number = msg.ReadStr();
    const std::string password = msg.ReadStr();
    const std::string retry = msg.ReadStr();
    std::uint32_t error = kOk;
    TSimPhone* phone = Phone(number);
    if (!phone)
        error = kInvalidDevice;
    else if (password != phone->Spec.Password)
        error = kInvalidPassword;
    // Another client keeps the phone unless this one proves, by repeating the password, that it takes over.
    else if (phone->MonitorSession != 0 && phone->MonitorSession != session && retry != phone->Spec.Password)
        error = kDuplicateMonitor;
    TKovraAPIMsg response = Response(KovraMsg::MONITOR_START_RSP, invokeId, error);
    if (error == kOk) {
        if (phone->MonitorSession != session) {
            phone->MonitorSession = session;
            phone->MonitorId = nextMonitorId_++;
        }
        response.WriteInt32(phone->MonitorId);
        response.WriteStr(phone->Spec.Number);
        response.WriteInt32(1);
    } else {
        response.WriteInt32(0);
        response.WriteStr("");
        response.WriteInt32(0);
    }
    server_.Send(session, std::move(response));
}

void TSimPhoneSystem::MonitorStop(int session, std::uint32_t invokeId, TKovraAPIMsg& msg)
{
    std::uint32_t error = kOk;
    if (TSimPhone* phone = RequireDevice(session, msg.ReadStr(), error))
        phone->MonitorSession = 0;
    Respond(session, KovraMsg::MONITOR_STOP_RSP, invokeId, error);
}

void TSimPhoneSystem::DeviceRequest(int session, std::uint32_t invokeId, TKovraAPIMsg& msg)
{
    std::uint32_t error = kOk;
    TSimPhone* phone = RequireDevice(session, msg.ReadStr(), error);
    if (!phone) {
        Respond(session, msg.dwMsgType + 1, invokeId, error);
        return;
    }
    if (IsSettingRequest(msg.dwMsgType))
        SettingRequest(session, invokeId, *phone, msg);
    else
        CallRequest(session, invokeId, *phone, msg);
}

void TSimPhoneSystem::SettingRequest(int session, std::uint32_t invokeId, TSimPhone& phone, TKovraAPIMsg& msg)
{
    const std::uint32_t answer = msg.dwMsgType + 1;
    std::uint32_t error = kOk;
    switch (msg.dwMsgType) {
    case KovraMsg::QUERY_PHONE_STATE_REQ:
        // The client's query completes with the phone-state event, not with this answer.
        Respond(session, answer, invokeId, kOk);
        SendPhoneState(phone);
        return;
    case KovraMsg::QUERY_PHONE_CONFIG_REQ: {
        TKovraAPIMsg response = Response(answer, invokeId, kOk);
        response.WriteStr(phone.Spec.Name);
        response.WriteInt32(1);
        response.WriteInt32(0);
        response.WriteInt32(phone.Spec.Capabilities);
        server_.Send(session, std::move(response));
        return;
    }
    case KovraMsg::GET_CALL_FORWARDING_REQ: {
        TKovraAPIMsg response = Response(answer, invokeId, kOk);
        for (const std::string& destination : phone.Forward)
            response.WriteStr(destination);
        server_.Send(session, std::move(response));
        return;
    }
    case KovraMsg::SET_CALL_FORWARDING_REQ: {
        const std::uint32_t kind = msg.ReadInt32();
        const std::string destination = msg.ReadStr();
        if (kind > 3)
            error = kInvalidParameter;
        else if (destination == phone.Spec.Number)
            error = 29; // "Invalid Number": a phone forwarded to itself would loop
        else if (Allowed(phone, kForwardBits[kind], error))
            phone.Forward[kind] = destination;
        Respond(session, answer, invokeId, error);
        if (error == kOk)
            SendPhoneState(phone);
        return;
    }
    case KovraMsg::SET_DO_NOT_DISTURB_REQ:
        phone.DoNotDisturb = msg.ReadBool();
        Respond(session, answer, invokeId, kOk);
        SendPhoneState(phone);
        return;
    case KovraMsg::GET_APPLICATION_DATA_REQ: {
        const std::string application = msg.ReadStr();
        const auto& applications = appData_[phone.Spec.Number];
        const auto found = applications.find(application);
        TKovraAPIMsg response = Response(answer, invokeId, found == applications.end() ? kKeyNotFound : kOk);
        response.WriteStr(application);
        response.WriteStr(found == applications.end() ? std::string() : found->second);
        server_.Send(session, std::move(response));
        return;
    }
    case KovraMsg::SET_APPLICATION_DATA_REQ: {
        const std::string application = msg.ReadStr();
        const std::string value = msg.ReadStr();
        const std::size_t answerSize = TKovraAPIMsg::kHeaderSize + 8 + 8 + application.size() + value.size();
        if (application.empty() || answerSize > kClientDatagramLimit) {
            Respond(session, answer, invokeId, kInvalidParameter);
            return;
        }
        appData_[phone.Spec.Number][application] = value;
        Respond(session, answer, invokeId, SaveData() ? kOk : kSystemFailure);
        return;
    }
    default:
        Respond(session, answer, invokeId, kInvalidMsgType);
        return;
    }
}

void TSimPhoneSystem::SendPhoneState(const TSimPhone& phone, std::uint32_t stateOverride)
{
    if (phone.MonitorSession == 0)
        return;
    const bool forwarded = !phone.Forward[0].empty() || !phone.Forward[1].empty() ||
                           !phone.Forward[2].empty() || !phone.Forward[3].empty();
    std::uint32_t state = kPhoneStateNormal;
    if (!phone.InService)
        state = phsOutOfService;
    else if (phone.DoNotDisturb)
        state = phsDoNotDisturb;
    else if (forwarded)
        state = phsForwarding;
    TKovraAPIMsg event(KovraMsg::PHONE_STATE_EVENT, 0);
    event.WriteInt32(phone.MonitorId);
    event.WriteStr(phone.Spec.Number);
    event.WriteInt32(stateOverride ? stateOverride : state);
    event.WriteInt32(UnixNow());
    event.WriteBool(phone.InService);
    event.WriteBool(phone.DoNotDisturb);
    event.WriteInt32(phone.Spec.VoiceMailCount);
    event.WriteBool(forwarded);
    event.WriteBool(false);
    event.WriteBool(false);
    outbox_.emplace_back(phone.MonitorSession, std::move(event));
}

std::string TSimPhoneSystem::SetCapabilities(const std::string& number, std::uint32_t mask)
{
    TSimPhone* phone = Phone(number);
    if (!phone)
        return "unknown phone " + number;
    phone->Spec.Capabilities = mask;
    SendPhoneState(*phone, phsConfigChanged);
    Flush();
    return std::string();
}

std::string TSimPhoneSystem::SetVoiceMail(const std::string& number, std::uint32_t count)
{
    TSimPhone* phone = Phone(number);
    if (!phone)
        return "unknown phone " + number;
    phone->Spec.VoiceMailCount = count;
    SendPhoneState(*phone);
    Flush();
    return std::string();
}

std::string TSimPhoneSystem::SetService(const std::string& number, bool on)
{
    TSimPhone* phone = Phone(number);
    if (!phone)
        return "unknown phone " + number;
    phone->InService = on;
    SendPhoneState(*phone);
    Flush();
    return std::string();
}

std::string TSimPhoneSystem::SetDoNotDisturb(const std::string& number, bool on)
{
    TSimPhone* phone = Phone(number);
    if (!phone)
        return "unknown phone " + number;
    phone->DoNotDisturb = on;
    SendPhoneState(*phone);
    Flush();
    return std::string();
}

std::string TSimPhoneSystem::SetForward(const std::string& number, unsigned kind,
                                        const std::string& destination)
{
    TSimPhone* phone = Phone(number);
    if (!phone)
        return "unknown phone " + number;
    if (kind > 3)
        return "forwarding kind must be 0 to 3";
    if (destination == number)
        return "a phone cannot forward to itself";
    phone->Forward[kind] = destination;
    SendPhoneState(*phone);
    Flush();
    return std::string();
}

std::set<int> TSimPhoneSystem::MonitoringSessions() const
{
    std::set<int> sessions;
    for (const auto& [number, phone] : phones_)
        if (phone.MonitorSession != 0)
            sessions.insert(phone.MonitorSession);
    return sessions;
}

std::string TSimPhoneSystem::MeetmeChange(std::uint32_t confId, const std::string& topic)
{
    const auto parties = meetme_.find(confId);
    TKovraAPIMsg event(KovraMsg::MEETME_CONFERENCE_EVENT, 0);
    event.WriteInt32(confId);
    event.WriteOid("");
    event.WriteInt32(4);
    event.WriteInt32(UnixNow());
    event.WriteInt32(epoch_);
    event.WriteInt32(3600);
    event.WriteInt32(10);
    event.WriteInt32(parties == meetme_.end() ? 0 : static_cast<std::uint32_t>(parties->second.size()));
    event.WriteStr(topic);
    event.WriteInt32(1);
    event.WriteBool(false);
    event.WriteBool(false);
    const std::set<int> sessions = MonitoringSessions();
    for (int session : sessions)
        server_.Send(session, event);
    return sessions.empty() ? "no client is monitoring a phone" : std::string();
}

std::string TSimPhoneSystem::MeetmeParties(std::uint32_t confId, unsigned count, unsigned fragments)
{
    std::vector<TSimParty> parties = meetme_[confId];
    parties.resize(std::min<std::size_t>(parties.size(), count));
    for (unsigned i = static_cast<unsigned>(parties.size()); i < count; ++i) {
        TSimParty guest;
        guest.Number = "5550" + std::to_string(1000 + i);
        guest.Name = "Guest " + std::to_string(i + 1);
        guest.ConnState = csConnected;
        guest.Since = UnixNow();
        parties.push_back(guest);
    }
    fragments = std::max(1u, std::min(fragments, std::max(count, 1u)));
    const unsigned perFragment = (count + fragments - 1) / fragments;
    std::vector<TKovraAPIMsg> events;
    for (unsigned f = 0; f < fragments; ++f) {
        const unsigned first = f * perFragment;
        const unsigned last = std::min(count, first + perFragment); // exclusive
        TKovraAPIMsg event(KovraMsg::MEETME_CONFERENCE_EVENT, 0);
        event.WriteInt32(confId);
        event.WriteOid("");
        event.WriteInt32(5);
        event.WriteInt32(UnixNow());
        event.WriteInt32(count);
        event.WriteInt32(first);
        event.WriteInt32(last == 0 ? 0 : last - 1);
        event.WriteInt32(f + 1 < fragments ? 1 : 0);
        for (unsigned i = first; i < last; ++i) {
            char oid[25];
            std::snprintf(oid, sizeof oid, "4D4545%06X%08X%04X", confId & 0xFFFFFF, epoch_, i & 0xFFFF);
            event.WriteOid(oid);
            event.WriteInt32(parties[i].Since);
            event.WriteStr(parties[i].Number);
            event.WriteStr(parties[i].Name);
            event.WriteInt32(parties[i].ConnState);
        }
        if (event.Size() > kClientDatagramLimit)
            return "a fragment would exceed 4096 bytes; ask for more fragments";
        events.push_back(std::move(event));
    }
    const std::set<int> sessions = MonitoringSessions();
    for (int session : sessions)
        for (const TKovraAPIMsg& event : events)
            server_.Send(session, event);
    return sessions.empty() ? "no client is monitoring a phone" : std::string();
}

} // namespace kovrasim
