#include "dialogs/MSNCallDisp.h"

#include <algorithm>

#include "dialogs/CannedMessages.h"
#include "settings/otutil.h"

using namespace api;
using namespace settings;

namespace dialogs {

namespace {

constexpr int kWidth = 250;
constexpr int kHeaderHeight = 40;
constexpr int kRowHeight = 20;
constexpr int kFadeStep = 10;
const char* const kMessageHeader = "Mime-Version: 1.0\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
constexpr int kMessageTypeText = 2;
constexpr unsigned kErrorBoxFlags = 0x10; // OK button, error icon

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 22 + kHeaderHeight + 8 * kRowHeight + 2;
    design.CloseImage = "imClose";
    design.CloseHint = "Close this window";
    design.Position = ui::TPosition::poDesigned;
    return design;
}

} // namespace

TfmCallDisposition::TfmCallDisposition(ui::TComponent* owner, ICallDispositionHost& host,
                                       TKovraAssistantConfig& config, TPopupTimings timings)
    : TKovraDialog(owner, Design()), host_(host), config_(config)
{
    SetName("fmCallDisposition");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    // Screen readers announce it as it appears, with the caller (ShowCaller names it).
    SetAccessibleRole(ui::TAccessibleRole::Alert);
    imClose = imCaption;
    imClose->OnClick = [this](ui::TComponent*) { StartFadeOut(); };

    pnHeader = Add<ui::TUnicodePanel>(pnBody, "pnHeader", 0, 0, kWidth, kHeaderHeight, crPopupHeader);
    pnHeader->SetAlign(ui::TAlign::alTop);
    txtAlertingCallFrom = AddLabel(pnHeader, "txtAlertingCallFrom", "Call from", 6, 4, 56, crPopupHeaderText);
    txtCallerName = AddLabel(pnHeader, "txtCallerName", "", 64, 4, kWidth - 70, crPopupHeaderText);
    txtCallerName->Font().SetStyle(ui::fsBold);
    txtAlertingCallAt = AddLabel(pnHeader, "txtAlertingCallAt", "at", 6, 20, 56, crPopupHeaderText);
    txtCallerNumber = AddLabel(pnHeader, "txtCallerNumber", "", 64, 20, kWidth - 70, crPopupHeaderText);

    pnRows =
        Add<ui::TUnicodePanel>(pnBody, "pnRows", 0, kHeaderHeight, kWidth, 8 * kRowHeight + 2, crPopupRow);
    pnRows->SetAlign(ui::TAlign::alClient);
    pnAlertingAnswer =
        AddRow("pnAlertingAnswer", "txtAnswerCall", "Answer the call", &TfmCallDisposition::AnswerClick);
    pnAlertingAnswerControl =
        AddRow("pnAlertingAnswerControl", "txtAnswerAndControl", "Answer && Control the call",
               &TfmCallDisposition::AnswerAndControlClick);
    pnAlertingSendToVM = AddRow("pnAlertingSendToVM", "txtRedirectToVM", "Send to Voice Mail",
                                &TfmCallDisposition::SendToVoiceMailClick);
    pnAlertingIgnoreCall = AddRow("pnAlertingIgnoreCall", "txtRedirectToVRing", "Ignore the call",
                                  &TfmCallDisposition::IgnoreClick);
    pnAlertingHoldCall =
        AddRow("pnAlertingHoldCall", "txtAlertingHold", "Hold the call", &TfmCallDisposition::HoldClick);
    pnAlertingCallLater = AddRow("pnAlertingCallLater", "txtAlertingCallLater", "Call later...",
                                 &TfmCallDisposition::CallLaterClick);
    pnAlerttingRedirectCall =
        AddRow("pnAlerttingRedirectCall", "txtAlertingRedirect", "Redirect the call", nullptr);
    pnAlertingInstantMsg = AddRow("pnAlertingInstantMsg", "txtAlertingIM", "Instant Message", nullptr);
    txtAnswerCall = Find<ui::TUnicodeLabel>("txtAnswerCall");
    txtAnswerAndControl = Find<ui::TUnicodeLabel>("txtAnswerAndControl");
    txtRedirectToVM = Find<ui::TUnicodeLabel>("txtRedirectToVM");
    txtRedirectToVRing = Find<ui::TUnicodeLabel>("txtRedirectToVRing");
    txtAlertingHold = Find<ui::TUnicodeLabel>("txtAlertingHold");
    txtAlertingCallLater = Find<ui::TUnicodeLabel>("txtAlertingCallLater");
    txtAlertingRedirect = Find<ui::TUnicodeLabel>("txtAlertingRedirect");
    txtAlertingIM = Find<ui::TUnicodeLabel>("txtAlertingIM");
    txtAlertingRedirect->SetWidth(110);
    txtAlertingIM->SetWidth(110);

    cbRedirectTo =
        Add<ui::TUnicodeComboBox>(pnAlerttingRedirectCall, "cbRedirectTo", 120, 0, 124, 20, crPopupRow);
    cbRedirectTo->SetStyle(ui::TComboBoxStyle::csDropDownList);
    cbRedirectTo->OnSelect = [this](ui::TComponent*) { RedirectSelected(); };
    cbIM = Add<ui::TUnicodeComboBox>(pnAlertingInstantMsg, "cbIM", 120, 0, 124, 20, crPopupRow);
    cbIM->OnSelect = [this](ui::TComponent*) { InstantMessageSelected(); };
    EditCannedMessagesInPlace(*cbIM, config_);

    tmShow = new ui::TTimer(this);
    tmShow->SetName("tmShow");
    tmShow->SetEnabled(false);
    tmShow->SetInterval(timings.FadeStep);
    tmShow->OnTimer = [this](ui::TComponent*) { tmShowTimer(); };
    tmCloseWindow = new ui::TTimer(this);
    tmCloseWindow->SetName("tmCloseWindow");
    tmCloseWindow->SetInterval(timings.AutoClose);
    tmCloseWindow->OnTimer = [this](ui::TComponent*) { StartFadeOut(); };
    tmCloseWindow->SetEnabled(false);

    OnClose = [this](ui::TComponent*, ui::TCloseAction& action) { FormClosed(action); };
    OnKeyDown = [this](ui::TComponent*, std::uint16_t& key, ui::TShiftState shift) {
        PopupKeyDown(key, shift);
    };
    FinishCreation();
}

ui::TUnicodePanel* TfmCallDisposition::AddRow(const std::string& panel, const std::string& label,
                                              const std::string& caption,
                                              void (TfmCallDisposition::*action)())
{
    auto* row = Add<ui::TUnicodePanel>(pnRows, panel, 0, 1, kWidth, kRowHeight, crPopupRow);
    // Transparent: the link text takes the link colour over the row's.
    auto* link = AddLabel(row, label, caption, 10, 2, kWidth - 20, crPopupLink);
    link->SetIsLink(true);
    if (action) {
        link->SetCursor(ui::TCursor::crHandPoint);
        link->OnClick = [this, action](ui::TComponent*) { (this->*action)(); };
    }
    return row;
}

std::vector<ui::TUnicodePanel*> TfmCallDisposition::Rows() const
{
    return {pnAlertingAnswer,   pnAlertingAnswerControl, pnAlertingSendToVM,      pnAlertingIgnoreCall,
            pnAlertingHoldCall, pnAlertingCallLater,     pnAlerttingRedirectCall, pnAlertingInstantMsg};
}

void TfmCallDisposition::SetUp(const TCallerInfo& caller, std::uint32_t capabilities, bool answerOffered)
{
    caller_ = caller;
    capabilities_ = capabilities;
    // The fade starts at its first step: at 0 the pop-up would be shown yet unseen until the
    // timer's first tick (40 ms or more after the ring).
    if (!showing_) {
        showing_ = true;
        fadingOut_ = false;
        SetAlphaBlend(true);
        SetAlphaBlendValue(kFadeStep);
        tmCloseWindow->SetEnabled(true);
    }
    ShowCaller(caller);
    ConfigureRows(capabilities, answerOffered);
    PlaceInCorner();
    ShowForm();
    // A refresh while the pop-up is leaving does not call it back.
    if (!fadingOut_ && AlphaBlendValue() < 255)
        tmShow->SetEnabled(true);
}

void TfmCallDisposition::ShowCaller(const TCallerInfo& caller)
{
    const std::string unknown = UnknownText();
    std::string name = caller.Name.empty() ? unknown : caller.Name;
    std::string number = caller.Number.empty() ? std::string() : FormatPhoneNumber(caller.Number);
    if (caller.Name.empty() && number.empty())
        number = unknown;
    if (caller.Urgent)
        name = DialogText("Urgent", "Urgent") + " " + name;
    txtCallerName->SetCaption(name);
    txtCallerNumber->SetCaption(number);
    SetAccessibleName(txtAlertingCallFrom->DisplayCaption() + " " + name +
                      (number.empty() ? "" : ", " + number));
}

void TfmCallDisposition::ConfigureRows(std::uint32_t capabilities, bool answerOffered)
{
    capabilities_ = capabilities;
    pnAlertingAnswer->SetVisible(answerOffered);
    pnAlertingAnswerControl->SetVisible(answerOffered);
    pnAlertingSendToVM->SetVisible(HasCapability(capabilities_, capVoiceMail) &&
                                   HasCapability(capabilities_, capRedirect));
    pnAlertingIgnoreCall->SetVisible(HasCapability(capabilities_, capIgnore) &&
                                     HasCapability(capabilities_, capRedirect));
    pnAlertingHoldCall->SetVisible(HasCapability(capabilities_, capAnswer));
    pnAlertingCallLater->SetVisible(true);
    pnAlerttingRedirectCall->SetVisible(HasCapability(capabilities_, capRedirect));

    if (pnAlerttingRedirectCall->Visible())
        FillRedirectList();

    const auto contact = host_.FindContact(caller_.Number);
    const bool messaging = contact && contact->Status == kContactOnline;
    pnAlertingInstantMsg->SetVisible(messaging);
    if (messaging)
        LoadCannedMessages(cbIM->Items(), config_);

    int top = 1;
    for (ui::TUnicodePanel* row : Rows())
        if (row->Visible()) {
            row->SetBounds(0, top, kWidth, kRowHeight);
            top += kRowHeight;
        }
    SetHeight(pnCaption->Height() + kHeaderHeight + top + 1);
}

// The drop-down is built again only when the forward list (or its first line) has changed since
// the last ring: under Wine rebuilding it costs about half a millisecond before the pop-up shows.
void TfmCallDisposition::FillRedirectList()
{
    std::vector<TForwardEntry> entries = host_.ForwardEntries();
    const std::string none = DialogText("None", "None");
    ui::TItemList& items = cbRedirectTo->Items();
    const bool same = items.Count() == static_cast<int>(entries.size()) + 1 && items.Strings(0) == none &&
                      std::equal(entries.begin(), entries.end(), forwardEntries_.begin(),
                                 forwardEntries_.end(), [](const TForwardEntry& a, const TForwardEntry& b) {
                                     return a.Name == b.Name && a.Number == b.Number;
                                 });
    if (!same) {
        forwardEntries_ = std::move(entries);
        items.Clear();
        items.Add(none);
        for (TForwardEntry& entry : forwardEntries_)
            items.Add(entry.Name, &entry);
    }
    cbRedirectTo->SetItemIndex(0);
}

void TfmCallDisposition::PlaceInCorner()
{
    PlaceInWorkAreaCorner(MonitorWorkArea());
}

void TfmCallDisposition::tmShowTimer()
{
    tmShow->SetEnabled(false);
    if (!fadingOut_) {
        const int value = AlphaBlendValue() + kFadeStep;
        if (value > 244) {
            SetAlphaBlendValue(255);
            return;
        }
        SetAlphaBlendValue(value);
    } else {
        if (AlphaBlendValue() - kFadeStep < 1) {
            SetAlphaBlendValue(0);
            Close();
            return;
        }
        SetAlphaBlendValue(AlphaBlendValue() - kFadeStep);
    }
    tmShow->SetEnabled(true);
}

void TfmCallDisposition::StartFadeOut()
{
    tmCloseWindow->SetEnabled(false);
    if (fadingOut_ || !showing_)
        return;
    fadingOut_ = true;
    tmShow->SetEnabled(true);
}

void TfmCallDisposition::CloseNow()
{
    tmShow->SetEnabled(false);
    tmCloseWindow->SetEnabled(false);
    Close();
}

void TfmCallDisposition::FormClosed(ui::TCloseAction& action)
{
    action = ui::TCloseAction::caHide;
    if (!showing_)
        return;
    showing_ = false;
    // A click that comes after the close acts on no call.
    caller_ = {};
    tmShow->SetEnabled(false);
    tmCloseWindow->SetEnabled(false);
    if (OnPopupClosed)
        OnPopupClosed();
}

void TfmCallDisposition::AnswerClick()
{
    if (caller_.CallId.empty())
        return;
    if (OnAnswer)
        OnAnswer(caller_.CallId);
    else if (HasCapability(capabilities_, capAnswer))
        host_.AnswerCall(caller_.CallId);
    StartFadeOut();
}

// The pop-up shows without taking the keyboard; once the user brings it forward, Enter or Alt+A
// answers and Esc dismisses it like the close image. A focused link or drop-down keeps Enter.
void TfmCallDisposition::PopupKeyDown(std::uint16_t& key, ui::TShiftState shift)
{
    if (fadingOut_)
        return;
    const bool answer =
        (key == ui::VK_RETURN_KEY && shift == 0 && !ActiveControl()) || (key == 'A' && shift == ui::ssAlt);
    if (answer && pnAlertingAnswer->Visible()) {
        AnswerClick();
        key = 0;
    } else if (key == ui::VK_ESCAPE_KEY && shift == 0 && !cbIM->DroppedDown() &&
               !cbRedirectTo->DroppedDown()) {
        StartFadeOut();
        key = 0;
    }
}

void TfmCallDisposition::AnswerAndControlClick()
{
    if (caller_.CallId.empty())
        return;
    AnswerClick();
    host_.ShowMainWindow();
}

void TfmCallDisposition::SendToVoiceMailClick()
{
    if (!caller_.CallId.empty())
        host_.RedirectCall(caller_.CallId, "", 2);
}

void TfmCallDisposition::IgnoreClick()
{
    if (!caller_.CallId.empty())
        host_.RedirectCall(caller_.CallId, "", 3);
}

void TfmCallDisposition::HoldClick()
{
    if (caller_.CallId.empty())
        return;
    host_.HoldCall(caller_.CallId);
    StartFadeOut();
}

void TfmCallDisposition::CallLaterClick()
{
    if (caller_.CallId.empty())
        return;
    if (HasCapability(capabilities_, capVoiceMail))
        host_.RedirectCall(caller_.CallId, "", 2);
    const auto contact = host_.FindContact(caller_.Number);
    host_.AddCallLater(contact ? contact->Id : std::string(), caller_.Name, caller_.Number, 10);
}

void TfmCallDisposition::RedirectSelected()
{
    const int index = cbRedirectTo->ItemIndex();
    if (caller_.CallId.empty() || index < 1)
        return;
    const auto* entry = cbRedirectTo->Items().ObjectAs<TForwardEntry>(index);
    if (!entry)
        return;
    host_.RedirectCall(caller_.CallId, entry->Number, 1);
    StartFadeOut();
}

void TfmCallDisposition::InstantMessageSelected()
{
    if (caller_.CallId.empty())
        return;
    const auto contact = host_.FindContact(caller_.Number);
    if (contact && contact->Status == kContactOnline &&
        host_.SendInstantMessage(*contact, kMessageHeader, cbIM->Text(), kMessageTypeText))
        return;
    ui::Application->MessageBox(
        DialogText("IMCannotSendMessage", "Unable to send message.") + "\r\r" +
            DialogText("IMCannotFindUser", "Cannot find Instant Messenger user or user is not online."),
        ApplicationTitle(), kErrorBoxFlags);
}

} // namespace dialogs
