#pragma once
// The main window under test: the headless toolkit, scripted dialogs, a recording messaging
// link, options window and desktop, and builders for the server's call events.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/MSNMain.h"
#include "ui/headless/HeadlessBackend.h"

struct FakePopup : app::ICallPopup {
    explicit FakePopup(int& alive) : alive_(alive) { ++alive_; }
    ~FakePopup() override { --alive_; }
    void SetUp(api::TKovraAPI*, app::TCallInfo&, std::uint32_t, bool) override { ++setUps; }
    void ClosePopup() override {}
    int& alive_;
    int setUps = 0;
};

struct FakeDialogs : app::IAssistantDialogs {
    std::optional<app::TMakeCallAnswer> makeCall;
    std::optional<app::TNumberAnswer> transfer;
    std::optional<std::string> heldChoice;
    std::optional<app::TImmediateBox> transferBox;
    int heldDialogs = 0;
    bool confirmAnswer = true;
    int confirms = 0;
    std::vector<std::pair<std::string, std::string>> forwardList;
    int popupsAlive = 0;
    int popupsCreated = 0;

    std::optional<app::TMakeCallAnswer> MakeCall() override { return makeCall; }
    std::optional<app::TNumberAnswer> Transfer(app::TImmediateBox box) override
    {
        transferBox = box;
        return transfer;
    }
    std::optional<std::string> ChooseHeldCall(bool, const std::string&, const std::string&,
                                              const std::vector<const app::TCallInfo*>&) override
    {
        ++heldDialogs;
        return heldChoice;
    }
    bool Confirm(const std::string&) override
    {
        ++confirms;
        return confirmAnswer;
    }
    std::vector<std::pair<std::string, std::string>> ForwardList() override { return forwardList; }
    std::vector<app::TCallLaterRequest> callLaters;
    void CallLater(const app::TCallLaterRequest& request) override { callLaters.push_back(request); }
    std::unique_ptr<app::ICallPopup> CreateCallPopup(std::function<void(const std::string&)>,
                                                     std::function<void(app::ICallPopup*)>) override
    {
        ++popupsCreated;
        return std::make_unique<FakePopup>(popupsAlive);
    }
};

struct FakeMessenger : app::IMessengerLink {
    std::vector<int> phoneEvents;
    bool attached = false;
    bool Attached() const override { return attached; }
    void ApplyPhoneRule(int event) override { phoneEvents.push_back(event); }
    int menuUpdates = 0; // the main window's menus made again
    void ClientMenusChanged() override { ++menuUpdates; }
    messenger::TPhoneControl* phone = nullptr; // the main window's, for the presence rules
    void Bind(messenger::TPhoneControl* bound, std::function<void()>, std::function<void()>) override
    {
        phone = bound;
    }
    // One contact: onlineNumber's, online.
    std::string onlineNumber;
    std::vector<std::string> sent;
    bool IsOnlineContact(const std::string& number) override
    {
        return !number.empty() && number == onlineNumber;
    }
    std::string ContactFor(const std::string& number) override
    {
        return IsOnlineContact(number) ? "Dana" : "";
    }
    bool SendInstantMessage(const std::string& number, const std::string& header, const std::string& text,
                            int) override
    {
        sent.push_back(number + "|" + header + text);
        return true;
    }
};

struct FakeOptions : app::IOptionsWindow {
    explicit FakeOptions(std::vector<std::string>& traffic) : traffic_(traffic) {}
    void AddTrafficLine(const std::string& line) override { traffic_.push_back(line); }
    std::vector<std::string>& traffic_;
};

struct FakeDesktop : app::IDesktop {
    std::uint32_t meetme = 0;
    std::uint32_t MeetmeConferenceId() override { return meetme; }
    // Registered keys by id as modifiers and key; keys in taken are another program's.
    std::map<int, std::pair<unsigned, unsigned>> hotkeys;
    std::set<std::pair<unsigned, unsigned>> taken;
    std::function<void(int)> hotkeyHandler;
    std::string clipboard;
    std::vector<std::string> addresses;
    void SetHotkeyHandler(std::function<void(int)> handler) override { hotkeyHandler = std::move(handler); }
    bool RegisterHotkey(int id, unsigned modifiers, unsigned key) override
    {
        if (taken.count({modifiers, key}))
            return false;
        hotkeys[id] = {modifiers, key};
        return true;
    }
    void UnregisterHotkeys() override { hotkeys.clear(); }
    std::string ClipboardText() override { return clipboard; }
    void OpenAddress(const std::string& url) override { addresses.push_back(url); }
};

// One connection of a call event.
api::TKovraCallConnection Party(const std::string& number, std::uint32_t connState,
                                std::uint32_t partyState = 0, const std::string& name = "");

class AppTest {
public:
    explicit AppTest(std::vector<std::string> parameters = {"-phone", "1001", "-pwd", "secret"},
                     std::function<void(app::TAssistantOptions&)> adjust = {});
    ~AppTest();

    // A call event about the user's device 1001, then the loop's posted work, as the event's own
    // pass of the loop would end (unless pass is false).
    bool pass = true;
    void Event(const std::string& oid, std::uint32_t dwEvent,
               const std::vector<api::TKovraCallConnection>& parties,
               const std::string& related = std::string(24, '0'), std::uint32_t cause = 0,
               const std::string& device = "1001");
    // Ringing from an outside caller, then answered.
    void Ring(const std::string& oid, const std::string& number = "4255550123",
              const std::string& name = "Dana");
    void Answer(const std::string& oid, const std::string& number = "4255550123",
                const std::string& name = "Dana");
    void Hold(const std::string& oid, const std::string& number = "4255550123");
    // The visible links of the active state page, as captions, top to bottom.
    std::vector<std::string> VisibleLinks() const;
    std::string ActivePage() const;

    ui::headless::HeadlessBackend* backend = nullptr;
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<FakeMessenger> messenger = std::make_shared<FakeMessenger>();
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::vector<std::string> traffic;
    std::unique_ptr<app::TfmKovraAssistant> form;
};

// False in the Win32 tests, which show the real windows.
extern bool gHeadlessBackend;

// Intervals a hundred times shorter.
app::TAssistantTimings FastTimings();
