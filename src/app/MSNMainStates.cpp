#include "app/MSNMain.h"
#include "dialogs/SkinBinding.h"
#include "platform/MainLoop.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace app {

void TfmKovraAssistant::CopyToWantTo(const std::string& caption, std::function<void()> handler)
{
    auto* copy = new ui::TUnicodeMenuItem(mnWantTo);
    copy->SetCaption(caption);
    copy->SetEnabled(true);
    copy->OnClick = [handler = std::move(handler)](ui::TComponent*) {
        if (handler)
            handler();
    };
    mnWantTo->Add(copy);
}

bool TfmKovraAssistant::AnswerOffered() const
{
    if (!calls_.ActiveCallId().empty()) {
        const TCallInfo* active = FindCall(calls_.ActiveCallId());
        if (active && active->LocalState == csDialing && Cap(capAnswer))
            return true;
        return Cap(capAlternate);
    }
    return Cap(capAnswer);
}

std::uint32_t TfmKovraAssistant::MeetmeConference() const
{
    return services_.Desktop->MeetmeConferenceId();
}

// Shows the page's panels by the flags (in stacking order), enables their menu items, copies
// them into "I want to..." and stacks the visible ones from the top.
void TfmKovraAssistant::ShowPageLinks(int page, const std::vector<bool>& visible)
{
    const auto& links = pageLinks_[static_cast<std::size_t>(page)];
    int top = 0;
    for (std::size_t i = 0; i < links.size(); ++i) {
        TLink* link = links[i];
        const bool show = i < visible.size() && visible[i];
        link->Panel->SetVisible(show);
        if (!show)
            continue;
        link->Panel->SetTop(top + 1);
        top += link->Panel->Height() + 1;
        if (link->Item)
            link->Item->SetEnabled(true);
        if (link->Copy)
            CopyLink(*link);
    }
    nbStates->SetPageIndex(page);
}

// A link with a menu item is copied as that item (caption and command), others by their label.
void TfmKovraAssistant::CopyLink(const TLink& link)
{
    if (!link.Item) {
        CopyToWantTo(link.Label->Caption(), link.Handler);
        if (link.SecondLabel)
            CopyToWantTo(link.SecondLabel->Caption(), link.SecondHandler);
        return;
    }
    CopyToWantTo(link.Item->Caption(), [item = link.Item] {
        if (item->OnClick)
            item->OnClick(item);
    });
}

// Copies the shown links of the list in its order, which differs from the stacking order.
void TfmKovraAssistant::CopyShownLinks(const std::vector<std::string>& panelNames)
{
    for (const std::string& name : panelNames)
        if (TLink* link = Link(name); link->Panel->Visible())
            CopyLink(*link);
}

namespace {

// Which kinds of call the user holds: a conference, a single call, or both.
struct THeldKinds {
    bool Conference = false;
    bool Single = false;
};

THeldKinds HeldKinds(const std::vector<TCallInfo*>& held)
{
    THeldKinds kinds;
    for (const TCallInfo* h : held)
        (h->IsConference() ? kinds.Conference : kinds.Single) = true;
    return kinds;
}

} // namespace

void TfmKovraAssistant::UpdateControlsSoon()
{
    if (updateSoon_ || closing_)
        return;
    updateSoon_ = true;
    std::weak_ptr<int> alive = alive_;
    platform::Post([this, alive] {
        if (alive.expired())
            return;
        updateSoon_ = false;
        if (!closing_)
            UpdateControls();
    });
}

void TfmKovraAssistant::UpdateControls()
{
    ResetCommandMenus();
    const TCallInfo* call = SelectedCall();
    const int state = call ? call->LocalState : static_cast<int>(csGone);
    // A call not yet placed (-1) or in a state without a page shows nothing new.
    if (state < 0 || state > static_cast<int>(csFailed))
        return;
    // The Attempting links read the captions of the menu items they stand for, localised or not.
    Link("pnAttemptingCompTransfer")->Handler = [this] { commands_->OnCompleteTransfer(); };
    Link("pnAttemptingCompConference")->Handler = [this] { commands_->OnCompleteConference(); };
    Link("pnAttemptingCompTransfer")->Label->SetCaption(miCallCompTransfer->Caption());
    Link("pnAttemptingCompConference")->Label->SetCaption(miCallCompConference->Caption());

    switch (state) {
    case csGone:
        ShowIdlePage();
        break;
    case csDialing:
        ShowPageLinks(spDialing, {Cap(capMakeCall), Cap(capDrop)});
        break;
    case csRinging:
        ShowAlertingPage(*call);
        break;
    case csAttempting:
        ShowAttemptingPage(*call);
        break;
    case csConnected:
        ShowConnectedPage(*call);
        break;
    case csHeld:
        ShowPageLinks(spHeld, {calls_.ActiveCallId().empty() || Cap(capAlternate), Cap(capMakeCall)});
        break;
    case csQueued:
        ShowPageLinks(spQueued, {});
        break;
    case csFailed:
        ShowPageLinks(spFailed, {Cap(capDrop)});
        break;
    default:
        break;
    }

    if (state == csGone)
        UpdateIdleIndicators();
}

// Every command disabled and every link copied again; the items the phone's rights hide, hidden.
void TfmKovraAssistant::ResetCommandMenus()
{
    mnWantTo->Clear();
    services_.Messenger->ClientMenusChanged();
    for (auto* item : pmPhone->Items().Items())
        item->SetEnabled(item == miPhoneExit);
    for (auto* item : pmCall->Items().Items())
        item->SetEnabled(false);
    miCallTransferTogether->SetVisible(false);
    miCallConferenceTogether->SetVisible(false);
    for (const auto& page : pageLinks_)
        for (TLink* link : page)
            link->Copy = true;

    miCallCompTransfer->SetVisible(Cap(capCompleteTransfer));
    miCallCompConference->SetVisible(Cap(capCompleteConference));
    miPhonePickupCall->SetVisible(Cap(capPickup));
    miPhoneListenVM->SetVisible(Cap(capVoiceMail));
    miPhoneToggleDND->SetVisible(Cap(capDoNotDisturb));
    miPhoneForward->SetVisible(Cap(capForwardAlways) || Cap(capForwardBusy) || Cap(capForwardNoAnswer) ||
                               Cap(capForwardOutOfService));
    mnForwardList->SetVisible(Cap(capRedirect));
    mnForwardList1->SetVisible(Cap(capRedirect));
    mnForwardList2->SetVisible(Cap(capRedirect));
}

void TfmKovraAssistant::ShowIdlePage()
{
    const bool dnd = miPhoneToggleDND->Visible();
    if (dnd)
        SetDndLink(phoneState_.DoNotDisturb);
    for (TLink* link : pageLinks_[spIdle])
        link->Copy = false;
    // Make call, pick up, listen, DND, forward.
    ShowPageLinks(spIdle, {Cap(capMakeCall), miPhonePickupCall->Visible(), miPhoneListenVM->Visible(), dnd,
                           miPhoneForward->Visible()});
    CopyShownLinks({"pnIdleMakeCall", "pnIdlePickup", "pnIdleForward", "pnIdleListenVM", "pnIdleToggleDND"});
}

void TfmKovraAssistant::ShowAlertingPage(const TCallInfo& call)
{
    Link("pnAlertingInstantMsg")->Copy = false;
    const bool redirect = Cap(capRedirect);
    ShowPageLinks(spAlerting,
                  {AnswerOffered(), Cap(capVoiceMail) && redirect, Cap(capIgnore) && redirect, Cap(capAnswer),
                   true, redirect, StartupInfo().UseMessenger && services_.Messenger->Attached()});
    if (redirect) {
        // A choice redirects to the entry it shows, whatever the list becomes meanwhile. The box
        // is filled again only when the list has changed: this runs for every event while a call
        // rings, and a long forward list would be added line by line each time.
        auto entries = services_.Dialogs->ForwardList();
        std::string none = LocalText("None", "None");
        if (entries != redirectEntries_ || none != redirectNone_ || cbRedirectTo->Items().Count() == 0) {
            redirectEntries_ = std::move(entries);
            redirectNone_ = std::move(none);
            cbRedirectTo->Items().Clear();
            cbRedirectTo->Items().Add(redirectNone_);
            for (const auto& [name, number] : redirectEntries_)
                cbRedirectTo->Items().Add(name);
        }
        cbRedirectTo->SetItemIndex(0);
    }
    RefillInstantMessages(call);
    for (const auto& each : calls_.Listed())
        if (each->Popup)
            each->Popup->SetUp(api_.get(), *each, Capabilities(), services_.Messenger->Attached());
}

void TfmKovraAssistant::ShowAttemptingPage(const TCallInfo& call)
{
    const THeldKinds held = HeldKinds(HeldCalls());
    TLink* transfer = Link("pnAttemptingCompTransfer");
    TLink* conference = Link("pnAttemptingCompConference");
    bool showTransfer = false, showConference = false;
    if (!call.RelatedCallId.empty()) {
        if (call.IsConference())
            showConference = Cap(capCompleteConference);
        else
            showTransfer = Cap(capCompleteTransfer);
    } else if (!held.Conference && held.Single) {
        showTransfer = Cap(capCompleteTransfer);
        transfer->Label->SetCaption(miCallTransferTogether->Caption());
        conference->Label->SetCaption(miCallConferenceTogether->Caption());
        conference->Handler = [this] { commands_->OnAddToConference(); };
    }
    // With one held call the transfer link stands for "Transfer Calls Together".
    const bool together = showTransfer && call.RelatedCallId.empty();
    if (together) {
        transfer->Item = miCallTransferTogether;
        miCallTransferTogether->SetVisible(true);
    }
    ShowPageLinks(spAttempting, {showTransfer, showConference, Cap(capDrop)});
    transfer->Item = miCallCompTransfer;
}

void TfmKovraAssistant::ShowConnectedPage(const TCallInfo& call)
{
    if (call.IsConference()) {
        const bool add = Cap(capSingleStepConference) || Cap(capCompleteConference);
        ShowPageLinks(spConference, {Cap(capHold), true, add, true, Cap(capMakeCall)});
        return;
    }
    if (call.RemoteState == psPrivacyGuard) {
        Link("pnPrivGuardDoNotCall")->Copy = Cap(capPrivacyGuard);
        ShowPageLinks(spPrivacyGuard, {Cap(capPrivacyGuard), Cap(capVoiceMail), true, Cap(capDrop)});
        return;
    }
    const bool restricted = call.RemoteState == psRestricted;
    const THeldKinds held = HeldKinds(HeldCalls());
    const bool related = !call.RelatedCallId.empty();
    const bool meetme = Cap(capRedirect) && !restricted && MeetmeConference() != 0;
    bool transfer = false, transferHeld = false, setupConference = false;
    if (!related) {
        transfer = (Cap(capSingleStepTransfer) || Cap(capConsultTransfer)) && !restricted;
        if (held.Conference) {
            transferHeld = Cap(capCompleteTransfer) && held.Single;
        } else {
            setupConference = (Cap(capSingleStepConference) || Cap(capConsultConference)) && !restricted;
            transferHeld = held.Single;
        }
    }
    TLink* completeTransfer = Link("pnConnectedCompleteTransfer");
    completeTransfer->Copy = false;
    // Hold, end, transfer, transfer to held, complete transfer, meet-me, conference,
    // complete conference, park, make call.
    ShowPageLinks(spConnected,
                  {Cap(capHold), Cap(capDrop), transfer, transferHeld, related && Cap(capCompleteTransfer),
                   meetme, setupConference, related && Cap(capCompleteConference),
                   Cap(capPark) && !restricted, Cap(capMakeCall)});
    if (miCallCompTransfer->Visible()) {
        miCallCompTransfer->SetCaption(LocalText("miCallCompTransfer", "Complete Transfer"));
        txtConnectedCompleteTransfer->SetCaption(miCallCompTransfer->Caption());
        CopyLink(*completeTransfer);
    }
}

void TfmKovraAssistant::SetDndLink(bool on)
{
    const std::string caption = on ? LocalText("txtTurnDnDOff", "Turn off Do Not Disturb")
                                   : LocalText("txtTurnDnDOn", "Turn on Do Not Disturb");
    std::function<void()> handler = [this, on] { on ? commands_->OnSetDndOff() : commands_->OnSetDndOn(); };
    miPhoneToggleDND->SetCaption(caption);
    miPhoneToggleDND->OnClick = [handler](ui::TComponent*) { handler(); };
    txtTurnDnD->SetCaption(caption);
    Link("pnIdleToggleDND")->Handler = handler;
}

void TfmKovraAssistant::UpdateIdleIndicators()
{
    const bool listen = miPhoneListenVM->Enabled();
    pnStatusVM->SetVisible(listen);
    if (listen) {
        pnStatusVM->SetCaption(settings::Substitute(LocalText("pnStatusVMHas", "Voice Mail: %d"), "%d",
                                                    std::to_string(phoneState_.VoiceMailCount)));
    }
    if (!miPhoneToggleDND->Enabled()) {
        if (!miPhoneToggleDND->Visible())
            pnStatusDnD->SetVisible(false);
        return;
    }
    pnStatusDnD->SetVisible(true);
    if (phoneState_.DoNotDisturb) {
        // Tag 0 keeps the look and feel from repainting the warning.
        pnStatusDnD->SetCaption(LocalText("pnStatusDnDOn", "DND"));
        pnStatusDnD->SetTag(0);
        pnStatusDnD->SetColor(ui::clRed);
        pnStatusDnD->Font().SetColor(ui::clWhite);
    } else {
        pnStatusDnD->SetCaption("");
        pnStatusDnD->SetTag(100);
        pnStatusDnD->SetColor(ToToolkitColour(GetColour(100, settings::clBtnFace)));
        pnStatusDnD->Font().SetColor(ToToolkitColour(GetColour(101, settings::clBlack)));
    }
}

} // namespace app
