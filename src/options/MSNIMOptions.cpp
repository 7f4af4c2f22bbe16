#include "options/MSNIMOptions.h"

#include "options/RuleEditorFrame.h"
#include "settings/MessageBundle.h"
#include "settings/otutil.h"

using namespace settings;
using namespace dialogs;
using namespace messenger;

namespace options {

using rule_editor::Design;
using rule_editor::kWidth;
using rule_editor::WithName;

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

} // namespace options
