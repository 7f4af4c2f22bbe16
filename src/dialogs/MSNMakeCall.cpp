#include "dialogs/MSNMakeCall.h"

using namespace settings;

namespace dialogs {

namespace {

TNumberEntryDialog::TEntryDesign Design()
{
    TNumberEntryDialog::TEntryDesign design;
    design.Frame.Width = 300;
    design.Frame.Height = 196;
    design.Frame.TitlePanel = "pnTitleMakeCall";
    design.Frame.Title = "Make a new call";
    design.LabelName = "txtPhoneNumber";
    design.LabelCaption = "Phone Number";
    return design;
}

} // namespace

TfmMakeCall::TfmMakeCall(ui::TComponent* owner, TKovraAssistantConfig& config)
    : TNumberEntryDialog(owner, Design(), config)
{
    pnCallType = Add<ui::TUnicodePanel>(pnBody, "pnCallType", 12, ContentTop(), 270, 84, crBody);
    int top = 2;
    for (auto [radio, name, caption] : {std::tuple{&ckRegularCall, "ckRegularCall", "Regular Call"},
                                        std::tuple{&ckIntercom, "ckIntercom", "Intercom Call"},
                                        std::tuple{&ckUrgent, "ckUrgent", "This Call is Urgent"},
                                        std::tuple{&ckDontShow, "ckDontShow", "Don't show my Caller ID"}}) {
        *radio = Add<ui::TUnicodeLightRadioButton>(pnCallType, name, 0, top, 260, 18, crBody);
        (*radio)->SetCaption(caption);
        top += 20;
    }
    ckRegularCall->SetChecked(true);
    FinishCreation();
    OnShow = [this](ui::TComponent*) { cbPhones->SetFocus(); };
}

int TfmMakeCall::CallOptions() const
{
    if (ckIntercom->Checked())
        return 4;
    if (ckUrgent->Checked())
        return 2;
    if (ckDontShow->Checked())
        return 8;
    return 0;
}

} // namespace dialogs
