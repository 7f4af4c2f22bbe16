// Codec throughput for a call connection event with three parties, and the round trip of one
// request through the connection manager against the same datagrams exchanged on bare sockets.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "api/KovraAPIConsts.h"
#include "api/KovraConnectionMngr.h"
#include "platform/MainLoop.h"
#include "platform/UdpSocket.h"

using namespace api;

namespace {

void WriteCallConnectionEvent(TKovraAPIMsg& msg)
{
    msg.WriteInt32(7);
    msg.WriteStr("201");
    msg.WriteOid("0123456789ABCDEF01234567");
    msg.WriteInt32(2);
    msg.WriteInt32(0);
    msg.WriteInt32(1765000000);
    msg.WriteInt32(3);
    const char* numbers[] = {"201", "5551234567", "202"};
    const char* names[] = {"Alice Example", "Outside Caller", "Bob Example"};
    for (int i = 0; i < 3; ++i) {
        msg.WriteInt32(1765000000);
        msg.WriteStr(numbers[i]);
        msg.WriteStr(names[i]);
        msg.WriteInt32(1);
        msg.WriteInt32(4);
    }
    msg.WriteOid("000000000000000000000000");
}

void BM_EncodeCallConnectionEvent(benchmark::State& state)
{
    for (auto _ : state) {
        TKovraAPIMsg msg(KovraMsg::CALL_CONNECTION_EVENT, 5);
        WriteCallConnectionEvent(msg);
        benchmark::DoNotOptimize(msg.Data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeCallConnectionEvent);

struct Party {
    double Time;
    std::string Number, Name;
    std::uint32_t State, ConnState;
};

void BM_DecodeCallConnectionEvent(benchmark::State& state)
{
    TKovraAPIMsg wire(KovraMsg::CALL_CONNECTION_EVENT, 5);
    WriteCallConnectionEvent(wire);
    std::vector<Party> parties;
    for (auto _ : state) {
        TKovraAPIMsg msg;
        msg.Decode(wire.Data(), wire.Size());
        benchmark::DoNotOptimize(msg.ReadInt32());
        std::string device = msg.ReadStr();
        std::string call = msg.ReadOid();
        benchmark::DoNotOptimize(msg.ReadInt32());
        benchmark::DoNotOptimize(msg.ReadInt32());
        benchmark::DoNotOptimize(msg.ReadTime());
        const std::uint32_t count = msg.ReadInt32();
        parties.clear();
        for (std::uint32_t i = 0; i < count && msg.Remaining() >= 20; ++i) {
            Party p;
            p.Time = msg.ReadTime();
            p.Number = msg.ReadStr();
            p.Name = msg.ReadStr();
            p.State = msg.ReadInt32();
            p.ConnState = msg.ReadInt32();
            parties.push_back(std::move(p));
        }
        std::string related = msg.ReadOid();
        benchmark::DoNotOptimize(related.data());
        benchmark::DoNotOptimize(device.data());
        benchmark::DoNotOptimize(call.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeCallConnectionEvent);

// A server thread that acknowledges every numbered datagram and answers every request.
class EchoServer {
public:
    EchoServer()
    {
        socket_.Bind(0, "127.0.0.1");
        thread_ = std::thread([this] { Run(); });
    }
    ~EchoServer()
    {
        stop_ = true;
        thread_.join();
    }
    std::uint16_t Port() const { return socket_.LocalPort(); }

private:
    void Run()
    {
        std::vector<std::uint8_t> buffer(4096);
        std::uint32_t nextSeq = 0;
        while (!stop_) {
            const platform::ReceiveResult r = socket_.ReceiveFrom(buffer.data(), buffer.size(), 20);
            if (r.Bytes < 8)
                continue;
            TKovraAPIMsg in;
            in.Decode(buffer.data(), r.Bytes);
            if (in.dwMsgType == KovraMsg::ACK)
                continue;
            Reply(TKovraAPIMsg(KovraMsg::ACK, in.dwMsgSeq), r);
            TKovraAPIMsg out(in.dwMsgType + 1, nextSeq++);
            out.WriteInt32(0);
            out.WriteInt32(0);
            if (in.dwMsgType == KovraMsg::LOGIN_REQ) {
                out.WriteStr("2.3");
                out.WriteStr("bench");
            }
            Reply(out, r);
        }
    }
    void Reply(const TKovraAPIMsg& msg, const platform::ReceiveResult& to)
    {
        socket_.SendTo(msg.Data(), msg.Size(), to.FromAddress, to.FromPort);
    }

    platform::UdpSocket socket_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class BenchOwner : public IKovraConnectionOwner {
public:
    std::atomic<bool> IsConnected{false};
    std::uint64_t Dispatched = 0;
    std::vector<std::string> ServerList() const override { return {"127.0.0.1"}; }
    std::string ActiveServerAddress() const override { return "127.0.0.1"; }
    void SetActiveServerIndex(int) override {}
    std::uint32_t InvokeID() const override { return 0; }
    std::string ClientName() const override { return "bench"; }
    std::string ClientVersion() const override { return "1"; }
    bool Connected() const override { return IsConnected; }
    void SendHook(const TKovraAPIMsg&) override {}
    void ReceiveHook(const TKovraAPIMsg&) override {}
    void LoginResult(std::uint32_t error, const std::string&, const std::string&) override
    {
        IsConnected = error == 0;
    }
    void DispatchMessage(TKovraAPIMsg&) override { ++Dispatched; }
    void Disconnect(bool) override { IsConnected = false; }
};

void BM_ManagerRoundTrip(benchmark::State& state)
{
    EchoServer server;
    BenchOwner owner;
    TKovraConnectionMngr manager(owner, 0, server.Port());
    if (!manager.OpenSession()) {
        state.SkipWithError("log-in failed");
        return;
    }
    while (!owner.IsConnected)
        platform::ProcessMessages(10);
    for (auto _ : state) {
        const std::uint64_t before = owner.Dispatched;
        auto request = std::make_unique<TKovraAPIMsg>(KovraMsg::HOLD_CALL_REQ, 0);
        request->WriteInt32(0);
        request->WriteStr("201");
        request->WriteOid("0123456789ABCDEF01234567");
        manager.Send(std::move(request));
        while (owner.Dispatched == before && owner.IsConnected)
            platform::ProcessMessages(50);
    }
    if (!owner.IsConnected)
        state.SkipWithError("session ended during the run");
}
BENCHMARK(BM_ManagerRoundTrip)->UseRealTime();

// The same request, acknowledgement and response on bare sockets, in one thread each side.
void BM_BareRoundTrip(benchmark::State& state)
{
    EchoServer server;
    platform::UdpSocket client;
    client.Bind(0, "127.0.0.1");
    std::vector<std::uint8_t> buffer(4096);
    std::uint32_t seq = 1;
    for (auto _ : state) {
        TKovraAPIMsg request(KovraMsg::HOLD_CALL_REQ, seq++);
        request.WriteInt32(0);
        request.WriteStr("201");
        request.WriteOid("0123456789ABCDEF01234567");
        client.SendTo(request.Data(), request.Size(), "127.0.0.1", server.Port());
        int replies = 0;
        while (replies < 2) {
            if (client.ReceiveFrom(buffer.data(), buffer.size(), 100).Bytes >= 8)
                ++replies;
        }
    }
}
BENCHMARK(BM_BareRoundTrip)->UseRealTime();

// Prints the figures the targets are stated in once the runs are done.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            nanoseconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto time = [this](const std::string& prefix) {
            for (const auto& [name, ns] : nanoseconds_)
                if (name.rfind(prefix, 0) == 0)
                    return ns;
            return 0.0;
        };
        const double decode = time("BM_DecodeCallConnectionEvent");
        const double manager = time("BM_ManagerRoundTrip");
        const double bare = time("BM_BareRoundTrip");
        if (decode > 0)
            std::printf("decode: %.2f million call connection events per second (target >= 2)\n",
                        1e3 / decode);
        if (manager > 0 && bare > 0)
            std::printf("round trip: manager %.1f us, bare sockets %.1f us, ratio %.2f (target <= 5)\n",
                        manager / 1e3, bare / 1e3, manager / bare);
    }

private:
    std::map<std::string, double> nanoseconds_;
};

} // namespace

int main(int argc, char** argv)
{
    platform::InitMainThread();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
