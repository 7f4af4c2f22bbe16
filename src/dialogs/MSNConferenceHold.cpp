#include "dialogs/MSNConferenceHold.h"

namespace dialogs {

namespace {

THeldCallDialog::THeldDesign Design()
{
    THeldCallDialog::THeldDesign design;
    design.Frame.Width = 320;
    design.Frame.Height = 260;
    design.Frame.TitlePanel = "pnTitleConferenceHold";
    design.Frame.Title = "Conference with a held call";
    design.Frame.CloseImage = "imClose";
    design.Frame.CloseHint = "Close this window";
    design.VerbLabel = "txtConfHoldConference";
    design.VerbCaption = "Conference";
    design.AtLabel = "txtConfHoldAt";
    design.ToLabel = "txtConfHoldWith";
    design.ToCaption = "with";
    design.RowAtKey = "txtConfHoldAt";
    design.ActionButton = "ckImmediateConf";
    design.ActionCaption = "Immediate Conference";
    return design;
}

} // namespace

TfmConferenceToHold::TfmConferenceToHold(ui::TComponent* owner) : THeldCallDialog(owner, Design())
{
}

} // namespace dialogs
