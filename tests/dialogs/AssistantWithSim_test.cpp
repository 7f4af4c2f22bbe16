// The main window with its real dialogs against kovrasim in-process: a ringing call shows the
// pop-up and its "Answer the call" answers it, and the commands that open a dialog reach the
// server with what the user chose there.

#include <gtest/gtest.h>

#include <algorithm>

#include "AppTestSupport.h"
#include "DialogSimOptions.h"
#include "KovraSim.h"
#include "TestSupport.h"
#include "app/AssistantDialogs.h"
#include "dialogs/MSNCallDisp.h"
#include "dialogs/MSNConference.h"
#include "dialogs/MSNConferenceList.h"
#include "dialogs/MSNMakeCall.h"
#include "dialogs/MSNParkCall.h"
#include "dialogs/MSNPickupCall.h"
#include "dialogs/MSNTransferHold.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "settings/MSNConfig.h"

namespace {

template <class T> T* TopForm()
{
    const auto& forms = ui::Application->Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if (auto* form = dynamic_cast<T*>(*it); form && form->Visible())
            return form;
    return nullptr;
}

class AssistantWithSim : public SimFixture {
protected:
    void SetUp() override
    {
        KovraAssistantConfig().SetText("");
        ASSERT_NO_FATAL_FAILURE(StartSim(TwoPhoneSimOptions()));
        const std::uint16_t port = sim->ServerPort();
        app = std::make_unique<AppTest>(
            std::vector<std::string>{"-phone", "1001", "-pwd", "secret", "-server", "127.0.0.1"},
            [port](TAssistantOptions& o) {
                o.Services.Dialogs =
                    std::make_shared<TAssistantDialogs>(o.Services.Messenger, o.Services.Desktop);
                o.Network.LocalPort = 0;
                o.Network.LocalAddress = "127.0.0.1";
                o.Network.ServerPort = port;
                o.Network.ApiTimings = TKovraAPITimings::ScaledDown(20);
            });
        form = app->form.get();
        form->StartSession();
        // A fresh phone has no settings document; the query of the phone's configuration
        // follows the settings read, so its answer marks the session as ready.
        ASSERT_TRUE(PumpUntil([&] {
            return StartupInfo().LoggedIn && form->InService() && !form->PhoneConfig().ConfigText.empty();
        })) << StartupInfo().LoggedIn
            << form->InService();
    }
    void TearDown() override
    {
        app.reset();
        platform::ProcessMessages(0);
        SimFixture::TearDown();
        KovraAssistantConfig().SetText("");
    }

    std::string Ring(const std::string& from, const std::string& name)
    {
        return SimFixture::Ring("ring 1001 FROM " + from + " NAME \"" + name + "\"");
    }
    int LocalState(const std::string& oid)
    {
        const TCallInfo* call = form->FindCall(oid);
        return call ? call->LocalState : -1;
    }
    // Rings, waits for the pop-up and answers with its link.
    void RingAndAnswer(const std::string& oid)
    {
        ASSERT_TRUE(PumpUntil([&] { return LocalState(oid) == csRinging && form->FindCall(oid)->Popup; }));
        TfmCallDisposition* popup = TopForm<TfmCallDisposition>();
        ASSERT_NE(popup, nullptr);
        popup->txtAnswerCall->Click();
        ASSERT_TRUE(PumpUntil([&] { return LocalState(oid) == csConnected; }));
    }

    std::unique_ptr<AppTest> app;
    TfmKovraAssistant* form = nullptr;
};

TEST_F(AssistantWithSim, RingingCallShowsThePopupAndAnswerTheCallAnswersIt)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_TRUE(PumpUntil([&] { return LocalState(oid) == csRinging && form->FindCall(oid)->Popup; }));
    TfmCallDisposition* popup = TopForm<TfmCallDisposition>();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->txtCallerName->Caption(), "Dana Doe");
    EXPECT_EQ(popup->txtCallerNumber->Caption(), "(425) 555-0123");
    EXPECT_TRUE(popup->pnAlertingAnswer->Visible());
    EXPECT_TRUE(popup->pnAlerttingRedirectCall->Visible());

    popup->txtAnswerCall->Click();
    ASSERT_TRUE(PumpUntil([&] { return SimState(oid, "1001") == csConnected; }));
    ASSERT_TRUE(PumpUntil([&] { return LocalState(oid) == csConnected; }));
    // Connected: the record closed its pop-up.
    EXPECT_EQ(form->FindCall(oid)->Popup, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return TopForm<TfmCallDisposition>() == nullptr; }));
}

TEST_F(AssistantWithSim, TabReachesEveryLinkOfTheStatePageInOrderAndEnterRunsIt)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_TRUE(
        PumpUntil([&] { return LocalState(oid) == csRinging && form->nbStates->PageIndex() == spAlerting; }));
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

TEST_F(AssistantWithSim, PopupThatFadesOutByItselfLeavesTheCallRinging)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    ASSERT_TRUE(PumpUntil([&] { return LocalState(oid) == csRinging && form->FindCall(oid)->Popup; }));
    TfmCallDisposition* popup = TopForm<TfmCallDisposition>();
    ASSERT_NE(popup, nullptr);
    popup->tmCloseWindow->Tick();
    ASSERT_TRUE(PumpUntil([&] { return form->FindCall(oid) && !form->FindCall(oid)->Popup; }));
    EXPECT_EQ(SimState(oid, "1001"), 2);
    EXPECT_EQ(LocalState(oid), csRinging);
}

TEST_F(AssistantWithSim, MakeCallDialogDialsTheTypedNumberAndRemembersIt)
{
    platform::Post([] {
        auto* dialog = TopForm<TfmMakeCall>();
        ASSERT_NE(dialog, nullptr);
        for (char c : std::string("1002"))
            dialog->cbPhones->TypeKey(static_cast<char16_t>(c));
        dialog->btOk->Click();
    });
    form->Commands().OnMakeCall();
    ASSERT_TRUE(PumpUntil([&] { return !SimCallWith(*sim, "1002", csRinging).empty(); }));
    EXPECT_EQ(KovraAssistantConfig().ReadString("RecentPhoneNumbers", "0", ""), "1002");
}

TEST_F(AssistantWithSim, TransferToAHeldCallChosenInTheDialog)
{
    const std::string first = Ring("4255550123", "Dana Doe");
    RingAndAnswer(first);
    form->lbCalls->SelectItem(form->lbCalls->Items().IndexOf(first));
    form->Commands().OnHoldCall();
    ASSERT_TRUE(PumpUntil([&] { return LocalState(first) == csHeld; }));
    const std::string second = Ring("4255550188", "Erin Eck");
    RingAndAnswer(second);
    form->lbCalls->SelectItem(form->lbCalls->Items().IndexOf(second));

    std::vector<std::string> rows;
    platform::Post([&] {
        auto* dialog = TopForm<TfmTransferToHold>();
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < dialog->lbHeldCalls->Items().Count(); ++i)
            rows.push_back(dialog->lbHeldCalls->Items().Strings(i));
        dialog->lbHeldCalls->SelectItem(0);
        dialog->btAction->Click();
    });
    form->Commands().OnTransferOnHold();
    EXPECT_EQ(rows, std::vector<std::string>{"Dana Doe\tat (425) 555-0123"});
    // The user's phone leaves both calls; the far parties talk to each other.
    ASSERT_TRUE(PumpUntil([&] { return LocalState(first) == -1 && LocalState(second) == -1; }));
}

TEST_F(AssistantWithSim, GroupPickupTakesACallRingingElsewhere)
{
    const std::string oid = SimFixture::Ring("ring 1002 FROM 4255550123 NAME \"Dana Doe\"");
    ASSERT_TRUE(PumpUntil([&] { return SimState(oid, "1002") == 2; }));
    platform::Post([] {
        auto* dialog = TopForm<TfmPickupCall>();
        ASSERT_NE(dialog, nullptr);
        dialog->btGroupPickup->Click();
    });
    form->Commands().OnPickupCall();
    ASSERT_TRUE(PumpUntil([&] { return !SimCallWith(*sim, "1001", csConnected).empty(); }));
}

TEST_F(AssistantWithSim, ParkedCallShowsTheNoticeAndLeavesTheList)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    RingAndAnswer(oid);
    form->lbCalls->SelectItem(form->lbCalls->Items().IndexOf(oid));
    form->Commands().OnParkCall();
    ASSERT_TRUE(PumpUntil([&] { return TopForm<TFrmParkCallNotification>() != nullptr; }));
    TFrmParkCallNotification* notice = TopForm<TFrmParkCallNotification>();
    EXPECT_FALSE(notice->txtParkTo->Caption().empty());
    // The caller waits at the park place, no longer at the user's phone.
    EXPECT_TRUE(PumpUntil([&] { return SimState(oid, "1001") != 4; }));
    EXPECT_NE(SimState(oid, "4255550123"), -1);
}

TEST_F(AssistantWithSim, GuestChosenInTheConferenceListIsDroppedFromTheConference)
{
    const std::string oid = Ring("4255550123", "Dana Doe");
    RingAndAnswer(oid);
    form->lbCalls->SelectItem(form->lbCalls->Items().IndexOf(oid));
    platform::Post([] {
        auto* dialog = TopForm<TfmConference>();
        ASSERT_NE(dialog, nullptr);
        for (char c : std::string("1002"))
            dialog->cbPhones->TypeKey(static_cast<char16_t>(c));
        if (dialog->ckImmediateConf->Enabled())
            dialog->ckImmediateConf->SetChecked(true);
        dialog->btOk->Click();
    });
    form->Commands().OnSetupConference();
    // Bob answers at 1002 and the three talk.
    std::string bobCall;
    ASSERT_TRUE(PumpUntil([&] { return !(bobCall = SimCallWith(*sim, "1002", csRinging)).empty(); }));
    ASSERT_EQ(sim->Execute("answer-far " + bobCall).rfind("ok", 0), 0u);
    ASSERT_TRUE(PumpUntil([&] {
        const TCallInfo* call = form->SelectedCall();
        return call && call->IsConference();
    })) << "no conference line";
    const std::string conference = form->SelectedCall()->CallId;
    ASSERT_TRUE(PumpUntil([&] { return SimState(conference, "1002") == csConnected; })) << "Bob never joined";

    std::vector<std::string> rows;
    platform::Post([&] {
        auto* dialog = TopForm<TfmConferenceList>();
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < dialog->lbConfMembers->Items().Count(); ++i)
            rows.push_back(dialog->lbConfMembers->Items().Strings(i));
        for (int i = 0; i < dialog->lbConfMembers->Items().Count(); ++i)
            if (dialog->lbConfMembers->Items().Strings(i).find("Bob") != std::string::npos)
                dialog->lbConfMembers->SelectItem(i);
        dialog->btRemove->Click();
    });
    form->Commands().OnShowConferenceList();
    EXPECT_EQ(rows.size(), 2u);
    ASSERT_TRUE(PumpUntil([&] { return SimState(conference, "1002") <= 0; }))
        << "Bob still in the conference";
    EXPECT_EQ(SimState(conference, "4255550123"), 4);
}

} // namespace
