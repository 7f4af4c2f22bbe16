// The main window's side of the presence coupling: the phone the rules drive, and the session's
// answer to the user signing out of or into the messaging client.
#include "app/MSNMain.h"

class TMessengerPhone : public messenger::TPhoneControl {
public:
    explicit TMessengerPhone(TfmKovraAssistant& form) : form_(form) {}

    bool Connected() const override { return form_.api_ && form_.api_->Connected(); }
    bool DoNotDisturb() const override { return form_.phoneState_.DoNotDisturb; }
    bool Forwarded() const override { return form_.phoneState_.Forwarded; }
    bool MayForward() const override { return form_.Cap(1); }
    void RequestDoNotDisturb(bool on) override
    {
        if (Connected())
            form_.api_->SetDoNotDisturb(StartupInfo().Device, on);
    }
    // The main thread does not wait for the answer; the phone-state event reports it.
    void RequestForwarding(const std::string& destination) override
    {
        if (Connected())
            form_.api_->SetForwarding(StartupInfo().Device, destination, 0, 0);
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
