#include "app/MSNMain.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "app/MarkedWindow.h"
#include "dialogs/SkinBinding.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"
#include "ui/Backend.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace app {

TfmKovraAssistant* fmKovraAssistant = nullptr;

namespace {

constexpr int kWindowWidth = 480;
constexpr int kWindowHeight = 500;
constexpr int kLinkHeight = 20;
constexpr int kMenuLabelIdle = 172;
constexpr int kMenuLabelHot = 170;
constexpr int kLinkTag = 141;
constexpr int kStatusTag = 100;
constexpr int kLogoMargin = 2;

template <class T> T* Make(ui::TComponent* owner, ui::TControl* parent, const std::string& name)
{
    T* control = new T(owner);
    control->SetName(name);
    if (parent)
        control->SetParent(parent);
    return control;
}

} // namespace

TfmKovraAssistant::TfmKovraAssistant(TAssistantOptions options)
    : ui::TForm(nullptr), parameters_(std::move(options.Parameters)), services_(std::move(options.Services)),
      timings_(options.Timings), network_(std::move(options.Network)),
      programFolder_(std::move(options.ProgramFolder)), startLookAndFeel_(options.StartLookAndFeel),
      handOverToRunning_(std::move(options.HandOverToRunning)),
      instanceName_(std::move(options.InstanceName)), lookAndFeel_(std::move(options.LookAndFeel))
{
    SetName("fmKovraAssistant");
    SetBorderStyle(ui::TFormBorderStyle::bsNone);
    SetCaption(title_);
    SetBounds(0, 0, kWindowWidth, kWindowHeight);
    SetTag(160);
    commands_ = std::make_unique<TCallCommands>(*this, calls_, services_);
    desktop_ = std::make_unique<TDesktopIntegration>(*this, calls_, history_, services_);
    BuildComponents();
    BuildMenus();
    BuildStatePages();
    phoneConfig_.Capabilities = 0xFFFFFFFFu;
    BindMessenger();
    services_.Desktop->SetHotkeyHandler([this](int command) { desktop_->RunHotkey(command); });
    // Alt+F4, another program's WM_CLOSE and the end of the session reach the toolkit's Close:
    // they run the same sequence as the close image and the exit menus.
    OnCloseQuery = [this](ui::TComponent*, bool& canClose) { canClose = !closing_ && FormCloseQuery(); };
    OnClose = [this](ui::TComponent*, ui::TCloseAction& action) {
        FormClose();
        action = ui::TCloseAction::caNone;
    };
}

TfmKovraAssistant::~TfmKovraAssistant()
{
    FormDestroy();
    services_.Messenger->Bind(nullptr, {}, {});
    services_.Messenger->SetClientMenus({});
    if (fmKovraAssistant == this)
        fmKovraAssistant = nullptr;
}

void TfmKovraAssistant::FormDestroy()
{
    // Deactivating the API reports the session's end: it must not start a reconnect.
    closing_ = true;
    for (auto* timer : {tmInitApplication, tmReconnect, tmUpdateControls, tmUpdatePhoneState, tmCallDuration,
                        tmDontChange, tmCleanError})
        timer->SetEnabled(false);
    StopSpeedDialFetch();
    services_.Desktop->UnregisterHotkeys();
    services_.Desktop->SetHotkeyHandler(nullptr);
    utilWindow_.reset();
    lookAndFeel_.reset();
    DropAllCalls();
    if (api_) {
        api_->SetActive(false);
        api_.reset();
    }
    options_.reset();
}

void TfmKovraAssistant::BuildComponents()
{
    BuildCaption();
    BuildStatusBar();
    BuildDialoutPanel();
    BuildCallLists();
    BuildTrayIcon();
    BuildTimers();
}

void TfmKovraAssistant::BuildCaption()
{
    pnCaption = Make<ui::TUnicodePanel>(this, this, "pnCaption");
    pnCaption->SetAlign(ui::TAlign::alTop);
    pnCaption->SetHeight(22);
    pnCaption->SetTag(110);
    pnCaption->SetCaption(title_);
    pnCaption->SetDragsForm(true);
    imCloseApp = Make<ui::TImage>(this, pnCaption, "imCloseApp");
    imCloseApp->SetBounds(kWindowWidth - 20, 3, 16, 16);
    imCloseApp->SetHint("Close this window");
    imCloseApp->OnClick = [this](ui::TComponent*) { CloseWindow(); };
    imHide = Make<ui::TImage>(this, pnCaption, "imHide");
    imHide->SetBounds(kWindowWidth - 38, 3, 16, 16);
    imHide->SetHint("Hide this window");
    imHide->OnClick = [this](ui::TComponent*) { HideForm(); };

    pnMenuOptions = Make<ui::TUnicodePanel>(this, this, "pnMenuOptions");
    pnMenuOptions->SetAlign(ui::TAlign::alTop);
    pnMenuOptions->SetHeight(20);
    pnMenuOptions->SetTag(kMenuLabelIdle);
    int left = 0;
    for (auto [label, name, caption] :
         {std::tuple{&miPhone, "miPhone", "  Phone  "}, std::tuple{&miCall, "miCall", "  Call  "},
          std::tuple{&miOptions, "miOptions", "  Options  "}, std::tuple{&miHelp, "miHelp", "  Help  "}}) {
        *label = Make<ui::TUnicodeLabel>(this, pnMenuOptions, name);
        (*label)->SetCaption(caption);
        (*label)->SetTag(kMenuLabelIdle);
        (*label)->SetBounds(left, 2, 70, 16);
        (*label)->SetCursor(ui::TCursor::crHandPoint);
        ui::TUnicodeLabel* self = *label;
        self->OnMouseEnter = [this, self](ui::TComponent*) { MenuLabelEnter(self); };
        self->OnMouseMove = [this, self](ui::TComponent*, ui::TShiftState, int, int) {
            MenuLabelEnter(self);
        };
        self->OnMouseLeave = [this](ui::TComponent*) { MenuLabelsReset(); };
        left += 70;
    }

    Panel5 = Make<ui::TUnicodePanel>(this, this, "Panel5");
    Panel5->SetAlign(ui::TAlign::alTop);
    Panel5->SetHeight(24);
    Panel5->SetColor(ui::clWhite);
    imgLogo = Make<ui::TImage>(this, Panel5, "imgLogo");
    imgLogo->SetBounds(2, 2, 60, 20);
    imgLogo->SetAccessibleName("Logo");
}

void TfmKovraAssistant::BuildStatusBar()
{
    pnStatusBar = Make<ui::TUnicodePanel>(this, this, "pnStatusBar");
    pnStatusBar->SetAlign(ui::TAlign::alBottom);
    pnStatusBar->SetHeight(20);
    pnStatusBar->SetTag(kStatusTag);
    pnStatus = Make<ui::TUnicodePanel>(this, pnStatusBar, "pnStatus");
    pnStatus->SetAlign(ui::TAlign::alClient);
    pnStatus->SetAlignment(ui::TAlignment::taLeftJustify);
    pnStatus->SetTag(kStatusTag);
    pnStatusDnD = Make<ui::TUnicodePanel>(this, pnStatusBar, "pnStatusDnD");
    pnStatusDnD->SetAlign(ui::TAlign::alRight);
    pnStatusDnD->SetWidth(40);
    pnStatusDnD->SetTag(kStatusTag);
    pnStatusDnD->SetVisible(false);
    pnStatusVM = Make<ui::TUnicodePanel>(this, pnStatusBar, "pnStatusVM");
    pnStatusVM->SetAlign(ui::TAlign::alRight);
    pnStatusVM->SetWidth(90);
    pnStatusVM->SetTag(kStatusTag);
    pnStatusVM->SetVisible(false);
}

void TfmKovraAssistant::BuildDialoutPanel()
{
    pnDialout = Make<ui::TUnicodePanel>(this, this, "pnDialout");
    pnDialout->SetAlign(ui::TAlign::alBottom);
    pnDialout->SetHeight(70);
    pnDialout->SetCaption("  Dial out...");
    pnDialout->SetAlignment(ui::TAlignment::taLeftJustify);
    pnDialout->SetTag(160);
    pnDialout->SetVisible(false);
    txtPhone = Make<ui::TUnicodeLabel>(this, pnDialout, "txtPhone");
    txtPhone->SetBounds(10, 20, 200, 16);
    txtJoined = Make<ui::TUnicodeLabel>(this, pnDialout, "txtJoined");
    txtJoined->SetCaption("Joined");
    txtJoined->SetBounds(220, 20, 60, 16);
    txtJoined->SetVisible(false);
    int buttonLeft = 10;
    for (auto [button, name, caption] :
         {std::tuple{&btDialoutPrev, "btDialoutPrev", "Previous"},
          std::tuple{&btDialoutNext, "btDialoutNext", "Next"}, std::tuple{&btRemove, "btRemove", "Remove"},
          std::tuple{&btDial, "btDial", "Dial"}}) {
        *button = Make<ui::TUnicodePanel>(this, pnDialout, name);
        (*button)->SetCaption(caption);
        (*button)->SetTag(130);
        (*button)->SetCursor(ui::TCursor::crHandPoint);
        (*button)->SetBounds(buttonLeft, 42, 70, 20);
        buttonLeft += 76;
    }
    btDialoutPrev->OnClick = [this](ui::TComponent*) { commands_->DialoutPrevious(); };
    btDialoutNext->OnClick = [this](ui::TComponent*) { commands_->DialoutNext(); };
    btRemove->OnClick = [this](ui::TComponent*) { commands_->DialoutRemove(); };
    btDial->OnClick = [this](ui::TComponent*) { commands_->DialoutDial(); };
    btDialoutClose = Make<ui::TImage>(this, pnDialout, "btDialoutClose");
    btDialoutClose->SetBounds(kWindowWidth - 20, 2, 16, 16);
    btDialoutClose->SetHint("Close the dial-out list");
    btDialoutClose->SetTabStop(true);
    btDialoutClose->OnClick = [this](ui::TComponent*) { commands_->DialoutClose(); };
}

void TfmKovraAssistant::BuildCallLists()
{
    pnWindow = Make<ui::TUnicodePanel>(this, this, "pnWindow");
    pnWindow->SetAlign(ui::TAlign::alClient);
    pnWindow->SetTag(160);
    txtError = Make<ui::TUnicodeLabel>(this, pnWindow, "txtError");
    txtError->SetAlign(ui::TAlign::alTop);
    txtError->SetHeight(16);
    txtError->Font().SetColor(ui::clRed);
    nbStates = Make<ui::TNotebook>(this, pnWindow, "nbStates");
    nbStates->SetAlign(ui::TAlign::alLeft);
    nbStates->SetWidth(220);
    nbStates->SetTag(160);
    nbPages = Make<ui::TNotebook>(this, pnWindow, "nbPages");
    nbPages->SetAlign(ui::TAlign::alClient);
    nbPages->SetTag(160);
    ui::TPage* callsPage = nbPages->AddPage("Calls");
    ui::TPage* speedPage = nbPages->AddPage("SpeedDials");
    lbCalls = Make<ui::TUnicodeListBox>(this, callsPage, "lbCalls");
    lbCalls->SetAlign(ui::TAlign::alClient);
    lbCalls->SetStyle(ui::TListBoxStyle::lbOwnerDrawFixed);
    lbCalls->SetItemHeight(50);
    lbCalls->SetTag(150);
    lbCalls->OnDrawItem = [this](ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                                 ui::TOwnerDrawState state) { lbCallsDrawItem(sender, index, rect, state); };
    lbCalls->OnClick = [this](ui::TComponent*) { lbCallsClick(); };
    lbCalls->SetAccessibleName("Calls");
    lbCalls->OnAccessibleItem = [this](int index) {
        const TCallInfo* call = lbCalls->Items().ObjectAs<TCallInfo>(index);
        return call ? CallRowText(*call) : std::string();
    };
    lbSpeedButtons = Make<ui::TUnicodeListBox>(this, speedPage, "lbSpeedButtons");
    lbSpeedButtons->SetAlign(ui::TAlign::alClient);
    lbSpeedButtons->SetStyle(ui::TListBoxStyle::lbOwnerDrawFixed);
    lbSpeedButtons->SetItemHeight(40);
    lbSpeedButtons->SetTag(150);
    lbSpeedButtons->OnDrawItem = [this](ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                                        ui::TOwnerDrawState state) {
        lbSpeedButtonsDrawItem(sender, index, rect, state);
    };
    lbSpeedButtons->OnDblClick = [this](ui::TComponent*) { lbSpeedButtonsDblClick(); };
    lbSpeedButtons->SetAccessibleName("Speed dials");
    lbSpeedButtons->OnAccessibleItem = [this](int index) {
        const std::string& line = lbSpeedButtons->Items().Strings(index);
        const auto eq = line.find('=');
        return eq == std::string::npos ? line
                                       : line.substr(0, eq) + ", " + FormatPhoneNumber(line.substr(eq + 1));
    };
    nbPages->SetPageIndex(1);
}

void TfmKovraAssistant::BuildTrayIcon()
{
    imCallStates = new ui::TImageList(this);
    imCallStates->SetName("imCallStates");
    imCallStates->SetSize(44, 44);
    // Ringing, connected, held, dialing, conference, held conference.
    for (auto [colour, twin] :
         {std::pair{0x0080FFu, false}, std::pair{0x00A000u, false}, std::pair{0x0000C0u, false},
          std::pair{0xC06000u, false}, std::pair{0x00A000u, true}, std::pair{0x0000C0u, true}})
        imCallStates->Add(ui::RoundBadge(44, colour, twin));

    tbIcon = new ui::TTaskBarIcon(this);
    tbIcon->SetName("tbIcon");
    tbIcon->OnDblClick = [this](ui::TComponent*) {
        if (!StartupInfo().Started)
            return;
        if (!tbIcon->Flashing()) {
            ShowForm();
            services_.Desktop->ForceForeground();
            ui::Application->HideTaskbarButton();
        } else {
            OpenOptions(0);
        }
    };
}

void TfmKovraAssistant::BuildTimers()
{
    auto timer = [this](const char* name, unsigned interval, std::function<void()> handler) {
        auto* t = new ui::TTimer(this);
        t->SetName(name);
        t->SetInterval(interval);
        t->SetEnabled(false);
        t->OnTimer = [handler = std::move(handler)](ui::TComponent*) { handler(); };
        return t;
    };
    tmInitApplication = timer("tmInitApplication", timings_.InitApplication, [this] {
        tmInitApplication->SetEnabled(false);
        StartSession();
    });
    tmReconnect = timer("tmReconnect", timings_.Reconnect, [this] { tmReconnectTimer(); });
    tmUpdateControls =
        timer("tmUpdateControls", timings_.UpdateControls, [this] { tmUpdateControlsTimer(); });
    tmUpdatePhoneState =
        timer("tmUpdatePhoneState", timings_.UpdatePhoneState, [this] { tmUpdatePhoneStateTimer(); });
    tmCallDuration = timer("tmCallDuration", timings_.CallDuration, [this] { lbCalls->Invalidate(); });
    tmDontChange = timer("tmDontChange", timings_.DontChange, [this] { tmDontChange->SetEnabled(false); });
    tmCleanError = timer("tmCleanError", timings_.CleanError, [this] {
        tmCleanError->SetEnabled(false);
        txtError->SetCaption("");
    });
}

ui::TUnicodeMenuItem* TfmKovraAssistant::AddItem(ui::TUnicodeMenuItem& parent, const std::string& name,
                                                 const std::string& caption, std::function<void()> handler)
{
    auto* item = new ui::TUnicodeMenuItem(this);
    item->SetName(name);
    item->SetCaption(caption);
    if (handler)
        item->OnClick = [handler = std::move(handler)](ui::TComponent*) { handler(); };
    parent.Add(item);
    return item;
}

void TfmKovraAssistant::AddOptionItems(ui::TUnicodeMenuItem& parent, int suffix)
{
    const std::string tail = suffix ? std::to_string(suffix) : std::string();
    auto named = [&](const std::string& base) { return suffix ? base + tail : "mn" + base; };
    auto* messenger =
        AddItem(parent, named("MessengerRules"), "&Messenger Rules", [this] { OpenOptions(1); });
    auto* phone = AddItem(parent, named("PhoneRules"), "&Phone Rules", [this] { OpenOptions(2); });
    auto* im = AddItem(parent, named("InstantMessages"), "&Instant Messages", [this] { OpenOptions(3); });
    AddItem(parent, "mnCallLater" + tail, "&Call Later List", [this] { OpenOptions(4); });
    auto* forward = AddItem(parent, suffix ? "mnForwardList" + tail : "mnForwardList",
                            suffix == 1 ? "Forward List" : "&Forward List", [this] { OpenOptions(5); });
    AddItem(parent, "mnCallHistory" + tail, "Call &History", [this] { OpenOptions(7); });
    switch (suffix) {
    case 0:
        mnMessengerRules = messenger, mnPhoneRules = phone, mnInstantMessages = im, mnForwardList = forward;
        break;
    case 1:
        MessengerRules1 = messenger, PhoneRules1 = phone, InstantMessages1 = im, mnForwardList1 = forward;
        break;
    default:
        MessengerRules2 = messenger, PhoneRules2 = phone, InstantMessages2 = im, mnForwardList2 = forward;
        break;
    }
}

ui::TPopupMenu* TfmKovraAssistant::AddPopup(const char* name)
{
    auto* menu = new ui::TPopupMenu(this);
    menu->SetName(name);
    return menu;
}

void TfmKovraAssistant::BuildMenus()
{
    BuildPhoneAndCallMenus();
    BuildTrayAndMessengerMenus();
    miPhone->OnClick = [this](ui::TComponent*) { OpenMenuBelow(miPhone, pmPhone); };
    miCall->OnClick = [this](ui::TComponent*) { OpenMenuBelow(miCall, pmCall); };
    miOptions->OnClick = [this](ui::TComponent*) { OpenMenuBelow(miOptions, pmOptions); };
    miHelp->OnClick = [this](ui::TComponent*) { OpenMenuBelow(miHelp, pmHelp); };

    for (auto* item : pmPhone->Items().Items())
        item->SetEnabled(item == miPhoneExit);
    for (auto* item : pmCall->Items().Items())
        item->SetEnabled(false);
}

void TfmKovraAssistant::BuildPhoneAndCallMenus()
{
    pmPhone = AddPopup("pmPhone");
    auto& phone = pmPhone->Items();
    miPhoneListenVM =
        AddItem(phone, "miPhoneListenVM", "Listen to Voice Mail", [this] { commands_->OnListenVoiceMail(); });
    miPhoneToggleDND = AddItem(phone, "miPhoneToggleDND", "Turn on Do Not Disturb");
    miPhonePickupCall = AddItem(phone, "miPhonePickupCall", "Pickup a ringing call...",
                                [this] { commands_->OnPickupCall(); });
    AddItem(phone, "N1", "-");
    miPhoneForward = AddItem(phone, "miPhoneForward", "Forward to...", [this] { commands_->OnForward(); });
    AddItem(phone, "N2", "-");
    miPhoneExit = AddItem(phone, "miPhoneExit", "Exit", [this] { CloseWindow(); });

    pmCall = AddPopup("pmCall");
    auto& call = pmCall->Items();
    miCallMakeCall = AddItem(call, "miCallMakeCall", "Make a New Call", [this] { commands_->OnMakeCall(); });
    AddItem(call, "N3", "-");
    miCallAnswer = AddItem(call, "miCallAnswer", "Answer Call", [this] { commands_->OnAnswerCall(); });
    miCallRedirectTo =
        AddItem(call, "miCallRedirectTo", "Redirect Call...", [this] { commands_->miCallRedirectToClick(); });
    miCallSendToVM =
        AddItem(call, "miCallSendToVM", "Send Call to Voice Mail", [this] { commands_->OnRedirectToVM(); });
    miCallIgnore = AddItem(call, "miCallIgnore", "Ignore Call", [this] { commands_->OnRedirectToVRing(); });
    AddItem(call, "N4", "-");
    miCallHold = AddItem(call, "miCallHold", "Hold the Call", [this] { commands_->OnHoldCall(); });
    miCallEnd = AddItem(call, "miCallEnd", "End this Call", [this] { commands_->OnDropCall(); });
    miCallPark = AddItem(call, "miCallPark", "Park the Call", [this] { commands_->OnParkCall(); });
    miCallResume = AddItem(call, "miCallResume", "Resume this Call", [this] { commands_->OnResumeCall(); });
    miCallUpdateCaller = AddItem(call, "miCallUpdateCaller", "Update Caller Name...");
    AddItem(call, "N5", "-");
    miCallStartConf =
        AddItem(call, "miCallStartConf", "Start a Conference...", [this] { commands_->OnSetupConference(); });
    miCallCompConference = AddItem(call, "miCallCompConference", "Complete Conference",
                                   [this] { commands_->OnCompleteConference(); });
    miCallConferenceTogether = AddItem(call, "miCallConferenceTogether", "Conference Calls Together",
                                       [this] { commands_->OnAddToConference(); });
    AddItem(call, "N6", "-");
    miCallTransfer =
        AddItem(call, "miCallTransfer", "Transfer the Call...", [this] { commands_->OnTransferCall(); });
    miCallCompTransfer =
        AddItem(call, "miCallCompTransfer", "Complete Transfer", [this] { commands_->OnCompleteTransfer(); });
    miCallTransferTogether = AddItem(call, "miCallTransferTogether", "Transfer Calls Together",
                                     [this] { commands_->OnCompleteTransfer(); });
    AddItem(call, "N7", "-");
    miCallLeaveConf =
        AddItem(call, "miCallLeaveConf", "Leave Conference", [this] { commands_->OnLeaveConference(); });
    miCallAddConf =
        AddItem(call, "miCallAddConf", "Add to Conference", [this] { commands_->OnSetupConference(); });
    miCallConfList = AddItem(call, "miCallConfList", "Show Conference List...",
                             [this] { commands_->OnShowConferenceList(); });
}

void TfmKovraAssistant::BuildTrayAndMessengerMenus()
{
    pmOptions = AddPopup("pmOptions");
    AddOptionItems(pmOptions->Items(), 0);
    AddItem(pmOptions->Items(), "N8", "-");
    UpdateSpeedDials = AddItem(pmOptions->Items(), "UpdateSpeedDials", "Update speed dial buttons",
                               [this] { UpdateSpeedDialsClick(); });
    AddItem(pmOptions->Items(), "N9", "-");
    AddItem(pmOptions->Items(), "mnConnection", "&Connection", [this] { OpenOptions(0); });
    AddItem(pmOptions->Items(), "N10", "-");

    pmHelp = AddPopup("pmHelp");
    miHelpHelp = AddItem(pmHelp->Items(), "miHelpHelp", "&Help", [this] { miHelpHelpClick(); });
    AddItem(pmHelp->Items(), "N11", "-");
    miHelpAbout = AddItem(pmHelp->Items(), "miHelpAbout", "&About...", [this] { miHelpAboutClick(); });

    pmIcon = AddPopup("pmIcon");
    AddItem(pmIcon->Items(), "mnIconCall", "&Call...", [this] {
        services_.Dialogs->CallLater(TCallLaterRequest{services_.Messenger->Attached(), {}, {}, 0, {}});
    });
    AddItem(pmIcon->Items(), "N12", "-");
    auto* iconOptions = AddItem(pmIcon->Items(), "mnIconOptions", "&Options");
    AddOptionItems(*iconOptions, 1);
    AddItem(*iconOptions, "N13", "-");
    AddItem(*iconOptions, "mnIconConnection", "&Connection", [this] { OpenOptions(0); });
    mnIconExit = AddItem(pmIcon->Items(), "mnIconExit", "&Exit", [this] { CloseWindow(); });
    tbIcon->SetPopupMenu(pmIcon);

    pmMain = AddPopup("pmMain");
    mnQuenmark = AddItem(pmMain->Items(), "mnQuenmark", "KOVRA");
    // The contact selected in the client, or the one of the conversation window; 0 minutes.
    auto callContact = [this](const std::string& contact) {
        services_.Dialogs->CallLater(
            TCallLaterRequest{services_.Messenger->Attached(), contact, contact, 0, {}});
    };
    mnCall = AddItem(*mnQuenmark, "mnCall", "&Call...",
                     [this, callContact] { callContact(services_.Messenger->SelectedContact()); });
    mnWantTo = AddItem(*mnQuenmark, "mnWantTo", "I want to...");
    AddItem(*mnQuenmark, "N14", "-");
    auto* mainOptions = AddItem(*mnQuenmark, "mnMainOptions", "&Options");
    AddOptionItems(*mainOptions, 2);
    AddItem(*mainOptions, "N15", "-");
    AddItem(*mainOptions, "mnMainConnection", "&Connection", [this] { OpenOptions(0); });
    mnUnload = AddItem(*mnQuenmark, "mnUnload", "&Exit", [this] { CloseWindow(); });
    mnIM = AddItem(pmMain->Items(), "mnIM", "KOVRA");
    mnCallUser = AddItem(*mnIM, "mnCallUser", "&Call...",
                         [this, callContact] { callContact(services_.Messenger->ConversationContact()); });
}

TfmKovraAssistant::TLink* TfmKovraAssistant::AddLink(int page, const std::string& panelName,
                                                     const std::string& labelName, const std::string& caption,
                                                     ui::TUnicodeMenuItem* item,
                                                     std::function<void()> handler)
{
    auto link = std::make_unique<TLink>();
    link->Panel = Make<ui::TUnicodePanel>(this, nbStates->Page(page), panelName);
    link->Panel->SetBounds(0, 0, nbStates->Width(), kLinkHeight);
    link->Panel->SetTag(140);
    link->Panel->SetVisible(false);
    link->Label = Make<ui::TUnicodeLabel>(this, link->Panel, labelName);
    link->Label->SetCaption(caption);
    link->Label->SetBounds(20, 2, nbStates->Width() - 24, 16);
    link->Label->SetTag(kLinkTag);
    link->Label->SetTransparent(true);
    link->Label->SetIsLink(true);
    link->Label->SetCursor(ui::TCursor::crHandPoint);
    link->Item = item;
    link->Handler = std::move(handler);
    TLink* raw = link.get();
    link->Label->OnClick = [raw](ui::TComponent*) {
        if (raw->Handler)
            raw->Handler();
    };
    pageLinks_[static_cast<std::size_t>(page)].push_back(raw);
    links_.push_back(std::move(link));
    return raw;
}

void TfmKovraAssistant::BuildStatePages()
{
    for (const char* name : {"Idle", "Dialing", "Attempting", "Alerting", "Connected", "Held", "Queued",
                             "Failed", "Conference", "Privacy Guard"})
        nbStates->AddPage(name);
    pageLinks_.resize(10);
    BuildCallStartPages();
    BuildAlertingPage();
    BuildConnectedPage();
    BuildConferencePages();
}

void TfmKovraAssistant::BuildCallStartPages()
{
    AddLink(spIdle, "pnIdleMakeCall", "txtIdleMakeCall", "Make a new call...", miCallMakeCall,
            [this] { commands_->OnMakeCall(); });
    AddLink(spIdle, "pnIdlePickup", "txtIdlePickup", "Pickup a ringing call...", miPhonePickupCall,
            [this] { commands_->OnPickupCall(); });
    AddLink(spIdle, "pnIdleListenVM", "txtIdleListenVM", "Listen to Voice Mail", miPhoneListenVM,
            [this] { commands_->OnListenVoiceMail(); });
    txtTurnDnD =
        AddLink(spIdle, "pnIdleToggleDND", "txtTurnDnD", "Turn on Do Not Disturb", miPhoneToggleDND, {})
            ->Label;
    AddLink(spIdle, "pnIdleForward", "txtIdleForward", "Forward to...", miPhoneForward,
            [this] { commands_->OnForward(); });

    AddLink(spDialing, "pnDialingMakeCall", "txtDialingMakeCall", "Make a new call...", miCallMakeCall,
            [this] { commands_->OnMakeCall(); });
    AddLink(spDialing, "pnDialingEndCall", "txtDialingEndCall", "End this call", miCallEnd,
            [this] { commands_->OnDropCall(); });

    AddLink(spAttempting, "pnAttemptingCompTransfer", "txtAttemptingCompTransfer", "Complete Transfer",
            miCallCompTransfer, [this] { commands_->OnCompleteTransfer(); });
    AddLink(spAttempting, "pnAttemptingCompConference", "txtAttemptingCompConference", "Complete Conference",
            miCallCompConference, [this] { commands_->OnCompleteConference(); });
    AddLink(spAttempting, "pnAttemptingEndCall", "txtAttemptingEndCall", "End this call", miCallEnd,
            [this] { commands_->OnDropCall(); });
}

void TfmKovraAssistant::BuildAlertingPage()
{
    AddLink(spAlerting, "pnAlertingAnswer", "txtAlertingAnswer", "Answer the call", miCallAnswer,
            [this] { commands_->OnAnswerCall(); });
    AddLink(spAlerting, "pnAlertingSendToVM", "txtAlertingSendToVM", "Send to Voice Mail", miCallSendToVM,
            [this] { commands_->OnRedirectToVM(); });
    AddLink(spAlerting, "pnAlertingIgnoreCall", "txtAlertingIgnoreCall", "Ignore the call", miCallIgnore,
            [this] { commands_->OnRedirectToVRing(); });
    AddLink(spAlerting, "pnAlertingHoldCall", "txtAlertingHoldCall", "Hold the call", miCallHold,
            [this] { commands_->OnHoldCall(); });
    AddLink(spAlerting, "pnAlertingCallLater", "txtAlertingCallLater", "Call later...", nullptr,
            [this] { commands_->OnCallLater(); });
    TLink* redirect =
        AddLink(spAlerting, "pnAlerttingRedirectCall", "txtAlerttingRedirectCall", "Redirect the call",
                miCallRedirectTo, [this] { commands_->miCallRedirectToClick(); });
    redirect->Panel->SetHeight(44);
    cbRedirectTo = Make<ui::TUnicodeComboBox>(this, redirect->Panel, "cbRedirectTo");
    cbRedirectTo->SetStyle(ui::TComboBoxStyle::csDropDownList);
    cbRedirectTo->SetBounds(20, 20, nbStates->Width() - 30, 20);
    cbRedirectTo->OnSelect = [this](ui::TComponent*) { cbRedirectToClick(); };
    TLink* im =
        AddLink(spAlerting, "pnAlertingInstantMsg", "txtAlertingInstantMsg", "Instant Message", nullptr, {});
    im->Panel->SetHeight(44);
    cbIM = Make<ui::TUnicodeComboBox>(this, im->Panel, "cbIM");
    cbIM->SetBounds(20, 20, nbStates->Width() - 30, 20);
}

void TfmKovraAssistant::BuildConnectedPage()
{
    AddLink(spConnected, "pnConnectedHoldCall", "txtConnectedHoldCall", "Hold the call", miCallHold,
            [this] { commands_->OnHoldCall(); });
    AddLink(spConnected, "pnConnectedEndCall", "txtConnectedEndCall", "End this call", miCallEnd,
            [this] { commands_->OnDropCall(); });
    AddLink(spConnected, "pnConnectedSetupTransfer", "txtConnectedSetupTransfer", "Transfer the call...",
            miCallTransfer, [this] { commands_->OnTransferCall(); });
    AddLink(spConnected, "pnConnectedTransferOnHold", "txtConnectedTransferOnHold",
            "Transfer to call on hold...", nullptr, [this] { commands_->OnTransferOnHold(); });
    txtConnectedCompleteTransfer =
        AddLink(spConnected, "pnConnectedCompleteTransfer", "txtConnectedCompleteTransfer",
                "Complete Transfer", miCallCompTransfer, [this] { commands_->OnCompleteTransfer(); })
            ->Label;
    AddLink(spConnected, "pnConnectedAddToMeetme", "txtConnectedAddToMeetme", "Add to Meet-me conference",
            nullptr, [this] { commands_->OnAddToMeetme(); });
    AddLink(spConnected, "pnConnectedSetupConference", "txtConnectedSetupConference", "Start a conference...",
            miCallStartConf, [this] { commands_->OnSetupConference(); });
    AddLink(spConnected, "pnConnectedCompleteConference", "txtConnectedCompleteConference",
            "Complete Conference", miCallCompConference, [this] { commands_->OnCompleteConference(); });
    AddLink(spConnected, "pnConnectedParkCall", "txtConnectedParkCall", "Park the call", miCallPark,
            [this] { commands_->OnParkCall(); });
    AddLink(spConnected, "pnConnectedMakeCall", "txtConnectedMakeCall", "Make a new call...", miCallMakeCall,
            [this] { commands_->OnMakeCall(); });

    AddLink(spHeld, "pnHeldResumeCall", "txtHeldResumeCall", "Resume this call", miCallResume,
            [this] { commands_->OnResumeCall(); });
    AddLink(spHeld, "pnHeldMakeCall", "txtHeldMakeCall", "Make a new call...", miCallMakeCall,
            [this] { commands_->OnMakeCall(); });

    auto* queued = Make<ui::TUnicodeLabel>(this, nbStates->Page(spQueued), "txtQueued");
    queued->SetCaption("Queued");
    queued->SetBounds(20, 2, 180, 16);

    AddLink(spFailed, "pnFailedEndCall", "txtFailedEndCall", "End this call", miCallEnd,
            [this] { commands_->OnDropCall(); });
}

void TfmKovraAssistant::BuildConferencePages()
{
    AddLink(spConference, "pnConfHold", "txtConfHold", "Hold the conference", miCallHold,
            [this] { commands_->OnHoldCall(); });
    AddLink(spConference, "pnConfLeave", "txtConfLeave", "Leave the conference", miCallLeaveConf,
            [this] { commands_->OnLeaveConference(); });
    AddLink(spConference, "pnConfAddTo", "txtConfAddTo", "Add to the conference", miCallAddConf,
            [this] { commands_->OnSetupConference(); });
    AddLink(spConference, "pnConfShowList", "txtConfShowList", "Show conference list", miCallConfList,
            [this] { commands_->OnShowConferenceList(); });
    AddLink(spConference, "pnConfMakeCall", "txtConfMakeCall", "Make a new call...", miCallMakeCall,
            [this] { commands_->OnMakeCall(); });

    TLink* guard = AddLink(spPrivacyGuard, "pnPrivGuard", "txtPrivGuardTalk", "Talk to caller", nullptr,
                           [this] { commands_->OnPrivacyDigit("1"); });
    guard->Panel->SetHeight(40);
    auto* unavailable = Make<ui::TUnicodeLabel>(this, guard->Panel, "txtPrivGuardUnavailable");
    unavailable->SetCaption("I am unavailable to caller");
    unavailable->SetBounds(20, 22, nbStates->Width() - 24, 16);
    unavailable->SetTag(kLinkTag);
    unavailable->SetTransparent(true);
    unavailable->SetIsLink(true);
    unavailable->OnClick = [this](ui::TComponent*) { commands_->OnPrivacyDigit("2"); };
    guard->SecondLabel = unavailable;
    guard->SecondHandler = [this] { commands_->OnPrivacyDigit("2"); };
    AddLink(spPrivacyGuard, "pnPrivGuardSendToVM", "txtPrivGuardSendToVM", "Send to Voice Mail",
            miCallSendToVM, [this] { commands_->OnPrivacyDigit("3"); });
    AddLink(spPrivacyGuard, "pnPrivGuardDoNotCall", "txtPrivGuardDoNotCall", "Do not call me again", nullptr,
            [this] { commands_->OnPrivacyDigit("4"); });
    AddLink(spPrivacyGuard, "pnPrivGuardEndCall", "txtPrivGuardEndCall", "End this call", miCallEnd,
            [this] { commands_->OnDropCall(); });
}

TfmKovraAssistant::TLink* TfmKovraAssistant::Link(const std::string& panelName) const
{
    for (const auto& link : links_)
        if (link->Panel->Name() == panelName)
            return link.get();
    return nullptr;
}

std::unique_ptr<TKALookAndFeel> StartLookAndFeel(const std::vector<std::string>& parameters,
                                                 const std::string& programFolder)
{
    TKALookAndFeelTargets targets;
    targets.DecodeLogo = DecodeLogoPicture;
    if (HasSwitch(parameters, "webportal"))
        return std::make_unique<TKALookAndFeel>(SwitchValue(parameters, "webportal"),
                                                std::optional<std::string>("ka.ico"), true, nullptr, targets);
    return std::make_unique<TKALookAndFeel>(programFolder, std::nullopt, false, nullptr, targets);
}

bool TfmKovraAssistant::FormCreate()
{
    SetBounds(0, 0, Width(), Height());
    closing_ = connecting_ = settingsLoaded_ = false;
    phoneConfig_.Capabilities = 0xFFFFFFFFu;
    if (HandOverToRunningInstance()) {
        ui::Application->Terminate();
        return false;
    }
    ui::Application->HideTaskbarButton();
    fmKovraAssistant = this;
    utilWindow_ = std::make_unique<TUtilWindow>(NameHash(instanceName_),
                                                [this](const std::string& text) { ReceiveHandOver(text); });

    const std::string portal = SwitchValue(parameters_, "webportal");
    const bool webMode = HasSwitch(parameters_, "webportal");
    if (webMode)
        helpAddress_ = portal + "help/helpset.htm?context=webportalhelp";
    miHelpHelp->SetEnabled(webMode);
    if (startLookAndFeel_) {
        if (!lookAndFeel_)
            lookAndFeel_ = StartLookAndFeel(parameters_, programFolder_);
        // Its completion runs on this thread from the message loop, which has not run yet.
        lookAndFeel_->SetOnComplete([this] { LookAndFeelReady(); });
    }

    TStartupInfo& info = StartupInfo();
    EvaluatePendingAction(parameters_, info);
    ApplyIdentity(parameters_, info);
    Panel5->SetCaption(FormatPhoneNumber(info.Phone));
    tmInitApplication->SetInterval(timings_.InitApplication);
    tmInitApplication->SetEnabled(true);
    // Had anything run the message loop since the loader started, its end went by unseen.
    if (lookAndFeel_ && lookAndFeel_->Finished())
        LookAndFeelReady();
    return true;
}

bool TfmKovraAssistant::HandOverToRunningInstance()
{
    if (handOverToRunning_)
        return handOverToRunning_(JoinHandOver(parameters_));
    void* running = FindMarkedWindow(NameHash(instanceName_));
    if (!running)
        return false;
    SendCopyData(running, JoinHandOver(parameters_));
    return true;
}

std::string TfmKovraAssistant::ProductName() const
{
    const std::string& title = ui::Application->Title().empty() ? title_ : ui::Application->Title();
    return LocalText("ProductName", title);
}

void TfmKovraAssistant::ApplyLookAndFeel()
{
    TSkinFormBinding skin(*this);
    if (lookAndFeel_) {
        ISkinComponent* logo = nullptr;
        for (int i = 0; i < skin.ComponentCount(); ++i)
            if (skin.Component(i).Name() == "imgLogo")
                logo = &skin.Component(i);
        lookAndFeel_->ApplyLookAndFeel(skin, logo);
    } else {
        ApplyColours(skin);
        MessageBundle().ApplyToComponents(skin);
    }
}

void TfmKovraAssistant::LookAndFeelReady()
{
    const std::string title = ProductName();
    SetCaption(title);
    pnCaption->SetCaption(title);
    if (options_)
        options_->SetTitle(title);
    ApplyLookAndFeel();
    FitLogo();
    desktop_->SetTrayHint("Halvern - " + title);
    tbIcon->SetIcon(ui::Application->Icon());

    int widest = 0;
    for (auto* label : {miPhone, miCall, miOptions, miHelp})
        widest = std::max(widest,
                          ui::CurrentBackend().TextExtent(label->Font(), "    " + label->Caption() + "  ").X);
    int left = 0;
    for (auto* label : {miPhone, miCall, miOptions, miHelp}) {
        label->SetBounds(left, label->Top(), widest + 10, label->Height());
        left += widest + 10;
    }

    mayShow_ = true;
    ShowForm();
    if (!api_) {
        tmInitApplication->SetEnabled(false);
        tmInitApplication->SetInterval(timings_.InitAfterLookAndFeel);
        tmInitApplication->SetEnabled(true);
    }
}

// The portal's logo is shown whole: the image takes the picture's size and the white strip grows
// to hold it.
void TfmKovraAssistant::FitLogo()
{
    const ui::TBitmap& logo = imgLogo->Picture();
    if (logo.Width <= 0 || logo.Height <= 0)
        return;
    imgLogo->SetBounds(kLogoMargin, kLogoMargin, logo.Width, logo.Height);
    Panel5->SetHeight(std::max(Panel5->Height(), logo.Height + 2 * kLogoMargin));
}

void TfmKovraAssistant::MenuLabelEnter(ui::TUnicodeLabel* label)
{
    if (label->Tag() == kMenuLabelHot)
        return;
    for (auto* each : {miPhone, miCall, miOptions, miHelp})
        each->SetTag(each == label ? kMenuLabelHot : kMenuLabelIdle);
    TSkinFormBinding skin(*this);
    ApplyColours(skin);
}

void TfmKovraAssistant::MenuLabelsReset()
{
    for (auto* each : {miPhone, miCall, miOptions, miHelp})
        each->SetTag(kMenuLabelIdle);
    TSkinFormBinding skin(*this);
    ApplyColours(skin);
}

void TfmKovraAssistant::OpenMenuBelow(ui::TUnicodeLabel* label, ui::TPopupMenu* menu)
{
    const ui::TPoint at = label->ClientToScreen({0, label->Height()});
    menu->Popup(at.X, at.Y);
}

void TfmKovraAssistant::ReceiveHandOver(const std::string& text)
{
    // Run after the sender is released and outside the window procedure; a window that is
    // closing by then must not start a new session.
    Post([this, text] {
        if (!closing_)
            HandOver(text);
    });
}

namespace {

bool NamesPhone(const std::vector<std::string>& params)
{
    for (std::size_t i = 0; i + 1 < params.size(); ++i)
        if (settings::SameText(params[i], "-phone") && !params[i + 1].empty())
            return true;
    return false;
}

} // namespace

void TfmKovraAssistant::HandOver(const std::string& text)
{
    if (closing_)
        return;
    const std::vector<std::string> params = SplitHandOver(text);
    // While a connect runs (a reconnect to a server that is away, a restart) another identity
    // waits its turn; an action alone is kept for the log-in.
    if (params.empty() || (connecting_ && NamesPhone(params)))
        return;
    txtError->SetCaption("");
    if (mayShow_) {
        if (!Visible())
            ShowForm();
        services_.Desktop->ForceForeground();
        ui::Application->HideTaskbarButton();
    }
    TStartupInfo& info = StartupInfo();
    bool otherPhone = false;
    for (std::size_t i = 0; i + 1 < params.size(); ++i)
        if (settings::SameText(params[i], "-phone") && !settings::SameText(params[i + 1], info.Phone))
            otherPhone = true;
    otherPhone = otherPhone && info.LoggedIn;
    const bool runNow = info.LoggedIn && !otherPhone;

    const std::string first = settings::ToLowerAscii(params[0]);
    int action = paNone;
    std::string argument;
    if (first == "-makecall") {
        const std::string options = SwitchValue(params, "Options");
        char* end = nullptr;
        const long value = options.empty() ? 0 : std::strtol(options.c_str(), &end, 10);
        action = paMakeCall;
        argument = MakeCallArgument(params.size() > 1 ? params[1] : std::string(),
                                    end && *end == '\0' ? static_cast<int>(value) : 0);
    } else if (first == "-dialout") {
        action = paDialout;
        argument = DialoutArgument(params);
    } else if (first == "-addconf") {
        action = paAddConference;
        argument = params.size() > 1 ? params[1] : std::string();
    } else if (first == "-vm") {
        TStartupInfo pieces;
        pieces.PendingAction = paVoiceMail;
        ApplyIdentity(params, pieces);
        action = paVoiceMail;
        argument = pieces.PendingArgument;
    }
    if (runNow) {
        commands_->RunAction(action, argument);
        return;
    }
    info.PendingAction = action;
    info.PendingArgument = argument;
    // A request that names no phone (a link, a make-call) brings no one to log in as: the session
    // it reaches keeps its identity and runs the action after its own log-in.
    if (!NamesPhone(params))
        return;

    connecting_ = true;
    info.Restarting = true;
    FormClose();
    info.Restarting = false;
    SetStatus("pnStatusConnecting", "Connecting...");
    WaitWhile(timings_.RestartWait, [] { return true; });
    const int keptAction = info.PendingAction;
    const std::string keptArgument = info.PendingArgument;
    ApplyIdentity(params, info);
    info.PendingAction = keptAction;
    info.PendingArgument = keptArgument;
    Panel5->SetCaption(FormatPhoneNumber(info.Phone));
    StartSession();
}

void TfmKovraAssistant::SetStatusText(const std::string& text)
{
    pnStatus->SetCaption(" " + text);
    pnStatus->Repaint();
}

void TfmKovraAssistant::SetStatus(const std::string& key, const std::string& fallback)
{
    SetStatusText(LocalText(key, fallback));
}

std::string TfmKovraAssistant::ErrorStatus(std::uint32_t error) const
{
    const std::string format = LocalText("pnStatusError", "Error: (%d)  %s");
    return settings::Substitute(settings::Substitute(format, "%d", std::to_string(error)), "%s",
                                ErrorText(error));
}

void TfmKovraAssistant::WaitWhile(unsigned ms, const std::function<bool()>& condition)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (condition() && platform::TickCount() < until)
        platform::ProcessMessages(timings_.WaitStep);
}

void TfmKovraAssistant::ShowError(const std::string& text)
{
    txtError->SetCaption(text);
    tmCleanError->SetEnabled(false);
    tmCleanError->SetEnabled(true);
}

std::vector<std::string> TfmKovraAssistant::WantToCaptions() const
{
    std::vector<std::string> captions;
    for (auto* item : mnWantTo->Items())
        captions.push_back(item->Caption());
    return captions;
}

} // namespace app
