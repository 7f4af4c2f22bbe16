#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/CallTracker.h"

using namespace api;
using namespace app;

namespace {

const std::string kCall = "0000000000000000000000A1";
const std::string kOther = "0000000000000000000000B2";
const std::string kRelated = "0000000000000000000000C3";
const std::string kNoRelated(24, '0');

class CallTracker : public testing::Test {
protected:
    // An event as the server sends it; the user's phone is 1001, the far end the given number.
    TCallOutcome Event(const std::string& oid, std::uint32_t event,
                       const std::vector<TKovraCallConnection>& parties,
                       const std::string& related = kNoRelated, std::uint32_t cause = 0,
                       const std::string& device = "1001")
    {
        return calls.Apply({device, oid, related, event, cause, static_cast<int>(parties.size()), parties},
                           "1001", capabilities);
    }
    TCallOutcome Event(const std::string& oid, std::uint32_t event, std::uint32_t own,
                       const std::string& number, std::uint32_t far = csConnected,
                       const std::string& name = "")
    {
        return Event(oid, event, {Party("1001", own), Party(number, far, psNone, name)});
    }
    std::uint32_t capabilities = 0xFFFFFFFFu;
    TCallHistory history;
    TCallTracker calls{history};
};

TEST_F(CallTracker, IdentifiersRelatedCallAndPhoneEventsFollowTheOwnDevicesEvents)
{
    TCallOutcome outcome = Event(kCall, ceAlerting, csRinging, "4255550123", csDialing);
    EXPECT_TRUE(outcome.Created && outcome.OpenPopup && outcome.PhoneEvent == messenger::pePhoneNone);
    EXPECT_EQ(calls.AlertingCallId(), kCall);
    outcome = Event(kCall, ceEstablished, csConnected, "4255550123");
    EXPECT_TRUE(!outcome.Created && outcome.ClosePopup && outcome.PhoneEvent == messenger::peBusy);
    EXPECT_EQ(calls.ActiveCallId(), kCall);
    EXPECT_EQ(calls.AlertingCallId(), "");
    outcome = Event(kCall, ceHeld, csHeld, "4255550123");
    EXPECT_TRUE(outcome.ClosePopup && outcome.PhoneEvent == messenger::peHangup);
    EXPECT_EQ(calls.HeldCallId(), kCall);
    EXPECT_EQ(calls.ActiveCallId(), "");
    Event(kCall, ceRetrieved, csConnected, "4255550123");
    EXPECT_EQ(calls.HeldCallId(), "");
    EXPECT_EQ(calls.ActiveCallId(), kCall);

    // A report names the identifier by the own state; an event about another device changes none.
    Event(kOther, ceState, csHeld, "300");
    Event(kRelated, ceAlerting, {Party("1001", csRinging), Party("301", csDialing)}, kNoRelated, 0, "1002");
    EXPECT_EQ(calls.HeldCallId(), kOther);
    EXPECT_EQ(calls.AlertingCallId(), "");
    EXPECT_EQ(Event(kCall, ceCleared, csGone, "4255550123", csGone).PhoneEvent, messenger::peHangup);
    EXPECT_EQ(calls.ActiveCallId(), "");
    // The related call comes from the own device's events only; all zeros and a guarded far end have none.
    const std::vector<TKovraCallConnection> attempting{Party("1001", csAttempting),
                                                       Party("4255550123", csRinging)};
    TCallInfo* call = Event(kCall, ceDialing, attempting, kRelated).Call;
    Event(kCall, ceState, attempting, kOther, 0, "1002");
    EXPECT_EQ(call->RelatedCallId, kRelated);
    Event(kCall, ceState, attempting);
    EXPECT_EQ(call->RelatedCallId, "");
    Event(kCall, ceState, {Party("1001", csConnected), Party("4255550123", csConnected, psPrivacyGuard)},
          kRelated);
    EXPECT_EQ(call->RelatedCallId, "");
    // The lost session forgets every call and the identifiers but the parked call's.
    calls.ParkRequested(kOther);
    calls.DropAll();
    EXPECT_TRUE(calls.Calls().empty());
    EXPECT_TRUE(calls.ActiveCallId().empty() && calls.HeldCallId().empty());
    EXPECT_EQ(calls.ParkedCallId(), kOther);
}

TEST_F(CallTracker, EndedCallsAreKeptAndOnesCutOffByALostSessionTakeTheirEntryOverWhenReportedAgain)
{
    Event(kCall, ceAlerting, csRinging, "4255550123", csDialing, "Dana");
    Event(kCall, ceEstablished, csConnected, "4255550123", csConnected, "Dana");
    const TCallOutcome ended = Event(kCall, ceCleared, csGone, "4255550123", csGone);
    ASSERT_TRUE(ended.Ended && ended.Call == ended.Ended.get() && ended.Recorded && !calls.Find(kCall));
    Event(kRelated, ceDialing, {Party("1001", csDialing)}); // dialled, abandoned before any party
    EXPECT_FALSE(Event(kRelated, ceCleared, {Party("1001", csGone)}).Recorded);
    const auto& kept = history.Calls();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], (TCallRecord{true, "Dana", "4255550123", kept[0].Start, 0, true}));
    EXPECT_GT(kept[0].Start, 1700000000);

    Event(kCall, ceAlerting, csRinging, "4255550123", csDialing, "Dana");
    Event(kOther, ceEstablished, csConnected, "2065550199", csConnected, "Lee");
    EXPECT_TRUE(calls.DropAll());
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(history.MissedCount(), 1); // still ringing when the session went
    const TCallRecord ringing = kept[1];
    // The next session finds the ringing call again, answered, and sees it end: one entry, answered.
    Event(kCall, ceEstablished, csConnected, "4255550123", csConnected, "Dana");
    EXPECT_TRUE(Event(kCall, ceCleared, csGone, "4255550123", csGone).Recorded);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[1], (TCallRecord{true, "Dana", "4255550123", ringing.Start, kept[1].Seconds, true}));
    EXPECT_EQ(history.MissedCount(), 0);
    // A call with the same identifier after that is a call of its own.
    Event(kCall, ceAlerting, csRinging, "4255550123", csDialing, "Dana");
    Event(kCall, ceCleared, csGone, "4255550123", csGone);
    EXPECT_EQ(kept.size(), 4u);
}

TEST_F(CallTracker, EventWithoutOwnDeviceOnlyTouchesRemoteStateAndUrgencyAndMalformedCountsReadNoFurther)
{
    const TCallOutcome outcome =
        Event(kCall, ceAlerting, {Party("1002", csRinging), Party("4255550123", csDialing, psRestricted)},
              kNoRelated, ecUrgent);
    EXPECT_TRUE(outcome.Created && !outcome.Tracked);
    TCallInfo* call = calls.Find(kCall);
    ASSERT_EQ(call, outcome.Call);
    EXPECT_TRUE(call->RemoteState == psRestricted && call->Urgent && call->LocalState == -1 &&
                call->Names.empty());
    EXPECT_EQ(calls.AlertingCallId(), "");
    // Urgency stays once signalled.
    Event(kCall, ceAlerting, csRinging, "4255550123", csDialing);
    EXPECT_TRUE(call->Urgent);

    const std::vector<TKovraCallConnection> ringing{Party("1001", csRinging)};
    EXPECT_TRUE(calls.Apply({"1001", kOther, kNoRelated, ceAlerting, 0, 7, ringing}, "1001", 0).Tracked);
    EXPECT_FALSE(calls.Apply({"1001", kRelated, kNoRelated, ceAlerting, 0, -3, ringing}, "1001", 0).Tracked);
}

TEST_F(CallTracker, FarStateAndPartyListFollowTheConnections)
{
    // Three connections: the first far state that is neither none nor passive wins; via names the party.
    Event(kCall, ceState,
          {Party("1001", csConnected), Party("300", csAttempting, psPassive, "Attempt"),
           Party("301", csConnected, psVia, "Via Vera"), Party("302", csGone, psNone, "Gone")});
    TCallInfo* call = calls.Find(kCall);
    EXPECT_TRUE(call->RemoteState == psVia && call->ViaName == "Via Vera" && call->IsConference());
    // A party whose connection is gone is left out when there are more than two connections.
    EXPECT_EQ(call->Devices, (std::vector<std::string>{"300", "301"}));
    Event(kCall, ceState,
          {Party("1001", csConnected), Party("300", csGone), Party("301", csAttempting, psPassive)});
    EXPECT_TRUE(call->RemoteState == psNone); // none qualifies: connection 1's
    Event(kCall, ceState, csConnected, "300", csGone);
    EXPECT_EQ(call->Devices, std::vector<std::string>{"300"}); // listed with two connections
    Event(kCall, ceState, {Party("1001", csConnected), Party("300", csHidden), Party("301", csConnected)});
    EXPECT_EQ(call->Devices, std::vector<std::string>{"301"});

    // One connection names the call by the own state; a failed party fails it and shows its number.
    EXPECT_EQ(Event(kCall, ceDialing, {Party("1001", csDialing)}).PhoneEvent, messenger::peOffHook);
    EXPECT_TRUE(call->FirstName() == "Dialing..." && call->FirstDevice().empty());
    Event(kCall, ceFailed, {Party("1001", csFailed)});
    EXPECT_EQ(call->FirstName(), "Invalid Number");
    const TCallOutcome failed = Event(kOther, ceDelivered, csAttempting, "4255550123", csFailed, "Nobody");
    EXPECT_TRUE(failed.OwnState == csAttempting && failed.Call->LocalState == csFailed);
    EXPECT_TRUE(failed.Call->FirstName().empty() && failed.Call->FirstDevice() == "4255550123");
}

TEST_F(CallTracker, PendingNumberIsDialledOnceHeldOnlyWhenThePhoneAllowsAndForgottenEitherWay)
{
    for (const bool allowed : {true, false}) {
        capabilities = allowed ? 0xFFFFFFFFu : 0xFFFFFFFFu & ~(1u << capSingleStepConference);
        TCallInfo* call = Event(kCall, ceEstablished, csConnected, "4255550123").Call;
        call->PendingNumber = "555";
        call->PendingOptions = 2;
        const TCallOutcome held = Event(kCall, ceHeld, csHeld, "4255550123");
        ASSERT_EQ(held.Dial.has_value(), allowed);
        EXPECT_TRUE(!allowed || (held.Dial->Number == "555" && held.Dial->Options == 2));
        EXPECT_TRUE(call->PendingNumber.empty() && call->PendingOptions == 0 && call->HoldTick != 0);
    }
}

TEST_F(CallTracker, ParkNoticeOnlyForTheParkedCallWithThreeConnections)
{
    const std::vector<TKovraCallConnection> parked{Party("1001", csConnected),
                                                   Party("701", csQueued, psParked),
                                                   Party("4255550123", csQueued, psParked, "Dana D")};
    // A tracker that parked nothing matches no related call, not even a missing one.
    EXPECT_FALSE(Event(kOther, ceParked, parked, kNoRelated).ParkNotice);
    calls.ParkRequested(kRelated);
    EXPECT_FALSE(Event(kCall, ceParked, parked, kOther).ParkNotice);
    EXPECT_FALSE(Event(kCall, ceParked, {parked[0], parked[1]}, kRelated).ParkNotice);
    const auto notice = Event(kCall, ceParked, parked, kRelated).ParkNotice;
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->From, "Dana D   (4255550123)");
    EXPECT_EQ(notice->ParkedAt, "701");
}

} // namespace
