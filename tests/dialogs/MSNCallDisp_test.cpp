#include "DialogTestSupport.h"
#include "dialogs/MSNCallDisp.h"
#include "ui/Dpi.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace {

struct RecordingHost : ICallDispositionHost {
    std::vector<std::string> requests;
    std::vector<TForwardEntry> forward;
    std::optional<TMessengerContact> contact;
    std::vector<std::string> sent;
    std::vector<std::string> reminders;
    int mainWindowShown = 0;

    void AnswerCall(const std::string& oid) override { requests.push_back("answer " + oid); }
    void RedirectCall(const std::string& oid, const std::string& destination, int mode) override
    {
        requests.push_back("redirect " + oid + " " + std::to_string(mode) + " " + destination);
    }
    void HoldCall(const std::string& oid) override { requests.push_back("hold " + oid); }
    std::optional<TMessengerContact> FindContact(const std::string&) override { return contact; }
    bool SendInstantMessage(const TMessengerContact& to, const std::string& header, const std::string& text,
                            int type) override
    {
        sent.push_back(to.Id + "|" + header + "|" + text + "|" + std::to_string(type));
        return true;
    }
    void ShowMainWindow() override { ++mainWindowShown; }
    std::vector<TForwardEntry> ForwardEntries() const override { return forward; }
    void AddCallLater(const std::string& contact, const std::string& name, const std::string& number,
                      int minutes) override
    {
        reminders.push_back(contact + "|" + name + "|" + number + "|" + std::to_string(minutes));
    }
};

constexpr std::uint32_t kAll = 0xFFFFFFFFu;
constexpr std::uint32_t Bits(std::initializer_list<int> bits)
{
    std::uint32_t mask = 0;
    for (int bit : bits)
        mask |= 1u << bit;
    return mask;
}

class CallPopup : public DialogTest {
protected:
    TfmCallDisposition* Open(std::uint32_t caps = kAll, bool answerOffered = true,
                             TCallerInfo caller = Dana())
    {
        popup = new TfmCallDisposition(nullptr, host);
        popup->OnPopupClosed = [this] { ++closedCalls; };
        popup->SetUp(caller, caps, answerOffered);
        return popup;
    }
    static TCallerInfo Dana() { return {"4B4F56526B15DC0400000001", "Dana", "4255550123", false}; }
    std::vector<std::string> ShownRows() const
    {
        std::vector<std::string> names;
        for (ui::TUnicodePanel* row : popup->Rows())
            if (row->Visible())
                names.push_back(row->Name());
        return names;
    }
    // Ticks the fade timer while it runs, at most limit times; the number of ticks.
    int Fade(int limit = 100)
    {
        int ticks = 0;
        while (popup->tmShow->Enabled() && ticks < limit) {
            popup->tmShow->Tick();
            ++ticks;
        }
        return ticks;
    }
    void TearDown() override
    {
        if (popup && Alive(popup))
            delete popup;
        DialogTest::TearDown();
    }

    RecordingHost host;
    TfmCallDisposition* popup = nullptr;
    int closedCalls = 0;
};

TEST_F(CallPopup, RowsFollowTheCapabilityMaskAndStackFromTheTop)
{
    Open(kAll, true);
    EXPECT_EQ(ShownRows(),
              (std::vector<std::string>{"pnAlertingAnswer", "pnAlertingAnswerControl", "pnAlertingSendToVM",
                                        "pnAlertingIgnoreCall", "pnAlertingHoldCall", "pnAlertingCallLater",
                                        "pnAlerttingRedirectCall"}));

    // Without capRedirect neither voice mail, ignore nor redirect.
    popup->SetUp(Dana(), kAll & ~Bits({capRedirect}), false);
    EXPECT_EQ(ShownRows(), (std::vector<std::string>{"pnAlertingHoldCall", "pnAlertingCallLater"}));
    EXPECT_EQ(popup->pnAlertingHoldCall->Top(), 1);
    EXPECT_EQ(popup->pnAlertingCallLater->Top(), 1 + popup->pnAlertingHoldCall->Height());

    popup->SetUp(Dana(), Bits({capVoiceMail, capRedirect}), false);
    EXPECT_EQ(ShownRows(), (std::vector<std::string>{"pnAlertingSendToVM", "pnAlertingCallLater",
                                                     "pnAlerttingRedirectCall"}));
    popup->SetUp(Dana(), 0, false);
    EXPECT_EQ(ShownRows(), std::vector<std::string>{"pnAlertingCallLater"});
}

TEST_F(CallPopup, CallerTextsWithUrgentAndUnknown)
{
    Open(kAll, true, {"4B4F56526B15DC0400000001", "", "", true});
    EXPECT_EQ(popup->txtCallerName->Caption(), "Urgent <Unknown>");
    EXPECT_EQ(popup->txtCallerNumber->Caption(), "<Unknown>");
    MessageBundle().SetText("Urgent", "Dringend");
    popup->SetUp({"4B4F56526B15DC0400000001", "Zoë", "", true}, kAll, true);
    EXPECT_EQ(popup->txtCallerName->Caption(), "Dringend Zoë");
    EXPECT_EQ(popup->txtCallerNumber->Caption(), "");
}

// The corner itself is the Windows suite's (PopupFadesIn...); here the fade and the monitor's scale.
TEST_F(CallPopup, FadesInAtTheBottomRightCornerOfTheWorkAreaInTheMonitorsScale)
{
    Open();
    EXPECT_EQ(popup->AlphaBlendValue(), 10) << "seen as it shows";
    EXPECT_EQ(Fade(), 24);
    EXPECT_EQ(popup->AlphaBlendValue(), 255);
    // A refresh of a ringing call does not start the fade again.
    popup->SetUp(Dana(), kAll, true);
    EXPECT_EQ(popup->AlphaBlendValue(), 255);

    // On a high-DPI monitor the corner takes the scaled size.
    delete popup;
    desktop->workArea = {0, 0, 1920, 1050};
    desktop->dpi = 144;
    Open();
    const ui::TRect screen = popup->NativeBounds();
    EXPECT_EQ(screen.Width(), 375);
    EXPECT_EQ(screen.Height(), ui::ScaleToDpi(popup->Height(), 144));
    EXPECT_EQ(screen.Right, 1920);
    EXPECT_EQ(screen.Bottom, 1050);
}

TEST_F(CallPopup, HoldOrTheCloseImageFadesOutHidesAndTellsTheMainWindowOnce)
{
    Open();
    Fade();
    popup->HoldClick();
    EXPECT_EQ(host.requests, std::vector<std::string>{"hold 4B4F56526B15DC0400000001"});
    EXPECT_TRUE(popup->FadingOut());
    popup->tmShow->Tick();
    EXPECT_EQ(popup->AlphaBlendValue(), 245);
    popup->StartFadeOut(); // not restarted
    EXPECT_EQ(popup->AlphaBlendValue(), 245);
    Fade();
    EXPECT_EQ(popup->AlphaBlendValue(), 0);
    EXPECT_FALSE(popup->Visible());
    EXPECT_EQ(closedCalls, 1);
    platform::ProcessMessages(0);
    ASSERT_TRUE(Alive(popup)) << "kept for the next call";
    // A late click on the hidden window acts on no call.
    popup->HoldClick();
    EXPECT_EQ(host.requests.size(), 1u);

    // Shown again for another call: from the start of the fade, with the minute's close again;
    // the close image fades out too, closing now skips the fade, and a late tick of it closes
    // nothing more.
    popup->SetUp({"4B4F56526B15DC0400000002", "Lee", "4255550199", false}, kAll, true);
    EXPECT_EQ(popup->AlphaBlendValue(), 10);
    EXPECT_FALSE(popup->FadingOut());
    EXPECT_TRUE(popup->tmCloseWindow->Enabled());
    EXPECT_EQ(popup->txtCallerName->Caption(), "Lee");
    popup->imClose->Click();
    EXPECT_TRUE(popup->FadingOut());
    popup->CloseNow();
    EXPECT_FALSE(popup->Visible());
    EXPECT_EQ(closedCalls, 2);
    popup->tmShow->Tick();
    EXPECT_EQ(closedCalls, 2);
}

// The answer that reaches the server is the sim suite's (RingAndAnswer); here the handler and
// what keeps a request from being sent.
TEST_F(CallPopup, AnswerGoesToTheHandlerOrWithBitFiveToTheServer)
{
    Open();
    std::vector<std::string> answered;
    popup->OnAnswer = [&](const std::string& oid) { answered.push_back(oid); };
    popup->AnswerAndControlClick();
    EXPECT_EQ(answered, std::vector<std::string>{"4B4F56526B15DC0400000001"});
    EXPECT_TRUE(host.requests.empty());
    EXPECT_EQ(host.mainWindowShown, 1);
    EXPECT_TRUE(popup->FadingOut());

    popup->OnAnswer = nullptr;
    popup->SetUp(Dana(), kAll & ~Bits({capAnswer}), true);
    popup->AnswerClick();
    // Without an identifier nothing is sent.
    popup->SetUp({"", "Dana", "1", false}, kAll, true);
    popup->AnswerClick();
    popup->IgnoreClick();
    popup->HoldClick();
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(CallPopup, EnterOrAltAAnswersEscDismissesAndAFocusedControlKeepsEnter)
{
    const std::string answer = "answer 4B4F56526B15DC0400000001";
    Open(kAll, false);
    // Nothing to answer: Enter goes on to whatever has the keyboard.
    EXPECT_EQ(popup->KeyPressed(popup, ui::VK_RETURN_KEY, 0), ui::VK_RETURN_KEY);
    popup->SetUp(Dana(), kAll, true);
    // Tab walks the links in their order, round the end.
    popup->KeyPressed(popup, ui::VK_TAB_KEY, 0);
    EXPECT_EQ(popup->ActiveControl(), popup->txtAnswerCall);
    popup->KeyPressed(popup->txtAnswerCall, ui::VK_TAB_KEY, ui::ssShift);
    EXPECT_EQ(popup->ActiveControl(), popup->cbRedirectTo);
    EXPECT_EQ(popup->KeyPressed(popup->cbRedirectTo, ui::VK_RETURN_KEY, 0), ui::VK_RETURN_KEY);
    EXPECT_TRUE(host.requests.empty());

    popup->SetFocus();
    EXPECT_EQ(popup->KeyPressed(popup, ui::VK_RETURN_KEY, 0), 0);
    popup->KeyPressed(popup, ui::VK_RETURN_KEY, 0); // a repeat while it fades out answers nothing more
    popup->txtAlertingHold->SetFocus();
    EXPECT_EQ(popup->KeyPressed(popup->txtAlertingHold, ui::VK_SPACE_KEY, 0), 0);
    EXPECT_EQ(host.requests, (std::vector<std::string>{answer, "hold 4B4F56526B15DC0400000001"}));
    delete popup;

    Open();
    EXPECT_EQ(popup->KeyPressed(popup, 'A', ui::ssAlt), 0);
    EXPECT_EQ(host.requests.back(), answer);
    delete popup;
    Open();
    EXPECT_EQ(popup->KeyPressed(popup, ui::VK_ESCAPE_KEY, 0), 0);
    EXPECT_TRUE(popup->FadingOut());
    EXPECT_EQ(host.requests.size(), 3u);
}

// Voice mail and ignore redirect at once; call later too, by capVoiceMail, and keeps a reminder.
// The pop-up stays up for each.
TEST_F(CallPopup, VoiceMailIgnoreAndCallLaterRedirectAndTheWindowStays)
{
    Open(kAll & ~Bits({capVoiceMail}));
    Fade();
    popup->CallLaterClick();
    EXPECT_TRUE(host.requests.empty());
    EXPECT_EQ(host.reminders, std::vector<std::string>{"|Dana|4255550123|10"});
    host.contact = TMessengerContact{"dana@example.org", 0, ""};
    popup->SetUp(Dana(), kAll, true);
    popup->txtRedirectToVM->Click();
    popup->txtRedirectToVRing->Click();
    popup->CallLaterClick();
    EXPECT_EQ(host.requests, (std::vector<std::string>{"redirect 4B4F56526B15DC0400000001 2 ",
                                                       "redirect 4B4F56526B15DC0400000001 3 ",
                                                       "redirect 4B4F56526B15DC0400000001 2 "}));
    EXPECT_EQ(host.reminders.back(), "dana@example.org|Dana|4255550123|10");
    EXPECT_FALSE(popup->FadingOut());
    EXPECT_TRUE(popup->Visible());
}

TEST_F(CallPopup, RedirectListSendsTheChosenEntryAndNoneDoesNothing)
{
    host.forward = {{"Desk", "2001"}, {"Mobile", "4255550199"}};
    Open();
    ASSERT_EQ(popup->cbRedirectTo->Items().Count(), 3);
    popup->cbRedirectTo->SelectItem(0);
    EXPECT_TRUE(host.requests.empty());
    EXPECT_FALSE(popup->FadingOut());
    popup->cbRedirectTo->SelectItem(2);
    EXPECT_EQ(host.requests, std::vector<std::string>{"redirect 4B4F56526B15DC0400000001 1 4255550199"});
    EXPECT_TRUE(popup->FadingOut());

    // Shown again for the next call, it offers the forward list as it is now, from "None".
    popup->CloseNow();
    host.forward[1].Number = "4255550100";
    popup->SetUp(Dana(), kAll, true);
    EXPECT_EQ(popup->cbRedirectTo->ItemIndex(), 0);
    popup->cbRedirectTo->SelectItem(2);
    EXPECT_EQ(host.requests.back(), "redirect 4B4F56526B15DC0400000001 1 4255550100");
}

TEST_F(CallPopup, InstantMessageRowNeedsAnOnlineContact)
{
    Open();
    EXPECT_FALSE(popup->pnAlertingInstantMsg->Visible());
    host.contact = TMessengerContact{"dana@example.org", 1, ""};
    popup->SetUp(Dana(), kAll, true);
    EXPECT_FALSE(popup->pnAlertingInstantMsg->Visible());
    KovraAssistantConfig().WriteString("IMMessages", "0", "In a meeting");
    KovraAssistantConfig().WriteString("IMMessages", "1", "Call you back");
    host.contact->Status = kContactOnline;
    popup->SetUp(Dana(), kAll, true);
    EXPECT_TRUE(popup->pnAlertingInstantMsg->Visible());
    ASSERT_EQ(popup->cbIM->Items().Count(), 2);
    popup->cbIM->SelectItem(1);
    EXPECT_EQ(host.sent,
              std::vector<std::string>{"dana@example.org|Mime-Version: 1.0\r\nContent-Type: text/html; "
                                       "charset=UTF-8\r\n\r\n|Call you back|2"});
    // Gone offline meanwhile: the user is told.
    host.contact->Status = 0;
    popup->cbIM->SelectItem(0);
    EXPECT_EQ(host.sent.size(), 1u);
    ASSERT_EQ(desktop->messageBoxes.size(), 1u);
    EXPECT_EQ(desktop->messageBoxes[0].text,
              "Unable to send message.\r\rCannot find Instant Messenger user or user is not online.");

    // Enter in the box keeps a typed text, as the shared in-place editing does (MessengerSession),
    // and is the box's alone: the call is not answered.
    popup->cbIM->SetText("On my way");
    EXPECT_EQ(popup->cbIM->PressKey(ui::VK_RETURN_KEY), 0);
    EXPECT_EQ(KovraAssistantConfig().ReadString("IMMessages", "2", ""), "On my way");
    EXPECT_TRUE(host.requests.empty());
}

} // namespace
