#include "ui/Forms.h"

#include <algorithm>

#include "ui/Menus.h"
#include "ui/UnicodeCtrls.h"
#include "ui/UnicodeText.h"

namespace ui {
namespace {

TApplication gApplication;

} // namespace

TApplication* const Application = &gApplication;

TForm::TForm(TComponent* owner) : TControl(owner)
{
    SetVisible(false);
    SetBounds(0, 0, 320, 240);
    Application->forms_.push_back(this);
}

TForm::~TForm()
{
    if (!destroyRaised_ && OnDestroy) {
        destroyRaised_ = true;
        OnDestroy(this);
    }
    // The components go while the form is still a form, so their handlers see a whole form.
    DestroyComponents();
    auto& forms = Application->forms_;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (Application->mainForm_ == this)
        Application->mainForm_ = nullptr;
}

void TForm::SetBorderStyle(TFormBorderStyle style)
{
    if (borderStyle_ == style)
        return;
    borderStyle_ = style;
    Changed(TChange::Style);
}

void TForm::SetFormStyle(TFormStyle style)
{
    if (formStyle_ == style)
        return;
    formStyle_ = style;
    Changed(TChange::Style);
}

void TForm::SetAlphaBlend(bool on)
{
    if (alphaBlend_ == on)
        return;
    alphaBlend_ = on;
    Changed(TChange::Alpha);
}

void TForm::SetAlphaBlendValue(int value)
{
    value = std::clamp(value, 0, 255);
    if (alphaValue_ == value)
        return;
    alphaValue_ = value;
    Changed(TChange::Alpha);
}

void TForm::SetMenu(TMainMenu* menu)
{
    if (menu_ == menu)
        return;
    if (menu_)
        menu_->SetForm(nullptr);
    menu_ = menu;
    if (menu_)
        menu_->SetForm(this);
    Changed(TChange::Menu);
}

void TForm::DoCreate()
{
    if (OnCreate)
        OnCreate(this);
}

void TForm::PlaceByPosition()
{
    placed_ = true;
    TRect area;
    switch (position_) {
    case TPosition::poDesigned:
        return;
    case TPosition::poOwnerFormCenter:
    case TPosition::poMainFormCenter: {
        TForm* around = position_ == TPosition::poOwnerFormCenter ? dynamic_cast<TForm*>(Owner()) : nullptr;
        if (!around)
            around = Application->MainForm();
        // Without a visible form to centre on, the desktop is the reference.
        area =
            around && around != this && around->Visible() ? around->NativeBounds() : Application->WorkArea();
        break;
    }
    default:
        area = Application->WorkArea();
        break;
    }
    const TRect screen = NativeBounds();
    SetBounds(area.Left + (area.Width() - screen.Width()) / 2,
              area.Top + (area.Height() - screen.Height()) / 2, Width(), Height());
}

namespace {

// Children in reading order: rows from the top, each row from the left. A row is every child
// whose top lies above the middle of the shortest reach down (a field beside a button a few pixels
// higher; a tall list beside small buttons leaves the lower buttons for later rows).
std::vector<TControl*> ReadingOrder(const std::vector<TControl*>& children)
{
    std::vector<TControl*> rest(children);
    std::vector<TControl*> ordered;
    ordered.reserve(rest.size());
    while (!rest.empty()) {
        int middle = rest.front()->Top() + rest.front()->Height() / 2;
        for (const TControl* child : rest)
            middle = std::min(middle, child->Top() + child->Height() / 2);
        const auto rowEnd = std::stable_partition(
            rest.begin(), rest.end(), [middle](const TControl* child) { return child->Top() <= middle; });
        std::stable_sort(rest.begin(), rowEnd,
                         [](const TControl* a, const TControl* b) { return a->Left() < b->Left(); });
        ordered.insert(ordered.end(), rest.begin(), rowEnd);
        rest.erase(rest.begin(), rowEnd);
    }
    return ordered;
}

void CollectTabStops(const TControl& parent, std::vector<TControl*>& stops)
{
    for (TControl* child : ReadingOrder(parent.Controls())) {
        if (!child->Visible() || !child->Enabled())
            continue;
        if (child->TabStop())
            stops.push_back(child);
        CollectTabStops(*child, stops);
    }
}

} // namespace

std::uint16_t TForm::KeyPressed(TControl* target, std::uint16_t key, TShiftState shift)
{
    if (OnKeyDown && Enabled())
        OnKeyDown(this, key, shift);
    if (key == VK_TAB_KEY && !(shift & (ssAlt | ssCtrl))) {
        if (TControl* next = NextTabStop(target, !(shift & ssShift)))
            next->SetFocus();
        return 0;
    }
    return key && target && target != this ? target->DoKeyDown(key, shift) : key;
}

TControl* TForm::NextTabStop(const TControl* from, bool forward) const
{
    std::vector<TControl*> stops;
    CollectTabStops(*this, stops);
    if (stops.empty())
        return nullptr;
    const auto at = std::find(stops.begin(), stops.end(), from);
    if (at == stops.end())
        return forward ? stops.front() : stops.back();
    const std::size_t index = static_cast<std::size_t>(at - stops.begin());
    return stops[forward ? (index + 1) % stops.size() : (index + stops.size() - 1) % stops.size()];
}

TControl* TForm::ActiveControl() const
{
    std::vector<const TControl*> pending(Controls().begin(), Controls().end());
    while (!pending.empty()) {
        const TControl* control = pending.back();
        pending.pop_back();
        if (control->Focused())
            return const_cast<TControl*>(control);
        pending.insert(pending.end(), control->Controls().begin(), control->Controls().end());
    }
    return nullptr;
}

TRect TForm::MonitorWorkArea() const
{
    const TRect screen = NativeBounds();
    return CurrentBackend().WorkAreaAt({screen.Left + screen.Width() / 2, screen.Top + screen.Height() / 2});
}

void TForm::PlaceInWorkAreaCorner(TRect area)
{
    const TRect screen = NativeBounds();
    SetBounds(area.Right - screen.Width(), area.Bottom - screen.Height(), Width(), Height());
}

void TForm::ShowForm()
{
    if (!placed_)
        PlaceByPosition();
    HandleNeeded();
    const bool wasVisible = Visible();
    SetVisible(true);
    if (!wasVisible && OnShow)
        OnShow(this);
}

void TForm::HideForm()
{
    if (!Visible())
        return;
    SetVisible(false);
    if (OnHide)
        OnHide(this);
}

void TForm::Close()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    if (!canClose)
        return;
    if (modal_) {
        if (modalResult_ == mrNone)
            modalResult_ = mrCancel;
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    if (OnClose)
        OnClose(this, action);
    if (action == TCloseAction::caNone)
        return;
    if (Application->MainForm() == this) {
        HideForm();
        Application->Terminate();
        return;
    }
    if (action == TCloseAction::caFree)
        Release();
    else
        HideForm();
}

TModalResult TForm::ShowModal()
{
    if (modal_)
        return mrNone;
    modalResult_ = mrNone;
    modal_ = true;
    std::vector<TForm*> disabled;
    for (TForm* form : Application->Forms())
        if (form != this && !form->modalDisabled_ && form->Visible()) {
            form->SetModalDisabled(true);
            disabled.push_back(form);
        }
    ShowForm();
    // A form deleted outright during the loop must not be touched afterwards.
    const std::weak_ptr<const bool> life = life_;
    while (modalResult_ == mrNone && Visible() && !released_ && !Application->Terminated()) {
        platform::ProcessMessages(platform::kWaitForever);
        if (life.expired())
            break;
    }
    for (TForm* form : disabled)
        if (std::find(Application->Forms().begin(), Application->Forms().end(), form) !=
            Application->Forms().end())
            form->SetModalDisabled(false);
    if (life.expired())
        return mrCancel;
    TModalResult result = modalResult_ == mrNone ? mrCancel : modalResult_;
    if (modalResult_ != mrNone && !released_ && OnClose) {
        TCloseAction action = TCloseAction::caHide;
        OnClose(this, action);
    }
    modal_ = false;
    HideForm();
    modalResult_ = result;
    // The form and its owners asked to be freed meanwhile go now that the loop has returned.
    for (TComponent* each = this; each; each = each->Owner())
        if (auto* form = dynamic_cast<TForm*>(each); form && form->released_)
            form->PostFree();
    return result;
}

bool TForm::Owns(const TForm* form) const
{
    for (const TComponent* each = form; each; each = each->Owner())
        if (each == this)
            return true;
    return false;
}

bool TForm::UnderModalLoop() const
{
    if (Application->messageBoxes_ > 0)
        return true;
    for (const TForm* form : Application->Forms())
        if (form->modal_ && Owns(form))
            return true;
    return false;
}

void TForm::Release()
{
    HideForm();
    if (!destroyRaised_ && OnDestroy) {
        destroyRaised_ = true;
        OnDestroy(this);
    }
    released_ = true;
    for (TForm* form : Application->Forms())
        if (form->modal_ && form->modalResult_ == mrNone && Owns(form))
            form->modalResult_ = mrCancel;
    PostFree();
}

void TForm::Free()
{
    if (UnderModalLoop())
        Release();
    else
        delete this;
}

void TForm::PostFree()
{
    // Its owner may delete it before the posted work runs; a modal loop still running under it
    // frees it when it returns.
    platform::Post([this, life = std::weak_ptr<const bool>(life_)] {
        if (life.lock() && !UnderModalLoop())
            delete this;
    });
}

void TForm::Post(std::function<void()> work)
{
    platform::Post([life = std::weak_ptr<const bool>(life_), work = std::move(work)] {
        if (life.lock())
            work();
    });
}

void TForm::SetModalDisabled(bool disabled)
{
    modalDisabled_ = disabled;
    Changed(TChange::Enabled);
}

TApplication::TApplication() = default;
TApplication::~TApplication() = default;

void TApplication::SetIcon(TIcon icon)
{
    icon_ = std::move(icon);
}

void TApplication::Run()
{
    if (mainForm_ && showMainForm_)
        mainForm_->ShowForm();
    // Terminate wakes the loop; an idle program sleeps until there is something to do.
    while (!Terminated())
        platform::ProcessMessages(platform::kWaitForever);
}

void TApplication::Terminate()
{
    terminated_ = true;
    platform::RequestQuit();
}

bool TApplication::Terminated() const
{
    return terminated_;
}

void TApplication::HideTaskbarButton()
{
    taskbarButton_ = false;
    for (TForm* form : forms_)
        if (form->Peer())
            form->Peer()->Changed(TChange::Style);
}

void TApplication::ShowTaskbarButton()
{
    taskbarButton_ = true;
    for (TForm* form : forms_)
        if (form->Peer())
            form->Peer()->Changed(TChange::Style);
}

TRect TApplication::WorkArea()
{
    if (!workAreaKnown_) {
        workArea_ = CurrentBackend().DesktopWorkArea();
        workAreaKnown_ = true;
    }
    return workArea_;
}

bool TApplication::ShiftHeld() const
{
    return CurrentBackend().ShiftHeld();
}

TPoint TApplication::CursorPos() const
{
    return CurrentBackend().CursorPos();
}

void TApplication::SetScreenCursor(TCursor cursor)
{
    if (screenCursor_ == cursor)
        return;
    screenCursor_ = cursor;
    CurrentBackend().ScreenCursorChanged(cursor);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags)
{
    ++messageBoxes_;
    // Shown like a caption: bundle escapes are decoded here, once.
    const int answer = CurrentBackend().MessageBox(DecodeEscapes(text),
                                                   DecodeEscapes(caption.empty() ? title_ : caption), flags);
    if (--messageBoxes_ == 0)
        for (TForm* form : forms_)
            if (form->released_)
                form->PostFree();
    return answer;
}

TUnicodeHintWindow* TApplication::HintWindow()
{
    if (!hintWindow_)
        hintWindow_ = std::make_unique<TUnicodeHintWindow>(nullptr);
    return hintWindow_.get();
}

void TApplication::ShowHintFor(TControl* control)
{
    hintControl_ = control;
    if (!hintTimer_) {
        hintTimer_ = std::make_unique<platform::Timer>();
        hintTimer_->SetInterval(500);
        hintTimer_->OnTimer = [this] {
            hintTimer_->SetEnabled(false);
            if (!hintControl_ || !hintControl_->MouseInside())
                return;
            const TPoint cursor = CursorPos();
            HintWindow()->ActivateHint({cursor.X, cursor.Y + 20, cursor.X, cursor.Y + 20},
                                       hintControl_->Hint());
        };
    }
    hintTimer_->SetEnabled(false);
    hintTimer_->SetEnabled(true);
}

void TApplication::CancelHint(TControl* control)
{
    if (hintControl_ != control)
        return;
    hintControl_ = nullptr;
    if (hintTimer_)
        hintTimer_->SetEnabled(false);
    if (hintWindow_)
        hintWindow_->ReleaseHint();
}

TTimer::TTimer(TComponent* owner) : TComponent(owner)
{
    timer_.OnTimer = [this] {
        if (OnTimer)
            OnTimer(this);
    };
}

void TTimer::Tick()
{
    timer_.Fire();
}

} // namespace ui
