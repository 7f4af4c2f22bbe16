#include "dialogs/MSNCallLaterCallFm.h"

#include <algorithm>

#include "settings/otutil.h"

using namespace settings;

namespace dialogs {

TfmCallLaterCall* fmCallLaterCall = nullptr;

namespace {

constexpr int kWidth = 220;
constexpr int kHeaderHeight = 40;
constexpr int kLinkHeight = 18;
constexpr int kLinks = 6;
constexpr int kSlideParts = 30;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 22 + kHeaderHeight + kLinks * kLinkHeight + 34;
    design.Position = ui::TPosition::poDesigned;
    return design;
}

} // namespace

TfmCallLaterCall::TfmCallLaterCall(ui::TComponent* owner, TReminderTimings timings)
    : TKovraDialog(owner, Design())
{
    SetName("fmCallLaterCall");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    imCaption->OnClick = [this](ui::TComponent*) { Choose(kCancel); };

    pnHeader = Add<ui::TUnicodePanel>(pnBody, "pnHeader", 0, 0, kWidth, kHeaderHeight, crPopupHeader);
    pnHeader->SetAlign(ui::TAlign::alTop);
    txtCallLaterTo = AddLabel(pnHeader, "txtCallLaterTo", "Call to", 6, 4, 50, crPopupHeaderText);
    txtCallerName = AddLabel(pnHeader, "txtCallerName", "", 58, 4, kWidth - 64, crPopupHeaderText);
    txtCallerName->Font().SetStyle(ui::fsBold);
    txtCallLaterAt = AddLabel(pnHeader, "txtCallLaterAt", "at", 6, 20, 50, crPopupHeaderText);
    txtCallerNumber = AddLabel(pnHeader, "txtCallerNumber", "", 58, 20, kWidth - 64, crPopupHeaderText);

    auto* rows = Add<ui::TUnicodePanel>(pnBody, "pnRows", 0, kHeaderHeight, kWidth, 0, crPopupRow);
    rows->SetAlign(ui::TAlign::alClient);
    btCall = AddLink("btCall", "Call Now", 4, 0);
    btCall5 = AddLink("btCall5", "Call in 5 mins", 4 + kLinkHeight, 5);
    btCall10 = AddLink("btCall10", "Call in 10 mins", 4 + 2 * kLinkHeight, 10);
    btCall15 = AddLink("btCall15", "Call in 15 mins", 4 + 3 * kLinkHeight, 15);
    btCall30 = AddLink("btCall30", "Call in 30 mins", 4 + 4 * kLinkHeight, 30);
    btCancelCall = AddLink("btCancelCall", "Cancel Call", 4 + 5 * kLinkHeight, kCancel);
    const int top = 8 + kLinks * kLinkHeight;
    txtIn = AddLabel(rows, "txtIn", "in", 10, top + 3, 16, crPopupLink);
    edTime = Add<ui::TSpinEdit>(rows, "edTime", 28, top, 50, 22, crBody);
    edTime->SetRange(1, 999);
    edTime->SetValue(1);
    edTime->Font().SetColor(ui::clBlack);
    txtMins = AddLabel(rows, "txtMins", "mins", 84, top + 3, 36, crPopupLink);
    btCallInMins = AddButton(rows, "btCallInMins", "Call", 126, top, 60);
    btCallInMins->OnClick = [this](ui::TComponent*) { Choose(edTime->Value()); };

    tmShow = new ui::TTimer(this);
    tmShow->SetName("tmShow");
    tmShow->SetEnabled(false);
    tmShow->SetInterval(timings.SlideStep);
    tmShow->OnTimer = [this](ui::TComponent*) { tmShowTimer(); };
    tmDissapear = new ui::TTimer(this);
    tmDissapear->SetName("tmDissapear");
    tmDissapear->SetInterval(timings.Disappear);
    tmDissapear->OnTimer = [this](ui::TComponent*) { Choose(5); };
    tmDissapear->SetEnabled(true);
    // Closed by the window system: it goes unanswered and the reminder stays due.
    OnClose = [this](ui::TComponent*, ui::TCloseAction& action) {
        action = ui::TCloseAction::caFree;
        held_ = false;
        tmShow->SetEnabled(false);
        tmDissapear->SetEnabled(false);
    };
    FinishCreation();
    fmCallLaterCall = this;
}

TfmCallLaterCall::~TfmCallLaterCall()
{
    if (fmCallLaterCall == this)
        fmCallLaterCall = nullptr;
}

ui::TUnicodeLabel* TfmCallLaterCall::AddLink(const char* name, const char* caption, int top, int choice)
{
    auto* link =
        AddLabel(Find<ui::TUnicodePanel>("pnRows"), name, caption, 10, top, kWidth - 20, crPopupLink);
    link->SetIsLink(true);
    link->SetCursor(ui::TCursor::crHandPoint);
    link->OnClick = [this, choice](ui::TComponent*) { Choose(choice); };
    return link;
}

void TfmCallLaterCall::SetUp(const TCallLater& entry, TChoice choice)
{
    entry_ = entry;
    choice_ = std::move(choice);
    held_ = true;
    txtCallerName->SetCaption(entry.Name);
    // A "+" number is kept as written; the national form would hide its country code.
    txtCallerNumber->SetCaption(entry.Number.starts_with('+') ? entry.Number
                                                              : FormatPhoneNumber(entry.Number));
    // It slides up from below the work area's bottom edge, at its size on the monitor.
    const ui::TRect area = ui::Application->WorkArea();
    SetBounds(area.Right - NativeBounds().Width(), area.Bottom, Width(), Height());
    ShowForm();
    tmShow->SetTag(0);
    tmShow->SetEnabled(true);
}

void TfmCallLaterCall::Choose(int choice)
{
    tmDissapear->SetEnabled(false);
    if (held_ && choice_) {
        held_ = false;
        // The answer may close this pop-up (CloseNow) or start another; keep nothing across it.
        const TCallLater entry = entry_;
        const TChoice answer = choice_;
        answer(entry, choice);
    }
    held_ = false;
    if (tmShow->Tag() == 1)
        return;
    tmShow->SetTag(1);
    tmShow->SetEnabled(true);
}

void TfmCallLaterCall::CloseNow()
{
    held_ = false;
    Close();
}

void TfmCallLaterCall::tmShowTimer()
{
    tmShow->SetEnabled(false);
    const ui::TRect area = ui::Application->WorkArea();
    const int height = NativeBounds().Height();
    const int step = std::max(1, height / kSlideParts);
    if (tmShow->Tag() == 0) {
        const int target = area.Bottom - height;
        SetTop(std::max(target, Top() - step));
        if (Top() > target)
            tmShow->SetEnabled(true);
        return;
    }
    SetTop(Top() + step);
    if (Top() >= area.Bottom) {
        Close();
        return;
    }
    tmShow->SetEnabled(true);
}

} // namespace dialogs
