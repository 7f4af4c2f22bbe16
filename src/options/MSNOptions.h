#pragma once
// TfmOptions ("Configuration"): the long-lived settings window. It hosts the connection log and
// the Reconnect action, the canned instant messages, the call-later list with its one-second
// countdown, the forward list and the confirmation switches. Closing it in any way only hides it
// and calls the save handler, so edited settings reach the server. Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/DialogFrame.h"
#include "options/DesktopPreferences.h"
#include "options/MSNOptionsLists.h"
#include "settings/DialingRules.h"
#include "settings/MSNConfig.h"

namespace api {
class TKovraAPI;
}

namespace options {

// What the window needs of the session; the main window fills it from its start-up information.
struct TOptionsSession {
    api::TKovraAPI* Api = nullptr;
    // The device as the session knows it now: the server names it anew at every log-in.
    std::function<std::string()> Device;
    std::string Phone;
    std::string Password;
    std::string Server1;
    std::string Server2;
    bool Messenger = false;
    std::function<bool()> LoggedIn;
};

struct TOptionsTimings {
    unsigned MonitorStopWait = 4000;
    unsigned LogoutWait = 6000;
    unsigned DisconnectWait = 6000;
    unsigned Settle = 3000;
    unsigned Step = 50;
    unsigned CountDown = 1000;
};

enum TOptionsPage {
    opConnection,
    opMessenger,
    opPhone,
    opMessages,
    opCallLater,
    opForward,
    opPreferences,
    opHistory
};

// One finished call as the History page lists it.
struct THistoryRow {
    std::string Kind; // "Incoming", "Outgoing" or "Missed"
    std::string Name;
    std::string Number;
    std::string When;
    std::string Duration;
    // What "Call back" dials: the number as written, where Number shows the dialled one beside it.
    std::string CallBackNumber = {};
    // CallBackNumber is what the phone dials, not a number for the dialing rules.
    bool CallBackAsItStands = false;
};

class TfmOptions : public dialogs::TKovraDialog {
public:
    static constexpr int kHeightWithMessenger = 669;
    static constexpr int kHeightWithout = 435;
    static constexpr std::size_t kLogLimit = 500;
    static constexpr int kMessageLength = 80;

    TfmOptions(ui::TComponent* owner, TOptionsLists& lists,
               settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig(),
               TOptionsTimings timings = {});
    ~TfmOptions() override;

    void SetSession(TOptionsSession session);
    // Only the first call counts.
    void Initialise(std::uint32_t capabilities);
    bool Initialised() const { return initialised_; }
    // After the main window read the settings document again: once initialised, the lists,
    // messages and switches come from it again (opened before log-in they were read from none).
    void ReloadSettings();
    void ShowPage(int index);
    void AddLogLine(const std::string& text, bool withTime);
    void UpdateStatus();
    void Reconnect();
    bool Reconnecting() const { return reconnecting_; }
    void ClearReconnecting() { reconnecting_ = false; }
    // Frees the window now, or once Reconnect, or a question the window asks, has returned.
    void Retire();
    void SetCallState(int state) { lists_.SetCallState(state); }
    // Hides the window and calls the save handler.
    void HideOptions();
    void UpdateButtons();
    // One tick of the countdown (the timer's work).
    void CountDownTick();

    // The main window's configuration save.
    std::function<void()> OnSave;

    // History page (MSNOptionsHistory.cpp): its rows come from the main window each time it is
    // shown, which also tells the main window the user has seen them; "Call back" dials the number.
    std::function<std::vector<THistoryRow>()> OnHistoryShown;
    std::function<void(const std::string& number, bool asItStands)> OnCallBack;
    void FillHistory();
    void CallBack();
    ui::TListView* lbHistory;
    ui::TUnicodePanel* btCallBack;

    // Hotkeys and the screen-pop address on the Preferences page (MSNOptionsDesktop.cpp). A text is
    // checked when the user leaves its box: a refused one shows why and the stored one comes back.
    // The main window applies the stored preferences and answers what it could not apply.
    std::function<std::string()> OnDesktopChanged;
    std::array<ui::TEdit*, hkCount> edHotkeys{};
    ui::TEdit* edScreenPop;
    ui::TUnicodeLabel* txtDesktopStatus;
    void HotkeyExit(int command);
    void ScreenPopExit();
    // The dialing rules below them, kept in their own section; digits only, a refused value shows
    // why and the stored one comes back.
    std::array<ui::TEdit*, settings::TDialingRules::dfCount> edDialing{};
    void DialingExit(int field);

    ui::TUnicodeTabSet* TabSet;
    ui::TNotebook *Notebook, *nbButtons;
    // A transparent line, so its colour role colours the text.
    ui::TUnicodeLabel* pnServerStatus;
    ui::TUnicodeListBox* meLog;
    ui::TUnicodePanel *edServer1, *edServer2, *edPhone;
    ui::TImage* imClear;
    ui::TUnicodeListBox* lbMessages;
    ui::TEdit* edMessage;
    ui::TListView *lbCallLater, *lbForward;
    ui::TUnicodeLightCheckBox *cbConfirmExit, *cbConfirmCLDel, *cbConfirmFwdDel;
    ui::TUnicodePanel *btReconnect, *btMessagesAdd, *btMessagesEdit, *btMessagesDel, *btCallLaterAdd,
        *btCallLaterEdit, *btCallLaterDel, *btForwardAdd, *btForwardEdit, *btForwardDel;
    ui::TTimer* tmCallLater;
    // The rule pages: one group per status or phone state, its Tag the code (MSNOptionsRules.cpp).
    std::array<ui::TUnicodeGroupBox*, 7> gbMsgrRules{}, gbPhoneRules{};
    std::array<ui::TUnicodeLabel*, 7> lbMsgrRule{}, lbPhoneRule{}, lbPhoneCondition{};
    // The target status's icon, in the blanks that open each phone rule's caption.
    ui::TImageList* imStates;
    std::array<ui::TImage*, 7> imPhoneRule{};
    // Shows the rules as they are now.
    void ShowRules();

    // Canned messages.
    void MessagesAdd();
    void MessagesEdit();
    void MessagesDelete();
    void MessageKeyDown(std::uint16_t& key);
    void MessageExit();
    void SaveMessages();
    // The list rows' entries.
    void ForwardDelete();
    void CallLaterEdit();
    void CallLaterDelete();

private:
    void BuildConnectionPage();
    void BuildMessagesPage();
    void BuildRulesPages();
    void BuildCallLaterPage();
    void BuildForwardPage();
    void BuildPreferencesPage();
    void BuildHistoryPage();
    void BuildDesktopPreferences(ui::TPage* page);
    void LoadDesktopPreferences();
    void DesktopChanged();
    ui::TUnicodePanel* AddPageButton(int page, const char* name, const char* caption, int left,
                                     std::function<void()> action);
    void BuildTabs(std::uint32_t capabilities);
    void PageChanged();
    void FillForwardView();
    void FillCallLaterView();
    void LoadMessages();
    void LoadSettings();
    void PlaceMessageEditor(int row);
    // Runs window messages until done or the time is up; false when the window went meanwhile.
    bool WaitUntil(unsigned ms, const std::function<bool()>& done);
    void Detach();
    std::string Device() const;
    bool LoggedIn() const;

    TOptionsLists& lists_;
    settings::TKovraAssistantConfig& config_;
    TOptionsTimings timings_;
    TOptionsSession session_;
    bool initialised_ = false;
    bool reconnecting_ = false;
    bool retired_ = false;
    // Each History row's CallBackNumber.
    std::vector<std::pair<std::string, bool>> historyNumbers_; // CallBackNumber, CallBackAsItStands
};

// The options window while it exists.
extern TfmOptions* fmOptions;

} // namespace options
