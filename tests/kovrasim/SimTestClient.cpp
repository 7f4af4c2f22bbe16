#include "SimTestClient.h"

#include "api/KovraAPIConsts.h"

using namespace api;

TSimTestClient::TSimTestClient(const std::string& server, std::uint16_t port, TKovraTimings timings)
    : manager_(std::make_unique<TKovraConnectionMngr>(*this, 0, port, timings, "127.0.0.1"))
{
    Servers = {server};
    ActiveIndex = 0;
    Invoke = 7;
    Manager = manager_.get();
}

void TSimTestClient::ReceiveHook(const TKovraAPIMsg& msg)
{
    const bool numbered = msg.dwMsgType != KovraMsg::ACK && msg.dwMsgType != KovraMsg::DISCONNECT;
    if (numbered && !seen_.insert(msg.dwMsgSeq).second)
        ++Repeats;
}

bool TSimTestClient::Login()
{
    IsConnected = false;
    ApiVersion.clear();
    seen_.clear();
    return manager_->OpenSession() && PumpUntil([this] { return !ApiVersion.empty(); }) && IsConnected;
}

TMsgBuilder TSimTestClient::Request(std::uint32_t type) const
{
    return TMsgBuilder(type, 0).Int(Invoke).Str(Device);
}

void TSimTestClient::DispatchMessage(TKovraAPIMsg& msg)
{
    switch (msg.dwMsgType) {
    case KovraMsg::PING:
        return;
    case KovraMsg::CALL_CONNECTION_EVENT:
        OnCallEvent(msg);
        return;
    case KovraMsg::PHONE_STATE_EVENT:
        msg.ReadInt32();
        msg.ReadStr();
        PhoneState.State = msg.ReadInt32();
        msg.ReadInt32();
        PhoneState.InService = msg.ReadBool();
        PhoneState.DoNotDisturb = msg.ReadBool();
        PhoneState.VoiceMail = msg.ReadInt32();
        PhoneState.Forwarded = msg.ReadBool();
        ++PhoneState.Count;
        return;
    default:
        Inbox.push_back(msg);
        return;
    }
}

void TSimTestClient::OnCallEvent(TKovraAPIMsg& msg)
{
    TTestCall call;
    msg.ReadInt32();
    msg.ReadStr();
    call.Oid = msg.ReadOid();
    call.Event = msg.ReadInt32();
    call.Cause = msg.ReadInt32();
    msg.ReadInt32();
    const std::uint32_t count = msg.ReadInt32();
    for (std::uint32_t i = 0; i < count && msg.Remaining() > 0; ++i) {
        TTestConnection connection;
        msg.ReadInt32();
        connection.Number = msg.ReadStr();
        connection.Name = msg.ReadStr();
        connection.PartyState = msg.ReadInt32();
        connection.ConnState = msg.ReadInt32();
        call.Connections.push_back(connection);
    }
    call.Related = msg.ReadOid();
    const TTestConnection* mine = nullptr;
    for (const TTestConnection& connection : call.Connections)
        if (connection.Number == Device && !mine)
            mine = &connection;
    if (!mine)
        return;
    call.Mine = mine->ConnState;
    if (call.Event == ceParked)
        Parked.push_back(call);
    if (call.Mine == csGone)
        Calls.erase(call.Oid);
    else
        Calls[call.Oid] = call;
}

std::optional<TKovraAPIMsg> TSimTestClient::Call(TKovraAPIMsg request, unsigned waitMs)
{
    const std::uint32_t answer = request.dwMsgType + 1;
    if (!IsConnected)
        return std::nullopt;
    manager_->Send(std::make_unique<TKovraAPIMsg>(std::move(request)));
    std::optional<TKovraAPIMsg> found;
    PumpUntil(
        [&] {
            for (auto it = Inbox.begin(); it != Inbox.end(); ++it)
                if (it->dwMsgType == answer || it->dwMsgType == KovraMsg::FAILURE_RSP) {
                    found = std::move(*it);
                    Inbox.erase(it);
                    return true;
                }
            return !IsConnected;
        },
        waitMs);
    return found;
}

std::uint32_t TSimTestClient::ErrorOf(TKovraAPIMsg& response)
{
    response.SetPosition(TKovraAPIMsg::kHeaderSize);
    response.ReadInt32();
    return response.ReadInt32();
}

std::uint32_t TSimTestClient::Ask(TKovraAPIMsg request)
{
    auto response = Call(std::move(request));
    return response ? ErrorOf(*response) : 0xFFFFFFFFu;
}

std::uint32_t TSimTestClient::Monitor(const std::string& phone, const std::string& password,
                                      const std::string& retry)
{
    auto response =
        Call(TMsgBuilder(KovraMsg::MONITOR_START_REQ, 0).Int(Invoke).Str(phone).Str(password).Str(retry));
    if (!response)
        return 0xFFFFFFFFu;
    const std::uint32_t error = ErrorOf(*response);
    response->ReadInt32();
    const std::string device = response->ReadStr();
    if (error == 0)
        Device = device;
    return error;
}
