#include "options/MSNPhoneOptions.h"

#include <algorithm>

#include "options/RuleEditorFrame.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

using namespace settings;
using namespace dialogs;
using namespace messenger;

namespace options {

using rule_editor::Design;
using rule_editor::kWidth;
using rule_editor::WithName;

TfmPhoneOptions::TfmPhoneOptions(ui::TComponent* owner)
    : TKovraDialog(owner, Design("pnTitlePhoneOptions", "Changing Phone state", 330))
{
    SetName("fmPhoneOptions");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    txtMsgPhoneOptions = AddLabel(pnBody, "txtMsgPhoneOptions", "", 12, 8, kWidth - 24);
    cbState = Add<ui::TUnicodeComboBox>(pnBody, "cbState", 12, 30, kWidth - 24, 20, crBody);
    cbState->SetStyle(ui::TComboBoxStyle::csDropDownList);
    rbStates = Add<ui::TUnicodeRadioButton>(pnBody, "rbStates", 12, 58, kWidth - 24, 20, crBody);
    rbStates->SetCaption("If messenger state is one or more of the following:");
    lbStates = Add<ui::TCheckListBox>(pnBody, "lbStates", 30, 80, kWidth - 42, 130, crListBack);
    rbAny = Add<ui::TUnicodeRadioButton>(pnBody, "rbAny", 12, 216, kWidth - 24, 20, crBody);
    rbAny->SetCaption("Or, messenger is in any state");
    for (auto* each : {rbStates, rbAny})
        each->OnClick = [this](ui::TComponent*) { UpdateControls(); };
    cbState->OnSelect = [this](ui::TComponent*) { UpdateControls(); };
    btOk = AddButton(pnBody, "btOk", "OK", kWidth - 90, 246);
    btOk->OnClick = [this](ui::TComponent*) { Accept(); };
    FinishCreation();
}

void TfmPhoneOptions::SetUp(const TPhoneStateRec& rule, const TPresenceRules& rules)
{
    txtMsgPhoneOptions->SetCaption(
        WithName(LocalText("txtMsgPhoneOptions", "When my phone state changes to %s..."),
                 settings::ToLowerAscii(rule.Name)));
    cbState->Items().Clear();
    lbStates->Items().Clear();
    targets_ = {0};
    statuses_.clear();
    cbState->Items().Add(LocalText("DoNothing", "Do nothing"));
    for (int code = 0; code < kIMStateCount; ++code) {
        const TIMStateRec* status = rules.IMState(code);
        if (status->Code == 0)
            continue;
        cbState->Items().Add(WithName(LocalText("ChangeStateTo", "Change state to %s"), status->Name));
        targets_.push_back(code);
        const int row = lbStates->Items().Add(status->Name);
        statuses_.push_back(code);
        lbStates->SetChecked(row, std::find(rule.Conditions.begin(), rule.Conditions.end(), code) !=
                                      rule.Conditions.end());
    }
    const auto target = std::find(targets_.begin(), targets_.end(), rule.Target);
    cbState->SetItemIndex(target == targets_.end() ? -1 : static_cast<int>(target - targets_.begin()));
    rbAny->SetChecked(rule.Conditions.empty());
    rbStates->SetChecked(!rule.Conditions.empty());
    UpdateControls();
}

void TfmPhoneOptions::UpdateControls()
{
    const bool setsStatus = cbState->ItemIndex() >= 1;
    rbStates->SetEnabled(setsStatus);
    rbAny->SetEnabled(setsStatus);
    lbStates->SetEnabled(setsStatus && rbStates->Checked());
    ApplyColours();
}

void TfmPhoneOptions::Apply(TPhoneStateRec& rule) const
{
    const int row = cbState->ItemIndex();
    if (row >= 0 && row < static_cast<int>(targets_.size()))
        rule.Target = targets_[static_cast<std::size_t>(row)];
    rule.Conditions.clear();
    if (rbAny->Checked())
        return;
    for (int i = 0; i < lbStates->Items().Count() && i < static_cast<int>(statuses_.size()); ++i)
        if (lbStates->Checked(i))
            rule.Conditions.push_back(statuses_[static_cast<std::size_t>(i)]);
}

bool TfmPhoneOptions::Run(TPhoneStateRec& rule, const TPresenceRules& rules)
{
    SetUp(rule, rules);
    if (ShowModal() != ui::mrOk)
        return false;
    Apply(rule);
    return true;
}

} // namespace options
