#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/MSNMainOptions.h"
#include "platform/MainLoop.h"
#include "settings/MSNConfig.h"

using namespace api;
using namespace settings;
using namespace options;
using namespace app;

using ui::headless::TCanvasOp;

namespace {

const std::string kCall = "0000000000000000000000A1";
const std::string kOther = "0000000000000000000000B2";
const std::string kRelated = "0000000000000000000000C3";

// Two calls ring, one is answered, both end: the list, the selection, the page, one pop-up per
// call and the messaging client's phone events follow.
TEST(CallTracking, CallsRingAreAnsweredAndEndOnTheListThePageAndThePopups)
{
    AppTest t;
    t.Ring(kCall);
    t.Ring(kCall); // a repeated ringing event refreshes the same pop-up
    ASSERT_EQ(t.form->lbCalls->Items().Count(), 1);
    TCallInfo* call = t.form->SelectedCall();
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->CallId, kCall);
    EXPECT_EQ(t.form->nbPages->PageIndex(), 0);
    EXPECT_EQ(t.dialogs->popupsCreated, 1);
    ASSERT_NE(call->Popup, nullptr);
    EXPECT_GE(static_cast<FakePopup*>(call->Popup)->setUps, 2);
    EXPECT_TRUE(t.form->tmCallDuration->Enabled());

    t.Ring(kOther);
    EXPECT_EQ(t.form->SelectedCall()->CallId, kOther);
    t.Event(kOther, ceCleared, {Party("1001", csGone), Party("2065550199", csGone)});
    ASSERT_EQ(t.form->lbCalls->Items().Count(), 1);
    EXPECT_EQ(t.form->SelectedCall()->CallId, kCall);
    EXPECT_EQ(t.dialogs->popupsAlive, 1);

    call->StartTick -= 90000; // rang for a minute and a half
    t.Answer(kCall);
    EXPECT_EQ(call->Popup, nullptr);
    EXPECT_EQ(t.dialogs->popupsAlive, 0);
    t.form->lbCalls->Repaint();
    const auto texts = ui::headless::PaintedTexts(*t.form->lbCalls);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "00:00"); // the duration restarts at the answer

    t.Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    EXPECT_EQ(t.form->lbCalls->Items().Count(), 0);
    EXPECT_EQ(t.form->nbPages->PageIndex(), 1);
    EXPECT_FALSE(t.form->tmCallDuration->Enabled());
    EXPECT_EQ(t.ActivePage(), "Idle");
    EXPECT_EQ(t.messenger->phoneEvents, (std::vector<int>{3, 2, 3}));
}

// Events that reach the window in one pass of the loop turn its page and make its menus once,
// for where the calls ended up.
TEST(CallTracking, EventsInOnePassUpdateThePageOnceForTheLast)
{
    AppTest t;
    t.Ring(kCall);
    const int before = t.messenger->menuUpdates;
    t.pass = false;
    t.Answer(kCall);
    t.Hold(kCall);
    t.Ring(kOther, "2065550199");
    platform::ProcessMessages(0);
    EXPECT_EQ(t.messenger->menuUpdates, before + 1);
    EXPECT_EQ(t.form->SelectedCall()->CallId, kOther);
    EXPECT_EQ(t.ActivePage(), "Alerting");
    t.pass = true;
    t.Event(kOther, ceCleared, {Party("1001", csGone), Party("2065550199", csGone)});
    EXPECT_EQ(t.ActivePage(), "Held");
}

// A kept call shows on an open history page at once; otherwise it waits, counts as missed in the
// tray and in the stored copy until the history is seen.
TEST(CallTracking, KeptCallsShowOnAnOpenHistoryPageOrCountAsMissedUntilSeen)
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
    t.Ring(kOther, "2065550199", "Lee");
    t.Event(kOther, ceCleared, {Party("1001", csGone), Party("2065550199", csGone)}); // the caller gave up
    EXPECT_EQ(options->lbHistory->Items().size(), 1u);
    EXPECT_EQ(t.form->tbIcon->Hint(), "1 missed call");
    TCallHistory stored;
    stored.Load(KovraAssistantConfig());
    EXPECT_EQ(stored.Calls(), t.form->History().Calls());
    EXPECT_EQ(stored.MissedCount(), 1);
    t.form->Desktop().HistorySeen();
    EXPECT_EQ(t.form->tbIcon->Hint(), "");
    stored.Load(KovraAssistantConfig());
    EXPECT_EQ(stored.MissedCount(), 0);
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
    // The held line: its image, no name, the number in grey and the hold time in red at the right.
    ASSERT_GE(line0.size(), 6u);
    EXPECT_EQ(line0[1].kind, TCanvasOp::Kind::DrawImage);
    EXPECT_EQ(line0[1].imageIndex, 2);
    EXPECT_EQ(line0[1].drawingStyle, ui::TDrawingStyle::dsSelected);
    EXPECT_EQ(line0[2].text, "");
    EXPECT_EQ(line0[3].text, "(425) 555-0100");
    EXPECT_EQ(line0[3].fontColor, 0x808080u);
    EXPECT_EQ(line0[4].text, "00:00");
    EXPECT_EQ(line0[4].fontColor, ui::clRed);
    EXPECT_EQ(line0[4].x, t.form->lbCalls->Width() - 35);

    ASSERT_GE(line1.size(), 5u);
    EXPECT_EQ(line1[1].imageIndex, 0);
    EXPECT_EQ(line1[2].text, "Urgent Dana");
    EXPECT_EQ(line1[2].fontStyle, ui::fsBold);
    EXPECT_EQ(line1[3].text, "(425) 555-0123");
    EXPECT_EQ(line1.size(), 5u); // no hold time while ringing
    // A screen reader hears each line as it shows: who, number, state (and time held), duration.
    EXPECT_EQ(t.form->lbCalls->AccessibleItemName(0), "(425) 555-0100, On hold 00:00, 00:00");
    EXPECT_EQ(t.form->lbCalls->AccessibleItemName(1), "Urgent Dana, (425) 555-0123, Ringing, 00:00");
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
    // Down to one listed party, reached through a named third party.
    t.Event(kCall, ceState,
            {Party("1001", csConnected), Party("301", csConnected, psVia, "Via Vera"), Party("302", csGone),
             Party("303", csHidden)});
    t.form->lbCalls->Repaint();
    EXPECT_EQ(ui::headless::PaintedTexts(*t.form->lbCalls)[0], "Via Vera (Via Vera)");
    EXPECT_EQ(t.form->lbCalls->AccessibleItemName(0), "Via Vera (Via Vera), 301, Connected, 00:00");
}

} // namespace
