#include "ApiTestServer.h"

#include <algorithm>

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

using namespace api;

TKovraAPIMsg TReceivedDatagram::Message() const
{
    TKovraAPIMsg msg;
    msg.Decode(Bytes.data(), Bytes.size());
    return msg;
}

ApiTestServer::ApiTestServer(const std::string& address, std::uint16_t port) : address_(address)
{
    bound_ = socket_.Bind(port, address) == platform::kSocketOk;
    port_ = socket_.LocalPort();
    if (bound_)
        thread_ = std::thread([this] { Run(); });
}

ApiTestServer::~ApiTestServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::optional<TKovraAPIMsg> ApiTestServer::Receive(unsigned ms)
{
    std::optional<TKovraAPIMsg> next;
    PumpUntil(
        [&] {
            std::lock_guard lock(lock_);
            if (taken_ < received_.size())
                next = received_[taken_++].Message();
            return next.has_value();
        },
        ms);
    return next;
}

std::optional<TKovraAPIMsg> ApiTestServer::ReceiveRequest(unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (auto msg = Receive(static_cast<unsigned>(until - std::min(until, platform::TickCount()))))
        if (msg->dwMsgType != KovraMsg::ACK)
            return msg;
    return std::nullopt;
}

std::vector<TKovraAPIMsg> ApiTestServer::ReceiveAll(unsigned ms)
{
    PumpFor(ms);
    std::vector<TKovraAPIMsg> all;
    while (auto msg = Receive(0))
        all.push_back(std::move(*msg));
    return all;
}

void ApiTestServer::Ack(std::uint32_t seq)
{
    SendRaw(TKovraAPIMsg(KovraMsg::ACK, seq).Bytes());
}

void ApiTestServer::AcceptLogin(std::uint32_t invokeId, std::uint32_t error, const std::string& apiVersion,
                                const std::string& serverVersion)
{
    Ack(0);
    SendRaw(TMsgBuilder(KovraMsg::LOGIN_RSP, 0)
                .Int(invokeId)
                .Int(error)
                .Str(apiVersion)
                .Str(serverVersion)
                .Bytes());
}

void ApiTestServer::SetClient(const std::string& address, std::uint16_t port)
{
    std::lock_guard lock(lock_);
    clientAddress_ = address;
    clientPort_ = port;
}

std::pair<std::string, std::uint16_t> ApiTestServer::Client() const
{
    std::lock_guard lock(lock_);
    return {clientAddress_, clientPort_};
}

void ApiTestServer::SetVersions(const std::string& apiVersion, const std::string& serverVersion)
{
    std::lock_guard lock(lock_);
    apiVersion_ = apiVersion;
    serverVersion_ = serverVersion;
}

void ApiTestServer::OnRequest(std::uint32_t type, Answer answer)
{
    std::lock_guard lock(lock_);
    answers_[type] = std::move(answer);
}

TMsgBuilder ApiTestServer::Response(std::uint32_t type, std::uint32_t error) const
{
    return TMsgBuilder(type, 0).Int(InvokeID).Int(error);
}

TMsgBuilder ApiTestServer::Event(std::uint32_t type)
{
    return TMsgBuilder(type, 0);
}

std::uint32_t ApiTestServer::Send(TKovraAPIMsg msg)
{
    std::lock_guard lock(sendLock_);
    const std::uint32_t seq = sendSeq_++;
    msg.StampSequence(seq);
    SendBytes(msg.Bytes());
    return seq;
}

void ApiTestServer::SendRaw(const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard lock(sendLock_);
    SendBytes(bytes);
}

void ApiTestServer::SendBytes(const std::vector<std::uint8_t>& bytes)
{
    std::string address;
    std::uint16_t port = 0;
    {
        std::lock_guard lock(lock_);
        address = clientAddress_;
        port = clientPort_;
    }
    if (port != 0)
        socket_.SendTo(bytes.data(), bytes.size(), address, port);
}

std::vector<TReceivedDatagram> ApiTestServer::Received() const
{
    std::lock_guard lock(lock_);
    return received_;
}

std::vector<TReceivedDatagram> ApiTestServer::ReceivedOfType(std::uint32_t type) const
{
    std::vector<TReceivedDatagram> result;
    for (const TReceivedDatagram& datagram : Received())
        if (datagram.Type == type)
            result.push_back(datagram);
    return result;
}

std::size_t ApiTestServer::Count(std::uint32_t type) const
{
    std::lock_guard lock(lock_);
    const auto found = counts_.find(type);
    return found == counts_.end() ? 0 : found->second;
}

bool ApiTestServer::AwaitCount(std::uint32_t type, std::size_t count, unsigned ms) const
{
    std::unique_lock lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        const auto found = counts_.find(type);
        return found != counts_.end() && found->second >= count;
    });
}

void ApiTestServer::Run()
{
    std::vector<std::uint8_t> buffer(8192);
    while (!stop_) {
        const platform::ReceiveResult result = socket_.ReceiveFrom(buffer.data(), buffer.size(), 20);
        if (result.Error != platform::kSocketOk || result.Bytes < TKovraAPIMsg::kHeaderSize)
            continue;
        TReceivedDatagram datagram;
        datagram.Bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.Bytes));
        const TKovraAPIMsg msg = datagram.Message();
        datagram.Seq = msg.dwMsgSeq;
        datagram.Type = msg.dwMsgType;
        {
            std::lock_guard lock(lock_);
            clientAddress_ = result.FromAddress;
            clientPort_ = result.FromPort;
            received_.push_back(datagram);
            ++counts_[datagram.Type];
        }
        arrived_.notify_all();
        Handle(datagram);
    }
}

void ApiTestServer::Handle(const TReceivedDatagram& datagram)
{
    if (datagram.Type == KovraMsg::ACK || datagram.Type == KovraMsg::DISCONNECT)
        return;
    if (!Acknowledge)
        return;
    SendRaw(TKovraAPIMsg(KovraMsg::ACK, datagram.Seq).Bytes());
    if (datagram.Type == KovraMsg::LOGIN_REQ) {
        if (!AnswerLogin)
            return;
        // A new log-in starts the server's numbering again, as the client's does.
        sendSeq_ = 0;
        {
            std::lock_guard lock(lock_);
            answered_.clear();
        }
        TMsgBuilder rsp = Response(KovraMsg::LOGIN_RSP, LoginError);
        {
            std::lock_guard lock(lock_);
            rsp.Str(apiVersion_).Str(serverVersion_);
        }
        Send(rsp);
        return;
    }
    Answer answer;
    {
        std::lock_guard lock(lock_);
        // A retransmission is acknowledged again but answered once.
        if (!answered_.insert(datagram.Seq).second)
            return;
        const auto found = answers_.find(datagram.Type);
        if (found != answers_.end())
            answer = found->second;
    }
    if (answer)
        answer(*this, datagram);
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
