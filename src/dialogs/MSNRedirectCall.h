#pragma once
// TfmRedirectCall: a forward-list entry to redirect a ringing call to. Only an entry counts;
// a typed number is not used.

#include <optional>
#include <vector>

#include "dialogs/DialogLists.h"
#include "dialogs/NumberEntry.h"

namespace dialogs {

class TfmRedirectCall : public TNumberEntryDialog {
public:
    TfmRedirectCall(ui::TComponent* owner, std::vector<TForwardEntry> entries,
                    settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

    // The entry of the selected item; none for "None", no selection or an empty list.
    std::optional<TForwardEntry> SelectedEntry() const;

protected:
    void OkClicked() override { Accept(); }

private:
    std::vector<TForwardEntry> entries_;
};

} // namespace dialogs
