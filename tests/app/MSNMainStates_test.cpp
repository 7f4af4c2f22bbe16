#include <gtest/gtest.h>

#include "AppTestSupport.h"

using namespace api;
using namespace app;

namespace {

using Links = std::vector<std::string>;
const std::string kCall = "0000000000000000000000A1";
const std::string kHeld = "0000000000000000000000B2";
const std::string kRelated = "0000000000000000000000C3";

constexpr std::uint32_t kAll = 0xFFFFFFFFu;
constexpr std::uint32_t Without(std::initializer_list<int> bits)
{
    std::uint32_t mask = kAll;
    for (int bit : bits)
        mask &= ~(1u << bit);
    return mask;
}

// The visible links once the phone's capabilities lack bits.
Links LinksWithout(AppTest& t, std::initializer_list<int> bits)
{
    t.form->SetCapabilities(Without(bits));
    t.form->UpdateControls();
    return t.VisibleLinks();
}

TEST(StatePages, IdlePageFollowsCapabilitiesAndCopiesIntoWantTo)
{
    AppTest t;
    t.form->UpdateControls();
    EXPECT_EQ(t.ActivePage(), "Idle");
    EXPECT_EQ(t.VisibleLinks(), (Links{"Make a new call...", "Pickup a ringing call...",
                                       "Listen to Voice Mail", "Turn on Do Not Disturb", "Forward to..."}));
    // Copied in another order than stacked: forward before listen, do-not-disturb last.
    EXPECT_EQ(t.form->WantToCaptions(), (Links{"Make a New Call", "Pickup a ringing call...", "Forward to...",
                                               "Listen to Voice Mail", "Turn on Do Not Disturb"}));
    EXPECT_TRUE(t.form->miCallMakeCall->Enabled());
    EXPECT_FALSE(t.form->miCallHold->Enabled());

    EXPECT_EQ(LinksWithout(t, {capMakeCall, capPickup, capVoiceMail}),
              (Links{"Turn on Do Not Disturb", "Forward to..."}));
    EXPECT_FALSE(t.form->miCallMakeCall->Enabled());
    EXPECT_FALSE(t.form->pnStatusVM->Visible());
    // Forwarding needs any of its four bits.
    EXPECT_EQ(LinksWithout(t, {capForwardAlways, capForwardBusy, capForwardNoAnswer, capForwardOutOfService,
                               capDoNotDisturb}),
              (Links{"Make a new call...", "Pickup a ringing call...", "Listen to Voice Mail"}));
    EXPECT_FALSE(t.form->pnStatusDnD->Visible());
    EXPECT_EQ(LinksWithout(t, {capForwardAlways, capForwardBusy, capForwardNoAnswer}).back(),
              "Forward to...");
}

TEST(StatePages, VisibleLinksAreStackedFromTheTopInTableOrder)
{
    AppTest t;
    t.form->SetCapabilities(Without({capPickup}));
    t.form->UpdateControls();
    std::vector<int> tops;
    for (auto* link : t.form->PageLinks()[spIdle])
        if (link->Panel->Visible())
            tops.push_back(link->Panel->Top());
    // Links are 20 pixels high, one apart; the hidden one leaves no gap.
    EXPECT_EQ(tops, (std::vector<int>{1, 22, 43, 64}));
}

TEST(StatePages, DndLinkAndIndicatorFollowThePhoneState)
{
    AppTest t;
    t.form->UpdateControls();
    EXPECT_TRUE(t.form->pnStatusDnD->Visible());
    EXPECT_EQ(t.form->pnStatusDnD->Tag(), 100);

    TKovraPhoneState state;
    state.PhoneState = phsDoNotDisturb;
    state.FlagA = true;
    state.DoNotDisturb = true;
    state.VoiceMailCount = 4;
    t.form->OnPhoneState(state);
    EXPECT_EQ(t.messenger->phoneEvents, std::vector<int>{4});
    t.form->tmUpdatePhoneState->Tick();
    EXPECT_EQ(t.form->txtTurnDnD->Caption(), "Turn off Do Not Disturb");
    EXPECT_EQ(t.form->miPhoneToggleDND->Caption(), "Turn off Do Not Disturb");
    EXPECT_EQ(t.form->pnStatusDnD->Caption(), "DND");
    EXPECT_EQ(t.form->pnStatusDnD->Color(), ui::clRed);
    EXPECT_EQ(t.form->pnStatusDnD->Font().Color(), ui::clWhite);
    EXPECT_EQ(t.form->pnStatusDnD->Tag(), 0);
    EXPECT_EQ(t.form->pnStatusVM->Caption(), "Voice Mail: 4");
    EXPECT_EQ(t.form->WantToCaptions().back(), "Turn off Do Not Disturb");

    // The quiet period after the program's own change raises no phone event.
    t.form->tmDontChange->SetEnabled(true);
    state.DoNotDisturb = false;
    t.form->OnPhoneState(state);
    EXPECT_EQ(t.messenger->phoneEvents, std::vector<int>{4});
}

TEST(StatePages, AlertingOffersByCapabilityAndTheAnswerRule)
{
    AppTest t({"-phone", "1001", "-IM"});
    t.messenger->attached = true;
    t.Ring(kCall);
    EXPECT_EQ(t.VisibleLinks(),
              (Links{"Answer the call", "Send to Voice Mail", "Ignore the call", "Hold the call",
                     "Call later...", "Redirect the call", "Instant Message"}));
    // The instant-message row has no copy in "I want to...".
    EXPECT_EQ(t.form->WantToCaptions(), (Links{"Answer Call", "Send Call to Voice Mail", "Ignore Call",
                                               "Hold the Call", "Call later...", "Redirect Call..."}));
    // Without capRedirect neither voice mail, ignore nor redirect; without capAnswer neither answer nor hold.
    EXPECT_EQ(LinksWithout(t, {capRedirect, capAnswer}), (Links{"Call later...", "Instant Message"}));

    // With another call connected, answering alternates: offered with capAlternate.
    t.form->SetCapabilities(Without({capAlternate}));
    t.Answer(kHeld, "300");
    t.form->lbCalls->SelectItem(0);
    EXPECT_EQ(t.VisibleLinks().front(), "Send to Voice Mail");
    EXPECT_EQ(LinksWithout(t, {}).front(), "Answer the call");
}

TEST(StatePages, ConnectedPageTransferAndConferenceRules)
{
    AppTest t;
    t.Ring(kCall);
    t.Answer(kCall);
    EXPECT_EQ(t.VisibleLinks(), (Links{"Hold the call", "End this call", "Transfer the call...",
                                       "Start a conference...", "Park the call", "Make a new call..."}));
    EXPECT_EQ(LinksWithout(t, {capSingleStepTransfer, capConsultTransfer}),
              (Links{"Hold the call", "End this call", "Start a conference...", "Park the call",
                     "Make a new call..."}));
    EXPECT_EQ(LinksWithout(t, {capMakeCall, capSingleStepConference, capConsultConference}),
              (Links{"Hold the call", "End this call", "Transfer the call...", "Park the call"}));
    EXPECT_FALSE(t.form->miCallMakeCall->Enabled());
    // Complete Transfer is offered in "I want to..." whenever its menu item is, link shown or not.
    EXPECT_EQ(t.form->WantToCaptions().back(), "Complete Transfer");

    // With a related call only the completions are offered.
    t.form->SetCapabilities(kAll);
    t.Event(kCall, ceEstablished, {Party("1001", csConnected), Party("300", csConnected)}, kRelated);
    EXPECT_EQ(t.VisibleLinks(), (Links{"Hold the call", "End this call", "Complete Transfer",
                                       "Complete Conference", "Park the call", "Make a new call..."}));
    EXPECT_EQ(LinksWithout(t, {capCompleteTransfer}),
              (Links{"Hold the call", "End this call", "Complete Conference", "Park the call",
                     "Make a new call..."}));
}

TEST(StatePages, HeldCallsOfferTransferToHeldAndMeetmeNeedsTheApplication)
{
    AppTest t;
    t.Answer(kHeld, "300");
    t.Hold(kHeld, "300");
    t.Answer(kCall);
    EXPECT_EQ(t.VisibleLinks(),
              (Links{"Hold the call", "End this call", "Transfer the call...", "Transfer to call on hold...",
                     "Start a conference...", "Park the call", "Make a new call..."}));
    t.desktop->meetme = 4711;
    EXPECT_EQ(LinksWithout(t, {}), (Links{"Hold the call", "End this call", "Transfer the call...",
                                          "Transfer to call on hold...", "Add to Meet-me conference",
                                          "Start a conference...", "Park the call", "Make a new call..."}));
    // A psRestricted far end withholds park, transfer, conference and meet-me.
    t.Event(kCall, ceState, {Party("1001", csConnected), Party("4255550123", csConnected, psRestricted)});
    EXPECT_EQ(t.VisibleLinks(),
              (Links{"Hold the call", "End this call", "Transfer to call on hold...", "Make a new call..."}));

    // Selecting the held line switches the page at once.
    t.form->lbCalls->SelectItem(t.form->lbCalls->Items().IndexOf(kHeld));
    EXPECT_EQ(t.ActivePage(), "Held");
    EXPECT_EQ(t.VisibleLinks(), (Links{"Resume this call", "Make a new call..."}));
}

TEST(StatePages, ConferenceAndPrivacyGuardPages)
{
    AppTest t;
    t.Event(kCall, ceConferenced,
            {Party("1001", csConnected), Party("300", csConnected), Party("301", csConnected)});
    EXPECT_EQ(t.ActivePage(), "Conference");
    EXPECT_EQ(t.VisibleLinks(), (Links{"Hold the conference", "Leave the conference", "Add to the conference",
                                       "Show conference list", "Make a new call..."}));
    EXPECT_EQ(LinksWithout(t, {capCompleteConference, capSingleStepConference, capHold}),
              (Links{"Leave the conference", "Show conference list", "Make a new call..."}));

    t.form->SetCapabilities(kAll);
    t.Event(kCall, ceState, {Party("1001", csConnected), Party("4255550123", csConnected, psPrivacyGuard)});
    EXPECT_EQ(t.ActivePage(), "Privacy Guard");
    EXPECT_EQ(t.VisibleLinks(),
              (Links{"Talk to caller", "Send to Voice Mail", "Do not call me again", "End this call"}));
    EXPECT_EQ(t.form->WantToCaptions(),
              (Links{"Talk to caller", "I am unavailable to caller", "Send Call to Voice Mail",
                     "Do not call me again", "End this Call"}));
    EXPECT_EQ(LinksWithout(t, {capPrivacyGuard}),
              (Links{"Send to Voice Mail", "Do not call me again", "End this call"}));
    const auto copies = t.form->WantToCaptions();
    EXPECT_EQ(std::find(copies.begin(), copies.end(), "Do not call me again"), copies.end());
}

TEST(StatePages, AttemptingWithOneHeldCallOffersTransferCallsTogether)
{
    AppTest t;
    t.Answer(kHeld, "300");
    t.Hold(kHeld, "300");
    t.Event(kCall, ceDelivered, {Party("1001", csAttempting), Party("301", csRinging)});
    EXPECT_EQ(t.ActivePage(), "Attempting");
    EXPECT_EQ(t.VisibleLinks(), (Links{"Transfer Calls Together", "End this call"}));
    EXPECT_TRUE(t.form->miCallTransferTogether->Visible());
    EXPECT_TRUE(t.form->miCallTransferTogether->Enabled());
    EXPECT_EQ(t.form->WantToCaptions(), (Links{"Transfer Calls Together", "End this Call"}));

    // With a related call the link reads its menu item's caption, as the bundle localised it.
    t.form->miCallCompTransfer->SetCaption("Vermittlung abschließen");
    t.Event(kCall, ceDelivered, {Party("1001", csAttempting), Party("301", csRinging)}, kRelated);
    EXPECT_EQ(t.VisibleLinks(), (Links{"Vermittlung abschließen", "End this call"}));
}

} // namespace
