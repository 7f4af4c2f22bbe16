#pragma once
// TfmConference: the number to add to the call as a conference, and whether in one step.

#include "dialogs/MSNTransfer.h"

class TfmConference : public TNumberEntryDialog {
public:
    explicit TfmConference(ui::TComponent* owner, TKovraAssistantConfig& config = KovraAssistantConfig());

    void SetImmediate(TImmediateChoice choice);
    bool Immediate() const { return ckImmediateConf->Checked(); }

    ui::TUnicodeLightCheckBox* ckImmediateConf;
};
