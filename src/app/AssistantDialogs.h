#pragma once
// TAssistantDialogs: the call-control dialogs as the main window asks for them. It turns the
// window's call records and requests into the dialogs' plain data, runs the dialogs and hands
// back the answers. Main thread only.

#include <memory>

#include "app/AssistantSeams.h"
#include "dialogs/DialogLists.h"
#include "dialogs/MSNCallDisp.h"
#include "settings/MSNConfig.h"

namespace dialogs {
class TFrmParkCallNotification;
class TfmCallDisposition;
} // namespace dialogs

namespace app {

class TfmKovraAssistant;
class TPopupWindow;

class TAssistantDialogs : public IAssistantDialogs {
public:
    // lists: the forward list and the call-later reminders (none until the options window
    // supplies them).
    TAssistantDialogs(
        std::shared_ptr<IMessengerLink> messenger, std::shared_ptr<IDesktop> desktop,
        std::shared_ptr<dialogs::IDialogLists> lists = std::make_shared<dialogs::IDialogLists>(),
        settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());
    ~TAssistantDialogs() override;

    std::optional<TMakeCallAnswer> MakeCall() override;
    std::optional<std::string> Redirect() override;
    std::optional<std::string> Pickup() override;
    std::optional<TNumberAnswer> Transfer(TImmediateBox box) override;
    std::optional<TNumberAnswer> Conference(TImmediateBox box) override;
    std::optional<std::string> ChooseHeldCall(bool conference, const std::string& name,
                                              const std::string& number,
                                              const std::vector<const TCallInfo*>& held) override;
    std::optional<std::string> ConferenceMember(const TCallInfo& call) override;
    // These two are in MSNMainOptions.cpp, with the options window.
    std::optional<std::array<std::string, 4>> Forward(const std::array<std::string, 4>& current,
                                                      const std::array<bool, 4>& enabled) override;
    void CallLater(const TCallLaterRequest& request) override;
    bool Confirm(const std::string& text) override;
    void About(const std::string& serverVersion, const std::string& apiVersion) override;
    void ParkNotice(const std::string& from, const std::string& parkedAt) override;
    std::unique_ptr<ICallPopup> CreateCallPopup(std::function<void(const std::string& oid)> answer,
                                                std::function<void(ICallPopup*)> closed) override;
    std::vector<std::pair<std::string, std::string>> ForwardList() override;

    // The one parked-call notice, once it was shown.
    dialogs::TFrmParkCallNotification* ParkNoticeForm() const { return parkNotice_.get(); }
    // Every pop-up window built so far, shown or kept hidden for the next ringing call.
    std::vector<dialogs::TfmCallDisposition*> PopupForms() const;
    // Pop-up intervals; tests shorten them.
    dialogs::TPopupTimings PopupTimings;

private:
    std::shared_ptr<IMessengerLink> messenger_;
    std::shared_ptr<IDesktop> desktop_;
    std::shared_ptr<dialogs::IDialogLists> lists_;
    settings::TKovraAssistantConfig& config_;
    std::unique_ptr<dialogs::TFrmParkCallNotification> parkNotice_;
    std::vector<std::unique_ptr<TPopupWindow>> popups_;
};

// The main window's answer test for a ringing call: with a current call that is still dialing
// capAnswer answers, otherwise capAlternate swaps; without one capAnswer answers.
bool AnswerOfferedFor(const TfmKovraAssistant& window, std::uint32_t capabilities);

} // namespace app
