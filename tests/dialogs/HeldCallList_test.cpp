#include "DialogTestSupport.h"
#include "dialogs/MSNConferenceHold.h"
#include "dialogs/MSNConferenceList.h"
#include "dialogs/MSNTransferHold.h"

using namespace settings;
using namespace dialogs;

namespace {

using HeldCalls = DialogTest;

TEST_F(HeldCalls, HeldConferencesAreLeftOutAndMissingPartsShowUnknown)
{
    TfmTransferToHold dialog(owner);
    dialog.SetCaller("Dana", "(425) 555-0123");
    dialog.AddHeldCall({"A1", "Erin", "2145551234", false});
    dialog.AddHeldCall({"A2", "Team", "1002", true});
    dialog.AddHeldCall({"A3", "", "", false});
    // A full row is the sim suite's (TransferToAHeldCall...).
    ASSERT_EQ(dialog.lbHeldCalls->Items().Count(), 2);
    EXPECT_EQ(dialog.lbHeldCalls->Items().Strings(1), "<Unknown>\tat <Unknown>");
    EXPECT_EQ(dialog.txtCallerNumber->Caption(), "(425) 555-0123");

    // Rows are painted as two columns, the second at the 70 pixel tab stop.
    dialog.ShowForm();
    dialog.lbHeldCalls->Repaint();
    const auto& ops = ui::headless::Painted(*dialog.lbHeldCalls);
    std::vector<std::pair<int, std::string>> texts;
    for (const auto& op : ops)
        if (op.kind == ui::headless::TCanvasOp::Kind::TextOut)
            texts.emplace_back(op.x, op.text);
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0].second, "Erin");
    EXPECT_EQ(texts[1].second, "at (214) 555-1234");
    EXPECT_EQ(texts[1].first - texts[0].first, 68);
}

// The action stays off until a row is chosen, and gives that row's call, not the first.
TEST_F(HeldCalls, TheActionWaitsForARowAndGivesItsCall)
{
    TfmConferenceToHold dialog(owner);
    dialog.AddHeldCall({"A1", "Erin", "1003", false});
    dialog.AddHeldCall({"A2", "Finn", "1004", false});
    EXPECT_FALSE(dialog.btAction->Enabled());
    dialog.btAction->Click();
    EXPECT_EQ(dialog.ModalResult(), ui::mrNone);
    WhileModal([&] {
        dialog.lbHeldCalls->SelectItem(1);
        EXPECT_TRUE(dialog.btAction->Enabled());
        dialog.btAction->Click();
    });
    EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
    EXPECT_EQ(dialog.ChosenCallId(), "A2");
}

TEST_F(HeldCalls, EachDialogLocalisesItsOwnAtKey)
{
    MessageBundle().SetText("At", "bei");
    MessageBundle().SetText("txtConfHoldAt", "unter");
    MessageBundle().SetText("Unknown", "?");
    TfmTransferToHold transfer(owner);
    transfer.AddHeldCall({"A1", "Erin", "", false});
    TfmConferenceToHold conference(owner);
    conference.AddHeldCall({"A1", "Erin", "1003", false});
    EXPECT_EQ(transfer.lbHeldCalls->Items().Strings(0), "Erin\tbei ?");
    EXPECT_EQ(conference.lbHeldCalls->Items().Strings(0), "Erin\tunter 1003");
    EXPECT_EQ(conference.txtAt->Caption(), "unter");
}

TEST_F(HeldCalls, GuestIsRemovedByItsDialableNumber)
{
    TfmConferenceList dialog(owner);
    WhileModal([&] {
        EXPECT_FALSE(dialog.btRemove->Enabled());
        dialog.lbConfMembers->SelectItem(1);
        dialog.btRemove->Click();
    });
    // A tab inside a name must not move the number column.
    EXPECT_TRUE(dialog.SetUp({{"Erin", "1003"}, {"Dana\tD.", "2145551234"}}));
    EXPECT_EQ(dialog.ChosenNumber(), "2145551234");
    EXPECT_EQ(dialog.lbConfMembers->Items().Strings(1), "Dana D.\t(214) 555-1234");
}

// An empty list only cancels, as does the caption image of the guest list.
TEST_F(HeldCalls, EmptyListOnlyCancelsAndTheCaptionImageChoosesNobody)
{
    TfmTransferToHold dialog(owner);
    WhileModal([&] {
        dialog.lbHeldCalls->SelectItem(0);
        dialog.btAction->Click();
        EXPECT_EQ(dialog.ModalResult(), ui::mrNone);
        dialog.imCaption->Click();
    });
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
    EXPECT_EQ(dialog.ChosenCallId(), "");
    TfmConferenceList guests(owner);
    WhileModal([&] { guests.imCaption->Click(); });
    EXPECT_FALSE(guests.SetUp({{"Erin", "1003"}}));
    EXPECT_EQ(guests.ChosenNumber(), "");
}

} // namespace
