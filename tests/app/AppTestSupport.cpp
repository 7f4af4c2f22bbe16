#include "AppTestSupport.h"

#include <algorithm>
#include <random>

#include "platform/MainLoop.h"
#include "settings/DialingRules.h"
#include "settings/MSNConfig.h"

using namespace api;
using namespace settings;
using namespace app;

TKovraCallConnection Party(const std::string& number, std::uint32_t connState, std::uint32_t partyState,
                           const std::string& name)
{
    TKovraCallConnection party;
    party.PartyNumber = number;
    party.PartyConnState = connState;
    party.PartyState = partyState;
    party.PartyName = name;
    return party;
}

bool gHeadlessBackend = true;

TAssistantTimings FastTimings()
{
    TAssistantTimings t;
    for (unsigned* value : {&t.InitApplication, &t.Reconnect, &t.UpdateControls, &t.UpdatePhoneState,
                            &t.CallDuration, &t.DontChange, &t.CleanError, &t.RestartWait, &t.MonitorStopWait,
                            &t.LogoutWait, &t.DisconnectWait, &t.MessengerRelease, &t.ForwardWait})
        *value = std::max(1u, *value / 100);
    t.WaitStep = 5;
    return t;
}

AppTest::AppTest(std::vector<std::string> parameters, std::function<void(TAssistantOptions&)> adjust)
{
    if (gHeadlessBackend)
        backend = &ui::headless::Install();
    StartupInfo() = TStartupInfo{};
    ui::Application->ResetTerminated();
    TAssistantOptions options;
    options.Parameters = std::move(parameters);
    options.Services.Dialogs = dialogs;
    options.Services.Messenger = messenger;
    options.Services.Desktop = desktop;
    options.Services.CreateOptions = [this] { return std::make_unique<FakeOptions>(traffic); };
    options.Timings = FastTimings();
    options.StartLookAndFeel = false;
    // Test programs run side by side on one desktop: each marks its window with a name of its own.
    // The mark is a sum over the name, so the names differ in length, not in digits.
    options.InstanceName = "KovraAssistantTest" + std::string(1 + std::random_device{}() % 4000, 'x');
    if (adjust)
        adjust(options);
    form = std::make_unique<TfmKovraAssistant>(std::move(options));
    form->FormCreate();
    // Nothing here starts the session unless a test asks for it.
    form->tmInitApplication->SetEnabled(false);
    form->ShowForm();
}

AppTest::~AppTest()
{
    form.reset();
    StartupInfo() = TStartupInfo{};
    KovraAssistantConfig().EraseSection(TCallHistory::kSection);
    KovraAssistantConfig().EraseSection(TDialingRules::kSection);
    ui::Application->ResetTerminated();
}

void AppTest::Event(const std::string& oid, std::uint32_t dwEvent,
                    const std::vector<TKovraCallConnection>& parties, const std::string& related,
                    std::uint32_t cause, const std::string& device)
{
    form->OnCallConnection(1, device, oid, related, dwEvent, cause, static_cast<int>(parties.size()),
                           parties);
    if (pass)
        platform::ProcessMessages(0);
}

void AppTest::Ring(const std::string& oid, const std::string& number, const std::string& name)
{
    Event(oid, ceAlerting, {Party("1001", csRinging), Party(number, csDialing, psNone, name)});
}

void AppTest::Answer(const std::string& oid, const std::string& number, const std::string& name)
{
    Event(oid, ceEstablished, {Party("1001", csConnected), Party(number, csConnected, psNone, name)});
}

void AppTest::Hold(const std::string& oid, const std::string& number)
{
    Event(oid, ceHeld, {Party("1001", csHeld), Party(number, csConnected)});
}

std::vector<std::string> AppTest::VisibleLinks() const
{
    std::vector<std::pair<int, std::string>> shown;
    for (auto* link : form->PageLinks()[static_cast<std::size_t>(form->nbStates->PageIndex())])
        if (link->Panel->Visible())
            shown.emplace_back(link->Panel->Top(), link->Label->Caption());
    std::sort(shown.begin(), shown.end());
    std::vector<std::string> captions;
    for (auto& [top, caption] : shown)
        captions.push_back(caption);
    return captions;
}

std::string AppTest::ActivePage() const
{
    return form->nbStates->ActivePage();
}
