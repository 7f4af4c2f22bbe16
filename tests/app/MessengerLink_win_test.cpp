// The real program with "-IM" beside msgrsim under Wine, in one walk with either of the two started
// first: its "KOVRA" popups inside msgrsim's windows, the status following the phone and the phone
// the status (the program's calls into the client; what it sends there is checked headless),
// "&Call..." on the selected contact opening the reminder editor with that contact's number, a client
// that dies noticed and the next one coupled and driving the phone, and the popups gone with the
// program. One that never answers keeps nothing from the phone. The suite runs once in a virtual desktop and
// once on the plain display (CMakeLists.txt): a desktop's own window traffic must not be what keeps the
// coupling going.

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "MsgrSimProcess.h"
#include "ProgramProcess_win.h"
#include "ScriptedSession.h"
#include "WindowShot_win.h"
#include "messenger/Messenger_TLB.h"

using namespace api;

namespace {

// Every process of that name in this Wine prefix, each given grace ms to end by itself.
void EndProcesses(const wchar_t* name, DWORD grace = 0)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name) != 0)
            continue;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            if (WaitForSingleObject(process, grace) == WAIT_TIMEOUT) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
            }
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
}

// One msgrsim left by an earlier run would still serve the class, so neither the program nor the
// test would reach the fresh one.
void EndMsgrSims(DWORD grace = 0)
{
    EndProcesses(L"msgrsim.exe", grace);
}

// Ends a run that stops, well inside ctest's limit, taking the program and msgrsim with it, so
// that nothing is left to spoil the next run.
class TWatchdog {
public:
    TWatchdog(const TProgramProcess& program, DWORD ms) : program_(program)
    {
        done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ms] {
            if (WaitForSingleObject(done_, ms) != WAIT_TIMEOUT)
                return;
            std::fprintf(stderr, "the run stopped: program and msgrsim ended after %lu ms\n", ms);
            std::fflush(stderr);
            if (HANDLE program = program_.Handle())
                TerminateProcess(program, 1);
            EndMsgrSims();
            TerminateProcess(GetCurrentProcess(), 3);
        });
    }
    ~TWatchdog()
    {
        SetEvent(done_);
        thread_.join();
        CloseHandle(done_);
    }

private:
    const TProgramProcess& program_;
    HANDLE done_ = nullptr;
    std::thread thread_;
};

// Asked with a bound: a window of another process that does not answer fails the search instead
// of holding the test.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &answer))
        return -1;
    return static_cast<LRESULT>(answer);
}

// A visible top-level window of the process holding a child with that text, or null.
HWND WindowWithChildText(DWORD process, const std::wstring& text)
{
    for (HWND window : ProcessWindows(process))
        for (HWND child : IsWindowVisible(window) ? ChildWindows(window) : std::vector<HWND>{}) {
            // Asked, not read: another process's edit keeps its text to itself.
            wchar_t caption[128] = {};
            Ask(child, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(caption));
            if (text == caption)
                return window;
        }
    return nullptr;
}

// Closes every visible window with the program's title (the call pop-up may still be fading out,
// and which of them comes first varies) and waits for the program to end.
bool CloseProgram(ScriptedSession& s, const TProgramProcess& program)
{
    bool titled = false;
    for (HWND window : ProcessWindows(program.Id())) {
        wchar_t title[64] = {};
        GetWindowTextW(window, title, 64);
        if (std::wstring(title) == L"Kovra Assistant" && IsWindowVisible(window)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            titled = true;
        }
    }
    const bool ended = titled && s.WaitFor([&] { return program.Ended(); }, 30000);
    if (!ended)
        SaveWindowShot(GetDesktopWindow(), KOVRA_ARTIFACTS_DIR, "msgrsim_close");
    return ended;
}

// One run of the program beside msgrsim, in a prefix prepared as a desktop is: the RPC service
// running, msgrsim registered from this build (an older registration may point elsewhere).
class TCouplingRun {
public:
    TCouplingRun()
    {
        s.StoreSettings("|Confirm=\"Exit#610\"|"); // no question at exit
        EndMsgrSims();
        TMsgrSimProcess::RestartRpcService();
    }
    ~TCouplingRun() { EndMsgrSims(10000); }

    bool Register()
    {
        portFile_ = TMsgrSimProcess::NewPortFile();
        return TMsgrSimProcess::Register(portFile_);
    }
    // msgrsim started by COM, as the program reaches it, and let go at once: an event sink of the
    // test would make msgrsim wait on this thread while the thread waits on the program and the
    // program on msgrsim.
    bool StartClient()
    {
        {
            auto client = messenger::CreateMsgrObject();
            try {
                client->Connect();
            } catch (const messenger::EOleError&) {
                return false;
            }
        }
        return AttachClient();
    }
    // To the msgrsim that COM started (for the test or for the program).
    bool AttachClient()
    {
        return sim.Attach(portFile_) && sim.Command("add Ann 2 \"+1 425 555 1234\"") == "ok 1" &&
               sim.Command("add Bob 2") == "ok 2";
    }
    bool StartProgram()
    {
        return program.Start({"-phone", "1001", "-pwd", "secret", "-server", "127.0.0.1", "-IM"},
                             s.server.Port(), L"KovraAssistantMessengerTest");
    }
    bool LoggedIn(unsigned ms = 30000)
    {
        return s.WaitFor([&] { return s.Count(KovraMsg::QUERY_PHONE_CONFIG_REQ) > 0; }, ms);
    }
    // The "KOVRA" popup at the right of the client's main menu bar.
    bool Injected(TMsgrSimProcess& client, unsigned ms = 30000)
    {
        const bool shown = s.WaitFor(
            [&] {
                return client.Command("windows").find("MSBLClass [&File,&Contacts,&Help,>KOVRA]") !=
                       std::string::npos;
            },
            ms);
        if (!shown)
            SaveWindowShot(GetDesktopWindow(), KOVRA_ARTIFACTS_DIR, "msgrsim_no_popup");
        return shown;
    }

    ScriptedSession s;
    TProgramProcess program;
    TWatchdog watchdog{program, 150000};
    TMsgrSimProcess sim;

private:
    std::string portFile_;
};

enum class TStartOrder { ClientFirst, ProgramFirst };

class MessengerCoupling : public ::testing::TestWithParam<TStartOrder> {};

TEST_P(MessengerCoupling, PutsItsMenuIntoTheClientAndFollowsThePhone)
{
    TCouplingRun run;
    ScriptedSession& s = run.s;
    TMsgrSimProcess& sim = run.sim;
    TProgramProcess& program = run.program;
    ASSERT_TRUE(run.Register());
    if (GetParam() == TStartOrder::ClientFirst) {
        ASSERT_TRUE(run.StartClient());
        ASSERT_TRUE(run.StartProgram());
    } else {
        // The program logs in without waiting for the client, which its coupling starts.
        ASSERT_TRUE(run.StartProgram());
        ASSERT_TRUE(run.LoggedIn());
        ASSERT_TRUE(run.AttachClient());
    }

    auto windows = [&] { return sim.Command("windows"); };
    ASSERT_TRUE(run.LoggedIn());
    ASSERT_TRUE(run.Injected(sim)) << windows() << " " << sim.Command("log");
    // A conversation opened while the program runs gets its own popup.
    ASSERT_EQ(sim.Command("open Ann").substr(0, 2), "ok");
    ASSERT_TRUE(s.WaitFor([&] {
        return windows().find("IMWindowClass [&File,&Edit,>KOVRA]") != std::string::npos;
    })) << windows();
    ASSERT_EQ(sim.Command("front main"), "ok");
    SaveWindowShot(sim.Window("main"), KOVRA_ARTIFACTS_DIR, "msgrsim_kovra_menu");

    // Away in the client: do-not-disturb at the phone.
    ASSERT_EQ(sim.Command("status 34"), "ok 34");
    ASSERT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::SET_DO_NOT_DISTURB_REQ) == 1; }));
    EXPECT_TRUE(s.Requests(KovraMsg::SET_DO_NOT_DISTURB_REQ)[0].ReadBool());
    ASSERT_EQ(sim.Command("status 2"), "ok 2");

    // A call answered at the phone: "On the phone"; hung up: Online again.
    const std::string oid = "4B4F56526B15DC0400000002";
    s.SendCallEvent(oid, ceEstablished,
                    {Party("1001", csConnected), Party("4255550123", csConnected, psNone, "Dana Dialer")});
    EXPECT_TRUE(s.WaitFor([&] { return sim.Command("status") == "ok 50"; })) << sim.Command("status");
    s.SendCallEvent(oid, ceDelivered,
                    {Party("1001", csGone), Party("4255550123", csGone, psNone, "Dana Dialer")});
    EXPECT_TRUE(s.WaitFor([&] { return sim.Command("status") == "ok 2"; })) << sim.Command("status");

    // "&Call..." on the selected contact: the reminder editor with Ann's number, country code kept.
    ASSERT_EQ(sim.Command("select Ann"), "ok");
    EXPECT_EQ(sim.Command("menu main KOVRA &Call...").substr(0, 2), "ok");
    HWND editor = nullptr;
    EXPECT_TRUE(s.WaitFor([&] { return (editor = WindowWithChildText(program.Id(), L"+1 425 555 1234")); }))
        << sim.Command("log");
    SaveWindowShot(GetDesktopWindow(), KOVRA_ARTIFACTS_DIR, "msgrsim_call_contact");
    // The editor carries the program's title too: it goes first, so the main window is the one left.
    if (editor) {
        PostMessageW(editor, WM_CLOSE, 0, 0);
        EXPECT_TRUE(s.WaitFor([&] { return !IsWindowVisible(editor); }));
    }

    // The client killed without a word: the program says so, lets it go, and couples with the next
    // client that runs, whose status drives the phone again.
    EndMsgrSims();
    EXPECT_TRUE(s.WaitFor([&] { return WindowWithChildText(program.Id(), L"Messenger has gone") != nullptr; },
                          20000));
    // What Windows does when the client dies: its class object is forgotten.
    TMsgrSimProcess::RestartRpcService();
    TMsgrSimProcess next;
    ASSERT_TRUE(next.Start());
    ASSERT_TRUE(run.Injected(next)) << next.Command("windows") << " " << next.Command("log");
    const std::size_t before = s.Count(KovraMsg::SET_DO_NOT_DISTURB_REQ);
    ASSERT_EQ(next.Command("status 34"), "ok 34");
    EXPECT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::SET_DO_NOT_DISTURB_REQ) == before + 1; }));

    // The program ends: its popups leave the client's windows.
    ASSERT_TRUE(CloseProgram(s, program));
    EXPECT_EQ(next.Command("windows").find("KOVRA"), std::string::npos) << next.Command("windows");
    next.Stop();
}

INSTANTIATE_TEST_SUITE_P(Win32Program, MessengerCoupling,
                         ::testing::Values(TStartOrder::ClientFirst, TStartOrder::ProgramFirst),
                         [](const ::testing::TestParamInfo<TStartOrder>& info) {
                             return info.param == TStartOrder::ClientFirst ? "ClientFirst" : "ProgramFirst";
                         });

// The client's class served by another program for as long as it lives; what was registered
// before comes back, whatever the test did.
class TClassServedBy {
public:
    explicit TClassServedBy(const wchar_t* program)
    {
        const wchar_t* key =
            L"Software\\Classes\\CLSID\\{F3A614DC-ABE0-11D2-A441-00C04F795683}\\LocalServer32";
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof before_ - sizeof(wchar_t);
        hadOne_ = RegQueryValueExW(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(before_),
                                   &size) == ERROR_SUCCESS;
        set_ = RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(program),
                              static_cast<DWORD>((lstrlenW(program) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~TClassServedBy()
    {
        if (!key_)
            return;
        if (hadOne_)
            RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(before_),
                           static_cast<DWORD>((lstrlenW(before_) + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key_, nullptr);
        RegCloseKey(key_);
    }
    bool Set() const { return set_; }

private:
    HKEY key_ = nullptr;
    wchar_t before_[1024] = {};
    bool hadOne_ = false, set_ = false;
};

// The client's class registered to a program that starts but never answers (as a client stuck in
// its sign-in would): the phone logs in all the same, and the program still closes.
TEST(Win32Program, MessengerClientThatNeverAnswersKeepsNothingFromThePhone)
{
    TCouplingRun run;
    {
        TClassServedBy notepad(L"notepad.exe");
        ASSERT_TRUE(notepad.Set());
        ASSERT_TRUE(run.StartProgram());
        EXPECT_TRUE(run.LoggedIn());
        EXPECT_TRUE(CloseProgram(run.s, run.program));
    }
    EndProcesses(L"notepad.exe");
}

} // namespace
