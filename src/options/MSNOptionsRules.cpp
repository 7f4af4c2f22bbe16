// The Messenger and Phone pages of the options window: what each rule does, by group.
#include "options/MSNOptions.h"

#include "dialogs/SkinBinding.h"
#include "messenger/MSNUtils.h"
#include "options/MSNIMOptions.h"
#include "options/MSNPhoneOptions.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"

using namespace settings;
using namespace dialogs;
using namespace messenger;

namespace options {

namespace {

// The statuses in the order of their groups (gbMsgrRules1..7).
constexpr int kRuleStatuses[7] = {MSTATE_ONLINE,       MSTATE_BUSY,         MSTATE_BE_RIGHT_BACK, MSTATE_AWAY,
                                  MSTATE_ON_THE_PHONE, MSTATE_OUT_TO_LUNCH, MSTATE_INVISIBLE};
constexpr const char* kStatusLabels[7] = {"IMOnline",     "IMBusy",       "IMBeRightBack",  "IMAway",
                                          "IMOnThePhone", "IMOutToLunch", "IMAppearOffline"};
constexpr const char* kPhoneLabels[7] = {
    "Off-hook",  "Busy",          "Hangup", "Enable do not disturb", "Disable do not disturb",
    "Forwarded", "Out of service"};
constexpr int kGroupHeight = 46;
// Columns inside a group: the status, the rule, the button at the right edge. The rule's column
// ends before the button; a label over the button would hide it.
constexpr int kRuleLeft = 172;
constexpr int kButtonWidth = 75;

// Entries of the state image list: none, appearing offline, online, busy, away.
constexpr std::uint32_t kStateColours[] = {0x808080, 0x00A000, 0x0000C0, 0x00A0FF};
constexpr int kPressedButtonRole = 133;

// The pressed "Change..." keeps the pressed colour while its editor is open, so the user sees
// which rule is being changed.
void WhileEditing(TfmOptions& options, ui::TComponent* button, const std::function<void()>& edit)
{
    options.ApplyColours();
    if (auto* pressed = dynamic_cast<ui::TControl*>(button))
        pressed->SetColor(dialogs::ToToolkitColour(GetColour(kPressedButtonRole, clSilver)));
    edit();
    options.ApplyColours();
}

} // namespace

void TfmOptions::BuildRulesPages()
{
    const TPresenceRules& rules = PresenceRules();
    const int kWidth = Notebook->Width();
    const int buttonLeft = kWidth - 40 - kButtonWidth - 8;
    const int ruleWidth = buttonLeft - 6 - kRuleLeft;
    ui::TPage* page = Notebook->Page(opMessenger);
    AddLabel(page, "txtMsgrState", "When my messenger state is", 12, 8, kRuleLeft - 4);
    AddLabel(page, "txtMsgrAction", "Perform the following action on my phone", 12 + kRuleLeft, 8, 300);
    for (int i = 0; i < 7; ++i) {
        const std::string n = std::to_string(i + 1);
        auto* group = Add<ui::TUnicodeGroupBox>(page, "gbMsgrRules" + n, 12, 28 + i * kGroupHeight,
                                                kWidth - 40, kGroupHeight - 4, crBody);
        group->SetTag(kRuleStatuses[i]);
        gbMsgrRules[static_cast<std::size_t>(i)] = group;
        // The rule text is the group's first label.
        lbMsgrRule[static_cast<std::size_t>(i)] =
            AddLabel(group, "lbMsgrRule" + n, "", kRuleLeft, 18, ruleWidth);
        AddLabel(group, kStatusLabels[i], rules.StatusName(kRuleStatuses[i]), 8, 18, kRuleLeft - 14);
        AddButton(group, "btMsgRule" + n, "Change...", buttonLeft, 10, kButtonWidth)->OnClick =
            [this, code = kRuleStatuses[i]](ui::TComponent* button) {
                WhileEditing(*this, button, [this, code] {
                    TIMStateRec rule = *PresenceRules().IMState(code);
                    TfmIMOptions editor(this);
                    if (editor.Run(rule, lists_.ForwardEntries())) {
                        *PresenceRules().IMState(code) = rule;
                        PresenceRules().SaveIMRule(config_, code);
                        ShowRules();
                    }
                });
            };
    }

    imStates = new ui::TImageList(this);
    imStates->SetName("imStates");
    imStates->Add(ui::TBitmap::Solid(16, 16, 0));
    for (std::uint32_t colour : kStateColours)
        imStates->Add(ui::RoundBadge(16, colour));

    page = Notebook->Page(opPhone);
    AddLabel(page, "txtPhoneTarget", "Change my messenger state to:", 12 + kRuleLeft, 8, 300);
    AddLabel(page, "txtPhoneState", "When my phone state is:", 12, 8, kRuleLeft - 4);
    for (int i = 0; i < 7; ++i) {
        const std::string n = std::to_string(i + 1);
        auto* group = Add<ui::TUnicodeGroupBox>(page, "gbPhoneRules" + n, 12, 28 + i * kGroupHeight,
                                                kWidth - 40, kGroupHeight - 4, crBody);
        group->SetTag(i + 1);
        gbPhoneRules[static_cast<std::size_t>(i)] = group;
        AddLabel(group, "txtPhoneState" + n, kPhoneLabels[i], 8, 8, kRuleLeft - 14);
        // Before the caption in the stacking, so it shows through the caption's opening blanks.
        imPhoneRule[static_cast<std::size_t>(i)] =
            Add<ui::TImage>(group, "imPhoneRule" + n, kRuleLeft, 7, 16, 16);
        lbPhoneRule[static_cast<std::size_t>(i)] =
            AddLabel(group, "lbPhoneRule" + n, "", kRuleLeft, 8, ruleWidth);
        lbPhoneCondition[static_cast<std::size_t>(i)] =
            AddLabel(group, "lbPhoneCondition" + n, "", kRuleLeft, 24, ruleWidth);
        AddButton(group, "btPhoneRule" + n, "Change...", buttonLeft, 10, kButtonWidth)->OnClick =
            [this, state = i + 1](ui::TComponent* button) {
                WhileEditing(*this, button, [this, state] {
                    TPhoneStateRec rule = *PresenceRules().PhoneState(state);
                    TfmPhoneOptions editor(this);
                    if (editor.Run(rule, PresenceRules())) {
                        *PresenceRules().PhoneState(state) = rule;
                        PresenceRules().SavePhoneRule(config_, state);
                        ShowRules();
                    }
                });
            };
    }
}

void TfmOptions::ShowRules()
{
    const TPresenceRules& rules = PresenceRules();
    for (std::size_t i = 0; i < 7; ++i) {
        lbMsgrRule[i]->SetCaption(rules.IMRuleText(gbMsgrRules[i]->Tag()));
        const int state = gbPhoneRules[i]->Tag();
        lbPhoneRule[i]->SetCaption(rules.PhoneRuleCaption(state));
        if (const ui::TBitmap* icon = imStates->Image(rules.PhoneRuleIcon(state)))
            imPhoneRule[i]->SetPicture(*icon);
        lbPhoneCondition[i]->SetCaption(rules.PhoneRuleConditions(state));
        // A long condition list is cut at the button; the hint shows all of it.
        lbPhoneCondition[i]->SetHint(lbPhoneCondition[i]->Caption());
        lbPhoneCondition[i]->SetShowHint(true);
    }
}

} // namespace options
