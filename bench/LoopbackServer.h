#pragma once
// The server side of the protocol benchmarks, on loopback.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "api/KovraAPIConsts.h"
#include "api/KovraAPIMsg.h"
#include "platform/Clock.h"
#include "platform/UdpSocket.h"

// The server side: one loopback socket that numbers its messages and waits for each ACK.
class LoopbackServer {
public:
    static constexpr unsigned kAckWait = 200; // ms before a message is sent again
    static constexpr unsigned kTries = 50;
    LoopbackServer()
    {
        if (socket_.Bind(0, "127.0.0.1") != platform::kSocketOk)
            throw std::runtime_error("cannot bind the peer");
    }
    std::uint16_t Port() const { return socket_.LocalPort(); }

    // Waits for the client's first datagram; a LOGIN_REQ gets its ACK and a LOGIN_RSP.
    void Accept()
    {
        for (;;) {
            const platform::ReceiveResult in = socket_.ReceiveFrom(buffer_, sizeof buffer_, 1000);
            if (in.Bytes < api::TKovraAPIMsg::kHeaderSize)
                continue;
            address_ = in.FromAddress;
            port_ = in.FromPort;
            api::TKovraAPIMsg msg;
            msg.Decode(buffer_, in.Bytes);
            if (msg.dwMsgType != api::KovraMsg::LOGIN_REQ)
                return;
            Acknowledge(msg.dwMsgSeq);
            api::TKovraAPIMsg rsp(api::KovraMsg::LOGIN_RSP, 0);
            rsp.WriteInt32(0);
            rsp.WriteInt32(0);
            rsp.WriteStr("2.3");
            rsp.WriteStr("bench");
            Exchange(rsp);
            return;
        }
    }

protected:
    void Acknowledge(std::uint32_t seq)
    {
        const api::TKovraAPIMsg ack(api::KovraMsg::ACK, seq);
        socket_.SendTo(ack.Data(), ack.Size(), address_, port_);
    }

    void Exchange(api::TKovraAPIMsg& msg)
    {
        msg.StampSequence(seq_);
        for (unsigned attempt = 0; attempt < kTries; ++attempt) {
            socket_.SendTo(msg.Data(), msg.Size(), address_, port_);
            const std::uint64_t until = platform::TickCount() + kAckWait;
            while (platform::TickCount() < until) {
                const platform::ReceiveResult in = socket_.ReceiveFrom(buffer_, sizeof buffer_, kAckWait);
                if (in.Bytes < api::TKovraAPIMsg::kHeaderSize)
                    continue;
                api::TKovraAPIMsg reply;
                reply.Decode(buffer_, in.Bytes);
                if (reply.dwMsgType == api::KovraMsg::ACK && reply.dwMsgSeq == seq_) {
                    ++seq_;
                    return;
                }
                if (reply.dwMsgType != api::KovraMsg::ACK && reply.dwMsgType != api::KovraMsg::DISCONNECT)
                    Acknowledge(reply.dwMsgSeq);
            }
        }
        throw std::runtime_error("the client stopped acknowledging");
    }

    platform::UdpSocket socket_;
    std::uint8_t buffer_[api::KOVRA_MAX_DATAGRAM];
    std::string address_;
    std::uint16_t port_ = 0;
    std::uint32_t seq_ = 0;
};
