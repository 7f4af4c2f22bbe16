// How the main thread's cost grows with the work: a call event and an update of the window with
// 1, 50 and 500 calls listed; a meet-me party list of 4,096 parties assembled from its fragments
// and shown; the options window opened over a few thousand forward-list entries and reminders;
// the call history loaded from a document holding 100,000 entries and added to when full.
//
// The windows are the headless toolkit's, with one change: a combo box or list view copies all
// its rows whenever its rows change, as those native controls are refilled (the Windows peers
// empty the control and add every row again), so a list filled one row at a time grows here as it
// grows there (each row costs far less here). List boxes are painted from the model's rows and
// copy nothing. Times are the main thread's processor time (the
// process's for the Google Benchmark loops, whose work is all on the main thread): on a shared
// machine the wall clock also counts the waits for a processor. Each figure has its baseline
// measured in the same process (see docs/performance.md).

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "AppTestSupport.h"
#include "LoopbackServer.h"
#include "api/KovraAPIConsts.h"
#include "api/KovraConnectionMngr.h"
#include "api/KovraUDPApi.h"
#include "app/CallHistory.h"
#include "dialogs/DialogLists.h"
#include "dialogs/MSNConferenceList.h"
#include "options/MSNOptions.h"
#include "options/MSNOptionsLists.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/UdpSocket.h"
#include "settings/Csv.h"
#include "settings/MSNConfig.h"
#include "settings/csvprop.h"
#include "settings/csvstr.h"
#include "ui/UnicodeCtrls.h"

using namespace api;
using namespace app;

namespace {

// ---- The toolkit: headless, with list controls refilled on every change of their rows.

class RefillingPeer : public ui::IControlPeer {
public:
    RefillingPeer(ui::TControl& control, std::unique_ptr<ui::IControlPeer> inner)
        : control_(control), inner_(std::move(inner))
    {
    }
    void Changed(ui::TChange what) override
    {
        inner_->Changed(what);
        if (what == ui::TChange::Items)
            Refill();
    }
    void Invalidate() override { inner_->Invalidate(); }
    void Repaint() override { inner_->Repaint(); }
    void SetFocus() override { inner_->SetFocus(); }
    bool Focused() const override { return inner_->Focused(); }

    static inline std::uint64_t rowsCopied = 0;

private:
    void Refill()
    {
        shown_.clear();
        if (auto* combo = dynamic_cast<ui::TUnicodeComboBox*>(&control_)) {
            for (int i = 0; i < combo->Items().Count(); ++i)
                shown_.push_back(combo->Items().Strings(i));
        } else if (auto* view = dynamic_cast<ui::TListView*>(&control_)) {
            const int columns = std::max(1, static_cast<int>(view->Columns().size()));
            for (int r = 0; r < view->ItemCount(); ++r)
                for (int c = 0; c < columns; ++c)
                    shown_.push_back(view->CellText(r, c));
        }
        rowsCopied += shown_.size();
    }

    ui::TControl& control_;
    std::unique_ptr<ui::IControlPeer> inner_;
    std::vector<std::string> shown_;
};

class RefillingBackend : public ui::headless::HeadlessBackend {
public:
    std::unique_ptr<ui::IControlPeer> CreatePeer(ui::TControl& control) override
    {
        return std::make_unique<RefillingPeer>(control, HeadlessBackend::CreatePeer(control));
    }
};

void InstallToolkit()
{
    gHeadlessBackend = false; // AppTest would install the plain headless back end
    // KOVRA_BENCH_PLAIN_LISTS=1: lists that cost nothing to change, to see what the refills add.
    if (std::getenv("KOVRA_BENCH_PLAIN_LISTS"))
        ui::headless::Install();
    else
        ui::SetBackend(std::make_unique<RefillingBackend>());
}

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string Oid(std::uint64_t n)
{
    char text[32];
    std::snprintf(text, sizeof text, "%024llX", static_cast<unsigned long long>(n));
    return text;
}

std::string Number(std::uint64_t n)
{
    return "425555" + std::to_string(1000000 + n % 9000000);
}

// ---- The call list (rows 8-10).

// Installed before the window is built: its controls get their peers when it is shown.
struct Toolkit {
    Toolkit() { InstallToolkit(); }
};

// The window with calls - 1 calls listed, each rung, answered and held (a held call's pop-up has
// closed).
struct CallList {
    explicit CallList(int calls)
    {
        for (int i = 1; i < calls; ++i) {
            const std::string oid = Oid(next), number = Number(next++);
            for (int step = 0; step < 3; ++step) {
                step == 0   ? app.Ring(oid, number)
                : step == 1 ? app.Answer(oid, number)
                            : app.Hold(oid, number);
                platform::ProcessMessages(0);
            }
        }
        if (app.form->lbCalls->Items().Count() != calls - 1 ||
            app.form->HeldCalls().size() != std::size_t(calls - 1))
            throw std::runtime_error("the held calls are not listed");
    }
    ~CallList() { settings::KovraAssistantConfig().EraseSection(TCallHistory::kSection); }
    Toolkit toolkit;
    AppTest app;
    std::uint64_t next = 1;
};

// A new call rings, is answered and hangs up beside the others: three events, each with the
// loop's posted work run after it.
void BM_CallEvent(benchmark::State& state)
{
    CallList list(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::string oid = Oid(list.next), number = Number(list.next++);
        list.app.Ring(oid, number);
        platform::ProcessMessages(0);
        list.app.Answer(oid, number);
        platform::ProcessMessages(0);
        list.app.Event(oid, ceCleared, {Party("1001", csGone), Party(number, csGone)});
        platform::ProcessMessages(0);
    }
    state.SetItemsProcessed(state.iterations() * 3);
}

// The window brought up to date with the newest call ringing and selected.
void BM_UpdateControls(benchmark::State& state)
{
    CallList list(static_cast<int>(state.range(0)));
    const std::string oid = Oid(list.next), number = Number(list.next++);
    list.app.Ring(oid, number);
    platform::ProcessMessages(0);
    const TCallInfo* selected = list.app.form->SelectedCall();
    if (!selected || selected->CallId != oid || list.app.form->lbCalls->Items().Count() != state.range(0))
        throw std::runtime_error("the calls are not listed");
    for (auto _ : state)
        list.app.form->UpdateControls();
}

// ---- A meet-me party list in fragments (row 11).

constexpr std::uint32_t kParties = KOVRA_MEETME_MAX_PARTIES;
constexpr std::uint32_t kConference = 77;

// The list as the server sends it: fragments as full as a datagram allows.
std::vector<TKovraAPIMsg> MeetmeFragments()
{
    std::vector<TKovraAPIMsg> fragments;
    std::uint32_t first = 0;
    const std::size_t partyBytes = 12 + 4 + (4 + 13) + (4 + 12) + 4; // oid, time, number, name, state
    const std::size_t perFragment = (KOVRA_MAX_DATAGRAM - 96) / partyBytes;
    while (first < kParties) {
        const std::uint32_t last = std::min<std::uint32_t>(kParties, first + perFragment) - 1;
        TKovraAPIMsg event(KovraMsg::MEETME_CONFERENCE_EVENT, 0);
        event.WriteInt32(kConference);
        event.WriteOid(Oid(kConference));
        event.WriteInt32(2);
        event.WriteInt32(1700000000);
        event.WriteInt32(kParties);
        event.WriteInt32(first);
        event.WriteInt32(last);
        event.WriteInt32(last + 1 < kParties ? 1 : 0);
        for (std::uint32_t i = first; i <= last; ++i) {
            event.WriteOid(Oid(100000 + i));
            event.WriteInt32(1700000000);
            event.WriteStr(Number(i));
            event.WriteStr("Guest " + std::to_string(100000 + i));
            event.WriteInt32(2);
        }
        fragments.push_back(std::move(event));
        first = last + 1;
    }
    return fragments;
}

// Sends messages stop-and-wait, as the server does.
class Peer : public LoopbackServer {
public:
    void Send(std::vector<TKovraAPIMsg> messages)
    {
        for (TKovraAPIMsg& msg : messages)
            Exchange(msg);
    }
};

// The parties shown: the conference list the user removes a guest from.
void ShowParties(const std::vector<dialogs::TConferenceGuest>& guests)
{
    dialogs::TfmConferenceList list(nullptr);
    list.FillGuests(guests);
    benchmark::DoNotOptimize(list.lbConfMembers->Items().Count());
}

// Main-thread CPU milliseconds from the first fragment to the list shown, through the session.
double MeetmeThroughSession()
{
    Peer peer;
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
    std::size_t shown = 0;
    api.OnMeetmeConnections = [&](TKovraAPI&, std::uint32_t, const std::string&, std::uint32_t,
                                  TKovraDateTime, int,
                                  const std::vector<TKovraMeetmeCallConnection>& parties) {
        std::vector<dialogs::TConferenceGuest> guests;
        guests.reserve(parties.size());
        for (const TKovraMeetmeCallConnection& party : parties)
            guests.push_back({party.PartyName, party.PartyNumber});
        ShowParties(guests);
        shown = guests.size();
    };
    std::vector<TKovraAPIMsg> fragments = MeetmeFragments();
    const double start = ThreadCpuMs();
    std::thread send([&] { peer.Send(std::move(fragments)); });
    const std::uint64_t until = platform::TickCount() + 20000;
    while (shown == 0 && platform::TickCount() < until)
        platform::ProcessMessages(10);
    const double spent = ThreadCpuMs() - start;
    send.join();
    api.OnMeetmeConnections = nullptr;
    if (shown != kParties)
        throw std::runtime_error("the meet-me list did not arrive whole");
    return spent;
}

// The same fragments received by a bare socket, acknowledged and read party by party into one
// list, shown in a list control with one change of its rows.
double MeetmeThroughBareSocket()
{
    Peer peer;
    platform::UdpSocket client;
    client.Bind(0, "127.0.0.1");
    const TKovraAPIMsg hello(KovraMsg::PING, 0);
    client.SendTo(hello.Data(), hello.Size(), "127.0.0.1", peer.Port());
    peer.Accept();
    std::vector<TKovraAPIMsg> fragments = MeetmeFragments();
    const std::size_t count = fragments.size();
    std::uint8_t buffer[KOVRA_MAX_DATAGRAM];
    const double start = ThreadCpuMs();
    std::thread send([&] { peer.Send(std::move(fragments)); });
    std::vector<dialogs::TConferenceGuest> guests;
    for (std::size_t received = 0; received < count;) {
        const platform::ReceiveResult in = client.ReceiveFrom(buffer, sizeof buffer, 1000);
        if (in.Bytes < TKovraAPIMsg::kHeaderSize)
            continue;
        TKovraAPIMsg msg;
        msg.Decode(buffer, in.Bytes);
        const TKovraAPIMsg ack(KovraMsg::ACK, msg.dwMsgSeq);
        client.SendTo(ack.Data(), ack.Size(), in.FromAddress, in.FromPort);
        for (int skip = 0; skip < 4; ++skip)
            msg.ReadInt32();
        msg.ReadOid();
        msg.ReadInt32();
        msg.ReadInt32();
        const std::uint32_t first = msg.ReadInt32(), last = msg.ReadInt32();
        msg.ReadInt32();
        for (std::uint32_t i = first; i <= last && msg.Remaining() > 0; ++i) {
            msg.ReadOid();
            msg.ReadTime();
            std::string number = msg.ReadStr();
            std::string name = msg.ReadStr();
            msg.ReadInt32();
            guests.push_back({std::move(name), std::move(number)});
        }
        ++received;
    }
    std::vector<std::string> rows;
    rows.reserve(guests.size());
    for (const auto& guest : guests)
        rows.push_back(guest.Name + "\t" + guest.Number);
    dialogs::TfmConferenceList list(nullptr);
    list.lbConfMembers->Items().Assign(rows);
    const double spent = ThreadCpuMs() - start;
    send.join();
    return spent;
}

void BM_MeetmeList(benchmark::State& state)
{
    InstallToolkit();
    double session = 0, bare = 0;
    for (auto _ : state) {
        session = MeetmeThroughSession();
        bare = MeetmeThroughBareSocket();
    }
    state.counters["session_ms"] = session;
    state.counters["bare_ms"] = bare;
    state.counters["fragments"] = static_cast<double>(MeetmeFragments().size());
}

// ---- The options window over long lists (rows 12-15).

// The settings document with entries forward-list entries and as many reminders (each due an
// hour after the clock's start), each section written as the program writes it.
void FillDocument(int entries, platform::TDateTime now)
{
    settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig();
    settings::TCsvString forwards, reminders;
    const std::uint32_t due = dialogs::DateTimeToDos(now + 1.0 / 24);
    for (int i = 0; i < entries; ++i) {
        forwards.Add(Number(static_cast<std::uint64_t>(i)) + "=Forward " + std::to_string(i));
        settings::TCsv fields;
        fields.AddField("Reminder " + std::to_string(i));
        fields.AddField(Number(static_cast<std::uint64_t>(i) + 500000));
        fields.AddField(std::to_string(due));
        fields.AddField(i % 2);
        reminders.Add(std::to_string(i) + "=" + fields.Line());
    }
    settings::TCsvProperties top({}, settings::TCsvProperties::NameEqualsValue,
                                 settings::TKovraAssistantConfig::kSectionQuote, false);
    if (entries) {
        top.SetValue("Forward", forwards.Text());
        top.SetValue("Call Later", reminders.Text());
    }
    config.SetText(top.Text());
}

// The main thread's processor time since start (ThreadCpuMs): on the shared machine the wall
// clock also counts the waits for a processor.
double MsSince(double start)
{
    return ThreadCpuMs() - start;
}

// The window opened as the program opens it (lists read and filled, then shown), each page shown
// in turn (the slowest is reported), the settings read again while it is open (each log-in), and
// one second of the reminders' count-down (every row's text changes).
void BM_OptionsWindow(benchmark::State& state)
{
    InstallToolkit();
    const int entries = static_cast<int>(state.range(0));
    platform::TDateTime now = 46000.5;
    FillDocument(entries, now);
    double open = 0, slowestPage = 0, reload = 0, tick = 0;
    for (auto _ : state) {
        options::TOptionsLists lists(settings::KovraAssistantConfig(), [&] { return now; });
        double start = ThreadCpuMs();
        options::TfmOptions window(nullptr, lists);
        window.Initialise(0xFFFFFFFFu);
        window.ShowPage(options::opConnection);
        window.ShowForm();
        open = MsSince(start);
        slowestPage = 0;
        for (int page = options::opConnection; page <= options::opHistory; ++page) {
            start = ThreadCpuMs();
            window.ShowPage(page);
            slowestPage = std::max(slowestPage, MsSince(start));
        }
        start = ThreadCpuMs();
        window.ReloadSettings();
        reload = MsSince(start);
        now += 1.0 / 86400;
        start = ThreadCpuMs();
        window.CountDownTick();
        tick = MsSince(start);
        if (static_cast<int>(lists.Forwards().size()) != entries ||
            static_cast<int>(lists.Reminders().size()) != entries)
            throw std::runtime_error("the lists were not read whole");
    }
    state.counters["open_ms"] = open;
    state.counters["slowest_page_ms"] = slowestPage;
    state.counters["reload_ms"] = reload;
    state.counters["tick_ms"] = tick;
    settings::KovraAssistantConfig().SetText({});
}

// ---- The call history (rows 16-17).

// A document whose history section holds entries calls.
std::string HistoryDocument(int entries)
{
    settings::TCsvString section;
    for (int i = 0; i < entries; ++i)
        section.Add("Call" + std::to_string(i + 1) + "=" + (i % 3 ? "in" : "out") + "\t" +
                    std::to_string(1700000000 - i) + "\t" + std::to_string(i % 300) + "\t" +
                    (i % 3 == 1 ? "0" : "1") + "\t" + Number(static_cast<std::uint64_t>(i)) + "\tCaller " +
                    std::to_string(i));
    section.Add("Unseen=3");
    settings::TCsvProperties top({}, settings::TCsvProperties::NameEqualsValue,
                                 settings::TKovraAssistantConfig::kSectionQuote, false);
    top.SetValue(TCallHistory::kSection, section.Text());
    return top.Text();
}

void BM_HistoryLoad(benchmark::State& state)
{
    settings::TKovraAssistantConfig config;
    config.SetText(HistoryDocument(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        TCallHistory history;
        history.Load(config);
        if (history.Calls().size() != std::min<std::size_t>(TCallHistory::kLimit, state.range(0)))
            throw std::runtime_error("the history was not read");
        benchmark::DoNotOptimize(history.Calls().data());
    }
}

// The least any reader of the document does with the same section: its names read once.
void BM_HistorySectionNames(benchmark::State& state)
{
    settings::TKovraAssistantConfig config;
    config.SetText(HistoryDocument(static_cast<int>(state.range(0))));
    std::vector<std::string> names;
    for (auto _ : state) {
        config.ReadSection(TCallHistory::kSection, names);
        benchmark::DoNotOptimize(names.data());
    }
}

// A call added to the history and the history stored, as each finished call is: with the history
// full, and (the baseline) empty before each call.
void BM_HistoryAdd(benchmark::State& state)
{
    settings::TKovraAssistantConfig config;
    config.SetText(HistoryDocument(static_cast<int>(state.range(0))));
    TCallHistory history;
    history.Load(config);
    TCallRecord call;
    call.Incoming = true;
    call.Number = "4255550123";
    call.Name = "Dana";
    for (auto _ : state) {
        ++call.Start;
        history.Add(call);
        history.Save(config);
        if (state.range(0) == 0)
            history.DropOldest();
    }
}

BENCHMARK(BM_CallEvent)->Arg(1)->Arg(50)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateControls)->Arg(1)->Arg(50)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MeetmeList)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptionsWindow)->Arg(0)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryLoad)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistorySectionNames)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistoryAdd)->Arg(0)->Arg(100)->Unit(benchmark::kMicrosecond);

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
