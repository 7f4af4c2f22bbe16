// The options window headless: its tabs and height by integration and capRedirect, the
// connection log bound, the canned messages' in-place edit and the confirmation switches.

#include "DialogTestSupport.h"
#include "api/KovraUDPApi.h"
#include "dialogs/ConfirmFm.h"
#include "dialogs/MSNCallLaterCallFm.h"
#include "options/MSNOptions.h"
#include "options/MSNPhoneOptions.h"

using namespace api;
using namespace settings;
using namespace dialogs;
using namespace options;

namespace {

constexpr std::uint32_t kBit12 = 1u << capRedirect;

class OptionsTest : public DialogTest {
protected:
    TfmOptions& Make(bool messenger, std::uint32_t capabilities, TOptionsSession session = {})
    {
        options = std::make_unique<TfmOptions>(nullptr, lists);
        session.Messenger = messenger;
        options->SetSession(session);
        options->Initialise(capabilities);
        return *options;
    }
    std::vector<std::string> Tabs() const
    {
        std::vector<std::string> tabs;
        for (int i = 0; i < options->TabSet->Tabs().Count(); ++i)
            tabs.push_back(options->TabSet->Tabs().Strings(i));
        return tabs;
    }
    void TearDown() override
    {
        options.reset();
        DialogTest::TearDown();
    }

    TOptionsLists lists;
    std::unique_ptr<TfmOptions> options;
};

using Strings = std::vector<std::string>;

TEST_F(OptionsTest, TabsFollowIntegrationAndBit12AndShowPageSelectsTheTabCarryingThePage)
{
    Make(false, kBit12);
    EXPECT_EQ(Tabs(), (Strings{"Connection", "Call Later", "Forward", "Preferences", "History"}));
    EXPECT_EQ(options->Height(), TfmOptions::kHeightWithout);
    options->Initialise(0);
    EXPECT_EQ(Tabs().size(), 5u);

    MessageBundle().SetText("TabPrefs", "Einstellungen");
    Make(true, 0);
    EXPECT_EQ(Tabs(), (Strings{"Connection", "Messenger", "Phone", "Messages", "Call Later", "Einstellungen",
                               "History"}));
    EXPECT_EQ(options->Height(), TfmOptions::kHeightWithMessenger);

    // ShowPage selects the tab carrying the page, none for a missing Forward tab.
    Make(false, 0);
    options->ShowPage(opCallLater);
    EXPECT_EQ(options->TabSet->TabIndex(), 1);
    options->ShowPage(opForward);
    EXPECT_EQ(options->Notebook->PageIndex(), opForward);
    EXPECT_EQ(options->nbButtons->PageIndex(), opForward);
    EXPECT_EQ(options->TabSet->TabIndex(), -1);
    // Clicking a tab shows the page it carries, titled as the tab.
    options->TabSet->SelectTab(2);
    EXPECT_EQ(options->Notebook->PageIndex(), opPreferences);
    EXPECT_EQ(options->pnTitle->Caption(), "Einstellungen");
}

TEST_F(OptionsTest, LogKeepsAtMost501LinesDroppingTheOldestAndClears)
{
    Make(false, 0);
    for (int i = 0; i < 600; ++i)
        options->AddLogLine("line " + std::to_string(i), false);
    EXPECT_EQ(options->meLog->Items().Count(), 501);
    EXPECT_EQ(options->meLog->Items().Strings(0), "line 99");
    EXPECT_EQ(options->meLog->ItemIndex(), 500);
    options->AddLogLine("SNT: LOGIN_REQ 7", true);
    const std::string last = options->meLog->Items().Strings(500);
    ASSERT_EQ(last.size(), 8u + 2 + 16);
    EXPECT_EQ(last.substr(2, 1) + last.substr(5, 1), "::");
    EXPECT_EQ(last.substr(8), "  SNT: LOGIN_REQ 7");
    options->imClear->Click();
    EXPECT_EQ(options->meLog->Items().Count(), 0);
}

TEST_F(OptionsTest, MessageIsStoredWithEnterAndAnUncommittedRowGoesWhenTheEditLosesFocus)
{
    KovraAssistantConfig().WriteString("IMMessages", "0", "Busy now");
    Make(true, 0);
    ASSERT_EQ(options->lbMessages->Items().Count(), 1);
    options->ShowForm();
    options->MessagesAdd();
    EXPECT_TRUE(options->edMessage->Visible());
    TypeText(*options->edMessage, std::string(90, 'x'));
    EXPECT_EQ(options->edMessage->Text().size(), 80u);
    options->edMessage->PressKey(13);
    EXPECT_FALSE(options->edMessage->Visible());
    EXPECT_EQ(KovraAssistantConfig().ReadString("IMMessages", "1", ""), std::string(80, 'x'));

    options->MessagesAdd();
    TypeText(*options->edMessage, "half");
    options->lbMessages->SetFocus();
    EXPECT_EQ(options->lbMessages->Items().Count(), 2);
    EXPECT_FALSE(options->btMessagesEdit->Enabled());

    options->lbMessages->SetItemIndex(0);
    options->MessagesEdit();
    TypeText(*options->edMessage, "!");
    options->edMessage->PressKey(27);
    EXPECT_EQ(options->lbMessages->Items().Strings(0), "Busy now");
    options->MessagesDelete();
    EXPECT_EQ(KovraAssistantConfig().ReadString("IMMessages", "0", ""), std::string(80, 'x'));
    EXPECT_EQ(KovraAssistantConfig().ReadString("IMMessages", "1", "none"), "none");
}

TEST_F(OptionsTest, ConfirmBoxesFollowTheirKeysAndNoToADeleteQuestionKeepsTheEntry)
{
    KovraAssistantConfig().WriteString("Forward", "2001", "Desk");
    KovraAssistantConfig().WriteString("Call Later", "0", "Bob,1002,0,0");
    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    Make(false, kBit12);
    // The boxes start from their keys; a click writes its key at once.
    EXPECT_FALSE(options->cbConfirmExit->Checked());
    EXPECT_TRUE(options->cbConfirmFwdDel->Checked());
    options->cbConfirmExit->Click();
    EXPECT_EQ(KovraAssistantConfig().ReadInteger("Confirm", "Exit", 0), 1);
    struct TCase {
        ui::TListView* List;
        std::function<void()> Delete;
        ui::TUnicodeLightCheckBox* Box;
        const char* Key;
    };
    for (const TCase& each :
         {TCase{options->lbForward, [&] { options->ForwardDelete(); }, options->cbConfirmFwdDel, "FwdDel"},
          TCase{options->lbCallLater, [&] { options->CallLaterDelete(); }, options->cbConfirmCLDel,
                "CLDel"}}) {
        each.List->SelectItem(0);
        WhenShown<TfmConfirm>([](TfmConfirm& box) {
            box.cbConfirm->Click();
            box.btNo->Click();
        });
        each.Delete();
        EXPECT_EQ(each.List->ItemCount(), 1) << each.Key;
        EXPECT_EQ(KovraAssistantConfig().ReadInteger("Confirm", each.Key, 1), 0) << each.Key;
        EXPECT_FALSE(each.Box->Checked()) << each.Key;
    }
}

// The session ends (a hand-over, the messaging client signing out, Exit) while a delete question
// of the window is open: the question ends unanswered and the window goes after it.
TEST_F(OptionsTest, WindowRetiredWhileItsDeleteQuestionIsOpenGoesOnlyAfterIt)
{
    KovraAssistantConfig().WriteString("Forward", "2001", "Desk");
    Make(false, kBit12);
    options->ShowForm();
    options->lbForward->SelectItem(0);
    TfmOptions* window = options.release();
    bool asked = false;
    WhileModal([&] {
        asked = TopForm<TfmConfirm>() != nullptr;
        window->Retire();
    });
    window->ForwardDelete();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(window->Visible());
    EXPECT_EQ(fmOptions, nullptr);
    EXPECT_EQ(lists.Forwards().size(), 1u);
    platform::ProcessMessages(0);
    EXPECT_FALSE(Alive(window));
}

// The server is away: "Call Now" sends nothing, and the reminder stays to be announced again.
TEST_F(OptionsTest, ReminderThatCouldNotCallStays)
{
    KovraAssistantConfig().WriteString("Call Later", "0", "Bob,1002,0,0");
    TKovraAPI api;
    TOptionsSession session;
    session.Api = &api;
    session.Device = [] { return std::string("1001"); };
    session.LoggedIn = [] { return false; };
    Make(false, 0, session);
    options->CountDownTick();
    ASSERT_NE(fmCallLaterCall, nullptr);
    fmCallLaterCall->btCall->Click();
    EXPECT_EQ(lists.Reminders().size(), 1u);
    EXPECT_EQ(options->lbCallLater->ItemCount(), 1);
}

TEST_F(OptionsTest, EveryWayOfClosingOnlyHidesAndCallsTheSaveHandler)
{
    Make(false, 0);
    int saves = 0;
    options->OnSave = [&] { ++saves; };
    // The caption image hides it too, as the suite against the server shows.
    options->ShowForm();
    options->Close();
    platform::ProcessMessages(0);
    EXPECT_FALSE(options->Visible());
    EXPECT_EQ(fmOptions, options.get());
    EXPECT_EQ(saves, 1);
}

TEST_F(OptionsTest, RulePagesShowStoredRulesOverTheDefaultsByTheGroupsTags)
{
    KovraAssistantConfig().WriteString("IMStates", "34", "3,2145551234,Desk");
    KovraAssistantConfig().WriteString("PhoneStates", "1", "0");
    Make(true, 0);
    ASSERT_EQ(options->gbMsgrRules[3]->Tag(), 34);
    // The rules' texts are the rule set's own (MSNUtils); here they reach their groups.
    EXPECT_EQ(options->lbMsgrRule[3]->Caption(), "Forward to Desk (2145551234)");
    EXPECT_EQ(options->lbPhoneCondition[1]->Caption(),
              "If my current state is 'online' or 'away' or 'be right back' or 'out to lunch'");
    // The icon in the caption's blanks: none for "Nothing", red for on the phone, green for online.
    auto centre = [&](int group) { return options->imPhoneRule[group]->Picture().Pixels.at(8 * 16 + 8); };
    EXPECT_EQ(centre(0), 0u);
    EXPECT_EQ(centre(1), 0xFFC00000u);

    // Opened before log-in, the window read an empty document; the server's one, read later,
    // replaces what the first one said on every page.
    KovraAssistantConfig().SetText("");
    KovraAssistantConfig().WriteString("Forward", "2001", "Desk");
    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    options->ReloadSettings();
    EXPECT_EQ(options->lbMsgrRule[3]->Caption(), "Enable do not disturb");
    EXPECT_EQ(centre(0), 0xFF00A000u);
    ASSERT_EQ(options->lbForward->ItemCount(), 1);
    EXPECT_EQ(options->lbForward->CellText(0, 1), "2001");
    EXPECT_FALSE(options->cbConfirmExit->Checked());
}

TEST_F(OptionsTest, ChangeOnThePhonePageMarksItsButtonWhileEditingAndStoresTheRule)
{
    // A skin may give the pressed colour as a system colour: the toolkit gets it as one.
    SetColour(133, clBtnFace);
    Make(true, 0);
    auto* change = options->Find<ui::TUnicodePanel>("btPhoneRule2");
    ASSERT_NE(change, nullptr);
    const ui::TColor normal = change->Color();
    ASSERT_NE(normal, ui::clBtnFace);
    // While its editor is open the pressed button shows the pressed colour; after, its own again.
    ui::TColor whileOpen = normal;
    WhenShown<TfmPhoneOptions>([&](TfmPhoneOptions& editor) {
        whileOpen = change->Color();
        editor.cbState->SelectItem(0);
        editor.btOk->Click();
    });
    change->Click();
    EXPECT_EQ(whileOpen, ui::clBtnFace);
    EXPECT_EQ(change->Color(), normal);
    EXPECT_EQ(KovraAssistantConfig().ReadString("PhoneStates", "2", ""),
              "0,2,14,34,66"); // ticks in row order
    EXPECT_EQ(options->lbPhoneRule[1]->Caption(), "       Nothing");
    messenger::PresenceRules().SetDefaults();
}

} // namespace
