#include "options/MSNRuleEditors.h"

#include <algorithm>

#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

using namespace messenger;

namespace {

constexpr int kWidth = 360;

TKovraDialog::TFrameDesign Design(const char* panel, const char* title, int height)
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = height;
    design.TitlePanel = panel;
    design.Title = title;
    design.Position = ui::TPosition::poOwnerFormCenter;
    return design;
}

std::string WithName(const std::string& pattern, const std::string& name)
{
    return settings::Substitute(pattern, "%s", name);
}

} // namespace

TfmIMOptions::TfmIMOptions(ui::TComponent* owner)
    : TKovraDialog(owner, Design("pnTitleIMOptions", "Changing Messenger state", 200))
{
    SetName("fmIMOptions");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    txtMsgIMOptions = AddLabel(pnBody, "txtMsgIMOptions", "", 12, 8, kWidth - 24);
    btForward = Add<ui::TUnicodeRadioButton>(pnBody, "btForward", 12, 32, 150, 20, crBody);
    btForward->SetCaption("Forward my phone to");
    cbForward = Add<ui::TUnicodeComboBox>(pnBody, "cbForward", 170, 32, kWidth - 182, 20, crBody);
    cbForward->SetStyle(ui::TComboBoxStyle::csDropDownList);
    btEnableDnd = Add<ui::TUnicodeRadioButton>(pnBody, "btEnableDnd", 12, 58, kWidth - 24, 20, crBody);
    btEnableDnd->SetCaption("Enable do not disturb");
    btEnableDnd->SetHint("Checking this button will send incoming calls to Voice Mail");
    btDisableDndFw = Add<ui::TUnicodeRadioButton>(pnBody, "btDisableDndFw", 12, 82, kWidth - 24, 20, crBody);
    btDisableDndFw->SetCaption("Disable do not disturb and forward");
    btDisableDndFw->SetHint("Receive calls");
    btNothing = Add<ui::TUnicodeRadioButton>(pnBody, "btNothing", 12, 106, kWidth - 24, 20, crBody);
    btNothing->SetCaption("Nothing");
    for (auto* each : {btForward, btEnableDnd, btDisableDndFw, btNothing})
        each->OnClick = [this](ui::TComponent*) { UpdateControls(); };
    cbForward->OnSelect = [this](ui::TComponent*) { UpdateControls(); };
    btOk = AddButton(pnBody, "btOk", "OK", kWidth - 90, 136);
    btOk->OnClick = [this](ui::TComponent*) { Accept(); };
    FinishCreation();
}

void TfmIMOptions::SetUp(const TIMStateRec& rule, const std::vector<TForwardEntry>& forwards)
{
    txtMsgIMOptions->SetCaption(
        WithName(LocalText("txtMsgIMOptions", "When messenger state is %s do the following:"), rule.Name));
    ui::TUnicodeRadioButton* chosen = rule.Action == imaDisableDndFw ? btDisableDndFw
                                      : rule.Action == imaEnableDnd  ? btEnableDnd
                                      : rule.Action == imaForward    ? btForward
                                                                     : btNothing;
    for (auto* each : {btForward, btEnableDnd, btDisableDndFw, btNothing})
        each->SetChecked(each == chosen);
    forwards_ = forwards;
    cbForward->Items().Clear();
    const std::string wanted = DialableDigits(rule.Number);
    for (std::size_t i = 0; i < forwards_.size(); ++i) {
        const int row = cbForward->Items().Add(forwards_[i].Name + " " + forwards_[i].Number);
        if (DialableDigits(forwards_[i].Number) == wanted)
            cbForward->SetItemIndex(row);
    }
    UpdateControls();
}

void TfmIMOptions::UpdateControls()
{
    cbForward->SetEnabled(btForward->Checked());
    btOk->SetEnabled(!btForward->Checked() || cbForward->ItemIndex() >= 0);
    ApplyColours();
}

void TfmIMOptions::Apply(TIMStateRec& rule) const
{
    rule.Action = btDisableDndFw->Checked() ? imaDisableDndFw
                  : btEnableDnd->Checked()  ? imaEnableDnd
                  : btForward->Checked()    ? imaForward
                                            : imaNothing;
    const int row = cbForward->ItemIndex();
    if (rule.Action == imaForward && row >= 0 && row < static_cast<int>(forwards_.size())) {
        rule.Number = forwards_[static_cast<std::size_t>(row)].Number;
        rule.Label = forwards_[static_cast<std::size_t>(row)].Name;
    }
}

bool TfmIMOptions::Run(TIMStateRec& rule, const std::vector<TForwardEntry>& forwards)
{
    SetUp(rule, forwards);
    if (ShowModal() != ui::mrOk)
        return false;
    Apply(rule);
    return true;
}

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
