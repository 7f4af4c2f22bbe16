#include "app/AssistantDialogs.h"

#include "api/KovraCodes.h"
#include "app/MSNMain.h"
#include "app/StartupInfo.h"
#include "dialogs/ConfirmFm.h"
#include "dialogs/MSNAbout.h"
#include "dialogs/MSNConference.h"
#include "dialogs/MSNConferenceHold.h"
#include "dialogs/MSNConferenceList.h"
#include "dialogs/MSNMakeCall.h"
#include "dialogs/MSNParkCall.h"
#include "dialogs/MSNPickupCall.h"
#include "dialogs/MSNRedirectCall.h"
#include "dialogs/MSNTransfer.h"
#include "dialogs/MSNTransferHold.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace app {

namespace {

ui::TComponent* Owner()
{
    return fmKovraAssistant;
}

// The pop-up of one ringing call, as its call record holds it. When it fades out by itself it
// tells the main window and frees itself; when the record closes it, the record frees it.
class TCallPopup : public ICallPopup, public ICallDispositionHost {
public:
    TCallPopup(std::function<void(const std::string&)> answer, std::function<void(ICallPopup*)> closed,
               std::shared_ptr<IMessengerLink> messenger, std::shared_ptr<IDesktop> desktop,
               std::shared_ptr<IDialogLists> lists, TKovraAssistantConfig& config, TPopupTimings timings)
        : closed_(std::move(closed)), messenger_(std::move(messenger)), desktop_(std::move(desktop)),
          lists_(std::move(lists))
    {
        form_ = new TfmCallDisposition(nullptr, *this, config, timings);
        form_->OnAnswer = std::move(answer);
        form_->OnPopupClosed = [this] { FadedOut(); };
    }
    ~TCallPopup() override { ClosePopup(); }

    void SetUp(TKovraAPI* api, TCallInfo& call, std::uint32_t capabilities, bool messenger) override
    {
        if (!form_)
            return;
        api_ = api;
        messengerAttached_ = messenger;
        const bool answer = fmKovraAssistant ? AnswerOfferedFor(*fmKovraAssistant, capabilities)
                                             : HasCapability(capabilities, capAnswer);
        form_->SetUp({call.CallId, call.FirstName(), call.FirstDevice(), call.Urgent}, capabilities, answer);
    }

    void ClosePopup() override
    {
        TfmCallDisposition* form = form_;
        form_ = nullptr;
        if (form) {
            form->OnPopupClosed = nullptr;
            form->CloseNow();
        }
    }

    TfmCallDisposition* Form() const { return form_; }

    void AnswerCall(const std::string& oid) override
    {
        if (api_)
            api_->AnswerCall(StartupInfo().Device, oid);
    }
    void RedirectCall(const std::string& oid, const std::string& destination, int mode) override
    {
        // A forward-list entry is written as people write numbers: the rules dial it.
        if (mode == 1 /* to a number */ && fmKovraAssistant)
            fmKovraAssistant->Commands().RedirectCallTo(oid, destination);
        else if (api_)
            api_->RedirectCall(StartupInfo().Device, oid, destination, static_cast<std::uint32_t>(mode), 0);
    }
    void HoldCall(const std::string& oid) override
    {
        if (api_)
            api_->HoldCall(StartupInfo().Device, oid);
    }
    std::optional<TMessengerContact> FindContact(const std::string& number) override
    {
        if (!messengerAttached_ || !messenger_->Attached())
            return std::nullopt;
        const std::string contact = messenger_->ContactFor(number);
        if (contact.empty())
            return std::nullopt;
        return TMessengerContact{contact, messenger_->IsOnlineContact(number) ? kContactOnline : 0, number};
    }
    bool SendInstantMessage(const TMessengerContact& contact, const std::string& header,
                            const std::string& text, int type) override
    {
        return messengerAttached_ && messenger_->SendInstantMessage(contact.Number, header, text, type);
    }
    void ShowMainWindow() override
    {
        if (fmKovraAssistant && !fmKovraAssistant->Visible())
            fmKovraAssistant->ShowForm();
        desktop_->ForceForeground();
    }
    std::vector<TForwardEntry> ForwardEntries() const override { return lists_->ForwardEntries(); }
    void AddCallLater(const std::string& contact, const std::string& name, const std::string& number,
                      int minutes) override
    {
        lists_->AddCallLater(contact, name, number, minutes);
    }

private:
    void FadedOut()
    {
        // The window frees itself; the record forgets this pop-up, which then goes too.
        form_ = nullptr;
        if (closed_)
            closed_(this);
        delete this;
    }

    TfmCallDisposition* form_ = nullptr;
    std::function<void(ICallPopup*)> closed_;
    std::shared_ptr<IMessengerLink> messenger_;
    std::shared_ptr<IDesktop> desktop_;
    std::shared_ptr<IDialogLists> lists_;
    TKovraAPI* api_ = nullptr;
    bool messengerAttached_ = false;
};

} // namespace

bool AnswerOfferedFor(const TfmKovraAssistant& window, std::uint32_t capabilities)
{
    if (!window.Tracker().ActiveCallId().empty()) {
        const TCallInfo* active = window.FindCall(window.Tracker().ActiveCallId());
        if (active && active->LocalState == csDialing && HasCapability(capabilities, capAnswer))
            return true;
        return HasCapability(capabilities, capAlternate);
    }
    return HasCapability(capabilities, capAnswer);
}

TAssistantDialogs::TAssistantDialogs(std::shared_ptr<IMessengerLink> messenger,
                                     std::shared_ptr<IDesktop> desktop, std::shared_ptr<IDialogLists> lists,
                                     TKovraAssistantConfig& config)
    : messenger_(std::move(messenger)), desktop_(std::move(desktop)), lists_(std::move(lists)),
      config_(config)
{
}

TAssistantDialogs::~TAssistantDialogs() = default;

std::optional<TMakeCallAnswer> TAssistantDialogs::MakeCall()
{
    TfmMakeCall dialog(Owner(), config_);
    if (dialog.ShowModal() != ui::mrOk)
        return std::nullopt;
    const int options = dialog.CallOptions();
    return TMakeCallAnswer{dialog.Number(), options == 4, options == 2, options == 8};
}

std::optional<std::string> TAssistantDialogs::Redirect()
{
    TfmRedirectCall dialog(Owner(), lists_->ForwardEntries(), config_);
    if (dialog.ShowModal() != ui::mrOk)
        return std::nullopt;
    const auto entry = dialog.SelectedEntry();
    if (!entry)
        return std::nullopt;
    return entry->Number;
}

std::optional<std::string> TAssistantDialogs::Pickup()
{
    TfmPickupCall dialog(Owner(), config_);
    if (dialog.ShowModal() != ui::mrOk)
        return std::nullopt;
    return dialog.Number();
}

std::optional<TNumberAnswer> TAssistantDialogs::Transfer(TImmediateBox box)
{
    TfmTransfer dialog(Owner(), config_);
    dialog.SetImmediate({box.Enabled, box.Ticked});
    if (dialog.ShowModal() != ui::mrOk)
        return std::nullopt;
    return TNumberAnswer{dialog.Number(), dialog.Immediate()};
}

std::optional<TNumberAnswer> TAssistantDialogs::Conference(TImmediateBox box)
{
    TfmConference dialog(Owner(), config_);
    dialog.SetImmediate({box.Enabled, box.Ticked});
    if (dialog.ShowModal() != ui::mrOk)
        return std::nullopt;
    return TNumberAnswer{dialog.Number(), dialog.Immediate()};
}

std::optional<std::string> TAssistantDialogs::ChooseHeldCall(bool conference, const std::string& name,
                                                             const std::string& number,
                                                             const std::vector<const TCallInfo*>& held)
{
    std::unique_ptr<THeldCallDialog> dialog;
    if (conference)
        dialog = std::make_unique<TfmConferenceToHold>(Owner());
    else
        dialog = std::make_unique<TfmTransferToHold>(Owner());
    dialog->SetCaller(name, number);
    for (const TCallInfo* call : held)
        dialog->AddHeldCall({call->CallId, call->FirstName(), call->FirstDevice(), call->IsConference()});
    if (dialog->ShowModal() != ui::mrOk || dialog->ChosenCallId().empty())
        return std::nullopt;
    return dialog->ChosenCallId();
}

std::optional<std::string> TAssistantDialogs::ConferenceMember(const TCallInfo& call)
{
    std::vector<TConferenceGuest> guests;
    for (int i = 0; i < std::max(call.NameCount(), call.DeviceCount()); ++i)
        guests.push_back({call.Name(i), call.Device(i)});
    TfmConferenceList dialog(Owner());
    if (!dialog.SetUp(guests) || dialog.ChosenNumber().empty())
        return std::nullopt;
    return dialog.ChosenNumber();
}

bool TAssistantDialogs::Confirm(const std::string& text)
{
    TConfigConfirmSwitch exitSwitch("Exit", config_);
    return ShowConfirm(text, &exitSwitch, true, Owner());
}

void TAssistantDialogs::About(const std::string& serverVersion, const std::string& apiVersion)
{
    TfmAboutBox dialog(Owner());
    dialog.SetUp(serverVersion, apiVersion);
    dialog.ShowModal();
}

void TAssistantDialogs::ParkNotice(const std::string& from, const std::string& parkedAt)
{
    if (!parkNotice_) {
        parkNotice_ = std::make_unique<TFrmParkCallNotification>(nullptr);
        parkNotice_->SetPosition(ui::TPosition::poMainFormCenter);
    }
    parkNotice_->ShowNotice(from, parkedAt);
}

std::unique_ptr<ICallPopup>
TAssistantDialogs::CreateCallPopup(std::function<void(const std::string& oid)> answer,
                                   std::function<void(ICallPopup*)> closed)
{
    return std::make_unique<TCallPopup>(std::move(answer), std::move(closed), messenger_, desktop_, lists_,
                                        config_, PopupTimings);
}

std::vector<std::pair<std::string, std::string>> TAssistantDialogs::ForwardList()
{
    std::vector<std::pair<std::string, std::string>> list;
    for (const TForwardEntry& entry : lists_->ForwardEntries())
        list.emplace_back(entry.Name, entry.Number);
    return list;
}

} // namespace app
