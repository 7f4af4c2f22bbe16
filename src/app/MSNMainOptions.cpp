#include "app/MSNMainOptions.h"

#include <cstdio>

#include "app/AssistantDialogs.h"
#include "app/MSNMain.h"
#include "app/StartupInfo.h"
#include "dialogs/MSNForward.h"
#include "platform/Clock.h"

using namespace api;
using namespace settings;
using namespace dialogs;
using namespace options;

namespace app {

namespace {

// The calls as the History page lists them; showing them is the user's look at the missed calls.
std::vector<THistoryRow> HistoryRows()
{
    std::vector<THistoryRow> rows;
    if (!fmKovraAssistant)
        return rows;
    for (const TCallRecord& call : fmKovraAssistant->History().Calls()) {
        std::string length;
        if (call.Answered) {
            char text[32];
            std::snprintf(text, sizeof text, "%d:%.2d", call.Seconds / 60, call.Seconds % 60);
            length = text;
        }
        rows.push_back(
            {call.Missed()   ? "Missed"
             : call.Incoming ? "Incoming"
                             : "Outgoing",
             call.Name, call.Dialled.empty() ? call.Number : call.Number + " (" + call.Dialled + ")",
             platform::FormatDateTime(platform::UtcSecondsToLocal(static_cast<std::uint32_t>(call.Start))),
             length, call.Number, call.DialsAsItStands()});
    }
    fmKovraAssistant->Desktop().HistorySeen();
    return rows;
}

class TOptionsWindow : public IOptionsWindow {
public:
    TOptionsWindow(std::shared_ptr<TOptionsLists> lists, TOptionsTimings timings)
        : lists_(std::move(lists)), form_(new TfmOptions(nullptr, *lists_, KovraAssistantConfig(), timings))
    {
        form_->OnSave = [this] {
            if (OnSettingsChanged)
                OnSettingsChanged();
        };
        form_->OnHistoryShown = [] { return HistoryRows(); };
        form_->OnDesktopChanged = [] {
            return fmKovraAssistant ? fmKovraAssistant->Desktop().ApplyPreferences() : std::string();
        };
        form_->OnCallBack = [](const std::string& number, bool asItStands) {
            if (fmKovraAssistant && asItStands)
                fmKovraAssistant->Commands().MakeCallAsDialled(number);
            else if (fmKovraAssistant)
                fmKovraAssistant->Commands().MakeCallTo(number, 0);
        };
    }
    ~TOptionsWindow() override { form_->Retire(); }

    void SetTitle(const std::string& title) override { form_->pnCaption->SetCaption(title); }
    void SetSession(TKovraAPI* api, const std::string& phone, const std::string& server1,
                    const std::string& server2) override
    {
        const TStartupInfo& info = StartupInfo();
        form_->SetSession({api, [] { return StartupInfo().Device; }, phone, info.Password, server1, server2,
                           info.UseMessenger, [] { return StartupInfo().LoggedIn; }});
    }
    void SetCapabilities(std::uint32_t capabilities) override
    {
        capabilities_ = capabilities;
        form_->Initialise(capabilities);
    }
    void ShowPage(int page) override
    {
        form_->Initialise(capabilities_);
        form_->ShowPage(page);
        form_->ShowForm();
    }
    void AddTrafficLine(const std::string& line) override { form_->AddLogLine(line, true); }
    void RefreshConnection() override { form_->UpdateStatus(); }
    bool Reconnecting() const override { return form_->Reconnecting(); }
    void ClearReconnecting() override { form_->ClearReconnecting(); }
    void LocalStateChanged(int state) override { form_->SetCallState(state); }
    void SettingsLoaded() override { form_->ReloadSettings(); }
    void HistoryChanged() override
    {
        if (form_->Visible() && form_->Notebook->PageIndex() == opHistory)
            form_->FillHistory();
    }

    TfmOptions* Form() const { return form_; }

private:
    std::shared_ptr<TOptionsLists> lists_;
    TfmOptions* form_;
    std::uint32_t capabilities_ = 0;
};

} // namespace

std::function<std::unique_ptr<IOptionsWindow>()> OptionsWindowFactory(std::shared_ptr<TOptionsLists> lists,
                                                                      TOptionsTimings timings)
{
    return [lists, timings]() -> std::unique_ptr<IOptionsWindow> {
        return std::make_unique<TOptionsWindow>(lists, timings);
    };
}

TfmOptions* OptionsForm(IOptionsWindow* window)
{
    auto* options = dynamic_cast<TOptionsWindow*>(window);
    return options ? options->Form() : nullptr;
}

std::optional<std::array<std::string, 4>>
TAssistantDialogs::Forward(const std::array<std::string, 4>& current, const std::array<bool, 4>& enabled)
{
    TfmForward dialog(fmKovraAssistant, config_);
    dialog.SetUp(current, enabled);
    if (dialog.ShowModal() != ui::mrOk)
        return std::nullopt;
    return dialog.Texts();
}

void TAssistantDialogs::CallLater(const TCallLaterRequest& request)
{
    lists_->AddCallLater(request.Contact, request.Name, request.Number, request.Minutes);
}

} // namespace app
