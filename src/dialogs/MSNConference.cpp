#include "dialogs/MSNConference.h"

using namespace settings;

namespace dialogs {

namespace {

TNumberEntryDialog::TEntryDesign Design()
{
    TNumberEntryDialog::TEntryDesign design;
    design.Frame.Width = 300;
    design.Frame.Height = 140;
    design.Frame.TitlePanel = "pnTitleConference";
    design.Frame.Title = "Start Conference";
    design.LabelName = "txtConferenceWith";
    design.LabelCaption = "Conference with:";
    return design;
}

} // namespace

TfmConference::TfmConference(ui::TComponent* owner, TKovraAssistantConfig& config)
    : TNumberEntryDialog(owner, Design(), config)
{
    ckImmediateConf =
        Add<ui::TUnicodeLightCheckBox>(pnBody, "ckImmediateConf", 12, ContentTop(), 200, 18, crBody);
    ckImmediateConf->SetCaption("Immediate Conference");
    FinishCreation();
    OnShow = [this](ui::TComponent*) { cbPhones->SetFocus(); };
}

void TfmConference::SetImmediate(TImmediateChoice choice)
{
    ckImmediateConf->SetChecked(choice.Checked);
    ckImmediateConf->SetEnabled(choice.Enabled);
    ApplyColours();
}

} // namespace dialogs
