#pragma once
// The notification-area (tray) icon.

#include <memory>
#include <string>

#include "platform/MainLoop.h"
#include "ui/Component.h"

namespace ui {

class TPopupMenu;
class ITrayPeer;

class TTaskBarIcon : public TComponent {
public:
    // The window message the shell sends the icon's events with (WM_USER + 1).
    static constexpr unsigned kCallbackMessage = 0x0400 + 1;
    // The longest tip the wide-character shell call takes.
    static constexpr std::size_t kMaxTipLength = 61;
    static constexpr unsigned kFlashInterval = 500;

    explicit TTaskBarIcon(TComponent* owner);
    ~TTaskBarIcon() override;
    const char* ClassName() const override { return "TTaskBarIcon"; }

    // Visible adds the icon to the notification area; hidden removes it.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    // The tip the shell gets: the hint cut to 61 UTF-16 units.
    std::string Tip() const;
    const TIcon& Icon() const { return icon_; }
    void SetIcon(TIcon icon);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }

    // Alternates the icon with a transparent one every 500 ms; stopping shows the icon again.
    bool Flashing() const { return flashing_; }
    void SetFlashing(bool flashing);
    // During flashing, whether the transparent phase is showing.
    bool ShowingBlank() const { return blankPhase_; }

    TNotifyEvent OnDblClick;
    TNotifyEvent OnClick;

    // The shell's mouse reports (from the back end, or a test).
    void RightButtonDown();
    void ButtonUp();
    void DoubleClick();
    // The session is ending: answers true, and closes the main form (its own close runs) when
    // the icon is shown while the main form exists but is hidden.
    bool QueryEndSession();
    // The shell restarted (its taskbar was re-created): add the icon again.
    void ShellRestarted();

    ITrayPeer* Peer() const { return peer_.get(); }

private:
    void Update();

    bool visible_ = false;
    std::string hint_;
    TIcon icon_;
    TPopupMenu* popupMenu_ = nullptr;
    bool flashing_ = false;
    bool blankPhase_ = false;
    platform::Timer flashTimer_;
    std::unique_ptr<ITrayPeer> peer_;
};

} // namespace ui
