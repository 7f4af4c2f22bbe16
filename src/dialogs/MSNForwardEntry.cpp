#include "dialogs/MSNForwardEntry.h"

#include "dialogs/NumberEntry.h"
#include "settings/TextUtil.h"

using namespace settings;

namespace dialogs {

TfmForwardEntry* fmForwardEntry = nullptr;

namespace {

constexpr int kWidth = 300;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 22 + 26 + 110;
    design.TitlePanel = "pnTitleForwardEntry";
    design.Title = "Forward Number";
    design.Position = ui::TPosition::poDesktopCenter;
    return design;
}

} // namespace

std::string CleanForwardNumber(std::string_view text)
{
    std::string clean;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+' || c == '-' || c == ' ')
            clean += c;
    return clean;
}

TfmForwardEntry::TfmForwardEntry(ui::TComponent* owner) : TKovraDialog(owner, Design())
{
    SetName("fmForwardEntry");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    txtName = AddLabel(pnBody, "txtName", "Name:", 12, 12, 60);
    edName = Add<ui::TEdit>(pnBody, "edName", 80, 8, 200, 22, crBody);
    txtNumber = AddLabel(pnBody, "txtNumber", "Number:", 12, 42, 60);
    edNumber = Add<ui::TEdit>(pnBody, "edNumber", 80, 38, 200, 22, crBody);
    txtNumberTaken = AddLabel(pnBody, "txtNumberTaken", "This number is already in the list", 12, 68, 180);
    txtNumberTaken->SetVisible(false);
    for (auto* edit : {edName, edNumber})
        edit->Font().SetColor(ui::clBlack);
    // Typed keys are filtered to what the cleaning keeps: replacing the text while typing would
    // put the caret back at the start in the native edit.
    edNumber->OnKeyPress = [](ui::TComponent*, char16_t& key) {
        if (key != u' ' && (key == u'(' || key == u')' || PhoneNumberKey(key) == 0))
            key = 0;
    };
    edName->OnChange = [this](ui::TComponent*) { UpdateOk(); };
    edNumber->OnChange = [this](ui::TComponent*) { NumberChanged(); };
    btOk = AddButton(pnBody, "btOk", "OK", kWidth - 90, 78);
    btOk->SetEnabled(false);
    btOk->OnClick = [this](ui::TComponent*) { OkClick(); };
    FinishCreation();
    fmForwardEntry = this;
}

TfmForwardEntry::~TfmForwardEntry()
{
    if (pending_ && done_) {
        pending_ = false;
        done_(TForwardEntry{}, target_, true);
    }
    if (fmForwardEntry == this)
        fmForwardEntry = nullptr;
}

void TfmForwardEntry::SetUp(TForwardEntry* target, const TForwardEntry& entry, TDone done, TNumberTaken taken)
{
    target_ = target;
    done_ = std::move(done);
    taken_ = std::move(taken);
    pending_ = true;
    edName->SetText(entry.Name);
    edNumber->SetText(entry.Number);
    UpdateOk();
    ShowForm();
}

void TfmForwardEntry::UpdateOk()
{
    const std::string number = settings::Trim(edNumber->Text());
    // A second entry with the same number would be lost with the next save.
    const bool taken = !number.empty() && taken_ && taken_(number, target_);
    txtNumberTaken->SetVisible(taken);
    btOk->SetEnabled(!number.empty() && !settings::Trim(edName->Text()).empty() && !taken);
    ApplyColours();
}

void TfmForwardEntry::NumberChanged()
{
    UpdateOk();
    const std::string clean = CleanForwardNumber(edNumber->Text());
    if (clean != edNumber->Text())
        edNumber->SetText(clean);
}

void TfmForwardEntry::OkClick()
{
    if (!pending_ || !btOk->Enabled())
        return;
    const TForwardEntry result{settings::Trim(edName->Text()), settings::Trim(edNumber->Text())};
    pending_ = false;
    if (done_)
        done_(result, target_, false);
    Close();
}

} // namespace dialogs
