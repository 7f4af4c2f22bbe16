#include "dialogs/MSNPickupCall.h"

using namespace settings;

namespace dialogs {

namespace {

TNumberEntryDialog::TEntryDesign Design()
{
    TNumberEntryDialog::TEntryDesign design;
    design.Frame.Width = 300;
    design.Frame.Height = 150;
    design.Frame.TitlePanel = "pnTitlePickupCall";
    design.Frame.Title = "Pickup Ringing Call";
    design.LabelName = "txtRingingPhone";
    design.LabelCaption = "Ringing Phone:";
    return design;
}

} // namespace

TfmPickupCall::TfmPickupCall(ui::TComponent* owner, TKovraAssistantConfig& config)
    : TNumberEntryDialog(owner, Design(), config)
{
    txtOr = AddLabel(pnBody, "txtOr", "OR:", 12, ContentTop() + 4, 40);
    btGroupPickup = AddButton(pnBody, "btGroupPickup", "Group Pickup", 60, ContentTop(), 100);
    // An empty target asks the server for a group pickup; the recent numbers stay as they are.
    btGroupPickup->OnClick = [this](ui::TComponent*) {
        cbPhones->SetText("");
        Accept();
    };
    FinishCreation();
    OnShow = [this](ui::TComponent*) { cbPhones->SetFocus(); };
}

} // namespace dialogs
