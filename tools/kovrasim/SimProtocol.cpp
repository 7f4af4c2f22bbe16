#include "SimProtocol.h"

#include <algorithm>

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"

using namespace api;

namespace kovrasim {
namespace {

constexpr std::size_t kReceiveBuffer = 65536;

std::vector<std::uint8_t> HeaderOnly(std::uint32_t type, std::uint32_t seq)
{
    return TKovraAPIMsg(type, seq).Bytes();
}

} // namespace

std::uint64_t NowMs()
{
    return platform::TickCount();
}

TSimServer::TSimServer(const TSimOptions& options, TSimTrace& trace, std::recursive_mutex& lock)
    : options_(options), trace_(trace), lock_(lock),
      random_(options.Seed ? options.Seed : std::random_device{}())
{
}

TSimServer::~TSimServer()
{
    Stop();
}

bool TSimServer::Bind(std::string& error)
{
    for (const std::string& address : options_.Servers) {
        auto socket = std::make_unique<platform::UdpSocket>();
        const int result = socket->Bind(options_.ServerPort, address);
        if (result != platform::kSocketOk) {
            error = "cannot bind UDP " + address + ":" + std::to_string(options_.ServerPort) +
                    " (socket error " + std::to_string(result) + ")";
            sockets_.clear();
            return false;
        }
        sockets_.push_back(std::move(socket));
    }
    return true;
}

std::uint16_t TSimServer::Port(std::size_t index) const
{
    return index < sockets_.size() ? sockets_[index]->LocalPort() : 0;
}

void TSimServer::Start()
{
    stop_ = false;
    thread_ = std::thread([this] { Loop(); });
}

void TSimServer::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void TSimServer::Loop()
{
    std::vector<std::uint8_t> buffer(kReceiveBuffer);
    while (!stop_) {
        for (std::size_t i = 0; i < sockets_.size() && !stop_; ++i) {
            // Only the first socket waits, so several addresses are all served each round.
            const platform::ReceiveResult result =
                sockets_[i]->ReceiveFrom(buffer.data(), buffer.size(), i == 0 ? 5 : 0);
            if (result.Bytes == 0 && !result.Truncated)
                continue;
            std::lock_guard guard(lock_);
            if (result.Truncated)
                trace_.Note("ignored an oversized datagram from " + result.FromAddress);
            else
                OnDatagram(i, result, buffer.data());
        }
        std::lock_guard guard(lock_);
        RunTimers(NowMs());
    }
}

TSimServer::Session* TSimServer::Find(std::size_t socket, const std::string& address, std::uint16_t port)
{
    for (auto& [id, session] : sessions_)
        if (session.Socket == socket && session.Port == port && session.Address == address)
            return &session;
    return nullptr;
}

void TSimServer::OnDatagram(std::size_t socket, const platform::ReceiveResult& from, const std::uint8_t* data)
{
    if (faults_.Silence) {
        trace_.Datagram("<-", from.FromAddress, from.FromPort, data, from.Bytes, "ignored: silence");
        return;
    }
    if (Roll(faults_.Loss)) {
        trace_.Datagram("<-", from.FromAddress, from.FromPort, data, from.Bytes, "lost");
        return;
    }
    trace_.Datagram("<-", from.FromAddress, from.FromPort, data, from.Bytes);
    TKovraAPIMsg msg;
    if (!msg.Decode(data, from.Bytes))
        return;
    Session* session = Find(socket, from.FromAddress, from.FromPort);
    if (msg.dwMsgType == KovraMsg::LOGIN_REQ) {
        OnLogin(session, socket, from, msg);
        return;
    }
    if (!session) {
        // A client we do not know (the simulator restarted, or its session ended): tell it to log in again.
        if (msg.dwMsgType != KovraMsg::ACK && msg.dwMsgType != KovraMsg::DISCONNECT)
            Emit(socket, from.FromAddress, from.FromPort, HeaderOnly(KovraMsg::DISCONNECT, 0));
        return;
    }
    session->LastHeardMs = NowMs();
    if (msg.dwMsgType == KovraMsg::ACK) {
        // A duplicate or late ACK matches nothing and is dropped.
        if (session->Current && session->Current->dwMsgSeq == msg.dwMsgSeq) {
            session->Current.reset();
            SendNext(*session);
        }
        return;
    }
    if (msg.dwMsgType == KovraMsg::DISCONNECT) {
        EndSession(session->Id, false, "client disconnected");
        return;
    }
    OnNumbered(*session, msg);
}

void TSimServer::OnLogin(Session* existing, std::size_t socket, const platform::ReceiveResult& from,
                         TKovraAPIMsg& msg)
{
    const std::uint64_t now = NowMs();
    // The client retries its LOGIN_REQ until our ACK arrives: within that time a second one is a repeat.
    if (existing && existing->ExpectSeq == msg.dwMsgSeq + 1 &&
        now - existing->LoginMs < std::uint64_t(options_.AckWaitMs) * options_.Tries) {
        existing->LastHeardMs = now;
        SendAck(*existing, msg.dwMsgSeq);
        return;
    }
    if (existing)
        EndSession(existing->Id, false, "client logged in again");
    Session session;
    session.Id = nextSessionId_++;
    session.Socket = socket;
    session.Address = from.FromAddress;
    session.Port = from.FromPort;
    session.InvokeID = msg.ReadInt32();
    const std::string clientApi = msg.ReadStr();
    session.ClientName = msg.ReadStr();
    session.ClientVersion = msg.ReadStr();
    session.ExpectSeq = msg.dwMsgSeq + 1;
    session.LastHeardMs = session.LoginMs = now;
    const int id = session.Id;
    auto& stored = sessions_.emplace(id, std::move(session)).first->second;
    trace_.Note("session " + std::to_string(id) + " opened for " + from.FromAddress + ":" +
                std::to_string(from.FromPort) + " client API " + clientApi +
                (stored.ClientName.empty() ? "" : " " + stored.ClientName + " " + stored.ClientVersion));
    SendAck(stored, msg.dwMsgSeq);
    TKovraAPIMsg response(KovraMsg::LOGIN_RSP, 0);
    response.WriteInt32(stored.InvokeID);
    response.WriteInt32(0);
    response.WriteStr(options_.ApiVersion);
    response.WriteStr(options_.ServerVersion);
    Send(id, std::move(response));
}

void TSimServer::OnNumbered(Session& session, TKovraAPIMsg& msg)
{
    if (msg.dwMsgSeq == session.ExpectSeq - 1) {
        SendAck(session, msg.dwMsgSeq);
        return;
    }
    if (msg.dwMsgSeq != session.ExpectSeq) {
        EndSession(session.Id, true,
                   "sequence error: expected " + std::to_string(session.ExpectSeq) + ", got " +
                       std::to_string(msg.dwMsgSeq));
        return;
    }
    SendAck(session, msg.dwMsgSeq);
    ++session.ExpectSeq;
    if (msg.dwMsgType == KovraMsg::PING || KovraMsg::IsEventOrControl(msg.dwMsgType))
        return;
    const std::uint32_t invokeId = msg.ReadInt32();
    if (handler_)
        handler_->HandleRequest(session.Id, invokeId, msg);
}

void TSimServer::Send(int id, TKovraAPIMsg msg)
{
    const auto found = sessions_.find(id);
    if (found == sessions_.end())
        return;
    found->second.Queue.push_back(std::move(msg));
    SendNext(found->second);
}

void TSimServer::SendNext(Session& session)
{
    if (session.Current || session.Queue.empty())
        return;
    session.Current = std::move(session.Queue.front());
    session.Queue.pop_front();
    session.Current->StampSequence(session.SendSeq++);
    session.Tries = 1;
    session.LastSendMs = NowMs();
    Emit(session.Socket, session.Address, session.Port, session.Current->Bytes());
}

void TSimServer::SendAck(const Session& session, std::uint32_t seq)
{
    Emit(session.Socket, session.Address, session.Port, HeaderOnly(KovraMsg::ACK, seq));
}

bool TSimServer::Kick(int id)
{
    if (!HasSession(id))
        return false;
    EndSession(id, true, "kicked");
    return true;
}

void TSimServer::EndSession(int id, bool tellClient, const std::string& reason)
{
    const auto found = sessions_.find(id);
    if (found == sessions_.end())
        return;
    Session& session = found->second;
    trace_.Note("session " + std::to_string(id) + " ended: " + reason);
    if (tellClient)
        Emit(session.Socket, session.Address, session.Port,
             HeaderOnly(KovraMsg::DISCONNECT, session.SendSeq));
    sessions_.erase(found);
    if (handler_)
        handler_->SessionEnded(id);
}

void TSimServer::RunTimers(std::uint64_t now)
{
    std::vector<std::pair<int, std::string>> ending;
    for (auto& [id, session] : sessions_) {
        if (now - session.LastHeardMs >= options_.SilenceTimeoutMs) {
            ending.emplace_back(id, "client silent");
            continue;
        }
        if (!session.Current || now - session.LastSendMs < options_.AckWaitMs)
            continue;
        if (session.Tries >= options_.Tries) {
            ending.emplace_back(id,
                                "message #" + std::to_string(session.Current->dwMsgSeq) + " unacknowledged");
            continue;
        }
        ++session.Tries;
        session.LastSendMs = now;
        Emit(session.Socket, session.Address, session.Port, session.Current->Bytes());
    }
    for (const auto& [id, reason] : ending)
        EndSession(id, true, reason);

    std::vector<HeldDatagram> due;
    for (auto it = held_.begin(); it != held_.end();) {
        if (it->DueMs <= now) {
            due.push_back(std::move(*it));
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    for (const HeldDatagram& datagram : due)
        Transmit(datagram.Socket, datagram.Address, datagram.Port, datagram.Bytes,
                 datagram.Reordered ? "sent late: reordered" : "sent late: delayed");
    if (handler_)
        handler_->Tick(now);
}

std::vector<TSimSessionInfo> TSimServer::Sessions() const
{
    std::vector<TSimSessionInfo> list;
    for (const auto& [id, session] : sessions_) {
        TSimSessionInfo info;
        info.Id = id;
        info.Address = session.Address;
        info.Port = session.Port;
        info.ClientName = session.ClientName;
        info.ClientVersion = session.ClientVersion;
        info.InvokeID = session.InvokeID;
        info.NextSendSeq = session.SendSeq;
        info.ExpectedSeq = session.ExpectSeq;
        info.Waiting = session.Queue.size();
        info.Unacknowledged = session.Current.has_value();
        list.push_back(info);
    }
    return list;
}

bool TSimServer::Idle() const
{
    if (!held_.empty())
        return false;
    for (const auto& [id, session] : sessions_)
        if (session.Current || !session.Queue.empty())
            return false;
    return true;
}

bool TSimServer::Roll(double share)
{
    if (share <= 0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < share;
}

void TSimServer::Emit(std::size_t socket, const std::string& address, std::uint16_t port,
                      const std::vector<std::uint8_t>& bytes)
{
    if (faults_.Silence) {
        trace_.Datagram("->", address, port, bytes.data(), bytes.size(), "not sent: silence");
        return;
    }
    if (Roll(faults_.Loss)) {
        trace_.Datagram("->", address, port, bytes.data(), bytes.size(), "lost");
        return;
    }
    const int copies = Roll(faults_.Duplicate) ? 2 : 1;
    for (int copy = 0; copy < copies; ++copy) {
        const std::string note = copy ? "duplicate" : "";
        if (faults_.DelayMs > 0) {
            held_.push_back({NowMs() + faults_.DelayMs, socket, address, port, bytes, false});
            continue;
        }
        if (!faults_.Reorder) {
            Transmit(socket, address, port, bytes, note);
            continue;
        }
        // The datagram held back for this client goes out after this one; otherwise this one waits.
        auto heldOne = std::find_if(held_.begin(), held_.end(), [&](const HeldDatagram& held) {
            return held.Reordered && held.Socket == socket && held.Address == address && held.Port == port;
        });
        if (heldOne == held_.end()) {
            held_.push_back(
                {NowMs() + std::max(10u, options_.AckWaitMs / 4), socket, address, port, bytes, true});
            continue;
        }
        HeldDatagram earlier = std::move(*heldOne);
        held_.erase(heldOne);
        Transmit(socket, address, port, bytes, note.empty() ? "sent early: reordered" : note);
        Transmit(earlier.Socket, earlier.Address, earlier.Port, earlier.Bytes, "sent late: reordered");
    }
}

void TSimServer::Transmit(std::size_t socket, const std::string& address, std::uint16_t port,
                          const std::vector<std::uint8_t>& bytes, const std::string& note)
{
    if (socket >= sockets_.size())
        return;
    const int error = sockets_[socket]->SendTo(bytes.data(), bytes.size(), address, port);
    trace_.Datagram("->", address, port, bytes.data(), bytes.size(),
                    error == platform::kSocketOk ? note
                                                 : "send failed: socket error " + std::to_string(error));
}

} // namespace kovrasim
