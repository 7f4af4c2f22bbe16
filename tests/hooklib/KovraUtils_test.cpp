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

namespace {

const char kProperty[] = "_QmOldProc_";

// Reached as the program reaches it: loaded, and every export found by its plain name.
const TKovraUtilsLibrary& Utils()
{
    const TKovraUtilsLibrary* library = LoadKovraUtils();
    if (!library)
        throw std::runtime_error("KovraUtils.dll or one of its exports was not found");
    return *library;
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
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &NotifyProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KovraUtilsTestNotify";
        RegisterClassW(&windowClass);
        notify_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
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

    void Install(const char* names, std::size_t size)
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
        return PumpUntil([&] { return Count(message, reinterpret_cast<WPARAM>(window)) > 0; });
    }
    // Everything msgrsim had queued before this has run once its answer is here.
    void RoundTrip() { ASSERT_EQ(sim_->Command("status").substr(0, 2), "ok"); }
    static bool Subclassed(HWND window) { return GetPropA(window, kProperty) != nullptr; }
    static std::string SimLog() { return sim_->Command("log"); }

    static TMsgrSimProcess* sim_;
    static std::vector<Note> notes_;
    static LRESULT commandAnswer_;
    HWND notify_ = nullptr;
    HWND main_ = nullptr;
};

TMsgrSimProcess* HookTest::sim_ = nullptr;
std::vector<Note> HookTest::notes_;
LRESULT HookTest::commandAnswer_ = 0;

TEST_F(HookTest, ListedWindowCreatedLaterIsSubclassedWhateverTheCaseAndAnnouncesItsEnd)
{
    static const char names[] = "imwindowclass\0";
    Install(names, sizeof names);
    ASSERT_EQ(sim_->Command("open Alice").substr(0, 2), "ok");
    HWND conversation = sim_->Window("Alice");
    ASSERT_TRUE(WaitForNote(WM_USER + 1, conversation));
    EXPECT_TRUE(Subclassed(conversation));
    EXPECT_FALSE(Subclassed(main_));

    ASSERT_EQ(sim_->Command("close Alice"), "ok");
    ASSERT_TRUE(WaitForNote(WM_USER + 2, conversation));
    EXPECT_EQ(Count(WM_USER + 1, reinterpret_cast<WPARAM>(conversation)), 1);
    // The conversation's own procedure still saw its destruction.
    EXPECT_NE(SimLog().find("destroy Alice"), std::string::npos);
}

TEST_F(HookTest, ExistingWindowOfTheFirstClassIsSubclassedAtOnceAndUnlistedClassesNever)
{
    static const char names[] = "MSBLClass\0";
    Install(names, sizeof names);
    ASSERT_TRUE(WaitForNote(WM_USER + 1, main_));
    EXPECT_EQ(Count(WM_USER + 1, reinterpret_cast<WPARAM>(main_)), 1);
    EXPECT_TRUE(Subclassed(main_));

    ASSERT_EQ(sim_->Command("open Bob").substr(0, 2), "ok");
    HWND conversation = sim_->Window("Bob");
    RoundTrip();
    EXPECT_FALSE(Subclassed(conversation));
    EXPECT_EQ(Count(WM_USER + 1, reinterpret_cast<WPARAM>(conversation)), 0);
}

TEST_F(HookTest, CommandPassesOnWhenAnsweredZeroAndIsConsumedOtherwise)
{
    static const char names[] = "MSBLClass\0";
    Install(names, sizeof names);
    ASSERT_TRUE(Subclassed(main_));
    auto aboutsSeen = [] {
        std::string log = SimLog();
        int count = 0;
        for (std::size_t at = 0; (at = log.find("command main 301", at)) != std::string::npos; ++at)
            ++count;
        return count;
    };
    const int before = aboutsSeen();

    ASSERT_EQ(sim_->Command("menu main &Help &About"), "ok 301");
    ASSERT_EQ(LastCommand().Message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(LOWORD(LastCommand().WParam), 301);
    EXPECT_EQ(reinterpret_cast<HWND>(LastCommand().LParam), main_);
    EXPECT_EQ(aboutsSeen(), before + 1);

    commandAnswer_ = 1;
    ASSERT_EQ(sim_->Command("menu main &Help &About"), "ok 301");
    EXPECT_EQ(Count(WM_USER, MAKEWPARAM(301, 0)), 2);
    EXPECT_EQ(aboutsSeen(), before + 1);
}

TEST_F(HookTest, UninstallReleasesAndAnnouncesEverySubclassedWindow)
{
    static const char names[] = "MSBLClass\0IMWindowClass\0";
    Install(names, sizeof names);
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
    // Released windows work on without us: a command reaches msgrsim, and we hear nothing.
    const std::size_t heard = notes_.size();
    ASSERT_EQ(sim_->Command("menu Bob &File &Close"), "ok 401");
    EXPECT_EQ(notes_.size(), heard);
    EXPECT_EQ(sim_->Window("Bob"), nullptr);
}

TEST_F(HookTest, ListViewItemIsReadThroughTheSharedBlockAndCutToTheCallersCapacity)
{
    static const char names[] = "MSBLClass\0IMWindowClass\0";
    Install(names, sizeof names);
    ASSERT_TRUE(Subclassed(main_));
    ASSERT_EQ(sim_->Command("select Bob"), "ok");
    HWND list = FindWindowExW(main_, nullptr, L"SysListView32", nullptr);
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
    EXPECT_EQ(std::memcmp(block + 4, names, sizeof names), 0);
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

TEST_F(HookTest, PopupGoesRightAlignedIntoTheBarIsReplacedAndGoesWithTheRelease)
{
    static const char names[] = "MSBLClass\0IMWindowClass\0";
    Install(names, sizeof names);
    ASSERT_TRUE(Subclassed(main_));
    auto bars = [] { return sim_->Command("windows"); };
    const KovraMenuEntry popup[] = {
        {0, 0, 0, L"KOVRA"},     {1, 5001, 0, L"&Call..."}, {1, 0, MF_POPUP, L"I want to..."},
        {2, 5002, 0, L"Answer"}, {1, 0, MF_SEPARATOR, L""}, {1, 5003, MF_GRAYED, L"&Exit"}};
    ASSERT_TRUE(Utils().SetClientMenu(main_, popup, 6));
    EXPECT_NE(bars().find("MSBLClass [&File,&Contacts,&Help,>KOVRA]"), std::string::npos) << bars();
    // The popup's own command is posted and goes no further.
    ASSERT_EQ(sim_->Command("menu main KOVRA \"I want to...\" Answer"), "ok 5002");
    EXPECT_TRUE(PumpUntil([] { return LastCommand().WParam == 5002u; }));
    EXPECT_EQ(reinterpret_cast<HWND>(LastCommand().LParam), main_);
    EXPECT_EQ(SimLog().find("command main 5002"), std::string::npos);

    // A second popup takes the first one's place; a broken one changes nothing.
    const KovraMenuEntry second[] = {{0, 0, 0, L"KOVRA"}, {1, 5004, 0, L"&Call..."}};
    ASSERT_TRUE(Utils().SetClientMenu(main_, second, 2));
    const KovraMenuEntry orphan[] = {{0, 0, 0, L"KOVRA"}, {2, 5005, 0, L"Lost"}};
    EXPECT_FALSE(Utils().SetClientMenu(main_, orphan, 2));
    const unsigned char cut[] = {1, 0, 0};
    COPYDATASTRUCT copy{0x1029384A, sizeof cut, const_cast<unsigned char*>(cut)};
    EXPECT_EQ(SendMessageW(main_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)), 0);
    EXPECT_NE(bars().find("[&File,&Contacts,&Help,>KOVRA]"), std::string::npos) << bars();
    EXPECT_EQ(sim_->Command("menu main KOVRA \"I want to...\" Answer"), "error no such menu item");
    EXPECT_EQ(sim_->Command("menu main KOVRA &Call..."), "ok 5004");

    // A window that is not subclassed is left alone; a conversation's popup goes with its window.
    sim_->Command("open Bob");
    HWND conversation = sim_->Window("Bob");
    ASSERT_TRUE(WaitForNote(WM_USER + 1, conversation));
    ASSERT_TRUE(Utils().SetClientMenu(conversation, second, 2));
    EXPECT_NE(bars().find("IMWindowClass [&File,&Edit,>KOVRA]"), std::string::npos) << bars();
    ASSERT_EQ(sim_->Command("close Bob"), "ok");
    EXPECT_FALSE(Utils().SetClientMenu(conversation, second, 2));

    Utils().UninstallNotify();
    EXPECT_EQ(bars().find("KOVRA"), std::string::npos) << bars();
    EXPECT_FALSE(Utils().SetClientMenu(main_, second, 2));
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

}  // namespace
