// The two rule editors: which controls they offer for a rule and what OK writes back.
#include "DialogTestSupport.h"
#include "options/MSNIMOptions.h"
#include "options/MSNOptions.h"
#include "options/MSNPhoneOptions.h"
#include "settings/KALookAndFeel.h"

using namespace dialogs;
using namespace options;

using namespace messenger;

namespace {

class RuleEditorsTest : public DialogTest {
protected:
    TPresenceRules rules;
};

TEST_F(RuleEditorsTest, PhoneEditorGreysForDoNothingAndStoresAnEmptyTickListAsAlways)
{
    TfmPhoneOptions editor(owner);
    TPhoneStateRec rule = *rules.PhoneState(peOffHook);
    editor.SetUp(rule, rules);
    ASSERT_EQ(editor.cbState->Items().Count(), 8); // "Do nothing" and the seven known statuses
    EXPECT_EQ(editor.cbState->Items().Strings(editor.cbState->ItemIndex()), "Change state to Online");
    EXPECT_TRUE(editor.rbStates->Checked());
    EXPECT_TRUE(editor.lbStates->Enabled());

    editor.cbState->SelectItem(0);
    EXPECT_FALSE(editor.rbStates->Enabled());
    EXPECT_FALSE(editor.rbAny->Enabled());
    EXPECT_FALSE(editor.lbStates->Enabled());

    // Statuses chosen, then every tick removed: no conditions, shown as "Always".
    editor.SetUp(*rules.PhoneState(peBusy), rules);
    for (int i = 0; i < editor.lbStates->Items().Count(); ++i)
        editor.lbStates->SetChecked(i, false);
    editor.Apply(rule);
    EXPECT_EQ(rule.Target, MSTATE_ON_THE_PHONE);
    EXPECT_TRUE(rule.Conditions.empty());

    // Any state: the ticks do not count.
    editor.SetUp(*rules.PhoneState(peBusy), rules);
    editor.rbAny->Click();
    EXPECT_FALSE(editor.lbStates->Enabled());
    editor.Apply(rule);
    EXPECT_TRUE(rule.Conditions.empty());
}

TEST_F(RuleEditorsTest, MessengerEditorNeedsAForwardRowAndKeepsANumberNoLongerListed)
{
    TfmIMOptions editor(owner);
    const std::vector<TForwardEntry> forwards = {{"Desk", "214-555-1234"}, {"Cell", "2145559999"}};
    TIMStateRec rule = *rules.IMState(MSTATE_AWAY);
    editor.SetUp(rule, forwards);
    EXPECT_EQ(editor.txtMsgIMOptions->Caption(), "When messenger state is Away do the following:");
    EXPECT_TRUE(editor.btEnableDnd->Checked());
    EXPECT_FALSE(editor.cbForward->Enabled());

    editor.btForward->Click();
    EXPECT_TRUE(editor.cbForward->Enabled());
    EXPECT_FALSE(editor.btOk->Enabled());
    editor.cbForward->SelectItem(0);
    EXPECT_TRUE(editor.btOk->Enabled());
    editor.Apply(rule);
    EXPECT_EQ(rule.Action, imaForward);
    EXPECT_EQ(rule.Number, "214-555-1234");
    EXPECT_EQ(rule.Label, "Desk");

    // The entry deleted from the list: no row is selected, and the rule keeps what it had.
    editor.SetUp(rule, {forwards[1]});
    EXPECT_EQ(editor.cbForward->ItemIndex(), -1);
    editor.Apply(rule);
    EXPECT_EQ(rule.Number, "214-555-1234");
    EXPECT_EQ(rule.Label, "Desk");
    // The row matching the rule's number in another form is the one selected.
    rule.Number = "(214) 555-9999";
    editor.SetUp(rule, forwards);
    EXPECT_EQ(editor.cbForward->ItemIndex(), 1);
}

} // namespace
