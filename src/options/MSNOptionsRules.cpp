// The Messenger and Phone pages of the options window: what each rule does, by group.
#include "options/MSNOptions.h"

#include "messenger/MSNUtils.h"
#include "options/MSNRuleEditors.h"
#include "settings/MessageBundle.h"

using namespace messenger;

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

} // namespace

void TfmOptions::BuildRulesPages()
{
    const TPresenceRules& rules = PresenceRules();
    const int kWidth = Notebook->Width();
    ui::TPage* page = Notebook->Page(opMessenger);
    AddLabel(page, "txtMsgrState", "When my messenger state is", 12, 8, 200);
    AddLabel(page, "txtMsgrAction", "Perform the following action on my phone", 220, 8, 300);
    for (int i = 0; i < 7; ++i) {
        const std::string n = std::to_string(i + 1);
        auto* group = Add<ui::TUnicodeGroupBox>(page, "gbMsgrRules" + n, 12, 28 + i * kGroupHeight,
                                                kWidth - 40, kGroupHeight - 4, crBody);
        group->SetTag(kRuleStatuses[i]);
        gbMsgrRules[static_cast<std::size_t>(i)] = group;
        // The rule text is the group's first label.
        lbMsgrRule[static_cast<std::size_t>(i)] =
            AddLabel(group, "lbMsgrRule" + n, "", 208, 18, kWidth - 260);
        AddLabel(group, kStatusLabels[i], rules.StatusName(kRuleStatuses[i]), 8, 18, 190);
        AddButton(group, "btMsgRule" + n, "Change...", kWidth - 130, 14)->OnClick =
            [this, code = kRuleStatuses[i]](ui::TComponent*) {
                TIMStateRec rule = *PresenceRules().IMState(code);
                TfmIMOptions editor(this);
                if (editor.Run(rule, lists_.ForwardEntries())) {
                    *PresenceRules().IMState(code) = rule;
                    PresenceRules().SaveIMRule(config_, code);
                    ShowRules();
                }
            };
    }

    page = Notebook->Page(opPhone);
    AddLabel(page, "txtPhoneTarget", "Change my messenger state to:", 220, 8, 300);
    AddLabel(page, "txtPhoneState", "When my phone state is:", 12, 8, 200);
    for (int i = 0; i < 7; ++i) {
        const std::string n = std::to_string(i + 1);
        auto* group = Add<ui::TUnicodeGroupBox>(page, "gbPhoneRules" + n, 12, 28 + i * kGroupHeight,
                                                kWidth - 40, kGroupHeight - 4, crBody);
        group->SetTag(i + 1);
        gbPhoneRules[static_cast<std::size_t>(i)] = group;
        AddLabel(group, "txtPhoneState" + n, kPhoneLabels[i], 8, 8, 190);
        lbPhoneRule[static_cast<std::size_t>(i)] =
            AddLabel(group, "lbPhoneRule" + n, "", 208, 8, kWidth - 260);
        lbPhoneCondition[static_cast<std::size_t>(i)] =
            AddLabel(group, "lbPhoneCondition" + n, "", 208, 24, kWidth - 260);
        AddButton(group, "btPhoneRule" + n, "Change...", kWidth - 130, 14)->OnClick =
            [this, state = i + 1](ui::TComponent*) {
                TPhoneStateRec rule = *PresenceRules().PhoneState(state);
                TfmPhoneOptions editor(this);
                if (editor.Run(rule, PresenceRules())) {
                    *PresenceRules().PhoneState(state) = rule;
                    PresenceRules().SavePhoneRule(config_, state);
                    ShowRules();
                }
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
        lbPhoneCondition[i]->SetCaption(rules.PhoneRuleConditions(state));
    }
}
