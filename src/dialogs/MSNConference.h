#pragma once
// TfmConference: the number to add to the call as a conference, and whether in one step.

#include "dialogs/MSNTransfer.h"

namespace dialogs {

class TfmConference : public TNumberEntryDialog {
public:
    explicit TfmConference(ui::TComponent* owner,
                           settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

    void SetImmediate(TImmediateChoice choice);
    bool Immediate() const { return ckImmediateConf->Checked(); }

    ui::TUnicodeLightCheckBox* ckImmediateConf;
};

} // namespace dialogs
