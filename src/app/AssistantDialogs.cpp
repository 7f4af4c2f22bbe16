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

} // namespace

class TCallPopup;

// One pop-up window and what its links act on. It is built once and lent to one ringing call at
// a time; between calls it is hidden, not freed.
class TPopupWindow : public ICallDispositionHost {
public:
    TPopupWindow(std::shared_ptr<IMessengerLink> messenger, std::shared_ptr<IDesktop> desktop,
                 std::shared_ptr<IDialogLists> lists, TKovraAssistantConfig& config, TPopupTimings timings)
        : messenger_(std::move(messenger)), desktop_(std::move(desktop)), lists_(std::move(lists)),
          form_(std::make_unique<TfmCallDisposition>(nullptr, *this, config, timings))
    {
        form_->OnAnswer = [this](const std::string& oid) {
            if (answer_)
                answer_(oid);
        };
        form_->OnPopupClosed = [this] { FadedOut(); };
    }
    ~TPopupWindow() override;

    bool Lent() const { return borrower_ != nullptr; }
    void Lend(TCallPopup& borrower, std::function<void(const std::string&)> answer)
    {
        borrower_ = &borrower;
        answer_ = std::move(answer);
    }
    void SetUp(TKovraAPI* api, TCallInfo& call, std::uint32_t capabilities, bool messenger)
    {
        api_ = api;
        messengerAttached_ = messenger;
        const bool answer = fmKovraAssistant ? AnswerOfferedFor(*fmKovraAssistant, capabilities)
                                             : HasCapability(capabilities, capAnswer);
        form_->SetUp({call.CallId, call.FirstName(), call.FirstDevice(), call.Urgent}, capabilities, answer);
    }
    // The call no longer rings here: hide at once and forget it.
    void Return()
    {
        Forget();
        form_->CloseNow();
    }
    TfmCallDisposition& Form() const { return *form_; }

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
    void Forget()
    {
        borrower_ = nullptr;
        answer_ = nullptr;
        api_ = nullptr;
        messengerAttached_ = false;
    }
    void FadedOut();

    std::shared_ptr<IMessengerLink> messenger_;
    std::shared_ptr<IDesktop> desktop_;
    std::shared_ptr<IDialogLists> lists_;
    std::unique_ptr<TfmCallDisposition> form_;
    TCallPopup* borrower_ = nullptr;
    std::function<void(const std::string&)> answer_;
    TKovraAPI* api_ = nullptr;
    bool messengerAttached_ = false;
};

// The pop-up of one ringing call, as its call record holds it: a loan of a pop-up window. When
// the window fades out by itself it tells the main window and frees this loan; when the record
// closes the loan, the window goes back hidden.
class TCallPopup : public ICallPopup {
public:
    TCallPopup(TPopupWindow& window, std::function<void(const std::string&)> answer,
               std::function<void(ICallPopup*)> closed)
        : window_(&window), closed_(std::move(closed))
    {
        window.Lend(*this, std::move(answer));
    }
    ~TCallPopup() override { ClosePopup(); }

    void SetUp(TKovraAPI* api, TCallInfo& call, std::uint32_t capabilities, bool messenger) override
    {
        if (window_)
            window_->SetUp(api, call, capabilities, messenger);
    }
    void ClosePopup() override
    {
        TPopupWindow* window = window_;
        window_ = nullptr;
        if (window)
            window->Return();
    }
    // The window has gone (faded out, or freed with the dialogs).
    void Detach() { window_ = nullptr; }
    void FadedOut()
    {
        window_ = nullptr;
        if (closed_)
            closed_(this);
        delete this;
    }

private:
    TPopupWindow* window_;
    std::function<void(ICallPopup*)> closed_;
};

TPopupWindow::~TPopupWindow()
{
    form_->OnPopupClosed = nullptr;
    if (borrower_)
        borrower_->Detach();
}

void TPopupWindow::FadedOut()
{
    TCallPopup* borrower = borrower_;
    Forget();
    if (borrower)
        borrower->FadedOut();
}

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
    // A hidden window when there is one; calls that ring at once each get their own.
    TPopupWindow* window = nullptr;
    for (const auto& each : popups_)
        if (!each->Lent()) {
            window = each.get();
            break;
        }
    if (!window) {
        popups_.push_back(
            std::make_unique<TPopupWindow>(messenger_, desktop_, lists_, config_, PopupTimings));
        window = popups_.back().get();
    }
    return std::make_unique<TCallPopup>(*window, std::move(answer), std::move(closed));
}

std::vector<TfmCallDisposition*> TAssistantDialogs::PopupForms() const
{
    std::vector<TfmCallDisposition*> forms;
    for (const auto& each : popups_)
        forms.push_back(&each->Form());
    return forms;
}

std::vector<std::pair<std::string, std::string>> TAssistantDialogs::ForwardList()
{
    std::vector<std::pair<std::string, std::string>> list;
    for (const TForwardEntry& entry : lists_->ForwardEntries())
        list.emplace_back(entry.Name, entry.Number);
    return list;
}

} // namespace app
