// The program's real windows under Wine: the marked window and its hand-over in both
// directions, a second instance that only hands over (also a "tel:" link), and a ringing call answered by a
// click on the window and by a hotkey from the keyboard, with screenshots saved beside the test results.

#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "ProgramProcess_win.h"
#include "SessionTest.h"
#include "WindowShot_win.h"
#include "app/MarkedWindow.h"
#include "app/SystemDesktop.h"
#include "settings/MSNConfig.h"
#include "settings/QMEncoder.h"
#include "ui/win32/Win32Backend.h"

using namespace api;
using namespace settings;
using namespace options;
using namespace app;

namespace {

struct UseRealWindows {
    UseRealWindows() { gHeadlessBackend = false; }
    ~UseRealWindows() { gHeadlessBackend = true; }
};

bool SaveWindowShot(HWND window, const std::string& name)
{
    return ::SaveWindowShot(window, KOVRA_ARTIFACTS_DIR, name);
}

void ClickWindow(HWND window)
{
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// Runs the program with one argument until it ends, pumping our messages so that its hand-over
// to a marked window of this process arrives. The program's exit code, or -1 when it did not end.
long RunSecondInstance(const std::string& argument, const std::string& instanceName)
{
    TProgramProcess program;
    if (!program.Run(argument, L"29051", std::wstring(instanceName.begin(), instanceName.end()).c_str()) ||
        !PumpUntil([&] { return program.Ended(); }, 30000))
        return -1;
    DWORD exitCode = 1;
    GetExitCodeProcess(program.Handle(), &exitCode);
    return static_cast<long>(exitCode);
}

HWND ChildWithText(HWND parent, const std::wstring& text)
{
    for (HWND child : ChildWindows(parent)) {
        wchar_t caption[128] = {};
        GetWindowTextW(child, caption, 128);
        if (text == caption)
            return child;
    }
    return nullptr;
}

// The program started against the scripted server: its main window once it shows and the program has
// logged in, or null.
HWND StartLoggedIn(ScriptedSession& s, TProgramProcess& program, const wchar_t* instanceName)
{
    if (!program.Start({"-phone", "1001", "-pwd", "secret", "-server", "127.0.0.1"}, s.server.Port(),
                       instanceName))
        return nullptr;
    HWND window = nullptr;
    const auto loggedIn = [&] {
        window = ProcessWindow(program.Id(), L"Kovra Assistant");
        return window && s.Count(KovraMsg::QUERY_PHONE_CONFIG_REQ) > 0;
    };
    return s.WaitFor(loggedIn, 60000) ? window : nullptr;
}

// The real program against a scripted server, closed from its system menu as Alt+F4 does: it
// asks, and ticking "Do not show this window again" changes the settings, which are published
// before the phone is released.
TEST(Win32Program, ClosedAsByAltF4ItAsksPublishesAndReleasesThePhone)
{
    UseRealWindows real; // the scripted session's own window stays out of the way, unused
    ScriptedSession s;
    TProgramProcess program;
    HWND window = StartLoggedIn(s, program, L"KovraAssistantAltF4Test");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND confirm = nullptr;
    ASSERT_TRUE(s.WaitFor([&] { return (confirm = ProcessWindow(program.Id(), L"Confirm")) != nullptr; }));
    PumpFor(300);
    SaveWindowShot(confirm, "app_confirm_exit");
    ClickWindow(ChildWithText(confirm, L"Do not show this window again"));
    ClickWindow(ChildWithText(confirm, L"Yes"));
    ASSERT_TRUE(s.WaitFor([&] { return program.Ended(); }, 60000));
    DWORD exitCode = 1;
    GetExitCodeProcess(program.Handle(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(s.CountWhenAtLeast(KovraMsg::SET_APPLICATION_DATA_REQ, 1), 1u);
    auto set = s.Requests(KovraMsg::SET_APPLICATION_DATA_REQ)[0];
    set.ReadStr();
    const std::string published = set.ReadStr();
    EXPECT_NE(published.find("|Confirm=\"Exit#610\"|"), std::string::npos) << published; // "=" as #61
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::DISCONNECT, 1), 1u);
}

// The text of the message box a process shows, once it shows one within the time given; empty
// when none came. The box is answered with OK.
std::wstring AnswerMessageBox(DWORD process, unsigned ms)
{
    HWND box = nullptr;
    PumpUntil(
        [&] {
            for (HWND window : ProcessWindows(process)) {
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (IsWindowVisible(window) && std::wstring(name) == L"#32770")
                    box = window;
            }
            return box != nullptr;
        },
        ms);
    if (!box)
        return {};
    std::wstring text;
    for (HWND child : ChildWindows(box)) {
        wchar_t caption[512] = {};
        GetWindowTextW(child, caption, 512);
        text += std::wstring(caption) + L"\n";
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return text;
}

// What the program cannot start with is said in a message box, and it ends: a link opened with no
// program running names no phone or server to log in as, so the program says it starts from the
// portal.
TEST(Win32Program, ProgramThatCannotStartSaysWhyAndEnds)
{
    TProgramProcess program;
    ASSERT_TRUE(program.Run("tel:+1-425-555-1234", L"29051", L"KovraAssistantRefusedTest"));
    EXPECT_NE(AnswerMessageBox(program.Id(), 20000)
                  .find(L"Kovra Assistant is not running, so it cannot dial the link. Start it from your web "
                        L"portal first, then open the link again."),
              std::wstring::npos);
    ASSERT_TRUE(PumpUntil([&] { return program.Ended(); }, 10000));
    DWORD exitCode = 0;
    GetExitCodeProcess(program.Handle(), &exitCode);
    EXPECT_EQ(exitCode, 2u);
}

// A switch of the test runs that is no port is refused with its reason, not read as another port.
TEST(Win32Program, PortSwitchThatIsNoPortIsRefusedWithItsReason)
{
    std::string argument, error;
    ASSERT_TRUE(TQMEncoder::EncodeArgument({"-phone", "1001", "-pwd", "secret", "-server", "127.0.0.1"},
                                           argument, error));
    TProgramProcess program;
    ASSERT_TRUE(program.Run(argument, L"70000", L"KovraAssistantPortSwitchTest"));
    EXPECT_NE(AnswerMessageBox(program.Id(), 20000)
                  .find(L"KOVRA_SERVER_PORT=\"70000\" is not a port number (1 to 65535)."),
              std::wstring::npos);
    ASSERT_TRUE(PumpUntil([&] { return program.Ended(); }, 10000));
    DWORD exitCode = 0;
    GetExitCodeProcess(program.Handle(), &exitCode);
    EXPECT_EQ(exitCode, 2u);
}

// The end of the Windows session as the system sends it, to every top-level window of the logged-in
// program, each message answered before the next: the program asks nothing, releases the phone and
// answers within the few seconds the system waits, although the server never answers the stop.
TEST(Win32Program, EndOfTheWindowsSessionReleasesThePhoneWithoutAskingAndAnswersInTime)
{
    UseRealWindows real;
    ScriptedSession s;
    s.server.OnRequest(KovraMsg::MONITOR_STOP_REQ, [](ApiTestServer&, const TReceivedDatagram&) {});
    TProgramProcess program;
    ASSERT_NE(StartLoggedIn(s, program, L"KovraAssistantEndSessionTest"), nullptr);
    PumpFor(500); // the settings and the phone's state are taken

    const std::vector<HWND> windows = ProcessWindows(program.Id());
    ASSERT_FALSE(windows.empty());
    const DWORD start = GetTickCount();
    for (UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION})
        for (HWND window : windows) {
            if (!IsWindow(window))
                continue;
            DWORD_PTR answer = 0;
            const WPARAM ending = message == WM_ENDSESSION ? TRUE : 0;
            const LRESULT sent =
                SendMessageTimeoutW(window, message, ending, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
            EXPECT_TRUE(sent || !IsWindow(window)) << "message " << message << " not answered in time";
            if (sent && message == WM_QUERYENDSESSION) {
                EXPECT_TRUE(answer);
            }
        }
    const DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 5000u);
    EXPECT_EQ(ProcessWindow(program.Id(), L"Confirm"), nullptr);
    EXPECT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::DISCONNECT) == 1; }, 2000));
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    EXPECT_EQ(s.Count(KovraMsg::SET_APPLICATION_DATA_REQ), 0u); // nothing changed, nothing published
    EXPECT_TRUE(s.WaitFor([&] { return program.Ended(); }, 10000));
}

// A meet-me application whose window stops answering for a while: the Connected page asks it on
// every refresh, so the question gives up rather than stalling the main window until it answers.
TEST(Win32Program, HungMeetmeApplicationCountsAsNotRunning)
{
    std::atomic<HWND> meetme{nullptr};
    HANDLE asked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> done{false};
    std::thread application([&] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam)
                                      CALLBACK -> LRESULT {
            return message == WM_COPYDATA ? 4711 : DefWindowProcW(window, message, wParam, lParam);
        };
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TPUtilWindow";
        RegisterClassW(&windowClass);
        HWND window = CreateWindowExW(0, L"TPUtilWindow", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(NameHash("MeetMeApp")));
        meetme = window;
        WaitForSingleObject(asked, 3000); // busy elsewhere: no messages taken meanwhile
        for (MSG msg; !done;)
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            else
                Sleep(5);
        DestroyWindow(window);
    });
    EXPECT_TRUE(PumpUntil([&] { return meetme.load() != nullptr; }));
    TSystemDesktop desktop([] { return nullptr; });
    const std::uint32_t answer = desktop.MeetmeConferenceId();
    SetEvent(asked);
    // Answering again, it is asked and heard as before.
    const std::uint32_t later = desktop.MeetmeConferenceId();
    done = true;
    application.join();
    CloseHandle(asked);
    EXPECT_EQ(answer, 0u);
    EXPECT_EQ(later, 4711u);
}

TEST(Win32Program, MarkedWindowOfTheMainWindowTakesAnotherInstancesRequestAndCallLinks)
{
    UseRealWindows real;
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->InService(); }));
    void* marked = FindMarkedWindow(NameHash(s.app->form->InstanceName()));
    ASSERT_NE(marked, nullptr);
    EXPECT_EQ(FindMarkedWindow(NameHash("MeetMeApp")), nullptr);
    // Sent from another thread, as another program would: answered 1 before the action runs.
    std::atomic<std::intptr_t> answer{-1};
    std::thread sender([&] { answer = SendCopyData(marked, " -MakeCall 4255550123"); });
    ASSERT_TRUE(s.WaitFor([&] { return answer != -1; }));
    sender.join();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(Nth(s, KovraMsg::MAKE_CALL_REQ).ReadStr(), "4255550123");

    // A "tel:" link opened while the window is logged in, and the portal's start of a second
    // program: each hands its parameters over and ends.
    const std::string name = s.app->form->InstanceName();
    EXPECT_EQ(RunSecondInstance("tel:+1-425-555-1234", name), 0);
    EXPECT_EQ(Nth(s, KovraMsg::MAKE_CALL_REQ, 2).ReadStr(), "14255551234");
    std::string argument, error;
    ASSERT_TRUE(TQMEncoder::EncodeArgument({"-MakeCall", "555", "-phone", "1001"}, argument, error)) << error;
    EXPECT_EQ(RunSecondInstance(argument, name), 0);
    EXPECT_EQ(Nth(s, KovraMsg::MAKE_CALL_REQ, 3).ReadStr(), "555");
}

// A ringing call answered by a click on the window, and the next one by the hotkey. The hotkey goes
// through the system's keyboard input (SendInput), so the key the window registered is what turns the
// key presses into its WM_HOTKEY.
TEST(Win32Program, RingingCallsAreAnsweredByAClickOnTheWindowAndByTheHotkey)
{
    UseRealWindows real;
    ScriptedSession* session = nullptr;
    auto desktop = std::make_shared<TSystemDesktop>(
        [&session] { return session && session->app ? ui::win32::HandleOf(*session->app->form) : nullptr; });
    ScriptedSession s(0xFFFFFFFFu, {}, nullptr, desktop);
    session = &s;
    TKovraAssistantConfig stored;
    stored.WriteString(TDesktopPreferences::kSection, "AnswerOrAlternate", "Ctrl+Alt+F7");
    s.StoreSettings(stored.GetText());
    ASSERT_TRUE(s.LogIn());
    TfmKovraAssistant& form = *s.app->form;
    form.LookAndFeelReady();
    // The stored key was registered with the settings: no other program can have it now.
    EXPECT_FALSE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, VK_F7));
    const auto call = [&](const std::string& oid, std::uint32_t event, std::uint32_t own,
                          std::uint32_t remote) {
        s.SendCallEvent(oid, event, {Party("1001", own), Party("4255550123", remote, psNone, "Dana Dialer")});
    };

    const std::string first = "4B4F56526B15DC0400000001";
    call(first, ceAlerting, csRinging, csDialing);
    ASSERT_TRUE(s.WaitFor([&] { return form.lbCalls->Items().Count() == 1; }));
    PumpFor(200);
    HWND window = static_cast<HWND>(ui::win32::HandleOf(form));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(SaveWindowShot(window, "app_ringing"));
    ClickWindow(static_cast<HWND>(ui::win32::HandleOf(*form.Link("pnAlertingAnswer")->Label)));
    EXPECT_EQ(Nth(s, KovraMsg::ANSWER_CALL_REQ).ReadOid(), first);
    call(first, ceCleared, csGone, csGone);

    const std::string second = "4B4F56526B15DC0400000002";
    call(second, ceAlerting, csRinging, csDialing);
    ASSERT_TRUE(s.WaitFor([&] { return form.lbCalls->Items().Count() == 1 && form.FindCall(second); }));
    INPUT keys[6]{};
    const WORD codes[3] = {VK_CONTROL, VK_MENU, VK_F7};
    for (int i = 0; i < 3; ++i) {
        keys[i].type = keys[5 - i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = keys[5 - i].ki.wVk = codes[i];
        keys[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    ASSERT_EQ(SendInput(6, keys, sizeof(INPUT)), 6u);
    EXPECT_EQ(Nth(s, KovraMsg::ANSWER_CALL_REQ, 2).ReadOid(), second);

    // Closed, the window gives the key back: another program can have it.
    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    ASSERT_TRUE(form.CloseWindow());
    EXPECT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, VK_F7));
    UnregisterHotKey(nullptr, 1);
}

// What a screen reader in another process gets: the probe program's listing of windows (or its
// alert), saved as an artefact; its exit status says every control had a name and a role.
std::string Probe(const std::string& artefact, const std::wstring& arguments,
                  const std::function<void()>& meanwhile = {})
{
    CreateDirectoryA(KOVRA_ARTIFACTS_DIR, nullptr);
    const std::string path = std::string(KOVRA_ARTIFACTS_DIR) + "/" + artefact;
    TProgramProcess probe;
    DWORD status = 100;
    if (probe.Launch(L"\"" KOVRA_ACCESSIBILITY_PROBE_EXE L"\" \"" + std::wstring(path.begin(), path.end()) +
                     L"\" " + arguments)) {
        if (meanwhile)
            meanwhile();
        if (PumpUntil([&] { return probe.Ended(); }, 60000))
            GetExitCodeProcess(probe.Handle(), &status);
    }
    std::ifstream file(path, std::ios::binary);
    std::string listing{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(status, 0u) << artefact << "\n" << listing;
    return listing;
}

std::wstring Number(HWND window)
{
    return std::to_wstring(reinterpret_cast<std::uintptr_t>(window));
}

// The window of another process's thread that has the keyboard.
HWND FocusOf(const TProgramProcess& program)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(program.ThreadId(), &info) ? info.hwndFocus : nullptr;
}

// What a screen reader says of a window (from this process, so through the program's objects):
// its name, or that of its selected tab or line.
std::wstring Said(HWND window, bool selectedChild = false)
{
    IAccessible* object = nullptr;
    if (!window ||
        FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))))
        return L"?";
    VARIANT child{};
    child.vt = VT_I4;
    if (selectedChild && (FAILED(object->get_accSelection(&child)) || child.vt != VT_I4))
        child.lVal = -1;
    BSTR name = nullptr;
    std::wstring text = SUCCEEDED(object->get_accName(child, &name)) && name ? name : L"";
    SysFreeString(name);
    object->Release();
    return text;
}

// A key pressed in the program's window that has the keyboard (the window given when none has, or
// a menu is open), as the keyboard delivers it. Tab returns once the keyboard has moved on, others
// once the program has had a moment for them: a screen reader's question, a sent message, is
// answered before keys still queued.
void Press(const TProgramProcess& program, HWND window, WPARAM key)
{
    HWND target = FocusOf(program);
    PostMessageW(target ? target : window, WM_KEYDOWN, key, 1);
    PostMessageW(target ? target : window, WM_KEYUP, key, 0xC0000001);
    if (key == VK_TAB)
        PumpUntil([&] { return FocusOf(program) != target; }, 3000);
    else
        PumpFor(150);
}

// Tab until the control a screen reader calls name has the keyboard; false when none does.
bool TabTo(const TProgramProcess& program, HWND window, const std::wstring& name)
{
    for (int i = 0; i < 40; ++i) {
        Press(program, window, VK_TAB);
        if (Said(FocusOf(program)) == name)
            return true;
    }
    return false;
}

bool Lists(const std::string& listing, const std::string& role, const std::string& name)
{
    return listing.find("\t" + role + "\t" + name) != std::string::npos;
}

// A blind or keyboard-only user with a call ringing, the program in its own process: a screen
// reader hears the pop-up as it appears, and every control of the main window, the pop-up and the
// options window has a name and a role; Tab walks the main window in reading order, Enter opens a
// menu and runs a command, the arrows turn the options window's pages.
TEST(Win32Program, ScreenReaderAndKeyboardReachEveryControlAndTheRingingCall)
{
    UseRealWindows real;
    ScriptedSession s;
    TProgramProcess program;
    HWND main = StartLoggedIn(s, program, L"KovraAssistantAccessibilityTest");
    ASSERT_NE(main, nullptr);
    PumpFor(500);

    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"KovraAccessibilityProbeReady");
    const std::string oid = "4B4F56526B15DC0400000001";
    const std::string alert =
        Probe("accessibility-alert.txt", L"alert KovraAccessibilityProbeReady 30000", [&] {
            PumpUntil([&] { return WaitForSingleObject(ready, 0) == WAIT_OBJECT_0; }, 10000);
            s.SendCallEvent(
                oid, ceAlerting,
                {Party("1001", csRinging), Party("4255550123", csDialing, psNone, "Dana Dialer")});
        });
    CloseHandle(ready);
    EXPECT_TRUE(Lists(alert, "alert", "Call from Dana Dialer, (425) 555-0123")) << alert;

    HWND popup = nullptr;
    for (HWND window : ProcessWindows(program.Id()))
        if (window != main && IsWindowVisible(window))
            popup = window;
    ASSERT_NE(popup, nullptr);
    const std::string windows =
        Probe("accessibility-main.txt", L"list " + Number(main) + L" " + Number(popup));

    // Top row left to right, the state page's links down the left, the call list on the right.
    std::vector<std::wstring> reached;
    for (int i = 0; i < 13; ++i) {
        Press(program, main, VK_TAB);
        reached.push_back(Said(FocusOf(program)));
    }
    EXPECT_EQ(reached, (std::vector<std::wstring>{L"Phone", L"Call", L"Options", L"Help", L"Answer the call",
                                                  L"Send to Voice Mail", L"Ignore the call", L"Hold the call",
                                                  L"Call later...", L"Redirect the call",
                                                  L"Redirect the call", L"Calls", L"Phone"}));

    // Enter on a focused link runs its command.
    ASSERT_TRUE(TabTo(program, main, L"Answer the call"));
    Press(program, main, VK_RETURN);
    EXPECT_EQ(Nth(s, KovraMsg::ANSWER_CALL_REQ).ReadOid(), oid);

    // The Options menu by Enter, its first command by Down and Enter.
    ASSERT_TRUE(TabTo(program, main, L"Options"));
    Press(program, main, VK_RETURN);
    Press(program, main, VK_DOWN);
    Press(program, main, VK_RETURN);
    HWND options = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] { return (options = ProcessWindow(program.Id(), L"Configuration")) != nullptr; }, 10000));
    PumpFor(300);
    const std::string listing = windows + Probe("accessibility-options.txt", L"list " + Number(options));

    const std::string expected[][2] = {
        {"list item", "Dana Dialer, (425) 555-0123, Ringing, 00:"},
        {"link", "Answer the call"},
        {"push button", "Options"},
        {"combo box", "Redirect the call"},
        {"alert", "Call from Dana Dialer, (425) 555-0123"},
        {"link", "Answer & Control the call"},
        {"page tab list", "Configuration"},
        {"page tab", "Connection"},
        {"property page", "Call Later"},
    };
    for (const auto& [role, name] : expected)
        EXPECT_TRUE(Lists(listing, role, name)) << role << ": " << name;

    // The menu's first command opened the Call Later page; the arrows turn the tabs round, and
    // every page leaves no control unnamed.
    HWND tabs = nullptr;
    for (HWND child : ChildWindows(options))
        if (Said(child, true) == L"Call Later")
            tabs = child;
    ASSERT_NE(tabs, nullptr);
    ASSERT_TRUE(TabTo(program, options, Said(tabs)));
    std::vector<std::wstring> optionsReached;
    for (int i = 0; i < 3; ++i) {
        Press(program, options, VK_TAB);
        optionsReached.push_back(Said(FocusOf(program)));
    }
    // The list below the tabs, its one enabled button below it, round to the tabs.
    EXPECT_EQ(optionsReached,
              (std::vector<std::wstring>{L"Name, Number, Call Time", L"Add...", L"Configuration"}));
    int page = 0;
    for (const wchar_t* turned : {L"Forward", L"Preferences", L"History", L"Connection", L"Call Later"}) {
        Press(program, options, VK_RIGHT);
        EXPECT_TRUE(PumpUntil([&] { return Said(tabs, true) == turned; }, 3000)) << Said(tabs, true);
        Probe("accessibility-options-" + std::to_string(++page) + ".txt", L"list " + Number(options));
    }
    Press(program, options, VK_LEFT);
    EXPECT_TRUE(PumpUntil([&] { return Said(tabs, true) == L"Connection"; }, 3000)) << Said(tabs, true);
}

} // namespace
