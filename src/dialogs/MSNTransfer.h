#pragma once
// TfmTransfer: the number to transfer the call to, and whether in one step.

#include <cstdint>

#include "api/KovraCodes.h"
#include "dialogs/NumberEntry.h"

namespace dialogs {

// The immediate box as the capability bits allow it: unticked and enabled only with the
// one-step bit; without the consultation bit the one-step way is the only one, ticked and fixed.
struct TImmediateChoice {
    bool Enabled = false;
    bool Checked = false;
};
TImmediateChoice ImmediateChoice(std::uint32_t capabilities, api::TKovraCapability singleStepBit,
                                 api::TKovraCapability consultationBit);

class TfmTransfer : public TNumberEntryDialog {
public:
    explicit TfmTransfer(ui::TComponent* owner,
                         settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

    void SetImmediate(TImmediateChoice choice);
    bool Immediate() const { return ckImmediateTrans->Checked(); }

    ui::TUnicodeLightCheckBox* ckImmediateTrans;
};

} // namespace dialogs
