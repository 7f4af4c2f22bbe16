#include "ui/headless/HeadlessBackend.h"

#include <algorithm>

#include "ui/Forms.h"
#include "ui/TaskIcon.h"
#include "ui/UnicodeCtrls.h"
#include "ui/UnicodeText.h"

namespace ui::headless {
namespace {

// Text metrics without a font engine: every UTF-16 unit is half the font's pixel height wide.
TPoint MeasureText(const TFont& font, const std::string& text)
{
    const int charWidth = (font.PixelHeight() + 1) / 2 + (font.Bold() ? 1 : 0);
    return {static_cast<int>(Utf16Length(text)) * charWidth, font.PixelHeight() + 2};
}

TCanvasOp Snapshot(const TCanvas& canvas, TCanvasOp::Kind kind)
{
    TCanvasOp op;
    op.kind = kind;
    op.brushColor = canvas.BrushColor;
    op.fontColor = canvas.Font.Color();
    op.fontStyle = canvas.Font.Style();
    op.fontName = canvas.Font.Name();
    return op;
}

class HeadlessPeer : public IControlPeer {
public:
    explicit HeadlessPeer(TControl& control) : control_(control) {}

    void Changed(TChange) override { ++invalidations_; }
    void Invalidate() override { ++invalidations_; }
    void Repaint() override;
    void SetFocus() override;
    bool Focused() const override { return focused_ == &control_; }

    const std::vector<TCanvasOp>& Ops() const { return canvas_.ops; }
    int Invalidations() const { return invalidations_; }
    ~HeadlessPeer() override
    {
        if (focused_ == &control_)
            focused_ = nullptr;
    }

private:
    void PaintList(TCustomListBox& list);

    TControl& control_;
    RecordingCanvas canvas_;
    int invalidations_ = 0;
    static inline TControl* focused_ = nullptr;
};

void HeadlessPeer::Repaint()
{
    ++invalidations_;
    canvas_.ops.clear();
    if (auto* list = dynamic_cast<TCustomListBox*>(&control_)) {
        PaintList(*list);
        return;
    }
    // Plain controls: their background and the caption they show.
    canvas_.BrushColor = control_.Color();
    canvas_.Font = control_.Font();
    if (auto* label = dynamic_cast<TUnicodeLabel*>(&control_))
        canvas_.Font.SetStyle(label->DrawnStyle());
    canvas_.FillRect(control_.ClientRect());
    if (!control_.Caption().empty())
        canvas_.TextOut(0, 0, StripAccelerators(control_.DisplayCaption()));
}

void HeadlessPeer::PaintList(TCustomListBox& list)
{
    for (int index = list.TopIndex(); index < list.Items().Count(); ++index) {
        const TRect rect = list.ItemRect(index);
        if (rect.Top >= list.Height())
            break;
        unsigned state = index == list.ItemIndex() ? static_cast<unsigned>(TOwnerDrawState::odSelected) : 0;
        if (!list.Enabled())
            state |= static_cast<unsigned>(TOwnerDrawState::odDisabled);
        list.DrawItem(canvas_, index, rect, static_cast<TOwnerDrawState>(state));
    }
}

void HeadlessPeer::SetFocus()
{
    if (focused_ == &control_)
        return;
    TControl* previous = focused_;
    focused_ = &control_;
    if (auto* edit = dynamic_cast<TCustomEdit*>(previous))
        edit->Exit();
}

class HeadlessTrayPeer : public ITrayPeer {
public:
    explicit HeadlessTrayPeer(TTaskBarIcon& icon) : icon_(icon) {}
    void Changed() override
    {
        if (icon_.Visible() && !state_.shown)
            ++state_.adds;
        state_.shown = icon_.Visible();
        state_.tip = icon_.Tip();
        state_.blank = icon_.Flashing() && icon_.ShowingBlank();
    }
    const TrayState& State() const { return state_; }

private:
    TTaskBarIcon& icon_;
    TrayState state_;
};

const std::vector<TCanvasOp> kNoOps;
const TrayState kNoTray;

} // namespace

void RecordingCanvas::FillRect(const TRect& rect)
{
    TCanvasOp op = Snapshot(*this, TCanvasOp::Kind::FillRect);
    op.rect = rect;
    ops.push_back(std::move(op));
}

void RecordingCanvas::TextOut(int x, int y, const std::string& text)
{
    TCanvasOp op = Snapshot(*this, TCanvasOp::Kind::TextOut);
    const TPoint extent = TextExtent(text);
    op.x = x;
    op.y = y;
    op.rect = {x, y, x + extent.X, y + extent.Y};
    op.text = text;
    ops.push_back(std::move(op));
}

TPoint RecordingCanvas::TextExtent(const std::string& text)
{
    return MeasureText(Font, text);
}

void RecordingCanvas::DrawImage(const TImageList& images, int index, int x, int y, TDrawingStyle style)
{
    TCanvasOp op = Snapshot(*this, TCanvasOp::Kind::DrawImage);
    op.x = x;
    op.y = y;
    op.rect = {x, y, x + images.Width(), y + images.Height()};
    op.imageIndex = index;
    op.drawingStyle = style;
    ops.push_back(std::move(op));
}

void RecordingCanvas::DrawBitmap(const TBitmap&, const TRect& target)
{
    TCanvasOp op = Snapshot(*this, TCanvasOp::Kind::DrawBitmap);
    op.rect = target;
    op.x = target.Left;
    op.y = target.Top;
    ops.push_back(std::move(op));
}

std::unique_ptr<IControlPeer> HeadlessBackend::CreatePeer(TControl& control)
{
    return std::make_unique<HeadlessPeer>(control);
}

std::unique_ptr<ITrayPeer> HeadlessBackend::CreateTrayPeer(TTaskBarIcon& icon)
{
    return std::make_unique<HeadlessTrayPeer>(icon);
}

TUnicodeMenuItem* HeadlessBackend::TrackPopupMenu(TPopupMenu& menu, TPoint screen)
{
    popupPositions.push_back(screen);
    return menuChoice ? menuChoice(menu) : nullptr;
}

TPoint HeadlessBackend::TextExtent(const TFont& font, const std::string& text)
{
    return MeasureText(font, text);
}

int HeadlessBackend::MessageBox(const std::string& text, const std::string& caption, unsigned flags)
{
    messageBoxes.push_back({text, caption, flags});
    if (duringMessageBox)
        duringMessageBox();
    return messageBoxAnswer;
}

HeadlessBackend& Install()
{
    auto backend = std::make_unique<HeadlessBackend>();
    HeadlessBackend& installed = *backend;
    SetBackend(std::move(backend));
    return installed;
}

const std::vector<TCanvasOp>& Painted(const TControl& control)
{
    auto* peer = dynamic_cast<HeadlessPeer*>(control.Peer());
    return peer ? peer->Ops() : kNoOps;
}

int InvalidateCount(const TControl& control)
{
    auto* peer = dynamic_cast<HeadlessPeer*>(control.Peer());
    return peer ? peer->Invalidations() : 0;
}

std::vector<std::string> PaintedTexts(const TControl& control)
{
    std::vector<std::string> texts;
    for (const TCanvasOp& op : Painted(control))
        if (op.kind == TCanvasOp::Kind::TextOut)
            texts.push_back(op.text);
    return texts;
}

const TrayState& Tray(const TTaskBarIcon& icon)
{
    auto* peer = dynamic_cast<HeadlessTrayPeer*>(icon.Peer());
    return peer ? peer->State() : kNoTray;
}

} // namespace ui::headless
