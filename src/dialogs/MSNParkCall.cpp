#include "dialogs/MSNParkCall.h"

#include "settings/TextUtil.h"

namespace dialogs {

namespace {

constexpr int kWidth = 300;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 170;
    design.TitlePanel = "pnTitleParkCall";
    design.Title = "Parked call";
    return design;
}

} // namespace

TFrmParkCallNotification::TFrmParkCallNotification(ui::TComponent* owner, unsigned hideAfterMs)
    : TKovraDialog(owner, Design())
{
    SetName("FrmParkCallNotification");
    labCallFrom = AddLabel(pnBody, "labCallFrom", "Your call from:", 12, 8, kWidth - 24);
    txtParkFrom = AddLabel(pnBody, "txtParkFrom", "", 24, 26, kWidth - 36);
    txtParkFrom->Font().SetStyle(ui::fsBold);
    labParkedAt = AddLabel(pnBody, "labParkedAt", "has been parked at:", 12, 46, kWidth - 24);
    txtParkTo = AddLabel(pnBody, "txtParkTo", "", 24, 64, kWidth - 36);
    txtParkTo->Font().SetStyle(ui::fsBold);
    btOk = AddButton(pnBody, "btOk", "OK", kWidth - 90, 90);
    btOk->OnClick = [this](ui::TComponent*) { HideNotice(); };
    imCaption->OnClick = [this](ui::TComponent*) { HideNotice(); };
    tmHide = new ui::TTimer(this);
    tmHide->SetName("tmHide");
    tmHide->SetEnabled(false);
    tmHide->SetInterval(hideAfterMs);
    tmHide->OnTimer = [this](ui::TComponent*) { HideNotice(); };
    FinishCreation();
}

void TFrmParkCallNotification::ShowNotice(const std::string& from, const std::string& to)
{
    // Hidden while being dragged, the notice would otherwise follow the mouse when it comes back.
    pnCaption->CancelDrag();
    ApplyLookAndFeel();
    txtParkFrom->SetCaption(settings::Trim(from));
    txtParkTo->SetCaption(settings::Trim(to));
    ShowForm();
    tmHide->SetEnabled(false);
    tmHide->SetEnabled(true);
}

void TFrmParkCallNotification::HideNotice()
{
    tmHide->SetEnabled(false);
    HideForm();
}

} // namespace dialogs
