#include "dialogs/ConfirmFm.h"

#include <memory>

namespace dialogs {

namespace {

constexpr int kWidth = 320;
constexpr int kButtonRow = 30;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    // Holds both button rows; one of them is always hidden.
    design.Height = 22 + 26 + 60 + 24 + 2 * kButtonRow;
    design.TitlePanel = "pnTitleConfirm";
    design.Title = "Confirm";
    design.WindowCaption = "Confirm";
    design.Position = ui::TPosition::poDesktopCenter;
    return design;
}

} // namespace

TfmConfirm::TfmConfirm(ui::TComponent* owner) : TKovraDialog(owner, Design())
{
    SetName("fmConfirm");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    pnContinue = Add<ui::TUnicodePanel>(pnBody, "pnContinue", 0, 0, kWidth, kButtonRow, crBody);
    pnContinue->SetAlign(ui::TAlign::alBottom);
    btContinue = AddButton(pnContinue, "btContinue", "Continue", kWidth - 90, 4);
    pnYesNo = Add<ui::TUnicodePanel>(pnBody, "pnYesNo", 0, 0, kWidth, kButtonRow, crBody);
    pnYesNo->SetAlign(ui::TAlign::alBottom);
    btYes = AddButton(pnYesNo, "btYes", "Yes", kWidth - 170, 4);
    btNo = AddButton(pnYesNo, "btNo", "No", kWidth - 90, 4);
    pnConf = Add<ui::TUnicodePanel>(pnBody, "pnConf", 0, 0, kWidth, 24, crBody);
    pnConf->SetAlign(ui::TAlign::alBottom);
    cbConfirm = Add<ui::TUnicodeLightCheckBox>(pnConf, "cbConfirm", 12, 3, 290, 18, crBody);
    cbConfirm->SetCaption("Do not show this window again");
    pnInfo = Add<ui::TUnicodePanel>(pnBody, "pnInfo", 0, 0, kWidth, 60, crBody);
    pnInfo->SetAlign(ui::TAlign::alClient);
    txtInfo = AddLabel(pnInfo, "txtInfo", "", 12, 8, kWidth - 24);
    txtInfo->SetHeight(48);
    txtInfo->SetWordWrap(true);

    // Shown modally the buttons answer; otherwise any of them just closes the box.
    btYes->OnClick = [this](ui::TComponent*) { Accept(); };
    btContinue->OnClick = [this](ui::TComponent*) { Accept(); };
    btNo->OnClick = [this](ui::TComponent*) {
        if (Modal())
            SetModalResult(ui::mrCancel);
        else
            Close();
    };
    FinishCreation();
}

TfmConfirm::~TfmConfirm()
{
    // An unchanged choice writes nothing: the stored document stays as it was.
    if (switch_ && switch_->Checked() != !cbConfirm->Checked())
        switch_->SetChecked(!cbConfirm->Checked());
}

void TfmConfirm::SetTitle(const std::string& title)
{
    SetCaption(title);
    pnCaption->SetCaption(title);
    pnTitle->SetCaption(title);
}

void TfmConfirm::SetUp(const std::string& message, IConfirmSwitch* confirmSwitch, bool ask)
{
    message_ = message;
    switch_ = confirmSwitch;
    txtInfo->SetCaption(message);
    pnConf->SetVisible(ask);
    pnYesNo->SetVisible(ask);
    pnContinue->SetVisible(!ask);
    SetHeight(Height() - pnContinue->Height());
}

bool ShowConfirm(const std::string& message, IConfirmSwitch* confirmSwitch, bool ask, ui::TComponent* owner)
{
    const bool state = confirmSwitch && confirmSwitch->Checked();
    if (ask && !state && !ui::Application->ShiftHeld())
        return true;
    auto box = std::make_unique<TfmConfirm>(owner);
    if (!ask)
        box->SetTitle(DialogText("Information", "Information"));
    box->cbConfirm->SetChecked(!state);
    box->SetUp(message, confirmSwitch, ask);
    const bool yes = box->ShowModal() == ui::mrOk;
    // The owner must not free it too.
    box.reset();
    return yes;
}

} // namespace dialogs
