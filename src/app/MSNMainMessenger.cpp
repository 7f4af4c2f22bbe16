// The main window's side of the presence coupling: the phone the rules drive, and the session's
// answer to the user signing out of or into the messaging client.
#include "app/MSNMain.h"

#include "api/KovraCodes.h"
#include "app/ClickToDial.h"
#include "dialogs/CannedMessages.h"
#include "dialogs/DialogFrame.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace app {

class TMessengerPhone : public messenger::TPhoneControl {
public:
    explicit TMessengerPhone(TfmKovraAssistant& form) : form_(form) {}

    bool Connected() const override { return form_.api_ && form_.api_->Connected(); }
    bool DoNotDisturb() const override { return form_.phoneState_.DoNotDisturb; }
    bool Forwarded() const override { return form_.phoneState_.Forwarded; }
    bool MayForward() const override { return HasCapability(form_.Capabilities(), capForwardAlways); }
    void RequestDoNotDisturb(bool on) override
    {
        if (Connected())
            form_.api_->SetDoNotDisturb(StartupInfo().Device, on);
    }
    // The main thread does not wait for the answer; the phone-state event reports it.
    void RequestForwarding(const std::string& destination) override
    {
        // An empty destination ends the forwarding.
        const TDialledNumber dialled =
            destination.empty() ? TDialledNumber() : DialableNumber(destination, StoredDialingRules());
        if (Connected() && dialled.Refusal == TDialRefusal::None)
            form_.api_->SetForwarding(StartupInfo().Device, dialled.Number, 0, 0);
        else if (dialled.Refusal != TDialRefusal::None) {
            // Nobody watches a presence rule act: the refusal goes to the status and the log.
            const std::string why = DialRefusalText(dialled.Refusal, destination);
            form_.ShowError(why);
            if (form_.Options())
                form_.Options()->AddTrafficLine(why);
        }
    }
    void RestartQuiet() override
    {
        form_.tmDontChange->SetEnabled(false);
        form_.tmDontChange->SetEnabled(true);
    }

private:
    TfmKovraAssistant& form_;
};

void TfmKovraAssistant::BindMessenger()
{
    messengerPhone_ = std::make_unique<TMessengerPhone>(*this);
    cbIM->OnSelect = [this](ui::TComponent*) { SendInstantMessage(); };
    services_.Messenger->SetStateHandler([this](const std::string& text) {
        if (!closing_)
            ShowError(text);
    });
    EditCannedMessagesInPlace(*cbIM, KovraAssistantConfig());
    // A command chosen in the client's windows runs the item of this window's menus that has it.
    services_.Messenger->SetClientMenus({mnQuenmark, mnIM, mnCallUser, [this](unsigned command) {
                                             ui::TUnicodeMenuItem* found = nullptr;
                                             for (ui::TComponent* each : Components())
                                                 if (auto* menu = dynamic_cast<ui::TMenu*>(each);
                                                     menu && !found)
                                                     found = menu->FindCommand(command);
                                             return found;
                                         }});
    // Both run later: the client's event handler returns first, and a window closing by then
    // starts or stops nothing.
    services_.Messenger->Bind(
        messengerPhone_.get(),
        [this] {
            Post([this] {
                if (!closing_)
                    StopSession();
            });
        },
        [this] {
            Post([this] {
                if (!closing_ && !connecting_ && (!api_ || !api_->Connected()))
                    InitSession();
            });
        });
}

void TfmKovraAssistant::RefillInstantMessages(const TCallInfo& call)
{
    if (!StartupInfo().UseMessenger || !services_.Messenger->Attached() ||
        !services_.Messenger->IsOnlineContact(call.FirstDevice()))
        return;
    LoadCannedMessages(cbIM->Items(), KovraAssistantConfig());
}

void TfmKovraAssistant::SendInstantMessage()
{
    const TCallInfo* call = SelectedCall();
    const std::string text = cbIM->Text();
    const std::string number = call ? call->FirstDevice() : std::string();
    if (!number.empty() && !text.empty() && services_.Messenger->IsOnlineContact(number) &&
        services_.Messenger->SendInstantMessage(number, messenger::kMimeHeader, text,
                                                messenger::MMSGTYPE_ALL_RESULTS))
        return;
    constexpr unsigned kErrorBox = 0x10; // OK button, error icon
    ui::Application->MessageBox(
        LocalText("IMCannotSendMessage", "Unable to send message.") + "\r\r" +
            LocalText("IMCannotFindUser", "Cannot find Instant Messenger user or user is not online."),
        ApplicationTitle(), kErrorBox);
}

} // namespace app
