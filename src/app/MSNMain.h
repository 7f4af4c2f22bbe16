#pragma once
// TfmKovraAssistant: the main window. It owns the server session, tracks the calls at the user's
// phone, shows the state page of the selected call and runs the user's commands. Everything here
// runs on the main thread: the session's events arrive there too.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "api/KovraUDPApi.h"
#include "app/AssistantSeams.h"
#include "app/CallCommands.h"
#include "app/CallHistory.h"
#include "app/CallTracker.h"
#include "app/DesktopIntegration.h"
#include "app/MSNCallInfo.h"
#include "app/StartupInfo.h"
#include "messenger/MSNUtils.h"
#include "settings/KALookAndFeel.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/TaskIcon.h"
#include "ui/UnicodeCtrls.h"

namespace app {

// Starts loading the look and feel the parameters name: from the portal ("webportal"), else from
// the program's folder. Its completion handler is set by whoever takes it.
std::unique_ptr<settings::TKALookAndFeel> StartLookAndFeel(const std::vector<std::string>& parameters,
                                                           const std::string& programFolder);
class TUtilWindow;

// Intervals of the window and its session; tests scale them down.
struct TAssistantTimings {
    unsigned InitApplication = 4000;
    unsigned InitAfterLookAndFeel = 5;
    unsigned Reconnect = 3000;
    unsigned UpdateControls = 300;
    unsigned UpdatePhoneState = 500;
    unsigned CallDuration = 1000;
    unsigned DontChange = 1000;
    unsigned CleanError = 5000;
    unsigned RestartWait = 3000;
    unsigned MonitorStopWait = 4000;
    unsigned LogoutWait = 6000;
    unsigned DisconnectWait = 6000;
    unsigned WaitStep = 50;
    unsigned MessengerRelease = 2000;
    unsigned ForwardWait = 5000;
    // At the end of the Windows session the close must be done within the few seconds the system
    // allows: its waits are cut to these (the settings' answer; the monitor stop and the log-out
    // each; DISCONNECT going out and the connection dropping each).
    unsigned EndSessionPublishWait = 1000;
    unsigned EndSessionStopWait = 500;
    unsigned EndSessionDisconnectWait = 400;
};

// Where the session's socket goes; the server's own port and local port 7000 by default.
struct TAssistantNetwork {
    std::uint16_t LocalPort = 7000;
    std::string LocalAddress;
    std::uint16_t ServerPort = api::KOVRA_SERVER_PORT;
    std::optional<api::TKovraAPITimings> ApiTimings;
};

struct TAssistantOptions {
    std::vector<std::string> Parameters;
    TAssistantServices Services;
    TAssistantTimings Timings;
    TAssistantNetwork Network;
    // The program's folder: local look-and-feel files when no portal is given.
    std::string ProgramFolder = ".";
    // Start the look and feel (off in tests that drive LookAndFeelReady themselves).
    bool StartLookAndFeel = true;
    // The look and feel already loading (StartLookAndFeel), which FormCreate takes over instead of
    // starting its own; none to start it there.
    std::unique_ptr<settings::TKALookAndFeel> LookAndFeel;
    // Finds another running instance and hands it the parameters; true when one took them.
    std::function<bool(const std::string& text)> HandOverToRunning;
    // The name whose hash marks the running instance (tests running side by side use their own).
    std::string InstanceName = "KovraAssistant";
};

// State page indices of nbStates.
enum TStatePage {
    spIdle = 0,
    spDialing,
    spAttempting,
    spAlerting,
    spConnected,
    spHeld,
    spQueued,
    spFailed,
    spConference,
    spPrivacyGuard
};

class TfmKovraAssistant : public ui::TForm {
public:
    explicit TfmKovraAssistant(TAssistantOptions options);
    ~TfmKovraAssistant() override;

    // Window creation: another instance takes over, or the window prepares its session.
    // False when the parameters went to a running instance and this program should end.
    bool FormCreate();
    void LookAndFeelReady();
    // The hand-over of another instance's parameters, run by ReceiveHandOver.
    void HandOver(const std::string& text);
    // What the marked window does with another instance's text: runs the hand-over later, outside
    // the window procedure, unless the window is closing or gone by then.
    void ReceiveHandOver(const std::string& text);

    // Session (MSNMainSession.cpp).
    void StartSession();
    void InitSession();
    void StopSession();
    // The phone the presence rules see, and the session's answer to a sign-out or sign-in in the
    // messaging client (MSNMainMessenger.cpp).
    void BindMessenger();
    // cbIM: the canned messages for a ringing caller who is an online contact; a choice sends it.
    void RefillInstantMessages(const TCallInfo& call);
    void SendInstantMessage();
    void PublishSettings();
    void RefreshPhoneStatus(bool query);
    bool FormCloseQuery();
    // Closes the window as every close path does (the toolkit's Close, which WM_CLOSE runs too):
    // asks, publishes, stops; false when refused.
    bool CloseWindow();
    void FormClose();
    // The close at the end of the Windows session: the session's waits cut short.
    void ShortenWaitsForSessionEnd();
    // Releases the session for good (the destructor runs it): nothing is retried after it.
    void FormDestroy();

    // Server events (public so a scripted test can raise them directly).
    void OnConnected(std::uint32_t dwError, const std::string& szServer);
    void OnLogin(std::uint32_t dwError, std::uint32_t dwMonitorID, const std::string& szDevice,
                 std::uint32_t dwDeviceType);
    void OnLogout(std::uint32_t dwError);
    void OnDisconnected();
    void OnCallConnection(std::uint32_t dwMonitorID, const std::string& szDevice, const std::string& oidCall,
                          const std::string& oidRelated, std::uint32_t dwEvent, std::uint32_t dwEventCause,
                          int nCount, const std::vector<api::TKovraCallConnection>& Connections);
    void OnPhoneState(const api::TKovraPhoneState& state);
    void OnRequestResult(std::uint32_t dwError);

    // Calls (MSNMainCalls.cpp): the tracker's records, one line of lbCalls each.
    const TCallTracker& Tracker() const { return calls_; }
    TCallInfo* FindCall(const std::string& oid) const { return calls_.Find(oid); }
    TCallInfo* SelectedCall() const;
    void DropAllCalls();
    void lbCallsClick();
    void lbCallsDrawItem(ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                         ui::TOwnerDrawState state);
    // A line of lbCalls as a screen reader says it: name, number, state, duration.
    std::string CallRowText(const TCallInfo& call) const;
    void lbSpeedButtonsDrawItem(ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                                ui::TOwnerDrawState state);
    std::vector<TCallInfo*> Calls() const { return calls_.Calls(); }
    std::vector<TCallInfo*> HeldCalls() const { return calls_.HeldCalls(); }
    std::vector<TCallInfo*> CallsOnHold() const { return calls_.CallsOnHold(); }

    // State pages (MSNMainStates.cpp).
    void UpdateControls();
    // The same, once for all the events the loop hands over in one pass: the page, menus and
    // links only need to show where the calls ended up.
    void UpdateControlsSoon();

    // The user's commands on the phone and its calls (CallCommands.cpp); menus, links, hotkeys
    // and start actions run them.
    TCallCommands& Commands() const { return *commands_; }
    // Redirects the ringing call to the forward-list entry the drop-down shows (MSNMainCommands.cpp).
    void cbRedirectToClick();
    // Fetches the speed dials on a worker and shows them on the main thread.
    void UpdateSpeedDialsClick();
    void lbSpeedButtonsDblClick();
    void miHelpAboutClick();
    void miHelpHelpClick();
    void OpenOptions(int page);
    void ShowError(const std::string& text);

    // The finished calls; the options window's History page shows them.
    const TCallHistory& History() const { return history_; }

    // Hotkeys, the clipboard dial, the screen-pop and the tray tip (DesktopIntegration.cpp).
    TDesktopIntegration& Desktop() const { return *desktop_; }

    // State for tests and the other parts.
    api::TKovraAPI* Api() const { return api_.get(); }
    IOptionsWindow* Options() const { return options_.get(); }
    const api::TKovraPhoneState& PhoneState() const { return phoneState_; }
    const api::TKovraPhoneConfig& PhoneConfig() const { return phoneConfig_; }
    void SetPhoneState(const api::TKovraPhoneState& state) { phoneState_ = state; }
    void SetCapabilities(std::uint32_t caps) { phoneConfig_.Capabilities = caps; }
    std::uint32_t Capabilities() const { return phoneConfig_.Capabilities; }
    bool Cap(api::TKovraCapability bit) const { return api::HasCapability(phoneConfig_.Capabilities, bit); }
    bool InService() const { return phoneState_.FlagA || phoneState_.FlagB; }
    bool Closing() const { return closing_; }
    bool Connecting() const { return connecting_; }
    bool SettingsLoaded() const { return settingsLoaded_; }
    const std::string& SettingsText() const { return settingsText_; }
    const std::string& HelpAddress() const { return helpAddress_; }
    bool MayShow() const { return mayShow_; }
    const std::vector<std::string>& Parameters() const { return parameters_; }
    const std::string& InstanceName() const { return instanceName_; }
    const TAssistantTimings& Timings() const { return timings_; }
    // Texts of the "I want to..." submenu, in order.
    std::vector<std::string> WantToCaptions() const;

    // Components, named as the texts and colours find them.
    ui::TUnicodePanel *pnCaption, *pnMenuOptions, *Panel5, *pnWindow, *pnStatusBar, *pnStatusVM, *pnStatusDnD,
        *pnStatus, *pnDialout, *pnCalls;
    ui::TImage *imgLogo, *imHide, *imCloseApp, *btDialoutClose;
    ui::TUnicodeLabel *miPhone, *miCall, *miOptions, *miHelp, *txtError, *txtPhone, *txtJoined, *txtTurnDnD,
        *txtConnectedCompleteTransfer;
    ui::TUnicodePanel *btDialoutPrev, *btDialoutNext, *btRemove, *btDial;
    ui::TNotebook *nbStates, *nbPages;
    ui::TUnicodeListBox *lbCalls, *lbSpeedButtons;
    ui::TUnicodeComboBox *cbRedirectTo, *cbIM;
    ui::TImageList* imCallStates;
    ui::TTaskBarIcon* tbIcon;
    ui::TPopupMenu *pmPhone, *pmCall, *pmOptions, *pmHelp, *pmIcon, *pmMain;
    ui::TTimer *tmInitApplication, *tmReconnect, *tmUpdateControls, *tmUpdatePhoneState, *tmCallDuration,
        *tmDontChange, *tmCleanError;
    ui::TUnicodeMenuItem *miPhoneListenVM, *miPhoneToggleDND, *miPhonePickupCall, *miPhoneForward,
        *miPhoneExit, *mnForwardList, *mnForwardList1, *mnForwardList2;
    ui::TUnicodeMenuItem *miCallMakeCall, *miCallAnswer, *miCallRedirectTo, *miCallSendToVM, *miCallIgnore,
        *miCallHold, *miCallEnd, *miCallPark, *miCallResume, *miCallUpdateCaller, *miCallStartConf,
        *miCallCompConference, *miCallConferenceTogether, *miCallTransfer, *miCallCompTransfer,
        *miCallTransferTogether, *miCallLeaveConf, *miCallAddConf, *miCallConfList;
    ui::TUnicodeMenuItem *miHelpHelp, *miHelpAbout, *UpdateSpeedDials, *mnIconExit, *mnQuenmark, *mnCall,
        *mnWantTo, *mnUnload, *mnIM, *mnCallUser;
    ui::TUnicodeMenuItem *mnMessengerRules, *mnPhoneRules, *mnInstantMessages, *MessengerRules1, *PhoneRules1,
        *InstantMessages1, *MessengerRules2, *PhoneRules2, *InstantMessages2;

    // One "I want to..." link of a state page.
    struct TLink {
        ui::TUnicodePanel* Panel = nullptr;
        ui::TUnicodeLabel* Label = nullptr;
        ui::TUnicodeMenuItem* Item = nullptr;
        std::function<void()> Handler;
        bool Copy = true;
        // A second link on the same panel (the privacy guard's), copied right after the first.
        ui::TUnicodeLabel* SecondLabel = nullptr;
        std::function<void()> SecondHandler;
    };
    // The links of each page, in stacking order.
    const std::vector<std::vector<TLink*>>& PageLinks() const { return pageLinks_; }
    TLink* Link(const std::string& panelName) const;

private:
    bool HandOverToRunningInstance();
    void BuildComponents();
    void BuildCaption();
    void BuildStatusBar();
    void BuildDialoutPanel();
    void BuildCallLists();
    void BuildTrayIcon();
    void BuildTimers();
    ui::TPopupMenu* AddPopup(const char* name);
    void BuildMenus();
    void BuildPhoneAndCallMenus();
    void BuildTrayAndMessengerMenus();
    void BuildStatePages();
    void BuildCallStartPages();
    void BuildAlertingPage();
    void BuildConnectedPage();
    void BuildConferencePages();
    TLink* AddLink(int page, const std::string& panelName, const std::string& labelName,
                   const std::string& caption, ui::TUnicodeMenuItem* item, std::function<void()> handler);
    ui::TUnicodeMenuItem* AddItem(ui::TUnicodeMenuItem& parent, const std::string& name,
                                  const std::string& caption, std::function<void()> handler = {});
    void AddOptionItems(ui::TUnicodeMenuItem& parent, int suffix);
    void ApplyLookAndFeel();
    void FitLogo();
    void SetStatus(const std::string& key, const std::string& fallback);
    void SetStatusText(const std::string& text);
    std::string ErrorStatus(std::uint32_t error) const;
    std::string ProductName() const;
    void AttachApiEvents();
    void WaitWhile(unsigned ms, const std::function<bool()>& condition);
    void tmReconnectTimer();
    void tmUpdateControlsTimer();
    void tmUpdatePhoneStateTimer();
    void ApplyPhoneRule(int event);
    void OpenCallPopup(TCallInfo& call);
    void PopupClosed(ICallPopup* popup);
    void ShowCallsOrSpeedDials();
    void ShowPageLinks(int page, const std::vector<bool>& visible);
    void CopyToWantTo(const std::string& caption, std::function<void()> handler);
    void CopyLink(const TLink& link);
    void CopyShownLinks(const std::vector<std::string>& panelNames);
    bool AnswerOffered() const;
    void ResetCommandMenus();
    void ShowIdlePage();
    void ShowAlertingPage(const TCallInfo& call);
    void ShowAttemptingPage(const TCallInfo& call);
    void ShowConnectedPage(const TCallInfo& call);
    void SetDndLink(bool on);
    void UpdateIdleIndicators();
    void MenuLabelEnter(ui::TUnicodeLabel* label);
    void MenuLabelsReset();
    void OpenMenuBelow(ui::TUnicodeLabel* label, ui::TPopupMenu* menu);
    std::uint32_t MeetmeConference() const;
    static std::string DurationText(std::uint32_t sinceTick);
    void ShowSpeedDials(const std::vector<std::string>& lines);
    void StopSpeedDialFetch();
    // Lists a record the tracker made, selected, as a click would.
    void NewCall(TCallInfo& call);
    // Takes the line of an ended call down; the record goes with it.
    void RemoveCall(std::unique_ptr<TCallInfo> call);
    // The history changed: it is stored and shown.
    void HistoryRecorded();

    std::vector<std::string> parameters_;
    TAssistantServices services_;
    TAssistantTimings timings_;
    TAssistantNetwork network_;
    std::string programFolder_;
    bool startLookAndFeel_;
    std::function<bool(const std::string&)> handOverToRunning_;
    std::string instanceName_;

    std::unique_ptr<api::TKovraAPI> api_;
    std::unique_ptr<IOptionsWindow> options_;
    std::unique_ptr<settings::TKALookAndFeel> lookAndFeel_;
    std::unique_ptr<TUtilWindow> utilWindow_;
    std::unique_ptr<TCallCommands> commands_;
    std::unique_ptr<TDesktopIntegration> desktop_;
    std::vector<std::unique_ptr<TLink>> links_;
    std::vector<std::vector<TLink*>> pageLinks_;
    std::thread speedDialFetch_;
    std::atomic<bool> speedDialStop_{false};
    std::atomic<bool> speedDialRunning_{false};
    api::TKovraPhoneState phoneState_;
    friend class TMessengerPhone;
    std::unique_ptr<messenger::TPhoneControl> messengerPhone_;
    api::TKovraPhoneConfig phoneConfig_;
    bool closing_ = false;
    bool connecting_ = false;
    bool settingsLoaded_ = false;
    bool mayShow_ = false;
    bool loginRetried_ = false;
    std::string settingsText_;
    TCallHistory history_;
    TCallTracker calls_{history_};
    // The forward-list entries cbRedirectTo shows, after its "None", as name and number.
    std::vector<std::pair<std::string, std::string>> redirectEntries_;
    std::string redirectNone_; // the "None" line the box was last filled with
    bool updateSoon_ = false;  // an UpdateControls is posted
    // Posted work holds it weakly: it expires with the window.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::string helpAddress_;
    std::string title_ = "Kovra Assistant";
};

extern TfmKovraAssistant* fmKovraAssistant;

} // namespace app
