#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/MSNMainOptions.h"
#include "settings/MSNConfig.h"

using ui::headless::TCanvasOp;

namespace {

const std::string kCall = "0000000000000000000000A1";
const std::string kOther = "0000000000000000000000B2";
const std::string kRelated = "0000000000000000000000C3";

TEST(CallTracking, IncomingCallCreatesSelectedLineAlertingPageAndOnePopup)
{
    AppTest t;
    t.Ring(kCall);
    t.Ring(kCall);  // a repeated ringing event refreshes the same pop-up
    ASSERT_EQ(t.form->lbCalls->Items().Count(), 1);
    TCallInfo* call = t.form->SelectedCall();
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->CallId, kCall);
    EXPECT_EQ(call->LocalState, csRinging);
    EXPECT_EQ(t.form->AlertingCallId, kCall);
    EXPECT_EQ(t.ActivePage(), "Alerting");
    EXPECT_EQ(t.form->nbPages->PageIndex(), 0);
    EXPECT_EQ(t.dialogs->popupsCreated, 1);
    auto* popup = static_cast<FakePopup*>(call->Popup);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->oid, kCall);
    EXPECT_GE(popup->setUps, 2);
    EXPECT_EQ(call->FirstName(), "Dana");
    EXPECT_EQ(call->FirstDevice(), "4255550123");
    EXPECT_TRUE(t.form->tmCallDuration->Enabled());
}

TEST(CallTracking, AnsweringClosesPopupRestartsDurationAndRaisesBusy)
{
    AppTest t;
    t.Ring(kCall);
    TCallInfo* call = t.form->FindCall(kCall);
    call->StartTick -= 90000;  // rang for a minute and a half
    t.Answer(kCall);
    EXPECT_EQ(call->LocalState, csConnected);
    EXPECT_EQ(call->Popup, nullptr);
    EXPECT_EQ(t.dialogs->popupsAlive, 0);
    EXPECT_EQ(t.form->ActiveCallId, kCall);
    EXPECT_TRUE(t.form->AlertingCallId.empty());
    EXPECT_EQ(t.ActivePage(), "Connected");
    EXPECT_EQ(t.messenger->phoneEvents, std::vector<int>{2});
    t.form->lbCalls->Repaint();
    const auto texts = ui::headless::PaintedTexts(*t.form->lbCalls);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "00:00");
}

TEST(CallTracking, HoldAndRetrieveMoveIdentifiersAndRaiseHangupThenBusy)
{
    AppTest t;
    t.Ring(kCall);
    t.Answer(kCall);
    t.Hold(kCall);
    EXPECT_EQ(t.form->HeldCallId, kCall);
    EXPECT_TRUE(t.form->ActiveCallId.empty());
    EXPECT_EQ(t.ActivePage(), "Held");
    t.Event(kCall, ceRetrieved, {Party("1001", csConnected), Party("4255550123", csConnected)});
    EXPECT_TRUE(t.form->HeldCallId.empty());
    EXPECT_EQ(t.form->ActiveCallId, kCall);
    EXPECT_EQ(t.messenger->phoneEvents, (std::vector<int>{2, 3, 2}));
}

TEST(CallTracking, FinishedCallsGoToTheHistoryAndMissedOnesToTheTrayUntilSeen)
{
    AppTest t;
    t.Ring(kCall);
    t.Answer(kCall);
    t.Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    t.Ring(kOther, "2065550199", "Lee");
    t.Event(kOther, ceCleared, {Party("1001", csGone), Party("2065550199", csGone)}); // the caller gave up
    t.Event(kRelated, ceDialing, {Party("1001", csDialing)}); // dialled, abandoned before any party
    t.Event(kRelated, ceCleared, {Party("1001", csGone)});

    const auto& calls = t.form->History().Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].Incoming);
    EXPECT_FALSE(calls[0].Answered);
    EXPECT_EQ(calls[0].Name, "Lee");
    EXPECT_EQ(calls[0].Number, "2065550199");
    EXPECT_TRUE(calls[1].Incoming);
    EXPECT_TRUE(calls[1].Answered);
    EXPECT_EQ(calls[1].Name, "Dana");
    EXPECT_EQ(calls[1].Number, "4255550123");
    EXPECT_GT(calls[1].Start, 1700000000);
    EXPECT_EQ(t.form->History().MissedCount(), 1);
    EXPECT_EQ(t.form->tbIcon->Hint(), "1 missed call");
    TCallHistory stored;
    stored.Load(KovraAssistantConfig());
    EXPECT_EQ(stored.Calls(), calls);

    t.form->HistorySeen();
    EXPECT_EQ(t.form->tbIcon->Hint(), "");
    stored.Load(KovraAssistantConfig());
    EXPECT_EQ(stored.MissedCount(), 0);
}

TEST(CallTracking, CallsCutOffByALostSessionAreKeptAndTakeTheirEntryOverWhenReportedAgain)
{
    AppTest t;
    t.Ring(kCall);
    t.Ring(kOther, "2065550199", "Lee");
    t.Answer(kOther, "2065550199", "Lee");
    t.form->OnDisconnected();
    const auto& calls = t.form->History().Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(t.form->History().MissedCount(), 1); // still ringing when the session went
    const TCallRecord ringing = calls[1];
    EXPECT_EQ(ringing.Number, "4255550123");

    // The next session finds the ringing call again, answered, and sees it end: one entry, answered.
    t.Answer(kCall);
    t.Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].Number, "4255550123");
    EXPECT_EQ(calls[1].Start, ringing.Start);
    EXPECT_TRUE(calls[1].Answered);
    EXPECT_EQ(t.form->History().MissedCount(), 0);
    TCallHistory stored;
    stored.Load(KovraAssistantConfig());
    EXPECT_EQ(stored.Calls(), calls);
    // A call with the same identifier after that is a call of its own.
    t.Ring(kCall);
    t.Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    EXPECT_EQ(calls.size(), 3u);
}

TEST(CallTracking, AnOpenHistoryPageShowsACallWhenItIsKept)
{
    auto lists = std::make_shared<TOptionsLists>();
    AppTest t({"-phone", "1001", "-pwd", "secret"}, [lists](TAssistantOptions& options) {
        options.Services.CreateOptions = OptionsWindowFactory(lists);
        options.Network.LocalPort = 0;
        options.Network.LocalAddress = "127.0.0.1";
    });
    t.form->StartSession();
    t.form->OpenOptions(opHistory);
    TfmOptions* options = OptionsForm(t.form->Options());
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->lbHistory->Items().size(), 0u);
    t.Ring(kCall);
    t.Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    ASSERT_EQ(options->lbHistory->Items().size(), 1u);
    EXPECT_EQ(options->lbHistory->CellText(0, 2), "4255550123");
    EXPECT_EQ(t.form->History().MissedCount(), 0); // the user is looking at it

    // Another page, or the window hidden: the call waits for the next look, and counts as missed.
    options->ShowPage(opPreferences);
    t.Ring(kOther, "2065550199");
    t.Event(kOther, ceCleared, {Party("1001", csGone), Party("2065550199", csGone)});
    EXPECT_EQ(options->lbHistory->Items().size(), 1u);
    EXPECT_EQ(t.form->History().MissedCount(), 1);
}

TEST(CallTracking, CallGoneRemovesLineAndShowsSpeedDials)
{
    AppTest t;
    t.Ring(kCall);
    t.Ring(kOther);
    EXPECT_EQ(t.form->SelectedCall()->CallId, kOther);
    t.Event(kOther, ceCleared, {Party("1001", csGone), Party("2065550199", csGone)});
    ASSERT_EQ(t.form->lbCalls->Items().Count(), 1);
    EXPECT_EQ(t.form->SelectedCall()->CallId, kCall);
    EXPECT_EQ(t.dialogs->popupsAlive, 1);
    t.Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    EXPECT_EQ(t.form->lbCalls->Items().Count(), 0);
    EXPECT_EQ(t.dialogs->popupsAlive, 0);
    EXPECT_EQ(t.form->nbPages->PageIndex(), 1);
    EXPECT_FALSE(t.form->tmCallDuration->Enabled());
    EXPECT_EQ(t.ActivePage(), "Idle");
    EXPECT_EQ(t.messenger->phoneEvents, (std::vector<int>{3, 3}));
}

TEST(CallTracking, EventWithoutOwnDeviceOnlyTouchesRemoteStateAndUrgency)
{
    AppTest t;
    t.Event(kCall, ceAlerting, {Party("1002", csRinging), Party("4255550123", csDialing, 6)},
            std::string(24, '0'), ecUrgent);
    TCallInfo* call = t.form->FindCall(kCall);
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->RemoteState, 6);
    EXPECT_TRUE(call->Urgent);
    EXPECT_EQ(call->LocalState, -1);
    EXPECT_TRUE(call->Names.empty());
    EXPECT_TRUE(t.form->AlertingCallId.empty());
    // Urgency stays once signalled.
    t.Ring(kCall);
    EXPECT_TRUE(call->Urgent);
}

TEST(CallTracking, RelatedOidIsKeptOnlyFromOwnDeviceAndAllZeroBecomesEmpty)
{
    AppTest t;
    t.Event(kCall, ceDialing, {Party("1001", csAttempting), Party("4255550123", csRinging)}, kRelated);
    TCallInfo* call = t.form->FindCall(kCall);
    EXPECT_EQ(call->RelatedCallId, kRelated);
    t.Event(kCall, ceState, {Party("1001", csAttempting), Party("4255550123", csRinging)}, kOther, 0, "1002");
    EXPECT_EQ(call->RelatedCallId, kRelated);
    t.Event(kCall, ceState, {Party("1001", csAttempting), Party("4255550123", csRinging)});
    EXPECT_TRUE(call->RelatedCallId.empty());
    // A privacy-guarded far end has no related call.
    t.Event(kCall, ceState, {Party("1001", csConnected), Party("4255550123", csConnected, psPrivacyGuard)},
            kRelated);
    EXPECT_TRUE(call->RelatedCallId.empty());
    EXPECT_EQ(t.ActivePage(), "Privacy Guard");
}

TEST(CallTracking, FarStateAndPartyListFollowTheConnections)
{
    AppTest t;
    // Three connections: the first far state neither psNone nor psPassive wins; psVia names a third party.
    t.Event(kCall, ceState,
            {Party("1001", csConnected), Party("300", csAttempting, psPassive, "Attempt"),
             Party("301", csConnected, psVia, "Via Vera"), Party("302", csGone, psNone, "Gone")});
    TCallInfo* call = t.form->FindCall(kCall);
    EXPECT_EQ(call->RemoteState, psVia);
    EXPECT_EQ(call->ViaName, "Via Vera");
    // A party whose connection is gone is left out when there are more than two connections.
    EXPECT_EQ(call->Devices, (std::vector<std::string>{"300", "301"}));
    t.form->lbCalls->Repaint();
    EXPECT_EQ(ui::headless::PaintedTexts(*t.form->lbCalls)[0], "Conference");
    t.Event(kCall, ceState,
            {Party("1001", csConnected), Party("301", csConnected, psVia, "Via Vera"),
             Party("302", csGone, psNone, "Gone"), Party("303", csHidden)});
    t.form->lbCalls->Repaint();
    EXPECT_EQ(ui::headless::PaintedTexts(*t.form->lbCalls)[0], "Via Vera (Via Vera)");

    t.Event(
        kCall, ceState,
        {Party("1001", csConnected), Party("300", csGone, psNone), Party("301", csAttempting, psPassive)});
    EXPECT_EQ(call->RemoteState, psNone); // none qualifies: connection 1's
    t.Event(kCall, ceState, {Party("1001", csConnected), Party("300", csGone, 5, "Zero")});
    EXPECT_EQ(call->Devices, std::vector<std::string>{"300"});  // listed with two connections
    t.Event(kCall, ceState, {Party("1001", csConnected), Party("300", csHidden), Party("301", csConnected)});
    EXPECT_EQ(call->Devices, std::vector<std::string>{"301"});
}

TEST(CallTracking, SingleConnectionNamesDialingOrInvalidNumber)
{
    AppTest t;
    t.Event(kCall, ceDialing, {Party("1001", csDialing)});
    TCallInfo* call = t.form->FindCall(kCall);
    EXPECT_EQ(call->FirstName(), "Dialing...");
    EXPECT_EQ(call->FirstDevice(), "");
    EXPECT_EQ(t.ActivePage(), "Dialing");
    EXPECT_EQ(t.messenger->phoneEvents, std::vector<int>{1});
    t.Event(kCall, ceFailed, {Party("1001", csFailed)});
    EXPECT_EQ(call->FirstName(), "Invalid Number");
    EXPECT_EQ(t.ActivePage(), "Failed");
}

TEST(CallTracking, FailedPartySwitchesLineToFailedWithEmptyName)
{
    AppTest t;
    t.Event(kCall, ceDelivered,
            {Party("1001", csAttempting), Party("4255550123", csFailed, psNone, "Nobody")});
    TCallInfo* call = t.form->FindCall(kCall);
    EXPECT_EQ(call->LocalState, csFailed);
    EXPECT_EQ(call->FirstName(), "");
    EXPECT_EQ(call->FirstDevice(), "4255550123");
    EXPECT_EQ(t.ActivePage(), "Failed");
}

TEST(CallTracking, PendingNumberIsDialledAfterHoldOnlyWithBit17AndForgottenEitherWay)
{
    AppTest t;
    t.Ring(kCall);
    t.Answer(kCall);
    TCallInfo* call = t.form->FindCall(kCall);
    call->PendingNumber = "555";
    call->PendingOptions = 2;
    t.form->SetCapabilities(0xFFFFFFFFu & ~(1u << capSingleStepConference));
    t.Hold(kCall);
    EXPECT_TRUE(call->PendingNumber.empty());
    EXPECT_EQ(call->PendingOptions, 0);
    EXPECT_NE(call->HoldTick, 0u);
}

TEST(CallTracking, ParkNoticeOnlyForTheParkedCallWithThreeConnections)
{
    AppTest t;
    t.form->ParkedCallId = kRelated;
    const std::vector<TKovraCallConnection> parked{Party("1001", csConnected),
                                                   Party("701", csQueued, psParked),
                                                   Party("4255550123", csQueued, psParked, "Dana D")};
    t.Event(kCall, ceParked, parked, kOther);
    EXPECT_TRUE(t.dialogs->parkNotices.empty());
    t.Event(kCall, ceParked, {Party("1001", csConnected), Party("701", csQueued, psParked)}, kRelated);
    EXPECT_TRUE(t.dialogs->parkNotices.empty());
    t.Event(kCall, ceParked, parked, kRelated);
    ASSERT_EQ(t.dialogs->parkNotices.size(), 1u);
    EXPECT_EQ(t.dialogs->parkNotices[0].first, "Dana D   (4255550123)");
    EXPECT_EQ(t.dialogs->parkNotices[0].second, "701");
    // A window that parked nothing matches no related call, not even a missing one.
    t.form->ParkedCallId.clear();
    t.Event(kOther, ceParked, parked, std::string(24, '0'));
    EXPECT_EQ(t.dialogs->parkNotices.size(), 1u);
}

TEST(CallTracking, EventsAreIgnoredWhileClosingAndMalformedCountsReadNoFurtherThanTheParties)
{
    AppTest t;
    t.form->OnCallConnection(1, "1001", kCall, std::string(24, '0'), ceAlerting, 0, 7,
                             {Party("1001", csRinging)});
    EXPECT_EQ(t.form->FindCall(kCall)->LocalState, csRinging);
    t.form->OnCallConnection(1, "1001", kOther, std::string(24, '0'), ceAlerting, 0, -3,
                             {Party("1001", csRinging)});
    EXPECT_EQ(t.form->FindCall(kOther)->LocalState, -1);
}

TEST(CallTracking, ServerLossDropsCallsPopupsAndTheirIdentifiers)
{
    AppTest t;
    t.Ring(kCall);
    t.Answer(kOther);
    t.Hold("0000000000000000000000C3");
    t.form->OnDisconnected();
    EXPECT_EQ(t.form->lbCalls->Items().Count(), 0);
    EXPECT_EQ(t.dialogs->popupsAlive, 0);
    // Identifiers of calls no longer listed would hold every new call back.
    EXPECT_EQ(t.form->AlertingCallId, "");
    EXPECT_EQ(t.form->ActiveCallId, "");
    EXPECT_EQ(t.form->HeldCallId, "");
    EXPECT_EQ(t.ActivePage(), "Idle");
    EXPECT_TRUE(t.form->tbIcon->Flashing());
    // The calls are kept as they stood: the one still ringing counts as missed.
    EXPECT_EQ(t.form->History().Calls().size(), 3u);
    // The tip's first line gives way to the shell's limit, the missed call stays in it.
    EXPECT_EQ(t.form->tbIcon->Tip(), "KOVRA Server down! Double click this icon to ch\n1 missed call");
    EXPECT_TRUE(t.form->tmReconnect->Enabled());
    EXPECT_EQ(t.form->pnStatus->Caption(), " Phone is unavailable");
}

TEST(CallList, LineShowsNameNumberDurationsAndColoursOfItsState)
{
    AppTest t;
    t.Event(kOther, ceState, {Party("1001", csConnected), Party("4255550100", csConnected)});
    t.Event(kCall, ceAlerting, {Party("1001", csRinging), Party("4255550123", csDialing, psNone, "Dana")},
            std::string(24, '0'), ecUrgent);
    t.Hold(kOther, "4255550100");
    t.form->lbCalls->SetItemIndex(1);
    t.form->lbCalls->Repaint();
    const auto& ops = ui::headless::Painted(*t.form->lbCalls);
    // Line 0 (held, not selected), line 1 (ringing, selected).
    std::vector<TCanvasOp> line0, line1;
    for (const auto& op : ops)
        (op.rect.Top >= 50 || op.y >= 50 ? line1 : line0).push_back(op);
    ASSERT_GE(line0.size(), 6u);
    EXPECT_EQ(line0[1].kind, TCanvasOp::Kind::DrawImage);
    EXPECT_EQ(line0[1].imageIndex, 2);
    EXPECT_EQ(line0[1].drawingStyle, ui::TDrawingStyle::dsSelected);
    EXPECT_EQ(line0[1].x, 1);
    EXPECT_EQ(line0[1].y, 3);
    EXPECT_EQ(line0[2].text, "");
    EXPECT_EQ(line0[2].x, 50);
    EXPECT_EQ(line0[3].text, "(425) 555-0100");
    EXPECT_EQ(line0[3].y, 18);
    EXPECT_EQ(line0[3].fontColor, 0x808080u);
    EXPECT_EQ(line0[4].text, "00:00");
    EXPECT_EQ(line0[4].fontColor, ui::clRed);
    EXPECT_EQ(line0[4].y, 20);
    const int right = t.form->lbCalls->Width();
    EXPECT_EQ(line0[4].x, right - 35);
    EXPECT_EQ(line0[5].y, 32);

    ASSERT_GE(line1.size(), 5u);
    EXPECT_EQ(line1[1].imageIndex, 0);
    EXPECT_EQ(line1[1].drawingStyle, ui::TDrawingStyle::dsNormal);
    EXPECT_EQ(line1[2].text, "Urgent Dana");
    EXPECT_EQ(line1[2].fontStyle, ui::fsBold);
    EXPECT_EQ(line1[2].y, 52);
    EXPECT_EQ(line1[3].text, "(425) 555-0123");
    EXPECT_EQ(line1.size(), 5u);  // no hold time while ringing
}

TEST(CallList, ConferenceLineCountsPeople)
{
    AppTest t;
    t.Event(kCall, ceConferenced,
            {Party("1001", csConnected), Party("300", csConnected, 5), Party("301", csConnected, 5)});
    EXPECT_EQ(t.ActivePage(), "Conference");
    t.form->lbCalls->Repaint();
    auto texts = ui::headless::PaintedTexts(*t.form->lbCalls);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Conference");
    EXPECT_EQ(texts[1], "2 people.");
    EXPECT_EQ(ui::headless::Painted(*t.form->lbCalls)[1].imageIndex, 4);
}

}  // namespace
