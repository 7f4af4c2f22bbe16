#include "dialogs/MSNTransfer.h"

using namespace api;
using namespace settings;

namespace dialogs {

TImmediateChoice ImmediateChoice(std::uint32_t capabilities, TKovraCapability singleStepBit,
                                 TKovraCapability consultationBit)
{
    const bool singleStep = HasCapability(capabilities, singleStepBit);
    const bool consultation = HasCapability(capabilities, consultationBit);
    if (singleStep && !consultation)
        return {false, true};
    return {singleStep, false};
}

namespace {

TNumberEntryDialog::TEntryDesign Design()
{
    TNumberEntryDialog::TEntryDesign design;
    design.Frame.Width = 300;
    design.Frame.Height = 140;
    design.Frame.TitlePanel = "pnTitleTransferCall";
    design.Frame.Title = "Transfer call";
    design.LabelName = "txtTransferTo";
    design.LabelCaption = "Transfer to:";
    return design;
}

} // namespace

TfmTransfer::TfmTransfer(ui::TComponent* owner, TKovraAssistantConfig& config)
    : TNumberEntryDialog(owner, Design(), config)
{
    ckImmediateTrans =
        Add<ui::TUnicodeLightCheckBox>(pnBody, "ckImmediateTrans", 12, ContentTop(), 200, 18, crBody);
    ckImmediateTrans->SetCaption("Immediate Transfer");
    FinishCreation();
    OnShow = [this](ui::TComponent*) { cbPhones->SetFocus(); };
}

void TfmTransfer::SetImmediate(TImmediateChoice choice)
{
    ckImmediateTrans->SetChecked(choice.Checked);
    ckImmediateTrans->SetEnabled(choice.Enabled);
    ApplyColours();
}

} // namespace dialogs
