#pragma once
// TfmConfirm and ShowConfirm: the yes/no question asked before exiting and before deleting a
// list entry, with "Do not show this window again", and the same box as a notice (Continue).

#include <string>
#include <string_view>

#include "dialogs/DialogFrame.h"
#include "settings/MSNConfig.h"

namespace dialogs {

// The caller's "ask me" switch (an options check box); setting it stores the choice.
class IConfirmSwitch {
public:
    virtual ~IConfirmSwitch() = default;
    virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
};

// The switch kept as a "Confirm" key of the configuration ("Exit", "CLDel", "FwdDel"), 1 by default.
class TConfigConfirmSwitch : public IConfirmSwitch {
public:
    explicit TConfigConfirmSwitch(std::string key,
                                  settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig())
        : key_(std::move(key)), config_(config)
    {
    }
    bool Checked() const override { return config_.ReadInteger("Confirm", key_, 1) != 0; }
    void SetChecked(bool checked) override { config_.WriteInteger("Confirm", key_, checked ? 1 : 0); }

private:
    std::string key_;
    settings::TKovraAssistantConfig& config_;
};

class TfmConfirm : public TKovraDialog {
public:
    explicit TfmConfirm(ui::TComponent* owner);
    ~TfmConfirm() override;
    // The window title, the caption strip and the title panel.
    void SetTitle(const std::string& title);

    // Shows the question (ask) or the notice; keeps the switch to write back when freed.
    void SetUp(const std::string& message, IConfirmSwitch* confirmSwitch, bool ask);

    ui::TUnicodePanel *pnInfo, *pnConf, *pnYesNo, *pnContinue;
    ui::TUnicodeLabel* txtInfo;
    ui::TUnicodeLightCheckBox* cbConfirm;
    ui::TUnicodePanel *btYes, *btNo, *btContinue;

private:
    std::string message_;
    IConfirmSwitch* switch_ = nullptr;
};

// True to go ahead. With ask set and the switch off, answers yes at once unless Shift is held.
bool ShowConfirm(const std::string& message, IConfirmSwitch* confirmSwitch, bool ask, ui::TComponent* owner);

} // namespace dialogs
