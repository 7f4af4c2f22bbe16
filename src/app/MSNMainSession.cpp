#include <algorithm>

#include "api/KovraAPIConsts.h"
#include "app/MSNMain.h"
#include "platform/MainLoop.h"
#include "platform/Threads.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

using namespace api;
using namespace settings;

namespace app {

void TfmKovraAssistant::AttachApiEvents()
{
    TKovraAPI& api = *api_;
    api.OnConnected = [this](TKovraAPI&, std::uint32_t error, const std::string& server) {
        OnConnected(error, server);
    };
    api.OnDisconnected = [this](TKovraAPI&) { OnDisconnected(); };
    api.OnLogin = [this](TKovraAPI&, std::uint32_t error, std::uint32_t monitor, const std::string& device,
                         std::uint32_t type) { OnLogin(error, monitor, device, type); };
    api.OnLogout = [this](TKovraAPI&, std::uint32_t error) { OnLogout(error); };
    api.OnMakeCall = [this](TKovraAPI&, std::uint32_t error, const std::string&) { OnRequestResult(error); };
    api.OnSetupConference = [this](TKovraAPI&, std::uint32_t error, const std::string&) {
        OnRequestResult(error);
    };
    api.OnConferenceCall = [this](TKovraAPI&, std::uint32_t error) { OnRequestResult(error); };
    api.OnCallConnection = [this](TKovraAPI&, std::uint32_t monitor, const std::string& device,
                                  const std::string& oid, const std::string& related, std::uint32_t event,
                                  std::uint32_t cause, TKovraDateTime, int count,
                                  const std::vector<TKovraCallConnection>& connections) {
        OnCallConnection(monitor, device, oid, related, event, cause, count, connections);
    };
    api.OnPhoneState = [this](TKovraAPI&, const TKovraPhoneState& state) { OnPhoneState(state); };
    auto traffic = [this](const char* prefix) {
        return [this, prefix](TKovraAPI&, std::uint32_t seq, std::uint32_t type) {
            if (!closing_ && options_)
                options_->AddTrafficLine(prefix + std::string(MessageTypeName(type)) + " " +
                                         std::to_string(seq));
        };
    };
    api.OnSend = traffic("SNT: ");
    api.OnReceive = traffic("RCV: ");
}

void TfmKovraAssistant::StartSession()
{
    closing_ = false;
    if (!api_) {
        api_ = std::make_unique<TKovraAPI>();
        api_->SetPort(network_.LocalPort);
        api_->SetServerPort(network_.ServerPort);
        if (!network_.LocalAddress.empty())
            api_->SetLocalAddress(network_.LocalAddress);
        if (network_.ApiTimings)
            api_->SetTimings(*network_.ApiTimings);
        AttachApiEvents();
        api_->SetActive(true);
    }
    tbIcon->SetVisible(true);
    StartupInfo().Started = true;
    if (mayShow_) {
        if (!Visible())
            ShowForm();
        services_.Desktop->ForceForeground();
        ui::Application->HideTaskbarButton();
    }
    loginRetried_ = false;
    InitSession();
}

void TfmKovraAssistant::InitSession()
{
    if (!api_) {
        connecting_ = false;
        return;
    }
    TStartupInfo& info = StartupInfo();
    if (services_.CreateOptions && !options_) {
        options_ = services_.CreateOptions();
        if (options_) {
            options_->SetTitle(Caption());
            options_->SetSession(api_.get(), info.Phone, info.PrimaryServer, info.SecondaryServer);
            options_->OnSettingsChanged = [this] { PublishSettings(); };
        }
    }
    if (info.UseMessenger && !services_.Messenger->Attached())
        services_.Messenger->Start();
    for (auto* item : {mnMessengerRules, mnPhoneRules, mnInstantMessages, MessengerRules1, PhoneRules1,
                       InstantMessages1, MessengerRules2, PhoneRules2, InstantMessages2})
        item->SetVisible(info.UseMessenger);
    Link("pnAlertingInstantMsg")->Panel->SetVisible(info.UseMessenger);

    if (!info.Device.empty() && !info.PrimaryServer.empty()) {
        SetStatus("pnStatusConnecting", "Connecting...");
        api_->ClearServers();
        api_->AddServer(info.PrimaryServer);
        if (!info.SecondaryServer.empty())
            api_->AddServer(info.SecondaryServer);
        api_->SetClientName("KovraAssistant");
        api_->SetClientVersion("5.0");
        if (!api_->Connect())
            SetStatus("pnStatusCannotConnect", "Unable to connect to server");
    }
    connecting_ = false;
}

void TfmKovraAssistant::OnConnected(std::uint32_t dwError, const std::string& szServer)
{
    if (dwError != 0) {
        SetStatusText(ErrorStatus(dwError));
        return;
    }
    tmReconnect->SetEnabled(false);
    SetStatusText(settings::Substitute(LocalText("pnStatusConnectedTo", "Connected to %s"), "%s", szServer));
    if (api_)
        api_->MonitorStart(StartupInfo().Phone, StartupInfo().Password, "");
}

void TfmKovraAssistant::OnLogin(std::uint32_t dwError, std::uint32_t, const std::string& szDevice,
                                std::uint32_t)
{
    TStartupInfo& info = StartupInfo();
    info.LoggedIn = dwError == 0;
    settingsLoaded_ = false;
    if (dwError == 0) {
        info.Device = szDevice;
        loginRetried_ = false;
        SetStatus("pnStatusLoggedIn", "Logged in");
        tbIcon->SetFlashing(false);
        desktop_->SetTrayHint(LocalText("KATrayIconHint", "Quenmark " + ui::Application->Title()));
        tmUpdateControls->SetInterval(timings_.UpdateControls);
        tmUpdateControls->SetEnabled(true);
        if (options_)
            options_->RefreshConnection();
        // Start-up is over: the main thread's stack pages below the loop go back (from the loop
        // itself, after this pass).
        platform::Post([] { platform::ReleaseUnusedStack(); });
        return;
    }
    // Another client monitors the phone: take it over once per session start. A server that
    // keeps refusing would otherwise be asked again forever.
    if (dwError == 11 && !loginRetried_ && api_) {
        loginRetried_ = true;
        api_->MonitorStop(info.Device, timings_.MonitorStopWait);
        api_->MonitorStart(info.Phone, info.Password, info.Password);
    }
    SetStatusText(ErrorStatus(dwError));
    desktop_->SetTrayHint(pnStatus->Caption());
}

void TfmKovraAssistant::OnLogout(std::uint32_t dwError)
{
    if (dwError != 0) {
        SetStatusText(ErrorStatus(dwError));
        return;
    }
    SetStatus("pnStatusLoggedOut", "Logged out");
    StartupInfo().LoggedIn = false;
    settingsLoaded_ = false;
    if (options_)
        options_->RefreshConnection();
}

void TfmKovraAssistant::OnDisconnected()
{
    SetStatus("pnStatusPhoneUnavail", "Phone is unavailable");
    StartupInfo().LoggedIn = false;
    DropAllCalls();
    UpdateControls();
    if (closing_)
        return;
    if (options_) {
        options_->RefreshConnection();
        if (options_->Reconnecting())
            return;
    }
    tbIcon->SetFlashing(true);
    desktop_->SetTrayHint(
        LocalText("ServerDown", "KOVRA Server down! Double click this icon to check options"));
    tmReconnect->SetEnabled(false);
    tmReconnect->SetInterval(timings_.Reconnect);
    tmReconnect->SetEnabled(true);
}

void TfmKovraAssistant::tmReconnectTimer()
{
    tmReconnect->SetEnabled(false);
    if (!api_)
        return;
    connecting_ = true;
    SetStatus("pnStatusConnecting", "Connecting...");
    const bool ok = api_->Connect();
    if (!ok && !closing_)
        tmReconnect->SetEnabled(true);
    connecting_ = false;
}

void TfmKovraAssistant::tmUpdateControlsTimer()
{
    tmUpdateControls->SetEnabled(false);
    TStartupInfo& info = StartupInfo();
    if (!info.LoggedIn || !api_)
        return;
    ui::Application->SetScreenCursor(ui::TCursor::crHourGlass);
    std::string value;
    std::uint32_t error = 0;
    if (api_->ApplicationGetData(info.Device, std::string(TKovraAssistantConfig::kApplicationName), value,
                                 &error)) {
        settingsLoaded_ = true;
        settingsText_ = value;
        KovraAssistantConfig().SetText(value);
    } else {
        // A phone that never stored settings answers "Key Not Found" (22): its first changes are
        // published. Without an answer the server's copy is unknown and never overwritten.
        settingsLoaded_ = error == 22;
        settingsText_.clear();
        KovraAssistantConfig().SetText("");
    }
    if (history_.Reload(KovraAssistantConfig()))
        history_.Save(KovraAssistantConfig());
    desktop_->ShowTrayHint();
    desktop_->ApplyPreferences();
    if (closing_ || !api_)
        return;
    RefreshPhoneStatus(true);
    api_->QueryPhoneConfig(info.Device, phoneConfig_);
    UpdateSpeedDialsClick();
    if (options_) {
        options_->SettingsLoaded();
        options_->SetCapabilities(Capabilities());
        options_->ClearReconnecting();
    }
    ui::Application->SetScreenCursor(ui::TCursor::crDefault);
    UpdateControls();
    if (phoneState_.Forwarded)
        ApplyPhoneRule(6);
    else if (phoneState_.DoNotDisturb)
        ApplyPhoneRule(4);
    const int action = info.PendingAction;
    const std::string argument = info.PendingArgument;
    info.PendingAction = paNone;
    info.PendingArgument.clear();
    commands_->RunAction(action, argument);
}

void TfmKovraAssistant::RefreshPhoneStatus(bool query)
{
    const std::string& device = StartupInfo().Device;
    if (query && (!api_ || !api_->QueryPhoneState(device, phoneState_)))
        return;
    const std::string product = ProductName();
    std::string title;
    if (phoneState_.Forwarded) {
        TKovraCallForwarding forwarding;
        if (!api_ || !api_->GetForwarding(device, forwarding))
            return;
        if (!forwarding.ForwardAll.empty()) {
            title = product + "  (" +
                    settings::Substitute(LocalText("ForwardedTo", "Forwarded to %s"), "%s",
                                         forwarding.ForwardAll) +
                    ")";
        } else {
            title = product + "  (" + LocalText("PhoneForwarded", "Forwarded") + ")";
        }
    } else if (InService()) {
        title = product;
    } else {
        title = product + "  (" + LocalText("PhoneOOS", "Out of service") + ")";
    }
    SetCaption(title);
    pnCaption->SetCaption(title);
}

void TfmKovraAssistant::PublishSettings()
{
    if (!StartupInfo().LoggedIn || !settingsLoaded_ || !api_)
        return;
    const std::string application(TKovraAssistantConfig::kApplicationName);
    std::string text = KovraAssistantConfig().GetText();
    // The document goes to the server in one datagram. The oldest calls of the history give way
    // rather than the server refusing the whole document, and with it every setting changed since.
    const std::size_t room = api_->ApplicationDataRoom(StartupInfo().Device, application);
    while (text.size() > room && history_.DropOldest()) {
        history_.Save(KovraAssistantConfig());
        text = KovraAssistantConfig().GetText();
    }
    if (text == settingsText_)
        return;
    settingsText_ = text;
    api_->ApplicationSetData(StartupInfo().Device, application, true, text);
    history_.MarkPublished();
}

bool TfmKovraAssistant::FormCloseQuery()
{
    if (api_ && api_->Busy())
        return false;
    // Nobody is there to answer at the end of the Windows session, and no time to wait for it.
    if (ui::Application->SessionEnding())
        return true;
    const bool confirm = KovraAssistantConfig().ReadInteger("Confirm", "Exit", 1) != 0;
    if (!confirm && !ui::Application->ShiftHeld())
        return true;
    return services_.Dialogs->Confirm(LocalText(
        "ConfirmExit", "Are you sure you want to terminate Quenmark's " + ui::Application->Title()));
}

bool TfmKovraAssistant::CloseWindow()
{
    if (closing_)
        return false;
    Close();
    return closing_;
}

void TfmKovraAssistant::FormClose()
{
    closing_ = true;
    for (auto* timer : {tmInitApplication, tmUpdateControls, tmReconnect, tmCallDuration})
        timer->SetEnabled(false);
    services_.Desktop->UnregisterHotkeys();
    if (ui::Application->SessionEnding())
        ShortenWaitsForSessionEnd();
    // Calls still up go into the history before it is published.
    DropAllCalls();
    PublishSettings();
    StopSession();
    tbIcon->SetVisible(false);
    StartupInfo().Started = false;
    if (!StartupInfo().Restarting) {
        HideForm();
        ui::Application->Terminate();
    }
}

void TfmKovraAssistant::ShortenWaitsForSessionEnd()
{
    if (!api_)
        return;
    TKovraAPITimings timings = api_->Timings();
    timings.SetDataWait = std::min(timings.SetDataWait, timings_.EndSessionPublishWait);
    timings.DisconnectWait = std::min(timings.DisconnectWait, timings_.EndSessionDisconnectWait);
    api_->SetTimings(timings);
}

void TfmKovraAssistant::StopSession()
{
    options_.reset();
    TStartupInfo& info = StartupInfo();
    const bool ending = ui::Application->SessionEnding();
    const auto wait = [ending](unsigned usual, unsigned atSessionEnd) {
        return ending ? std::min(usual, atSessionEnd) : usual;
    };
    if (api_) {
        SetStatus("pnStatusDisconnecting", "Disconnecting...");
        if (info.LoggedIn) {
            api_->MonitorStop(info.Device, wait(timings_.MonitorStopWait, timings_.EndSessionStopWait));
            WaitWhile(wait(timings_.LogoutWait, timings_.EndSessionStopWait),
                      [] { return StartupInfo().LoggedIn; });
        }
        if (api_->Connected()) {
            api_->Disconnect(true);
            WaitWhile(wait(timings_.DisconnectWait, timings_.EndSessionDisconnectWait),
                      [this] { return api_->Connected(); });
        }
    }
    if (services_.Messenger->Attached()) {
        services_.Messenger->Stop();
    }
}

} // namespace app
