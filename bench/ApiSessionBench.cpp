// How fast call connection events reach OnCallConnection through the whole session (worker,
// acknowledgement, main loop, decoding), against a bare socket that only acknowledges the same
// datagrams: events per second, and the server's wait from each event to its ACK (median). The
// server side sends each event once the previous one is acknowledged, as the protocol requires.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "api/KovraAPIConsts.h"
#include "api/KovraUDPApi.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/UdpSocket.h"

#include "LoopbackServer.h"

using namespace api;

namespace {

TKovraAPIMsg CallConnectionEvent()
{
    TKovraAPIMsg event(KovraMsg::CALL_CONNECTION_EVENT, 0);
    event.WriteInt32(5);
    event.WriteStr("SIP/100");
    event.WriteOid("0123456789ABCDEF01234567");
    event.WriteInt32(3);
    event.WriteInt32(22);
    event.WriteInt32(1700000000);
    event.WriteInt32(2);
    for (const char* number : {"100", "555"}) {
        event.WriteInt32(1700000000);
        event.WriteStr(number);
        event.WriteStr("Party");
        event.WriteInt32(1);
        event.WriteInt32(2);
    }
    event.WriteOid("00000000000000000000000A");
    return event;
}

// Bursts of call events, each one's wait for its ACK noted.
class BurstPeer : public LoopbackServer {
public:
    void Burst(int count)
    {
        TKovraAPIMsg event = CallConnectionEvent();
        waits_.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const auto sent = std::chrono::steady_clock::now();
            Exchange(event);
            waits_.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sent).count());
        }
    }

    // Microseconds from an event's send to its ACK at a quantile of the last burst (0.5: median).
    double AckWait(double quantile)
    {
        if (waits_.empty())
            return 0;
        const auto index = std::min(waits_.size() - 1,
                                    static_cast<std::size_t>(quantile * static_cast<double>(waits_.size())));
        auto at = waits_.begin() + static_cast<std::ptrdiff_t>(index);
        std::nth_element(waits_.begin(), at, waits_.end());
        return *at;
    }

private:
    std::vector<double> waits_;
};

// The rate follows the tail of the ACK waits as much as their median, so the tail is shown too.
struct Run {
    double Seconds = 0;
    double MedianAckMicros = 0;
    double P90AckMicros = 0;
    double P99AckMicros = 0;
};

Run Measured(double seconds, BurstPeer& peer)
{
    return {seconds, peer.AckWait(0.5), peer.AckWait(0.9), peer.AckWait(0.99)};
}

// count events through the session to OnCallConnection.
Run ThroughSession(int count)
{
    BurstPeer peer;
    TKovraAPI api;
    api.SetLocalAddress("127.0.0.1");
    api.SetPort(0);
    api.SetServerPort(peer.Port());
    api.AddServer("127.0.0.1");
    api.SetActive(true);
    std::thread accept([&] { peer.Accept(); });
    const bool connected = api.Connect();
    accept.join();
    if (!connected)
        throw std::runtime_error("no log-in");

    int raised = 0;
    api.OnCallConnection = [&](TKovraAPI&, std::uint32_t, const std::string&, const std::string&,
                               const std::string&, std::uint32_t, std::uint32_t, TKovraDateTime, int,
                               const std::vector<TKovraCallConnection>& connections) {
        benchmark::DoNotOptimize(connections.data());
        ++raised;
    };
    const std::uint64_t start = platform::TickCount();
    std::thread burst([&] { peer.Burst(count); });
    while (raised < count)
        platform::ProcessMessages(10);
    const std::uint64_t elapsed = platform::TickCount() - start;
    burst.join();
    api.OnCallConnection = nullptr;
    return Measured(static_cast<double>(elapsed) / 1000.0, peer);
}

// count events received and acknowledged by a bare socket.
Run ThroughBareSocket(int count)
{
    BurstPeer peer;
    platform::UdpSocket client;
    client.Bind(0, "127.0.0.1");
    const TKovraAPIMsg hello(KovraMsg::PING, 0);
    client.SendTo(hello.Data(), hello.Size(), "127.0.0.1", peer.Port());
    peer.Accept();

    std::uint8_t buffer[KOVRA_MAX_DATAGRAM];
    const std::uint64_t start = platform::TickCount();
    std::thread burst([&] { peer.Burst(count); });
    for (int received = 0; received < count;) {
        const platform::ReceiveResult in = client.ReceiveFrom(buffer, sizeof buffer, 1000);
        if (in.Bytes < TKovraAPIMsg::kHeaderSize)
            continue;
        TKovraAPIMsg msg;
        msg.Decode(buffer, in.Bytes);
        const TKovraAPIMsg ack(KovraMsg::ACK, msg.dwMsgSeq);
        client.SendTo(ack.Data(), ack.Size(), in.FromAddress, in.FromPort);
        ++received;
    }
    const std::uint64_t elapsed = platform::TickCount() - start;
    burst.join();
    return Measured(static_cast<double>(elapsed) / 1000.0, peer);
}

void BM_CallConnectionBurst(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    Run session, bare;
    for (auto _ : state) {
        session = ThroughSession(count);
        bare = ThroughBareSocket(count);
    }
    const double sessionRate = count / std::max(session.Seconds, 0.001);
    const double bareRate = count / std::max(bare.Seconds, 0.001);
    state.counters["session_events_per_s"] = sessionRate;
    state.counters["bare_events_per_s"] = bareRate;
    state.counters["session_to_bare"] = sessionRate / bareRate;
    state.counters["session_ack_p50_us"] = session.MedianAckMicros;
    state.counters["bare_ack_p50_us"] = bare.MedianAckMicros;
    state.counters["session_ack_p90_us"] = session.P90AckMicros;
    state.counters["bare_ack_p90_us"] = bare.P90AckMicros;
    state.counters["session_ack_p99_us"] = session.P99AckMicros;
    state.counters["bare_ack_p99_us"] = bare.P99AckMicros;
    state.counters["ack_p50_ratio"] = session.MedianAckMicros / std::max(bare.MedianAckMicros, 0.001);
}

BENCHMARK(BM_CallConnectionBurst)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    platform::InitMainThread();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
