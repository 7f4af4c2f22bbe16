#include "app/MSNMain.h"
#include "dialogs/SkinBinding.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

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
        if (active && active->LocalState == 1 && Cap(5))
            return true;
        return Cap(4);
    }
    return Cap(5);
}

std::uint32_t TfmKovraAssistant::MeetmeConference() const { return services_.Desktop->MeetmeConferenceId(); }

// Shows the page's panels by the flags (in stacking order), enables their menu items, copies
// them into "I want to..." and stacks the visible ones from the top.
void TfmKovraAssistant::ShowPageLinks(int page, const std::vector<bool>& visible)
{
    const auto& links = PageLinks[static_cast<std::size_t>(page)];
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

void TfmKovraAssistant::UpdateControls()
{
    mnWantTo->Clear();
    services_.Messenger->ClientMenusChanged();
    for (auto* item : pmPhone->Items().Items())
        item->SetEnabled(item == miPhoneExit);
    for (auto* item : pmCall->Items().Items())
        item->SetEnabled(false);
    miCallTransferTogether->SetVisible(false);
    miCallConferenceTogether->SetVisible(false);
    for (const auto& page : PageLinks)
        for (TLink* link : page)
            link->Copy = true;

    miCallCompTransfer->SetVisible(Cap(14));
    miCallCompConference->SetVisible(Cap(15));
    miPhonePickupCall->SetVisible(Cap(10));
    miPhoneListenVM->SetVisible(Cap(2));
    miPhoneToggleDND->SetVisible(Cap(0));
    miPhoneForward->SetVisible(Cap(1) || Cap(23) || Cap(24) || Cap(25));
    mnForwardList->SetVisible(Cap(12));
    mnForwardList1->SetVisible(Cap(12));
    mnForwardList2->SetVisible(Cap(12));

    const TCallInfo* call = SelectedCall();
    const int state = call ? call->LocalState : 0;
    if (state < 0 || state > 7)
        return;
    // The Attempting links read the captions of the menu items they stand for, localised or not.
    Link("pnAttemptingCompTransfer")->Handler = [this] { OnCompleteTransfer(); };
    Link("pnAttemptingCompConference")->Handler = [this] { OnCompleteConference(); };
    Link("pnAttemptingCompTransfer")->Label->SetCaption(miCallCompTransfer->Caption());
    Link("pnAttemptingCompConference")->Label->SetCaption(miCallCompConference->Caption());

    const bool held7 = call && call->RemoteState == 7;
    const auto held = HeldCalls();
    bool heldConference = false, heldSingle = false;
    for (const TCallInfo* h : held)
        (h->IsConference() ? heldConference : heldSingle) = true;

    switch (state) {
    case 0: {
        const bool dnd = miPhoneToggleDND->Visible();
        if (dnd)
            SetDndLink(phoneState_.DoNotDisturb);
        for (TLink* link : PageLinks[spIdle])
            link->Copy = false;
        // Make call, pick up, listen, DND, forward.
        ShowPageLinks(spIdle,
                      {Cap(9), miPhonePickupCall->Visible(), miPhoneListenVM->Visible(), dnd, miPhoneForward->Visible()});
        CopyShownLinks(
            {"pnIdleMakeCall", "pnIdlePickup", "pnIdleForward", "pnIdleListenVM", "pnIdleToggleDND"});
        break;
    }
    case 1:
        ShowPageLinks(spDialing, {Cap(9), Cap(7)});
        break;
    case 2: {
        Link("pnAlertingInstantMsg")->Copy = false;
        const bool redirect = Cap(12);
        ShowPageLinks(spAlerting, {AnswerOffered(), Cap(2) && Cap(12), Cap(20) && Cap(12), Cap(5), true, redirect,
                                   StartupInfo().UseMessenger && services_.Messenger->Attached()});
        if (redirect) {
            // A choice redirects to the entry it shows, whatever the list becomes meanwhile.
            redirectEntries_ = services_.Dialogs->ForwardList();
            cbRedirectTo->Items().Clear();
            cbRedirectTo->Items().Add(LocalText("None", "None"));
            for (const auto& [name, number] : redirectEntries_)
                cbRedirectTo->Items().Add(name);
            cbRedirectTo->SetItemIndex(0);
        }
        RefillInstantMessages(*call);
        for (TCallInfo* each : Calls())
            if (each->Popup)
                each->Popup->SetUp(api_.get(), *each, Capabilities(), services_.Messenger->Attached());
        break;
    }
    case 3: {
        TLink* transfer = Link("pnAttemptingCompTransfer");
        TLink* conference = Link("pnAttemptingCompConference");
        bool showTransfer = false, showConference = false;
        if (!call->RelatedCallId.empty()) {
            if (call->IsConference())
                showConference = Cap(15);
            else
                showTransfer = Cap(14);
        } else if (!heldConference && heldSingle) {
            showTransfer = Cap(14);
            transfer->Label->SetCaption(miCallTransferTogether->Caption());
            conference->Label->SetCaption(miCallConferenceTogether->Caption());
            conference->Handler = [this] { OnAddToConference(); };
        }
        // With one held call the transfer link stands for "Transfer Calls Together".
        const bool together = showTransfer && call->RelatedCallId.empty();
        if (together) {
            transfer->Item = miCallTransferTogether;
            miCallTransferTogether->SetVisible(true);
        }
        ShowPageLinks(spAttempting, {showTransfer, showConference, Cap(7)});
        transfer->Item = miCallCompTransfer;
        break;
    }
    case 4:
        if (call->IsConference()) {
            const bool add = Cap(17) || Cap(15);
            ShowPageLinks(spConference, {Cap(8), true, add, true, Cap(9)});
        } else if (call->RemoteState == 9) {
            Link("pnPrivGuardDoNotCall")->Copy = Cap(6);
            ShowPageLinks(spPrivacyGuard, {Cap(6), Cap(2), true, Cap(7)});
        } else {
            const bool related = !call->RelatedCallId.empty();
            const bool meetme = Cap(12) && !held7 && MeetmeConference() != 0;
            bool transfer = false, transferHeld = false, setupConference = false;
            if (!related) {
                transfer = (Cap(16) || Cap(27)) && !held7;
                if (heldConference) {
                    transferHeld = Cap(14) && heldSingle;
                } else {
                    setupConference = (Cap(17) || Cap(28)) && !held7;
                    transferHeld = heldSingle;
                }
            }
            TLink* completeTransfer = Link("pnConnectedCompleteTransfer");
            completeTransfer->Copy = false;
            // Hold, end, transfer, transfer to held, complete transfer, meet-me, conference,
            // complete conference, park, make call.
            ShowPageLinks(spConnected, {Cap(8), Cap(7), transfer, transferHeld, related && Cap(14), meetme,
                                        setupConference, related && Cap(15), Cap(3) && !held7, Cap(9)});
            if (miCallCompTransfer->Visible()) {
                miCallCompTransfer->SetCaption(LocalText("miCallCompTransfer", "Complete Transfer"));
                txtConnectedCompleteTransfer->SetCaption(miCallCompTransfer->Caption());
                CopyLink(*completeTransfer);
            }
        }
        break;
    case 5:
        ShowPageLinks(spHeld, {calls_.ActiveCallId().empty() || Cap(4), Cap(9)});
        break;
    case 6:
        ShowPageLinks(spQueued, {});
        break;
    case 7:
        ShowPageLinks(spFailed, {Cap(7)});
        break;
    default:
        break;
    }

    if (state == 0)
        UpdateIdleIndicators();
}

void TfmKovraAssistant::SetDndLink(bool on)
{
    const std::string caption = on ? LocalText("txtTurnDnDOff", "Turn off Do Not Disturb")
                                   : LocalText("txtTurnDnDOn", "Turn on Do Not Disturb");
    std::function<void()> handler = [this, on] { on ? OnSetDndOff() : OnSetDndOn(); };
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
        pnStatusDnD->SetColor(ToToolkitColour(GetColour(100, ::clBtnFace)));
        pnStatusDnD->Font().SetColor(ToToolkitColour(GetColour(101, ::clBlack)));
    }
}
