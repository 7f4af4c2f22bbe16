// The wrapper's COM binding against msgrsim in another process: calls marshaled by our type
// library, the events through the sink, and the wrapper's error convention.

#include <gtest/gtest.h>

#include <optional>

#include "MsgrSimProcess.h"
#include "messenger/Messenger_TLB.h"
#include "platform/MainLoop.h"

using namespace messenger;

namespace {

class MsgrComTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Not running yet: connecting makes COM start the registered msgrsim.
        TMsgrSimProcess::RestartRpcService();
        const std::string portFile = TMsgrSimProcess::NewPortFile();
        ASSERT_TRUE(TMsgrSimProcess::Register(portFile));
        ASSERT_NO_THROW(CreateMsgrObject()->Connect());
        sim_ = new TMsgrSimProcess;
        ASSERT_TRUE(sim_->Attach(portFile));
        ASSERT_EQ(sim_->Command("add \"Zoë Smith\" 2 \"+1 425 555 1234\" \"\" 555-0100"), "ok 1");
        ASSERT_EQ(sim_->Command("add Bob 10"), "ok 2");
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ(sim_->Command("status 2"), "ok 2");
        messenger_ = CreateMsgrObject();
        messenger_->OnLocalStateChangeResult = [this](long, int state, const std::string&) {
            states_.push_back(state);
        };
        ASSERT_NO_THROW(messenger_->Connect());
    }
    bool WaitForState(int state)
    {
        return PumpUntil([&] { return !states_.empty() && states_.back() == state; }, kMsgrSimWaitMs);
    }

    static TMsgrSimProcess* sim_;
    std::unique_ptr<TMsgrObject> messenger_;
    std::vector<int> states_;
};

TMsgrSimProcess* MsgrComTest::sim_ = nullptr;

// A name beyond ASCII, the third phone slot, a text sent with its header and type, and the
// wrapper's error for a bad index, a bad phone kind, a text to a contact not online and a status
// that does not exist. The statuses the program sets are checked end to end by its coupling case
// (tests/app/MessengerLink_win_test.cpp).
TEST_F(MsgrComTest, NamesPhonesTextsAndTheWrappersErrorsCrossTheProcessBoundary)
{
    auto contacts = messenger_->List(MLIST_CONTACT);
    ASSERT_EQ(contacts->Count(), 2);
    auto zoe = contacts->Item(0);
    EXPECT_EQ(zoe->FriendlyName(), "Zoë Smith");
    auto phones = zoe->Phones();
    ASSERT_NE(phones, nullptr);
    EXPECT_EQ(phones->PhoneNumber(2), "555-0100");
    EXPECT_THROW(phones->PhoneNumber(3), EOleError);
    EXPECT_THROW(contacts->Item(2), EOleError);
    ASSERT_NO_THROW(zoe->SendText(kMimeHeader, "Call me back", MMSGTYPE_ALL_RESULTS));
    EXPECT_EQ(
        sim_->Command("messages"),
        "ok 1 Zoë Smith|Mime-Version: 1.0\\r\\nContent-Type: text/html; charset=UTF-8\\r\\n\\r\\n|Call me "
        "back|2");
    EXPECT_THROW(contacts->Item(1)->SendText(kMimeHeader, "Busy?", MMSGTYPE_ALL_RESULTS), EOleError);
    EXPECT_EQ(sim_->Command("messages").substr(0, 4), "ok 1");
    EXPECT_THROW(messenger_->SetLocalState(67), EOleError);
}

// Two changes made before msgrsim gets round to its events (it was busy, a change by the control
// channel and one by a program are waiting): each event carries the status its change set.
TEST_F(MsgrComTest, EachEventCarriesTheStatusItsChangeSet)
{
    ASSERT_EQ(sim_->Command("freeze 1500"), "ok");
    ASSERT_TRUE(sim_->Send("status 34"));
    // Bounded: time for the line to reach msgrsim's main thread's queue before the call does.
    platform::ProcessMessages(300);
    messenger_->SetLocalState(10);
    EXPECT_EQ(sim_->Answer(), "ok 34");
    ASSERT_TRUE(PumpUntil([&] { return states_.size() >= 2; }, kMsgrSimWaitMs));
    EXPECT_EQ(states_, (std::vector<int>{34, 10}));
    EXPECT_EQ(messenger_->LocalState(), 10);
}

// msgrsim never takes the class from a client really installed, nor removes its registration.
TEST_F(MsgrComTest, RegistrationLeavesAnotherProgramsClassAlone)
{
    const wchar_t key[] = L"Software\\Classes\\CLSID\\{F3A614DC-ABE0-11D2-A441-00C04F795683}\\LocalServer32";
    auto registered = [&] {
        wchar_t command[1024] = {};
        DWORD size = sizeof command - sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, key, nullptr, RRF_RT_REG_SZ, nullptr, command, &size) !=
            ERROR_SUCCESS)
            return std::wstring();
        return std::wstring(command);
    };
    ASSERT_NE(registered().find(L"msgrsim.exe"), std::wstring::npos);
    const std::wstring client = L"\"C:\\Program Files\\Client\\client.exe\" -Embedding";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, client.c_str(),
                              static_cast<DWORD>((client.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    EXPECT_EQ(TMsgrSimProcess::Run(L"--register"), 1);
    EXPECT_EQ(registered(), client);
    EXPECT_EQ(TMsgrSimProcess::Run(L"--unregister"), 0);
    EXPECT_EQ(registered(), client);
    EXPECT_EQ(TMsgrSimProcess::Run(L"--register --force"), 0);
    EXPECT_NE(registered().find(L"msgrsim.exe"), std::wstring::npos);
    EXPECT_EQ(TMsgrSimProcess::Run(L"--unregister"), 0);
    EXPECT_EQ(registered(), L"");

    // As the other tests expect to find it.
    EXPECT_TRUE(TMsgrSimProcess::Register(TMsgrSimProcess::NewPortFile()));
    EXPECT_NE(registered().find(L"msgrsim.exe"), std::wstring::npos);
}

// Ending normally, msgrsim signs out first; the suite's last case, msgrsim is gone after it. A
// client that dies without a word is the program's dead-client case under Wine.
TEST_F(MsgrComTest, QuitAnnouncesOfflineBeforeTheProcessEnds)
{
    ASSERT_EQ(sim_->Command("quit"), "ok bye");
    ASSERT_TRUE(WaitForState(MSTATE_OFFLINE));
    ASSERT_TRUE(PumpUntil([] { return sim_->Ended(); }, kMsgrSimWaitMs));
    // Anything msgrsim had sent would have arrived by now.
    platform::ProcessMessages(200);
    EXPECT_EQ(states_, std::vector<int>{MSTATE_OFFLINE});
}

TEST(MsgrCom, NoClientToStartGivesTheWrappersError)
{
    std::optional<bool> connected;
    auto unknown = CreateMsgrObject("{0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9}");
    unknown->BeginConnect([&](bool ok) { connected = ok; });
    ASSERT_TRUE(PumpUntil([&] { return connected.has_value(); }, kMsgrSimWaitMs));
    EXPECT_FALSE(*connected);
    try {
        unknown->LocalState();
        ADD_FAILURE() << "no error";
    } catch (const EOleError& error) {
        EXPECT_STREQ(error.what(), kNotConnectedMessage);
        EXPECT_LT(error.Code(), 0);
    }
}

} // namespace
