#pragma once
// TDesktopIntegration: what the main window does with the rest of the desktop. Global hotkeys run
// the window's commands on the calls they are for, the clipboard's number is dialled, a ringing
// call opens the screen-pop address, and the tray tip shows the window's state with the missed
// calls under it. The window keeps the components and the wiring; this part decides. Main thread
// only.

#include <string>

#include "app/AssistantSeams.h"
#include "app/CallHistory.h"
#include "app/CallTracker.h"
#include "options/DesktopPreferences.h"

namespace app {

class TfmKovraAssistant;
class TCallInfo;

class TDesktopIntegration {
public:
    // The window outlives its part; the tracker, the history and the services are the window's.
    TDesktopIntegration(TfmKovraAssistant& form, const TCallTracker& calls, TCallHistory& history,
                        const TAssistantServices& services);

    // The hotkeys registered again and the screen-pop address read, from the stored section.
    // Returns what could not be registered, empty when all were; the status bar shows it too.
    std::string ApplyPreferences();
    // A hotkey pressed (its THotkeyCommand).
    void RunHotkey(int command);
    void DialClipboard();
    // A ringing call opens the screen-pop address once.
    void ScreenPop(TCallInfo& call);

    // The tray tip: the given text, with the missed calls under it.
    void SetTrayHint(const std::string& text);
    // The missed calls changed: the tip is shown again.
    void ShowTrayHint();
    // The user looked at the history: its missed calls leave the tray tip.
    void HistorySeen();

private:
    void AnswerOrAlternate();
    void HoldOrRetrieve();
    // Selects the call in the list, as a click would; false when it is not listed.
    bool SelectCall(const std::string& oid);

    TfmKovraAssistant& form_;
    const TCallTracker& calls_;
    TCallHistory& history_;
    const TAssistantServices& services_;
    options::TDesktopPreferences preferences_;
    std::string trayHint_;
};

} // namespace app
