#include "ui/TaskIcon.h"

#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/UnicodeText.h"

namespace ui {

TTaskBarIcon::TTaskBarIcon(TComponent* owner) : TComponent(owner)
{
    flashTimer_.SetInterval(kFlashInterval);
    flashTimer_.OnTimer = [this] {
        blankPhase_ = !blankPhase_;
        Update();
    };
}

TTaskBarIcon::~TTaskBarIcon()
{
    visible_ = false;
    Update();
}

void TTaskBarIcon::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    if (visible_ && !peer_)
        peer_ = CurrentBackend().CreateTrayPeer(*this);
    Update();
}

void TTaskBarIcon::SetHint(std::string hint)
{
    hint_ = std::move(hint);
    Update();
}

std::string TTaskBarIcon::Tip() const
{
    return TruncateUtf16(hint_, kMaxTipLength);
}

void TTaskBarIcon::SetIcon(TIcon icon)
{
    icon_ = std::move(icon);
    Update();
}

void TTaskBarIcon::SetFlashing(bool flashing)
{
    if (flashing_ == flashing)
        return;
    flashing_ = flashing;
    blankPhase_ = false;
    flashTimer_.SetEnabled(flashing);
    Update();
}

void TTaskBarIcon::RightButtonDown()
{
    if (popupMenu_) {
        const TPoint cursor = Application->CursorPos();
        popupMenu_->Popup(cursor.X, cursor.Y);
    }
}

void TTaskBarIcon::ButtonUp()
{
    if (OnClick)
        OnClick(this);
}

void TTaskBarIcon::DoubleClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

bool TTaskBarIcon::QueryEndSession()
{
    TForm* mainForm = Application->MainForm();
    // The main window's own close runs, so the program shuts down as when the user exits.
    if (visible_ && mainForm && !mainForm->Visible())
        mainForm->Close();
    return true;
}

void TTaskBarIcon::ShellRestarted()
{
    Update();
}

void TTaskBarIcon::Update()
{
    if (peer_)
        peer_->Changed();
}

} // namespace ui
