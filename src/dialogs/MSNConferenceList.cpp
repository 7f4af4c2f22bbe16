#include "dialogs/MSNConferenceList.h"

#include "dialogs/HeldCallList.h"
#include "settings/otutil.h"

using namespace settings;

namespace dialogs {

namespace {

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = 320;
    design.Height = 220;
    design.TitlePanel = "pnTitleConfList";
    design.Title = "Conference Guests";
    design.CloseImage = "imClose";
    design.CloseHint = "Close this window";
    return design;
}

} // namespace

TfmConferenceList::TfmConferenceList(ui::TComponent* owner) : TKovraDialog(owner, Design())
{
    lbConfMembers = Add<ui::TUnicodeListBox>(pnBody, "lbConfMembers", 10, 8, 300, 120, crListBack);
    MakeTwoColumnList(*lbConfMembers);
    lbConfMembers->OnClick = [this](ui::TComponent*) { RowChosen(); };
    btRemove = AddButton(pnBody, "btRemove", "Remove", 230, 138);
    btRemove->SetEnabled(false);
    btRemove->OnClick = [this](ui::TComponent*) { Accept(); };
    FinishCreation();
}

void TfmConferenceList::FillGuests(const std::vector<TConferenceGuest>& guests)
{
    lbConfMembers->Items().Clear();
    for (const TConferenceGuest& guest : guests)
        lbConfMembers->Items().Add(ColumnText(guest.Name) + "\t" + FormatPhoneNumber(guest.Number));
    btRemove->SetEnabled(false);
    ApplyColours();
}

bool TfmConferenceList::SetUp(const std::vector<TConferenceGuest>& guests)
{
    FillGuests(guests);
    return ShowModal() == ui::mrOk;
}

void TfmConferenceList::RowChosen()
{
    const int index = lbConfMembers->ItemIndex();
    if (index < 0)
        return;
    const std::string& row = lbConfMembers->Items().Strings(index);
    const std::size_t tab = row.find('\t');
    chosen_ = DialableDigits(tab == std::string::npos ? std::string() : row.substr(tab + 1));
    btRemove->SetEnabled(true);
    ApplyColours();
}

} // namespace dialogs
