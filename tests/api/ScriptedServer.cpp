#include "ScriptedServer.h"

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

ScriptedServer::ScriptedServer(const std::string& address, std::uint16_t port) : address_(address)
{
    bound_ = socket_.Bind(port, address) == platform::kSocketOk;
}

std::optional<TKovraAPIMsg> ScriptedServer::Receive(unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    for (;;) {
        const platform::ReceiveResult r = socket_.ReceiveFrom(buffer_.data(), buffer_.size(), 2);
        if (r.Bytes >= TKovraAPIMsg::kHeaderSize) {
            ++received_;
            ClientAddress = r.FromAddress;
            ClientPort = r.FromPort;
            TKovraAPIMsg msg;
            msg.Decode(buffer_.data(), r.Bytes);
            return msg;
        }
        platform::ProcessMessages(0);
        if (platform::TickCount() >= until)
            return std::nullopt;
    }
}

std::vector<TKovraAPIMsg> ScriptedServer::ReceiveAll(unsigned ms)
{
    std::vector<TKovraAPIMsg> all;
    const std::uint64_t until = platform::TickCount() + ms;
    while (platform::TickCount() < until) {
        if (auto msg = Receive(static_cast<unsigned>(until - platform::TickCount())))
            all.push_back(std::move(*msg));
    }
    return all;
}

std::optional<TKovraAPIMsg> ScriptedServer::ReceiveRequest(unsigned ms, std::vector<TKovraAPIMsg>* acks)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (platform::TickCount() < until) {
        auto msg = Receive(static_cast<unsigned>(until - platform::TickCount()));
        if (!msg)
            break;
        if (msg->dwMsgType != KovraMsg::ACK)
            return msg;
        if (acks)
            acks->push_back(std::move(*msg));
    }
    return std::nullopt;
}

void ScriptedServer::SendRaw(const void* data, std::size_t size)
{
    socket_.SendTo(data, size, ClientAddress, ClientPort);
}

void ScriptedServer::Ack(std::uint32_t seq)
{
    Send(TKovraAPIMsg(KovraMsg::ACK, seq));
}

void ScriptedServer::AcceptLogin(std::uint32_t invokeId, std::uint32_t error, const std::string& apiVersion,
                                 const std::string& serverVersion)
{
    Ack(0);
    TKovraAPIMsg rsp(KovraMsg::LOGIN_RSP, 0);
    rsp.WriteInt32(invokeId);
    rsp.WriteInt32(error);
    rsp.WriteStr(apiVersion);
    rsp.WriteStr(serverVersion);
    Send(rsp);
}

bool PumpUntil(const std::function<bool()>& done, unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (!done() && platform::TickCount() < until)
        platform::ProcessMessages(5);
    return done();
}

bool DistinctLoopbackAddresses()
{
    static const bool distinct = [] {
        platform::UdpSocket a, b;
        if (a.Bind(0, "127.0.0.2") != platform::kSocketOk || b.Bind(0, "127.0.0.1") != platform::kSocketOk)
            return false;
        a.SendTo("x", 1, "127.0.0.1", b.LocalPort());
        char buffer[8];
        const platform::ReceiveResult r = b.ReceiveFrom(buffer, sizeof buffer, 1000);
        return r.Bytes == 1 && r.FromAddress == "127.0.0.2";
    }();
    return distinct;
}

std::string LoopbackHost(int n)
{
    return DistinctLoopbackAddresses() ? "127.0.0." + std::to_string(n) : "127.0.0.1";
}
