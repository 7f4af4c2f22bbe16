#pragma once
// TfmCallDisposition: the pop-up for a ringing call. It fades in at the bottom-right corner of the
// work area, names the caller and offers what the capability mask allows; it fades out after an
// action, on its close image or after a minute, and then hides. Its owner keeps it for the next
// ringing call: building one costs far more than refilling it. Main thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "api/KovraCodes.h"
#include "dialogs/DialogFrame.h"
#include "dialogs/DialogLists.h"
#include "settings/MSNConfig.h"

namespace dialogs {

struct TCallerInfo {
    std::string CallId;
    std::string Name; // UTF-8
    std::string Number;
    bool Urgent = false;
};

struct TMessengerContact {
    std::string Id;
    int Status = 0;     // 2: online
    std::string Number; // the one it was found by, which names it where display names repeat
};
constexpr int kContactOnline = 2;

// What the pop-up asks of the program: requests for the call, the messaging client, the main
// window and the user's lists.
class ICallDispositionHost : public IDialogLists {
public:
    virtual void AnswerCall(const std::string& /*oid*/) {}
    virtual void RedirectCall(const std::string& /*oid*/, const std::string& /*destination*/, int /*mode*/) {}
    virtual void HoldCall(const std::string& /*oid*/) {}
    // None without messenger integration.
    virtual std::optional<TMessengerContact> FindContact(const std::string& /*number*/)
    {
        return std::nullopt;
    }
    virtual bool SendInstantMessage(const TMessengerContact&, const std::string& /*header*/,
                                    const std::string& /*text*/, int /*type*/)
    {
        return false;
    }
    // Shows the main window when hidden and brings it to the foreground.
    virtual void ShowMainWindow() {}
};

struct TPopupTimings {
    unsigned FadeStep = 40;
    unsigned AutoClose = 60000;
};

class TfmCallDisposition : public TKovraDialog {
public:
    TfmCallDisposition(ui::TComponent* owner, ICallDispositionHost& host,
                       settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig(),
                       TPopupTimings timings = {});

    // Places and shows the pop-up for the call, from the start of its fade; again while it is up,
    // it refreshes texts and rows without starting the fade over.
    void SetUp(const TCallerInfo& caller, std::uint32_t capabilities, bool answerOffered);

    // The answer handler (the main window's answer-or-alternate); without it capAnswer answers.
    std::function<void(const std::string& oid)> OnAnswer;
    // Runs once per showing, when the pop-up has faded out or was closed (it is hidden then).
    std::function<void()> OnPopupClosed;

    void AnswerClick();
    void AnswerAndControlClick();
    void SendToVoiceMailClick();
    void IgnoreClick();
    void HoldClick();
    void CallLaterClick();
    void RedirectSelected();
    void InstantMessageSelected();
    void StartFadeOut();
    bool FadingOut() const { return fadingOut_; }
    // Closes at once, without fading (the main window, when the call stops ringing).
    bool Showing() const { return showing_; }
    void CloseNow();

    // Every offer row, in stacking order.
    std::vector<ui::TUnicodePanel*> Rows() const;

    ui::TUnicodePanel* pnHeader;
    ui::TUnicodeLabel *txtAlertingCallFrom, *txtCallerName, *txtAlertingCallAt, *txtCallerNumber;
    ui::TUnicodePanel* pnRows;
    ui::TUnicodePanel *pnAlertingAnswer, *pnAlertingAnswerControl, *pnAlertingSendToVM, *pnAlertingIgnoreCall,
        *pnAlertingHoldCall, *pnAlertingCallLater, *pnAlerttingRedirectCall, *pnAlertingInstantMsg;
    ui::TUnicodeLabel *txtAnswerCall, *txtAnswerAndControl, *txtRedirectToVM, *txtRedirectToVRing,
        *txtAlertingHold, *txtAlertingCallLater, *txtAlertingRedirect, *txtAlertingIM;
    ui::TUnicodeComboBox *cbRedirectTo, *cbIM;
    ui::TImage* imClose;
    ui::TTimer *tmShow, *tmCloseWindow;

private:
    ui::TUnicodePanel* AddRow(const std::string& panel, const std::string& label, const std::string& caption,
                              void (TfmCallDisposition::*action)());
    void ShowCaller(const TCallerInfo& caller);
    void ConfigureRows(std::uint32_t capabilities, bool answerOffered);
    void FillRedirectList();
    void PlaceInCorner();
    void tmShowTimer();
    void FormClosed(ui::TCloseAction& action);
    void PopupKeyDown(std::uint16_t& key, ui::TShiftState shift);

    ICallDispositionHost& host_;
    settings::TKovraAssistantConfig& config_;
    TCallerInfo caller_;
    std::uint32_t capabilities_ = 0;
    std::vector<TForwardEntry> forwardEntries_;
    // From SetUp to the close: a call is shown and its links act on it.
    bool showing_ = false;
    bool fadingOut_ = false;
};

} // namespace dialogs
