#include "SimTestClient.h"

#include <chrono>

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"

namespace {
const std::string kNoOid(24, '0');
}

TSimTestClient::TSimTestClient(std::string server, std::uint16_t port)
    : server_(std::move(server)), port_(port)
{
    socket_.Bind(0, "127.0.0.1");
}

void TSimTestClient::SendRaw(const TKovraAPIMsg& msg)
{
    socket_.SendTo(msg.Data(), msg.Size(), server_, port_);
}

std::optional<TKovraAPIMsg> TSimTestClient::ReceiveOne(unsigned ms)
{
    std::uint8_t buffer[4096];
    const platform::ReceiveResult result = socket_.ReceiveFrom(buffer, sizeof buffer, ms);
    TKovraAPIMsg msg;
    if (result.Bytes == 0 || !msg.Decode(buffer, result.Bytes))
        return std::nullopt;
    if (!KovraMsg::IsEventOrControl(msg.dwMsgType)) {
        if (msg.ReadInt32() != InvokeID)
            return std::nullopt;
    }
    return msg;
}

bool TSimTestClient::Login()
{
    sendSeq_ = expectSeq_ = 0;
    Connected = false;
    TMsgBuilder login =
        TMsgBuilder(KovraMsg::LOGIN_REQ, 0).Int(InvokeID).Str("2.0").Str("kovrasim-test").Str("1.0");
    login.StampSequence(sendSeq_++);
    bool acknowledged = false;
    for (unsigned attempt = 0; attempt < Tries && !acknowledged; ++attempt) {
        SendRaw(login);
        const auto until = platform::TickCount() + AckWaitMs;
        while (!acknowledged && platform::TickCount() < until) {
            auto msg = ReceiveOne(10);
            acknowledged = msg && msg->dwMsgType == KovraMsg::ACK && msg->dwMsgSeq == 0;
        }
    }
    if (!acknowledged)
        return false;
    Connected = true;
    return WaitFor([this] { return !ApiVersion.empty(); }, AckWaitMs * Tries * 4) && Connected;
}

TMsgBuilder TSimTestClient::Request(std::uint32_t type) const
{
    return TMsgBuilder(type, 0).Int(InvokeID).Str(Device);
}

bool TSimTestClient::Send(TKovraAPIMsg msg)
{
    if (!Connected)
        return false;
    msg.StampSequence(sendSeq_++);
    for (unsigned attempt = 0; attempt < Tries && Connected; ++attempt) {
        SendRaw(msg);
        const auto until = platform::TickCount() + AckWaitMs;
        while (Connected && platform::TickCount() < until) {
            auto in = ReceiveOne(10);
            if (!in)
                continue;
            if (in->dwMsgType == KovraMsg::DISCONNECT) {
                Connected = false;
                return false;
            }
            if (in->dwMsgType != KovraMsg::ACK) {
                HandleIncoming(*in);
                continue;
            }
            if (in->dwMsgSeq == msg.dwMsgSeq)
                return true;
            if (in->dwMsgSeq == msg.dwMsgSeq - 1)
                continue; // a late ACK of the previous message
            Connected = false;
            return false;
        }
    }
    Connected = false;
    return false;
}

void TSimTestClient::Disconnect()
{
    if (!Connected)
        return;
    TKovraAPIMsg msg(KovraMsg::DISCONNECT, 0);
    msg.WriteInt32(InvokeID);
    msg.StampSequence(sendSeq_++);
    SendRaw(msg);
    Connected = false;
}

void TSimTestClient::Pump(unsigned ms)
{
    const auto until = platform::TickCount() + ms;
    do {
        if (auto msg = ReceiveOne(5))
            HandleIncoming(*msg);
    } while (platform::TickCount() < until);
}

bool TSimTestClient::WaitFor(const std::function<bool()>& done, unsigned ms)
{
    const auto until = platform::TickCount() + ms;
    while (!done()) {
        if (platform::TickCount() >= until)
            return false;
        if (auto msg = ReceiveOne(5))
            HandleIncoming(*msg);
    }
    return true;
}

void TSimTestClient::HandleIncoming(TKovraAPIMsg& msg)
{
    if (msg.dwMsgType == KovraMsg::DISCONNECT) {
        Connected = false;
        return;
    }
    if (msg.dwMsgType == KovraMsg::ACK)
        return; // outside a transmission: a duplicate
    TKovraAPIMsg ack(KovraMsg::ACK, msg.dwMsgSeq);
    if (msg.dwMsgSeq == expectSeq_ - 1) {
        ++Repeats;
        SendRaw(ack);
        return;
    }
    if (msg.dwMsgSeq != expectSeq_) {
        Disconnect();
        return;
    }
    SendRaw(ack);
    ++expectSeq_;
    Dispatch(msg);
}

void TSimTestClient::Dispatch(TKovraAPIMsg& msg)
{
    switch (msg.dwMsgType) {
    case KovraMsg::PING:
        return;
    case KovraMsg::LOGIN_RSP:
        if (msg.ReadInt32() == 0) {
            ApiVersion = msg.ReadStr();
            ServerVersion = msg.ReadStr();
        }
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
    const std::string device = msg.ReadStr();
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
    // The current-call identifiers move by event code as the assistant moves them.
    const std::string& oid = call.Oid;
    auto clearIf = [&oid](std::string& id) {
        if (id == oid)
            id.clear();
    };
    if (device == Device) {
        switch (call.Event) {
        case ceState:
            if (call.Mine == csDialing || call.Mine == csAttempting || call.Mine == csConnected)
                ActiveCallId = oid;
            else if (call.Mine == csRinging)
                AlertingCallId = oid;
            else if (call.Mine == csHeld)
                HeldCallId = oid;
            break;
        case ceDialing:
        case ceDelivered:
        case ceConferenced:
        case ceTransferred:
        case cePickedUp:
            ActiveCallId = oid;
            break;
        case ceAlerting:
            AlertingCallId = oid;
            break;
        case ceEstablished:
            ActiveCallId = oid;
            clearIf(AlertingCallId);
            break;
        case ceHeld:
            HeldCallId = oid;
            clearIf(ActiveCallId);
            break;
        case ceRetrieved:
            ActiveCallId = oid;
            clearIf(HeldCallId);
            break;
        case ceCleared:
        case ceParked:
        case ceFailed:
            clearIf(HeldCallId);
            clearIf(AlertingCallId);
            clearIf(ActiveCallId);
            break;
        default:
            break;
        }
    }
    if (call.Event == ceParked && call.Connections.size() >= 3 && call.Connections[1].PartyState == psParked)
        ParkNotices.push_back(
            {call.Related, call.Connections[2].Name, call.Connections[2].Number, call.Connections[1].Number});
    if (call.Mine == csGone)
        Calls.erase(oid);
    else
        Calls[oid] = call;
}

std::optional<TKovraAPIMsg> TSimTestClient::Call(TKovraAPIMsg request, unsigned waitMs)
{
    const std::uint32_t answer = request.dwMsgType + 1;
    if (!Send(std::move(request)))
        return std::nullopt;
    std::optional<TKovraAPIMsg> found;
    WaitFor(
        [&] {
            for (auto it = Inbox.begin(); it != Inbox.end(); ++it)
                if (it->dwMsgType == answer || it->dwMsgType == KovraMsg::FAILURE_RSP) {
                    found = std::move(*it);
                    Inbox.erase(it);
                    return true;
                }
            return !Connected;
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
        Call(TMsgBuilder(KovraMsg::MONITOR_START_REQ, 0).Int(InvokeID).Str(phone).Str(password).Str(retry));
    if (!response)
        return 0xFFFFFFFFu;
    const std::uint32_t error = ErrorOf(*response);
    response->ReadInt32();
    const std::string device = response->ReadStr();
    if (error == 0)
        Device = device;
    return error;
}
