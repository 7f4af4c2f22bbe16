#include "ApiTestServer.h"

#include <stdexcept>

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

TKovraAPIMsg TReceivedDatagram::Message() const
{
    TKovraAPIMsg msg;
    msg.Decode(Bytes.data(), Bytes.size());
    return msg;
}

ApiTestServer::ApiTestServer()
{
    if (socket_.Bind(0, Address()) != platform::kSocketOk)
        throw std::runtime_error("the test server cannot bind a loopback port");
    port_ = socket_.LocalPort();
    thread_ = std::thread([this] { Run(); });
}

ApiTestServer::~ApiTestServer()
{
    stop_ = true;
    thread_.join();
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

TKovraAPIMsg ApiTestServer::Response(std::uint32_t type, std::uint32_t error) const
{
    TKovraAPIMsg msg(type, 0);
    msg.WriteInt32(InvokeID);
    msg.WriteInt32(error);
    return msg;
}

TKovraAPIMsg ApiTestServer::Event(std::uint32_t type)
{
    return TKovraAPIMsg(type, 0);
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
    return ReceivedOfType(type).size();
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
        }
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
        TKovraAPIMsg rsp = Response(KovraMsg::LOGIN_RSP, LoginError);
        {
            std::lock_guard lock(lock_);
            rsp.WriteStr(apiVersion_);
            rsp.WriteStr(serverVersion_);
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

bool PumpUntil(const std::function<bool()>& done, unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (!done()) {
        if (platform::TickCount() >= until)
            return false;
        platform::ProcessMessages(10);
    }
    return true;
}

void PumpFor(unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (platform::TickCount() < until)
        platform::ProcessMessages(10);
}
