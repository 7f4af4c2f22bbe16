// KovraUtils.dll entering msgrsim's process: subclassing by class, the notifications, commands,
// release, and the list-view read through the shared block.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "KovraUtilsLibrary.h"
#include "MsgrSimProcess.h"
#include "platform/MainLoop.h"

namespace {

const char kProperty[] = "_QmOldProc_";
const char kClientClasses[] = "MSBLClass\0IMWindowClass\0";

// Reached as the program reaches it: loaded, and every export found by its plain name.
const hooklib::TKovraUtilsLibrary& Utils()
{
    const hooklib::TKovraUtilsLibrary* library = hooklib::LoadKovraUtils();
    if (!library)
        throw std::runtime_error("KovraUtils.dll or one of its exports was not found");
    return *library;
}

// The popup a program puts into every client window it is told of.
const KovraMenuEntry kOwnersPopup[] = {{0, 0, 0, L"KOVRA"}, {1, 5001, 0, L"&Call..."}};

// A message-only window of its own class.
HWND MessageWindow(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                           nullptr);
}

// Started with KOVRA_HOOK_OWNER in its environment, this test program is instead a program that
// owns the hook: it installs it, gives every window it is told of its popup, and runs until it is
// killed. Decided before the tests are set up.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 1)
        Utils().SetClientMenu(reinterpret_cast<HWND>(wParam), kOwnersPopup, 2);
    return message >= WM_USER && message <= WM_USER + 2 ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

const bool gRunAsHookOwner = [] {
    if (GetEnvironmentVariableW(L"KOVRA_HOOK_OWNER", nullptr, 0) == 0)
        return false;
    HWND notify = MessageWindow(L"KovraUtilsTestOwner", &OwnerProc);
    Utils().InstallNotify(notify, std::string(kClientClasses, sizeof kClientClasses).c_str());
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    ExitProcess(0);
}();

// Starts this program as the hook's owner; its process handle, or null.
HANDLE StartHookOwner()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(path) + L"\"";
    SetEnvironmentVariableW(L"KOVRA_HOOK_OWNER", L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process);
    SetEnvironmentVariableW(L"KOVRA_HOOK_OWNER", nullptr);
    if (!started)
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// The list view anywhere below a window: the client nests it in a pane.
HWND FindListView(HWND parent)
{
    HWND found = nullptr;
    const auto step = [](HWND child, LPARAM result) CALLBACK -> BOOL {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (lstrcmpW(name, L"SysListView32") != 0)
            return TRUE;
        *reinterpret_cast<HWND*>(result) = child;
        return FALSE;
    };
    EnumChildWindows(parent, step, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct Note {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};

// The program's side: a notification window that records what it is sent.
class HookTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim_ = new TMsgrSimProcess;
        ASSERT_TRUE(sim_->Start());
        ASSERT_EQ(sim_->Command("add Alice 2 \"+1 425 555 1234\""), "ok 1");
        ASSERT_EQ(sim_->Command("add Bob 10"), "ok 2");
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }

    void SetUp() override
    {
        notify_ = MessageWindow(L"KovraUtilsTestNotify", &NotifyProc);
        ASSERT_NE(notify_, nullptr);
        notes_.clear();
        commandAnswer_ = 0;
        main_ = sim_->Window("main");
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override
    {
        Utils().UninstallNotify();
        sim_->Command("close Alice");
        sim_->Command("close Bob");
        DestroyWindow(notify_);
    }

    static LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message >= WM_USER && message <= WM_USER + 2) {
            notes_.push_back({message, wParam, lParam});
            return message == WM_USER ? commandAnswer_ : 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void Install(const char* names = kClientClasses, std::size_t size = sizeof kClientClasses)
    {
        Utils().InstallNotify(notify_, std::string(names, size).c_str());
    }
    int Count(UINT message, WPARAM wParam) const
    {
        int count = 0;
        for (const auto& note : notes_)
            count += note.Message == message && note.WParam == wParam;
        return count;
    }
    // The last command note: the other notes are posted and may come after it.
    static Note LastCommand()
    {
        for (auto note = notes_.rbegin(); note != notes_.rend(); ++note)
            if (note->Message == WM_USER)
                return *note;
        return {};
    }
    bool WaitForNote(UINT message, HWND window)
    {
        return PumpUntil([&] { return Count(message, reinterpret_cast<WPARAM>(window)) > 0; },
                         kMsgrSimWaitMs);
    }
    // Everything msgrsim had queued before this has run once its answer is here.
    void RoundTrip() { ASSERT_EQ(sim_->Command("status").substr(0, 2), "ok"); }
    static bool Subclassed(HWND window) { return GetPropA(window, kProperty) != nullptr; }
    static std::string SimLog() { return sim_->Command("log"); }
    static int Occurrences(const std::string& text, const std::string& part)
    {
        int count = 0;
        for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
            ++count;
        return count;
    }
    // How many times the client's own procedure saw that log line.
    static int Seen(const std::string& line) { return Occurrences(SimLog() + ";", " " + line + ";"); }
    // Whatever msgrsim posted us before its last answer has been handled once this returns.
    void Settle()
    {
        RoundTrip();
        platform::ProcessMessages(50);
    }

    static TMsgrSimProcess* sim_;
    static std::vector<Note> notes_;
    static LRESULT commandAnswer_;
    HWND notify_ = nullptr;
    HWND main_ = nullptr;
};

TMsgrSimProcess* HookTest::sim_ = nullptr;
std::vector<Note> HookTest::notes_;
LRESULT HookTest::commandAnswer_ = 0;

TEST_F(HookTest, ListedClassesAreSubclassedWhateverTheCaseOthersNeverAndUninstallReleasesAll)
{
    // The conversations' class only, in other letters: one created later is caught and announces
    // its end, and its own procedure still sees its destruction.
    static const char conversations[] = "imwindowclass\0";
    Install(conversations, sizeof conversations);
    ASSERT_EQ(sim_->Command("open Alice").substr(0, 2), "ok");
    HWND alice = sim_->Window("Alice");
    ASSERT_TRUE(WaitForNote(WM_USER + 1, alice));
    EXPECT_TRUE(Subclassed(alice));
    EXPECT_FALSE(Subclassed(main_));
    ASSERT_EQ(sim_->Command("close Alice"), "ok");
    ASSERT_TRUE(WaitForNote(WM_USER + 2, alice));
    EXPECT_EQ(Count(WM_USER + 1, reinterpret_cast<WPARAM>(alice)), 1);
    EXPECT_NE(SimLog().find("destroy Alice"), std::string::npos);
    Utils().UninstallNotify();

    // The main window's class only: the existing window is caught at once, a conversation never.
    static const char mainWindow[] = "MSBLClass\0";
    Install(mainWindow, sizeof mainWindow);
    ASSERT_TRUE(WaitForNote(WM_USER + 1, main_));
    EXPECT_EQ(Count(WM_USER + 1, reinterpret_cast<WPARAM>(main_)), 1);
    EXPECT_TRUE(Subclassed(main_));
    ASSERT_EQ(sim_->Command("open Bob").substr(0, 2), "ok");
    HWND bob = sim_->Window("Bob");
    RoundTrip();
    EXPECT_FALSE(Subclassed(bob));
    EXPECT_EQ(Count(WM_USER + 1, reinterpret_cast<WPARAM>(bob)), 0);
    Utils().UninstallNotify();
    sim_->Command("close Bob");

    // Both: uninstalling releases and announces every window, which works on without us.
    notes_.clear();
    Install();
    sim_->Command("open Alice");
    sim_->Command("open Bob");
    std::vector<HWND> windows = {main_, sim_->Window("Alice"), sim_->Window("Bob")};
    for (HWND window : windows)
        ASSERT_TRUE(WaitForNote(WM_USER + 1, window));
    Utils().UninstallNotify();
    for (HWND window : windows) {
        EXPECT_EQ(Count(WM_USER + 2, reinterpret_cast<WPARAM>(window)), 1);
        EXPECT_FALSE(Subclassed(window));
    }
    const std::size_t heard = notes_.size();
    ASSERT_EQ(sim_->Command("menu Bob &File &Close"), "ok 401");
    EXPECT_EQ(notes_.size(), heard);
    EXPECT_EQ(sim_->Window("Bob"), nullptr);
}

TEST_F(HookTest, OurPopupGoesIntoTheBarOnlyItsPicksReachTheProgramAndItGoesWithTheRelease)
{
    Install();
    ASSERT_TRUE(Subclassed(main_));
    sim_->Command("open Bob");
    HWND conversation = sim_->Window("Bob");
    ASSERT_TRUE(WaitForNote(WM_USER + 1, conversation));
    // Were the client's commands offered to the program, it would take them.
    commandAnswer_ = 1;

    // The program's commands share numbers with the client's own: its "About" (301), its button
    // (1), its "Sign Out" (101), the conversation's "Copy" (402). Rebuilt again and again, as the
    // state pages change the "I want to..." items.
    const std::pair<const char*, const char*> clientsOwn[] = {{"menu main &Help &About", "command main 301"},
                                                              {"click main", "button main 1"},
                                                              {"menu Bob &Edit &Copy", "command Bob 402"}};
    const UINT programCommands[] = {301, 1, 101, 402};
    for (int rebuild = 0; rebuild < 24; ++rebuild) {
        const UINT copy = programCommands[rebuild % 4];
        const KovraMenuEntry popup[] = {{0, 0, 0, L"KOVRA"},
                                        {1, 301, 0, L"&Call..."},
                                        {1, 0, MF_POPUP, L"I want to..."},
                                        {2, copy, 0, L"Answer"},
                                        {1, 1, 0, L"&Exit"}};
        ASSERT_TRUE(Utils().SetClientMenu(main_, popup, 5));
        ASSERT_TRUE(Utils().SetClientMenu(conversation, popup, 2));
        notes_.clear();

        for (const auto& [command, line] : clientsOwn) {
            const int before = Seen(line);
            ASSERT_EQ(sim_->Command(command).substr(0, 2), "ok") << command;
            EXPECT_EQ(Seen(line), before + 1) << command << " in rebuild " << rebuild;
        }
        // An accelerator and a control's notification carrying the number of one of ours.
        SendMessageW(main_, WM_COMMAND, MAKEWPARAM(301, 1), 0);
        SendMessageW(main_, WM_COMMAND, MAKEWPARAM(copy, BN_CLICKED), reinterpret_cast<LPARAM>(main_));
        Settle();
        EXPECT_EQ(Count(WM_USER, MAKEWPARAM(301, 0)) + Count(WM_USER, MAKEWPARAM(301, 1)) +
                      Count(WM_USER, MAKEWPARAM(copy, 0)),
                  0)
            << "rebuild " << rebuild;

        // Our own items reach the program, with the program's numbers, and never the client.
        const std::string answer = sim_->Command("menu main KOVRA \"I want to...\" Answer");
        ASSERT_EQ(answer.substr(0, 3), "ok ");
        const std::string local = answer.substr(3);
        ASSERT_TRUE(PumpUntil([&] { return !notes_.empty(); }, kMsgrSimWaitMs)) << "rebuild " << rebuild;
        EXPECT_EQ(notes_[0].WParam, MAKEWPARAM(copy, 0));
        EXPECT_EQ(reinterpret_cast<HWND>(notes_[0].LParam), main_);
        EXPECT_EQ(sim_->Command("menu Bob KOVRA &Call...").substr(0, 3), "ok ");
        ASSERT_TRUE(PumpUntil([&] { return notes_.size() >= 2; }, kMsgrSimWaitMs));
        EXPECT_EQ(Seen("command main " + local), 0) << local;
        Settle();
        ASSERT_EQ(notes_.size(), 2u);
        EXPECT_EQ(notes_[1].WParam, MAKEWPARAM(301, 0));
        EXPECT_EQ(reinterpret_cast<HWND>(notes_[1].LParam), conversation);
    }

    // The popup goes right-aligned into the bar; a second takes the first one's place, a broken one
    // changes nothing.
    auto bars = [] { return sim_->Command("windows"); };
    const KovraMenuEntry popup[] = {
        {0, 0, 0, L"KOVRA"},     {1, 5001, 0, L"&Call..."}, {1, 0, MF_POPUP, L"I want to..."},
        {2, 5002, 0, L"Answer"}, {1, 0, MF_SEPARATOR, L""}, {1, 5003, MF_GRAYED, L"&Exit"}};
    ASSERT_TRUE(Utils().SetClientMenu(main_, popup, 6));
    EXPECT_NE(bars().find("MSBLClass [&File,&Contacts,&Help,>KOVRA]"), std::string::npos) << bars();
    const KovraMenuEntry second[] = {{0, 0, 0, L"KOVRA"}, {1, 5004, 0, L"&Call..."}};
    ASSERT_TRUE(Utils().SetClientMenu(main_, second, 2));
    const KovraMenuEntry orphan[] = {{0, 0, 0, L"KOVRA"}, {2, 5005, 0, L"Lost"}};
    EXPECT_FALSE(Utils().SetClientMenu(main_, orphan, 2));
    const unsigned char cut[] = {1, 0, 0};
    COPYDATASTRUCT copy{0x1029384A, sizeof cut, const_cast<unsigned char*>(cut)};
    EXPECT_EQ(SendMessageW(main_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)), 0);
    EXPECT_NE(bars().find("[&File,&Contacts,&Help,>KOVRA]"), std::string::npos) << bars();
    EXPECT_EQ(sim_->Command("menu main KOVRA \"I want to...\" Answer"), "error no such menu item");
    ASSERT_EQ(sim_->Command("menu main KOVRA &Call...").substr(0, 3), "ok ");
    EXPECT_TRUE(PumpUntil([] { return LastCommand().WParam == 5004u; }, kMsgrSimWaitMs));

    // A conversation's popup goes with its window, and every popup with the release.
    EXPECT_NE(bars().find("IMWindowClass [&File,&Edit,>KOVRA]"), std::string::npos) << bars();
    ASSERT_EQ(sim_->Command("close Bob"), "ok");
    EXPECT_FALSE(Utils().SetClientMenu(conversation, second, 2));
    Utils().UninstallNotify();
    EXPECT_EQ(bars().find("KOVRA"), std::string::npos) << bars();
    EXPECT_FALSE(Utils().SetClientMenu(main_, second, 2));
}

TEST_F(HookTest, ListViewItemIsReadThroughTheSharedBlockAndCutToTheCallersCapacity)
{
    Install();
    ASSERT_TRUE(Subclassed(main_));
    ASSERT_EQ(sim_->Command("select Bob"), "ok");
    // Not a child of the main window: inside its pane.
    ASSERT_EQ(FindWindowExW(main_, nullptr, L"SysListView32", nullptr), nullptr);
    HWND list = FindListView(main_);
    ASSERT_NE(list, nullptr);

    // As the program finds it: the selected item's index needs no memory of the other process.
    const int selected =
        static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    ASSERT_EQ(selected, 1);
    char text[300];
    std::memset(text, 'x', sizeof text);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = selected;
    item.pszText = text;
    item.cchTextMax = 256;
    ASSERT_TRUE(Utils().GetListViewItem(main_, list, &item));
    EXPECT_STREQ(text, "Bob (Busy)");
    EXPECT_EQ(item.pszText, text);
    EXPECT_EQ(item.lParam, 1);

    // The block as any process sees it: notification window, class list, record, text.
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "_$Qm$S$W_");
    ASSERT_NE(mapping, nullptr);
    auto* block = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 3120));
    ASSERT_NE(block, nullptr);
    std::uint32_t fields[10];
    std::memcpy(fields, block + 2053, sizeof fields);
    EXPECT_EQ(std::memcmp(block, &notify_, 4), 0);
    EXPECT_EQ(std::memcmp(block + 4, kClientClasses, sizeof kClientClasses), 0);
    EXPECT_EQ(fields[0], static_cast<std::uint32_t>(LVIF_TEXT | LVIF_PARAM));
    EXPECT_EQ(fields[1], 1u);
    EXPECT_EQ(fields[6], 256u);
    EXPECT_EQ(fields[8], 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(block + 2093), "Bob (Busy)");
    UnmapViewOfFile(block);
    CloseHandle(mapping);

    std::memset(text, 'x', sizeof text);
    item.cchTextMax = 4;
    ASSERT_TRUE(Utils().GetListViewItem(main_, list, &item));
    EXPECT_STREQ(text, "Bob");
    EXPECT_EQ(text[4], 'x');
    // A capacity beyond the block's buffer is held to it instead of running past the block.
    std::vector<char> large(5000, 'x');
    item.pszText = large.data();
    item.cchTextMax = 5000;
    item.iItem = 0;
    ASSERT_TRUE(Utils().GetListViewItem(main_, list, &item));
    EXPECT_STREQ(large.data(), "Alice (Online)");
    EXPECT_EQ(large[1027], 'x');
}

TEST_F(HookTest, ProgramKilledLeavesTheClientWorkingAndANewStartHooksItAgainWithOnePopup)
{
    HANDLE owner = StartHookOwner();
    ASSERT_NE(owner, nullptr);
    auto popups = [](const std::string& name) {
        std::string windows = sim_->Command("windows");
        std::size_t at = windows.find("\"" + name + "\" ");
        return at == std::string::npos ? -1
                                       : Occurrences(windows.substr(at, windows.find(';', at) - at), "KOVRA");
    };
    // A conversation opened once the owner has hooked the client is caught as it is created.
    bool hooked = PumpUntil([&] { return popups("main") == 1; }, kMsgrSimWaitMs);
    sim_->Command("open Alice");
    HWND conversation = sim_->Window("Alice");
    hooked = hooked && PumpUntil([&] { return popups("Alice") == 1; }, kMsgrSimWaitMs);
    TerminateProcess(owner, 1);
    WaitForSingleObject(owner, 20000);
    CloseHandle(owner);
    ASSERT_TRUE(hooked) << sim_->Command("windows");
    ASSERT_TRUE(Subclassed(main_));
    ASSERT_TRUE(Subclassed(conversation));

    // The client lives on, its windows still subclassed, with the library they point into, even
    // when the system lets go of the dead program's hook library there.
    ASSERT_EQ(sim_->Command("unload KovraUtils.dll"), "ok loaded");
    const int abouts = Seen("command main 301");
    ASSERT_EQ(sim_->Command("menu main &Help &About"), "ok 301");
    EXPECT_EQ(Seen("command main 301"), abouts + 1);
    // The dead program's item does nothing but take its popup away; the client never sees it.
    const std::string answer = sim_->Command("menu main KOVRA &Call...");
    ASSERT_EQ(answer.substr(0, 3), "ok ");
    EXPECT_EQ(Seen("command main " + answer.substr(3)), 0);
    EXPECT_EQ(Seen("command main 5001"), 0);
    EXPECT_EQ(popups("main"), 0);
    EXPECT_EQ(popups("Alice"), 1);
    EXPECT_FALSE(sim_->Ended());

    // A new start learns of both windows again and each keeps one popup: ours in place of the old.
    Install();
    ASSERT_TRUE(WaitForNote(WM_USER + 1, main_));
    ASSERT_TRUE(WaitForNote(WM_USER + 1, conversation));
    const KovraMenuEntry popup[] = {{0, 0, 0, L"KOVRA"}, {1, 7001, 0, L"&Call..."}};
    ASSERT_TRUE(Utils().SetClientMenu(main_, popup, 2));
    ASSERT_TRUE(Utils().SetClientMenu(conversation, popup, 2));
    EXPECT_EQ(popups("main"), 1);
    EXPECT_EQ(popups("Alice"), 1);
    ASSERT_EQ(sim_->Command("menu Alice KOVRA &Call...").substr(0, 3), "ok ");
    EXPECT_TRUE(PumpUntil([] { return LastCommand().WParam == 7001u; }, kMsgrSimWaitMs));
    EXPECT_EQ(reinterpret_cast<HWND>(LastCommand().LParam), conversation);
}

// The program lets go while the client is busy: the release is not answered in time.
TEST_F(HookTest, ReleaseNotAnsweredInTimeLeavesTheClientWorking)
{
    Install();
    ASSERT_TRUE(Subclassed(main_));
    ASSERT_TRUE(Utils().SetClientMenu(main_, kOwnersPopup, 2));
    ASSERT_EQ(sim_->Command("freeze 3000"), "ok");
    Utils().UninstallNotify();
    EXPECT_EQ(Count(WM_USER + 2, reinterpret_cast<WPARAM>(main_)), 1);
    // Once the client is back its window may still point into the library, which stays.
    RoundTrip();
    ASSERT_EQ(sim_->Command("unload KovraUtils.dll"), "ok loaded");
    const int abouts = Seen("command main 301");
    ASSERT_EQ(sim_->Command("menu main &Help &About"), "ok 301");
    EXPECT_EQ(Seen("command main 301"), abouts + 1);
    // A popup left behind tells no one and goes at its first pick (or went with a late release).
    notes_.clear();
    sim_->Command("menu main KOVRA &Call...");
    EXPECT_EQ(sim_->Command("windows").find("KOVRA"), std::string::npos);
    Settle();
    EXPECT_TRUE(notes_.empty());
    EXPECT_EQ(Seen("command main 5001"), 0);
}

TEST(KovraUtilsExports, PlainNamesWithTheirOrdinals)
{
    Utils();
    HMODULE library = GetModuleHandleA("KovraUtils.dll");
    ASSERT_NE(library, nullptr);
    const char* names[] = {"GetListViewItem", "UninstallNotify", "InstallNotify", "SetClientMenu"};
    for (int ordinal = 1; ordinal <= 4; ++ordinal) {
        FARPROC byName = GetProcAddress(library, names[ordinal - 1]);
        EXPECT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byName, GetProcAddress(library, MAKEINTRESOURCEA(ordinal))) << names[ordinal - 1];
    }
}

} // namespace
