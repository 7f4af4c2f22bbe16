#pragma once
// Forms, the application object and timers.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/MainLoop.h"
#include "ui/Component.h"

namespace ui {

class TMainMenu;
class TUnicodeHintWindow;

enum class TFormBorderStyle { bsNone, bsSingle, bsDialog, bsSizeable };
enum class TPosition { poDesigned, poDesktopCenter, poScreenCenter, poOwnerFormCenter, poMainFormCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseQueryEvent = std::function<void(TComponent* sender, bool& canClose)>;
using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;

class TForm : public TControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    const char* ClassName() const override { return "TForm"; }
    TControlKind Kind() const override { return TControlKind::Form; }
    bool AcceptsChildren() const override { return true; }

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool on);
    // 0 (invisible) .. 255 (opaque); used while AlphaBlend is on.
    int AlphaBlendValue() const { return alphaValue_; }
    void SetAlphaBlendValue(int value);
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);

    // The work area of the monitor the form is on (screen pixels).
    TRect MonitorWorkArea() const;
    // Puts the form's bottom-right corner on the area's, at the size it has on its monitor.
    void PlaceInWorkAreaCorner(TRect area);

    // Shows the form (placed by Position the first time) and brings it to the front.
    void ShowForm();
    void HideForm();
    // Asks OnCloseQuery, then OnClose decides: hide (the default), free, or nothing. A modal
    // form closed this way ends its modal loop with mrCancel.
    void Close();
    // Runs a nested loop until ModalResult is set, the form is hidden or the program quits;
    // every other form is disabled meanwhile.
    TModalResult ShowModal();
    bool Modal() const { return modal_; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    // Frees the form once the current event has finished (safe from the form's own handlers).
    // No form is freed under a modal loop of its own or of a form it owns: those loops end with
    // mrCancel and the form goes once the last of them has returned.
    void Release();
    // Frees the form now, or as Release does while it or a form it owns runs a modal loop.
    void Free();
    // Whether the form, or a form it owns, runs a modal loop; a message box counts for every form,
    // since the code that opened it may belong to any of them and runs on once it returns.
    bool UnderModalLoop() const;
    // Any thread: runs work on the main thread later, and not at all once the form is gone.
    void Post(std::function<void()> work);
    // Raises OnCreate; forms call it at the end of their constructor (CreateForm does it too).
    void DoCreate();
    bool ModalDisabled() const { return modalDisabled_; }

    // A key pressed in the form, target being the control with the keyboard (or the form):
    // OnKeyDown sees it first, then Tab moves on, then the target; returns what is left.
    std::uint16_t KeyPressed(TControl* target, std::uint16_t key, TShiftState shift);
    // The tab stop after (or before) from in the form's reading order (each container's children
    // by rows from the top, each row from the left), round the end; none without one.
    TControl* NextTabStop(const TControl* from, bool forward) const;
    // The control that has the keyboard, none when the form itself (or another window) has it.
    TControl* ActiveControl() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;
    // Every key pressed in the form, before the control with the keyboard (set it to 0 to keep it).
    TKeyEvent OnKeyDown;

private:
    friend class TApplication;
    void PlaceByPosition();
    void SetModalDisabled(bool disabled);
    void PostFree();
    bool Owns(const TForm* form) const;

    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSingle;
    TPosition position_ = TPosition::poDesigned;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    bool alphaBlend_ = false;
    int alphaValue_ = 255;
    TMainMenu* menu_ = nullptr;
    bool placed_ = false;
    bool modal_ = false;
    bool modalDisabled_ = false;
    bool destroyRaised_ = false;
    bool released_ = false;
    TModalResult modalResult_ = mrNone;
    std::shared_ptr<const bool> life_ = std::make_shared<const bool>(true);
};

class TApplication {
public:
    TApplication();
    ~TApplication();

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    const TIcon& Icon() const { return icon_; }
    void SetIcon(TIcon icon);

    // Creates a form, raises its OnCreate and makes the first one the main form.
    template <class T, class... Args> T* CreateForm(Args&&... args)
    {
        T* form = new T(std::forward<Args>(args)...);
        if (!mainForm_)
            mainForm_ = form;
        form->DoCreate();
        return form;
    }
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool show) { showMainForm_ = show; }
    // Every form alive, in creation order.
    const std::vector<TForm*>& Forms() const { return forms_; }

    // Runs the main loop until Terminate (or the main form closes).
    void Run();
    void Terminate();
    bool Terminated() const;
    void ProcessMessages() { platform::ProcessMessages(0); }
    // Clears Terminated (and SessionEnding); for tests that run several programs' worth of loops
    // in one process.
    void ResetTerminated()
    {
        terminated_ = false;
        sessionEnding_ = false;
    }
    // The window system's session is ending (log-off, shut-down): the process is ended seconds
    // after its windows have answered, so whatever closes meanwhile neither asks nor waits long.
    bool SessionEnding() const { return sessionEnding_; }
    void SetSessionEnding(bool ending) { sessionEnding_ = ending; }

    bool TaskbarButtonVisible() const { return taskbarButton_; }
    void HideTaskbarButton();
    void ShowTaskbarButton();
    // The first monitor's work area, asked for once and again after WorkAreaChanged.
    TRect WorkArea();
    // The taskbar has moved or the displays have changed.
    void WorkAreaChanged() { workAreaKnown_ = false; }
    bool ShiftHeld() const;
    TPoint CursorPos() const;
    TCursor ScreenCursor() const { return screenCursor_; }
    void SetScreenCursor(TCursor cursor);
    // Forms freed while the box is open go once it has returned.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

    // Hints: the window shows a control's hint while the mouse rests on it.
    TUnicodeHintWindow* HintWindow();
    void ShowHintFor(TControl* control);
    void CancelHint(TControl* control);

private:
    friend class TForm;

    std::string title_;
    TIcon icon_;
    TForm* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;
    bool sessionEnding_ = false;
    int messageBoxes_ = 0;
    bool taskbarButton_ = true;
    bool workAreaKnown_ = false;
    TRect workArea_;
    TCursor screenCursor_ = TCursor::crDefault;
    std::vector<TForm*> forms_;
    std::unique_ptr<TUnicodeHintWindow> hintWindow_;
    TControl* hintControl_ = nullptr;
    std::unique_ptr<platform::Timer> hintTimer_;
};

extern TApplication* const Application;

// A component timer on the platform loop; it ticks inside modal loops and menus too.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    const char* ClassName() const override { return "TTimer"; }

    unsigned Interval() const { return timer_.Interval(); }
    void SetInterval(unsigned ms) { timer_.SetInterval(ms); }
    bool Enabled() const { return timer_.Enabled(); }
    void SetEnabled(bool enabled) { timer_.SetEnabled(enabled); }

    TNotifyEvent OnTimer;
    // Fires once now, as the loop would (tests).
    void Tick();
    // The tick count at which it fires next; a restart moves it.
    std::uint64_t Due() const { return timer_.Due(); }

private:
    platform::Timer timer_;
};

} // namespace ui
