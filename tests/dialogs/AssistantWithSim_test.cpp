// The main window with its real dialogs against kovrasim in-process: a ringing call shows the
// pop-up and its "Answer the call" answers it, and the commands that open a dialog reach the
// server with what the user chose there.

#include <gtest/gtest.h>

#include <algorithm>

#include "DialogSimOptions.h"
#include "app/AssistantDialogs.h"
#include "dialogs/MSNCallDisp.h"
#include "dialogs/MSNConference.h"
#include "dialogs/MSNConferenceList.h"
#include "dialogs/MSNMakeCall.h"
#include "dialogs/MSNParkCall.h"
#include "dialogs/MSNPickupCall.h"
#include "dialogs/MSNTransferHold.h"
#include "options/MSNOptionsLists.h"
#include "settings/DialingRules.h"

using namespace api;
using namespace settings;
using namespace dialogs;
using namespace app;

namespace {

class AssistantWithSim : public AppWithSim {
protected:
    void SetUp() override
    {
        Start("1001", [this](TAssistantOptions& o) {
            assistantDialogs =
                std::make_shared<TAssistantDialogs>(o.Services.Messenger, o.Services.Desktop, lists);
            o.Services.Dialogs = assistantDialogs;
        });
    }
    std::shared_ptr<options::TOptionsLists> lists = std::make_shared<options::TOptionsLists>();
    std::shared_ptr<TAssistantDialogs> assistantDialogs;

    std::string Ring(const std::string& from, const std::string& name)
    {
        return SimFixture::Ring("ring 1001 FROM " + from + " NAME \"" + name + "\"");
    }
    int LocalState(const std::string& oid)
    {
        const TCallInfo* call = form->FindCall(oid);
        return call ? call->LocalState : -1;
    }
    bool PopupUp(const std::string& oid)
    {
        return LocalState(oid) == csRinging && form->FindCall(oid)->Popup;
    }
    // Rings, answers with the pop-up's link (naming this call), which closes it, and selects the call.
    void RingAndAnswer(const std::string& oid)
    {
        ASSERT_TRUE(PumpUntil([&] { return PopupUp(oid); }));
        TfmCallDisposition* popup = TopForm<TfmCallDisposition>();
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->txtCallerName->Caption(), form->FindCall(oid)->FirstName());
        popup->txtAnswerCall->Click();
        ASSERT_TRUE(PumpUntil([&] { return SimState(oid, "1001") == csConnected; }));
        ASSERT_TRUE(PumpUntil([&] { return LocalState(oid) == csConnected; }));
        EXPECT_TRUE(PumpUntil([&] { return TopForm<TfmCallDisposition>() == nullptr; }));
        form->lbCalls->SelectItem(form->lbCalls->Items().IndexOf(oid));
    }
};

TEST_F(AssistantWithSim, PopupFadedOutLeavesTheCallRingingAndTabAndEnterOnThePageAnswerIt)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_TRUE(PumpUntil([&] { return PopupUp(oid) && form->nbStates->PageIndex() == spAlerting; }));
    TfmCallDisposition* popup = TopForm<TfmCallDisposition>();
    ASSERT_NE(popup, nullptr);
    popup->tmCloseWindow->Tick();
    ASSERT_TRUE(PumpUntil([&] { return form->FindCall(oid) && !form->FindCall(oid)->Popup; }));
    EXPECT_EQ(SimState(oid, "1001"), csRinging);
    EXPECT_EQ(LocalState(oid), csRinging);

    std::vector<ui::TControl*> shown;
    for (const TfmKovraAssistant::TLink* link : form->PageLinks()[spAlerting])
        if (link->Panel->Visible())
            shown.push_back(link->Label);
    ASSERT_GE(shown.size(), 5u);
    // Once round the form's tab stops; the page's links come in their stacking order.
    std::vector<ui::TControl*> reached;
    ui::TControl* at = form;
    for (int i = 0; i < 40; ++i) {
        form->KeyPressed(at, ui::VK_TAB_KEY, 0);
        at = form->ActiveControl();
        ASSERT_NE(at, nullptr);
        if (std::find(reached.begin(), reached.end(), at) != reached.end())
            break;
        if (std::find(shown.begin(), shown.end(), at) != shown.end())
            reached.push_back(at);
    }
    EXPECT_EQ(reached, shown);

    ui::TControl* answer = form->Link("pnAlertingAnswer")->Label;
    answer->SetFocus();
    EXPECT_EQ(form->KeyPressed(answer, ui::VK_RETURN_KEY, 0), 0);
    EXPECT_TRUE(PumpUntil([&] { return SimState(oid, "1001") == csConnected; }));
}

// The pop-up's redirect dials the forward-list entry by the dialing rules.
TEST_F(AssistantWithSim, PopupRedirectsToTheForwardEntryAsTheRulesDialIt)
{
    KovraAssistantConfig().WriteString("Forward", "(206) 555-1234", "Mobile");
    lists->LoadForwards();
    TDialingRules outside;
    outside.Values = {"", "", "9", "", "", "4"};
    outside.Save(KovraAssistantConfig());
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_TRUE(PumpUntil([&] { return PopupUp(oid); }));
    TfmCallDisposition* popup = TopForm<TfmCallDisposition>();
    ASSERT_NE(popup, nullptr);
    // A second call ringing meanwhile gets a window of its own; each acts on its own call.
    const std::string other = Ring("4255550188", "Erin Eck");
    ASSERT_TRUE(PumpUntil([&] { return PopupUp(other); }));
    ASSERT_NE(TopForm<TfmCallDisposition>(), popup);
    EXPECT_EQ(TopForm<TfmCallDisposition>()->txtCallerName->Caption(), "Erin Eck");
    EXPECT_EQ(popup->txtCallerName->Caption(), "Dana Doe");
    popup->cbRedirectTo->SetItemIndex(1);
    popup->cbRedirectTo->OnSelect(popup->cbRedirectTo);
    EXPECT_TRUE(PumpUntil([&] { return SimState(oid, "92065551234") == csRinging; }));
    EXPECT_EQ(LocalState(other), csRinging);
}

TEST_F(AssistantWithSim, MakeCallDialogDialsTheTypedNumberAndRemembersIt)
{
    WhenShown<TfmMakeCall>([](TfmMakeCall& dialog) {
        EXPECT_FALSE(dialog.btOk->Enabled());
        TypeText(*dialog.cbPhones, "1002");
        dialog.btOk->Click();
    });
    form->Commands().OnMakeCall();
    ASSERT_TRUE(PumpUntil([&] { return !CallWith("1002", csRinging).empty(); }));
    EXPECT_EQ(KovraAssistantConfig().ReadString("RecentPhoneNumbers", "0", ""), "1002");
}

TEST_F(AssistantWithSim, TransferToAHeldCallChosenInTheDialog)
{
    const std::string first = Ring("4255550123", "Dana Doe");
    ASSERT_NO_FATAL_FAILURE(RingAndAnswer(first));
    form->Commands().OnHoldCall();
    ASSERT_TRUE(PumpUntil([&] { return LocalState(first) == csHeld; }));
    const std::string second = Ring("4255550188", "Erin Eck");
    ASSERT_NO_FATAL_FAILURE(RingAndAnswer(second));
    // The first call's pop-up window, hidden after its answer, came back for the second.
    EXPECT_EQ(assistantDialogs->PopupForms().size(), 1u);

    std::vector<std::string> rows;
    WhenShown<TfmTransferToHold>([&](TfmTransferToHold& dialog) {
        for (int i = 0; i < dialog.lbHeldCalls->Items().Count(); ++i)
            rows.push_back(dialog.lbHeldCalls->Items().Strings(i));
        dialog.lbHeldCalls->SelectItem(0);
        dialog.btAction->Click();
    });
    form->Commands().OnTransferOnHold();
    EXPECT_EQ(rows, std::vector<std::string>{"Dana Doe\tat (425) 555-0123"});
    // The user's phone leaves both calls; the far parties talk to each other.
    ASSERT_TRUE(PumpUntil([&] { return LocalState(first) == -1 && LocalState(second) == -1; }));
}

// A number typed before Group Pickup is neither the target nor remembered.
TEST_F(AssistantWithSim, GroupPickupTakesACallRingingElsewhere)
{
    const std::string oid = SimFixture::Ring("ring 1002 FROM 4255550123 NAME \"Dana Doe\"");
    ASSERT_TRUE(PumpUntil([&] { return SimState(oid, "1002") == csRinging; }));
    WhenShown<TfmPickupCall>([](TfmPickupCall& dialog) {
        TypeText(*dialog.cbPhones, "1003");
        dialog.btGroupPickup->Click();
    });
    form->Commands().OnPickupCall();
    ASSERT_TRUE(PumpUntil([&] { return !CallWith("1001", csConnected).empty(); }));
    EXPECT_FALSE(KovraAssistantConfig().SectionExists("RecentPhoneNumbers"));
}

TEST_F(AssistantWithSim, ParkedCallShowsTheNoticeAndLeavesTheList)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_NO_FATAL_FAILURE(RingAndAnswer(oid));
    form->Commands().OnParkCall();
    ASSERT_TRUE(PumpUntil([&] { return TopForm<TFrmParkCallNotification>() != nullptr; }));
    EXPECT_FALSE(TopForm<TFrmParkCallNotification>()->txtParkTo->Caption().empty());
    // The caller waits at the park place, no longer at the user's phone.
    EXPECT_TRUE(PumpUntil([&] { return SimState(oid, "1001") != csConnected; }));
    EXPECT_NE(SimState(oid, "4255550123"), -1);
}

TEST_F(AssistantWithSim, GuestChosenInTheConferenceListIsDroppedFromTheConference)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_NO_FATAL_FAILURE(RingAndAnswer(oid));
    WhenShown<TfmConference>([](TfmConference& dialog) {
        TypeText(*dialog.cbPhones, "1002");
        if (dialog.ckImmediateConf->Enabled())
            dialog.ckImmediateConf->SetChecked(true);
        dialog.btOk->Click();
    });
    form->Commands().OnSetupConference();
    // Bob answers at 1002 and the three talk.
    std::string bobCall;
    ASSERT_TRUE(PumpUntil([&] { return !(bobCall = CallWith("1002", csRinging)).empty(); }));
    ASSERT_EQ(sim->Execute("answer-far " + bobCall).rfind("ok", 0), 0u);
    ASSERT_TRUE(PumpUntil([&] { return form->SelectedCall() && form->SelectedCall()->IsConference(); }))
        << "no conference line";
    const std::string conference = form->SelectedCall()->CallId;
    ASSERT_TRUE(PumpUntil([&] { return SimState(conference, "1002") == csConnected; })) << "Bob never joined";

    std::vector<std::string> rows;
    WhenShown<TfmConferenceList>([&](TfmConferenceList& dialog) {
        for (int i = 0; i < dialog.lbConfMembers->Items().Count(); ++i) {
            rows.push_back(dialog.lbConfMembers->Items().Strings(i));
            if (rows.back().find("Bob") != std::string::npos)
                dialog.lbConfMembers->SelectItem(i);
        }
        dialog.btRemove->Click();
    });
    form->Commands().OnShowConferenceList();
    EXPECT_EQ(rows.size(), 2u);
    ASSERT_TRUE(PumpUntil([&] { return SimState(conference, "1002") <= 0; }))
        << "Bob still in the conference";
    EXPECT_EQ(SimState(conference, "4255550123"), csConnected);
}

} // namespace
