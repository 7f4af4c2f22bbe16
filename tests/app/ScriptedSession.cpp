#include "ScriptedSession.h"

#include <set>

#include <gtest/gtest.h>

using namespace api;
using namespace app;

ScriptedSession::ScriptedSession(std::uint32_t caps, std::vector<std::string> extra,
                                 std::shared_ptr<IMessengerLink> messenger, std::shared_ptr<IDesktop> desktop)
    : capabilities(caps)
{
    server.OnRequest(KovraMsg::MONITOR_START_REQ, [this](ApiTestServer& s, const TReceivedDatagram&) {
        ++monitorStarts;
        s.Send(s.Response(KovraMsg::MONITOR_START_RSP, loginError).Int(5).Str("1001").Int(1));
    });
    server.OnRequest(KovraMsg::MONITOR_STOP_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::MONITOR_STOP_RSP, 0));
    });
    server.OnRequest(KovraMsg::GET_APPLICATION_DATA_REQ, [this](ApiTestServer& s, const TReceivedDatagram&) {
        std::lock_guard<std::mutex> guard(lock);
        s.Send(s.Response(KovraMsg::GET_APPLICATION_DATA_RSP, 0).Str("KovraAssistant").Str(storedSettings));
    });
    server.OnRequest(KovraMsg::SET_APPLICATION_DATA_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::SET_APPLICATION_DATA_RSP, 0));
    });
    server.OnRequest(KovraMsg::QUERY_PHONE_STATE_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::QUERY_PHONE_STATE_RSP, 0));
        // In service, not DoNotDisturb, two voice mails, not forwarded.
        TMsgBuilder state = ApiTestServer::Event(KovraMsg::PHONE_STATE_EVENT);
        s.Send(
            state.Int(5).Str("1001").Int(2).Int(0).Bool(true).Bool(false).Int(2).Bool(false).Bool(false).Bool(
                false));
    });
    server.OnRequest(KovraMsg::QUERY_PHONE_CONFIG_REQ, [this](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::QUERY_PHONE_CONFIG_RSP, 0).Str("config").Int(0).Int(0).Int(capabilities));
    });
    std::vector<std::string> params{"-phone", "1001", "-pwd", "secret", "-server", "127.0.0.1"};
    params.insert(params.end(), extra.begin(), extra.end());
    const std::uint16_t port = server.Port();
    app = std::make_unique<AppTest>(params, [port, messenger, desktop](TAssistantOptions& options) {
        if (messenger)
            options.Services.Messenger = messenger;
        if (desktop)
            options.Services.Desktop = desktop;
        options.Network.LocalPort = 0;
        options.Network.LocalAddress = "127.0.0.1";
        options.Network.ServerPort = port;
        // The session keeps its real answer waits (a busy machine under Wine answers late, not
        // wrongly); the waits that always run out (stopping the threads, a DISCONNECT the
        // scripted server never acknowledges) are short, and a lost datagram is sent again soon.
        TKovraAPITimings timings;
        timings.DisconnectWait = 250;
        timings.LoginWait = 800; // also waited in full whenever a connected session is stopped
        timings.Exchange = TKovraTimings::ScaledDown(20);
        timings.Exchange.AckWait = 1000;
        options.Network.ApiTimings = timings;
    });
}

bool ScriptedSession::WaitFor(const std::function<bool()>& done, unsigned ms)
{
    return PumpUntil(done, ms);
}

bool ScriptedSession::LogIn()
{
    app->form->StartSession();
    const bool done = WaitFor([this] { return StartupInfo().LoggedIn && app->form->SettingsLoaded(); });
    if (!done)
        ADD_FAILURE() << "status \"" << app->form->pnStatus->Caption() << "\", logged in "
                      << StartupInfo().LoggedIn << ", settings " << app->form->SettingsLoaded()
                      << ", monitor starts " << monitorStarts;
    return done;
}

namespace {

// A retransmission repeats the bytes of its message, sequence number included. (Two identical
// requests of two sessions look alike too; tests that need those count answers instead.)
std::vector<TReceivedDatagram> Distinct(const std::vector<TReceivedDatagram>& datagrams)
{
    std::vector<TReceivedDatagram> distinct;
    std::set<std::vector<std::uint8_t>> seen;
    for (const auto& datagram : datagrams)
        if (seen.insert(datagram.Bytes).second)
            distinct.push_back(datagram);
    return distinct;
}

} // namespace

std::size_t ScriptedSession::Count(std::uint32_t type) const
{
    return Distinct(server.ReceivedOfType(type)).size();
}

std::size_t ScriptedSession::CountWhenAtLeast(std::uint32_t type, std::size_t atLeast)
{
    WaitFor([&] { return Count(type) >= atLeast; });
    return Count(type);
}

std::vector<TKovraAPIMsg> ScriptedSession::Requests(std::uint32_t type) const
{
    std::vector<TKovraAPIMsg> bodies;
    for (const auto& datagram : Distinct(server.ReceivedOfType(type))) {
        TKovraAPIMsg msg = datagram.Message();
        msg.ReadInt32();
        msg.ReadStr();
        bodies.push_back(msg);
    }
    return bodies;
}

std::vector<std::string> ScriptedSession::RequestDevices(std::uint32_t type) const
{
    std::vector<std::string> devices;
    for (const auto& datagram : Distinct(server.ReceivedOfType(type))) {
        TKovraAPIMsg msg = datagram.Message();
        msg.ReadInt32();
        devices.push_back(msg.ReadStr());
    }
    return devices;
}

void ScriptedSession::SendCallEvent(const std::string& oid, std::uint32_t dwEvent,
                                    const std::vector<TKovraCallConnection>& parties,
                                    const std::string& related)
{
    const auto count = static_cast<std::uint32_t>(parties.size());
    TMsgBuilder msg = ApiTestServer::Event(KovraMsg::CALL_CONNECTION_EVENT);
    msg.Int(5).Str("1001").Oid(oid).Int(dwEvent).Int(0).Int(0).Int(count);
    for (const auto& p : parties)
        msg.Int(0).Str(p.PartyNumber).Str(p.PartyName).Int(p.PartyState).Int(p.PartyConnState);
    server.Send(msg.Oid(related));
}
