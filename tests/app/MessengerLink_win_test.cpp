// The real program with "-IM" beside msgrsim under Wine: its "KOVRA" popups inside msgrsim's windows
// (until it ends), the status following the phone and the phone the status, a canned message sent
// from the pop-up, and "&Call..." on the selected contact opening the reminder editor with that
// contact's number.

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

namespace {

// Every msgrsim of this Wine prefix, each given grace ms to end by itself. One left by an earlier
// run would still serve the class, so neither the program nor the test would reach the fresh one.
void EndMsgrSims(DWORD grace = 0)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"msgrsim.exe") != 0)
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

// A top-level window of the process holding a child with that text, or null.
HWND WindowWithChildText(DWORD process, const std::wstring& text)
{
    struct Search {
        DWORD process;
        const std::wstring& text;
        HWND found = nullptr;
    } search{process, text};
    EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s.process || !IsWindowVisible(window))
                return TRUE;
            EnumChildWindows(
                window,
                [](HWND child, LPARAM data) CALLBACK -> BOOL {
                    auto& s = *reinterpret_cast<Search*>(data);
                    // Asked, not read: another process's edit keeps its text to itself.
                    wchar_t caption[128] = {};
                    Ask(child, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(caption));
                    if (s.text != caption)
                        return TRUE;
                    s.found = GetAncestor(child, GA_ROOT);
                    return FALSE;
                },
                data);
            return s.found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A combo box below the window whose first entry reads text, or null.
HWND ComboBoxHolding(HWND window, const std::wstring& text)
{
    struct Search {
        const std::wstring& text;
        HWND found = nullptr;
    } search{text};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            wchar_t name[32] = {}, entry[128] = {};
            GetClassNameW(child, name, 32);
            const LRESULT length = lstrcmpiW(name, L"ComboBox") == 0 ? Ask(child, CB_GETLBTEXTLEN, 0, 0) : -1;
            if (length < 0 || length >= 128 || Ask(child, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry)) < 0 ||
                s.text != entry)
                return TRUE;
            s.found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(Win32Program, MessengerCouplingPutsItsMenuIntoTheClientAndFollowsThePhone)
{
    ScriptedSession s;
    // No question at exit; one canned message.
    s.storedSettings = "|Confirm=\"Exit#610\"|,|IMMessages=\"0#61In a meeting\"|";
    TProgramProcess program;
    TWatchdog watchdog(program, 90000);
    // msgrsim registered from this build (an older registration may point elsewhere) and started
    // by COM, as the program will reach it.
    EndMsgrSims();
    const std::string portFile = TMsgrSimProcess::NewPortFile();
    ASSERT_TRUE(TMsgrSimProcess::Register(portFile));
    {
        // Let go at once: an event sink of the test would make msgrsim wait on this thread while
        // the thread waits on the program and the program on msgrsim.
        auto client = messenger::CreateMsgrObject();
        ASSERT_NO_THROW(client->Connect());
    }
    TMsgrSimProcess sim;
    ASSERT_TRUE(sim.Attach(portFile));
    ASSERT_EQ(sim.Command("add Ann 2 \"+1 425 555 1234\""), "ok 1");
    ASSERT_EQ(sim.Command("add Bob 2"), "ok 2");

    ASSERT_TRUE(program.Start({"-phone", "1001", "-pwd", "secret", "-server", "127.0.0.1", "-IM"},
                              s.server.Port(), L"KovraAssistantMessengerTest"));

    auto windows = [&] { return sim.Command("windows"); };
    auto shows = [&](const char* bar) { return windows().find(bar) != std::string::npos; };
    const bool injected = s.WaitFor(
        [&] {
            return s.Count(KovraMsg::QUERY_PHONE_CONFIG_REQ) > 0 &&
                   shows("MSBLClass [&File,&Contacts,&Help,>KOVRA]");
        },
        30000);
    if (!injected)
        SaveWindowShot(GetDesktopWindow(), KOVRA_ARTIFACTS_DIR, "msgrsim_no_popup");
    ASSERT_TRUE(injected) << windows() << " phone config asked " << s.Count(KovraMsg::QUERY_PHONE_CONFIG_REQ)
                          << " " << sim.Command("log");
    // A conversation opened while the program runs gets its own popup.
    ASSERT_EQ(sim.Command("open Ann").substr(0, 2), "ok");
    ASSERT_TRUE(s.WaitFor([&] { return shows("IMWindowClass [&File,&Edit,>KOVRA]"); })) << windows();
    ASSERT_EQ(sim.Command("front main"), "ok");
    SaveWindowShot(sim.Window("main"), KOVRA_ARTIFACTS_DIR, "msgrsim_kovra_menu");

    // Away in the client: do-not-disturb at the phone.
    ASSERT_EQ(sim.Command("status 34"), "ok 34");
    ASSERT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::SET_DO_NOT_DISTURB_REQ) == 1; }));
    EXPECT_TRUE(s.Requests(KovraMsg::SET_DO_NOT_DISTURB_REQ)[0].ReadBool());
    ASSERT_EQ(sim.Command("status 2"), "ok 2");

    // A call answered at the phone: "On the phone"; hung up: Online again.
    const std::string oid = "4B4F56526B15DC0400000002";
    s.SendCallEvent(oid, 4, {Party("1001", 4), Party("4255550123", 4, 0, "Dana Dialer")});
    EXPECT_TRUE(s.WaitFor([&] { return sim.Command("status") == "ok 50"; })) << sim.Command("status");
    s.SendCallEvent(oid, 2, {Party("1001", 0), Party("4255550123", 0, 0, "Dana Dialer")});
    EXPECT_TRUE(s.WaitFor([&] { return sim.Command("status") == "ok 2"; })) << sim.Command("status");

    // Ann rings: a canned message chosen in the pop-up reaches her with the MIME header.
    s.SendCallEvent("4B4F56526B15DC0400000003", 3, {Party("1001", 2), Party("4255551234", 1, 0, "Ann")});
    HWND popup = nullptr, messages = nullptr;
    ASSERT_TRUE(s.WaitFor([&] {
        popup = WindowWithChildText(program.Id(), L"Call from");
        messages = popup ? ComboBoxHolding(popup, L"In a meeting") : nullptr;
        return messages != nullptr;
    }));
    Ask(messages, CB_SETCURSEL, 0, 0);
    Ask(GetParent(messages), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(messages), CBN_SELCHANGE),
        reinterpret_cast<LPARAM>(messages));
    EXPECT_TRUE(s.WaitFor([&] { return sim.Command("messages").substr(0, 4) == "ok 1"; }));
    EXPECT_EQ(sim.Command("messages"),
              "ok 1 Ann|Mime-Version: 1.0\\r\\nContent-Type: text/html; charset=UTF-8"
              "\\r\\n\\r\\n|In a meeting|2");
    s.SendCallEvent("4B4F56526B15DC0400000003", 2, {Party("1001", 0), Party("4255551234", 0, 0, "Ann")});

    // "&Call..." on the selected contact: the reminder editor with Ann's number.
    ASSERT_EQ(sim.Command("select Ann"), "ok");
    EXPECT_EQ(sim.Command("menu main KOVRA &Call...").substr(0, 2), "ok");
    HWND editor = nullptr;
    EXPECT_TRUE(s.WaitFor([&] { return (editor = WindowWithChildText(program.Id(), L"(425) 555-1234")); }))
        << sim.Command("log");
    SaveWindowShot(GetDesktopWindow(), KOVRA_ARTIFACTS_DIR, "msgrsim_call_contact");
    // The editor carries the program's title too: it goes first, so the main window is the one left.
    if (editor) {
        PostMessageW(editor, WM_CLOSE, 0, 0);
        EXPECT_TRUE(s.WaitFor([&] { return !IsWindowVisible(editor); }));
    }

    // The program ends: its popups leave the client's windows. Every window with the program's title
    // is closed: the call pop-up may still be fading out, and which of them comes first varies.
    std::vector<HWND> titled;
    EnumThreadWindows(
        program.ThreadId(),
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            wchar_t title[64] = {};
            GetWindowTextW(window, title, 64);
            if (std::wstring(title) == L"Kovra Assistant" && IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&titled));
    ASSERT_FALSE(titled.empty());
    for (HWND window : titled)
        PostMessageW(window, WM_CLOSE, 0, 0);
    const bool ended = s.WaitFor([&] { return program.Ended(); }, 30000);
    if (!ended)
        SaveWindowShot(GetDesktopWindow(), KOVRA_ARTIFACTS_DIR, "msgrsim_close");
    ASSERT_TRUE(ended);
    EXPECT_EQ(windows().find("KOVRA"), std::string::npos) << windows();
    sim.Stop();
    EndMsgrSims(10000);
}

} // namespace
