#pragma once
// The drawing an owner-drawn control needs. A back end supplies the concrete canvas: the
// headless one records every operation, the Win32 one draws with GDI.

#include <string>
#include <vector>

#include "ui/Component.h"
#include "ui/Types.h"

namespace ui {

class TImageList;

enum class TDrawingStyle { dsNormal, dsSelected };

class TCanvas {
public:
    virtual ~TCanvas() = default;

    // State read by the next operation.
    TColor BrushColor = clWhite;
    TFont Font;

    virtual void FillRect(const TRect& rect) = 0;
    // UTF-8 text at (x, y), its cell filled with the brush colour, in the font's colour.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    virtual TPoint TextExtent(const std::string& text) = 0;
    int TextWidth(const std::string& text) { return TextExtent(text).X; }
    int TextHeight(const std::string& text) { return TextExtent(text).Y; }
    virtual void DrawImage(const TImageList& images, int index, int x, int y, TDrawingStyle style) = 0;
    virtual void DrawBitmap(const TBitmap& bitmap, const TRect& target) = 0;
};

// A round badge of one colour (0xBBGGRR) in a size x size cell, transparent outside the disc;
// a twin badge shows two overlapping discs (a conference).
TBitmap RoundBadge(int size, std::uint32_t bgr, bool twin = false);

// Images of one size, drawn by index.
class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner) : TComponent(owner) {}
    const char* ClassName() const override { return "TImageList"; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    int Count() const { return static_cast<int>(images_.size()); }
    // An image of another size is placed at the top-left of a transparent cell.
    int Add(const TBitmap& image);
    void Clear() { images_.clear(); }
    const TBitmap* Image(int index) const;

    void Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style = TDrawingStyle::dsNormal) const;

private:
    int width_ = 16;
    int height_ = 16;
    std::vector<TBitmap> images_;
};

} // namespace ui
