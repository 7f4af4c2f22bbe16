#include "dialogs/MSNRedirectCall.h"

using namespace settings;

namespace dialogs {

namespace {

TNumberEntryDialog::TEntryDesign Design()
{
    TNumberEntryDialog::TEntryDesign design;
    design.Frame.Width = 300;
    design.Frame.Height = 110;
    design.Frame.TitlePanel = "pnTitleRedirectCall";
    design.Frame.Title = "Redirect call";
    design.LabelName = "txtPhoneNumber";
    design.LabelCaption = "Phone Number";
    design.RecentNumbers = false;
    return design;
}

} // namespace

TfmRedirectCall::TfmRedirectCall(ui::TComponent* owner, std::vector<TForwardEntry> entries,
                                 TKovraAssistantConfig& config)
    : TNumberEntryDialog(owner, Design(), config), entries_(std::move(entries))
{
    cbPhones->Items().Clear();
    cbPhones->Items().Add(DialogText("None", "None"));
    for (TForwardEntry& entry : entries_)
        cbPhones->Items().Add(entry.Name, &entry);
    cbPhones->SetItemIndex(0);
    // OK starts disabled as in every number entry; choosing an entry enables it.
    btOk->SetEnabled(false);
    FinishCreation();
}

std::optional<TForwardEntry> TfmRedirectCall::SelectedEntry() const
{
    const int index = cbPhones->ItemIndex();
    // A typed text may still show a list item's name: only a selection counts.
    if (index < 0 || cbPhones->Text() != cbPhones->Items().Strings(index))
        return std::nullopt;
    const auto* entry = cbPhones->Items().ObjectAs<TForwardEntry>(index);
    if (!entry)
        return std::nullopt;
    return *entry;
}

} // namespace dialogs
