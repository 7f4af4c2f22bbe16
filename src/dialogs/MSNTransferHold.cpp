#include "dialogs/MSNTransferHold.h"

namespace dialogs {

namespace {

THeldCallDialog::THeldDesign Design()
{
    THeldCallDialog::THeldDesign design;
    design.Frame.Width = 320;
    design.Frame.Height = 260;
    design.Frame.TitlePanel = "pnTitleTransferHold";
    design.Frame.Title = "Transfer to a held call";
    design.Frame.CloseImage = "imClose";
    design.Frame.CloseHint = "Close this window";
    design.VerbLabel = "txtTransfer";
    design.VerbCaption = "Transfer";
    design.AtLabel = "txtAt";
    design.ToLabel = "txtTo";
    design.ToCaption = "to";
    design.RowAtKey = "At";
    design.ActionButton = "ckImmediateTrans";
    design.ActionCaption = "Immediate Transfer";
    return design;
}

} // namespace

TfmTransferToHold::TfmTransferToHold(ui::TComponent* owner) : THeldCallDialog(owner, Design())
{
}

} // namespace dialogs
