#include "ui/Canvas.h"

#include <algorithm>

namespace ui {

TBitmap TBitmap::Solid(int width, int height, std::uint32_t bgra)
{
    TBitmap bitmap;
    bitmap.Width = std::max(width, 0);
    bitmap.Height = std::max(height, 0);
    bitmap.Pixels.assign(static_cast<std::size_t>(bitmap.Width) * bitmap.Height, bgra);
    return bitmap;
}

void TImageList::SetSize(int width, int height)
{
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    images_.clear();
}

int TImageList::Add(const TBitmap& image)
{
    TBitmap cell = TBitmap::Solid(width_, height_, 0);
    const int rows = std::min(height_, image.Height);
    const int columns = std::min(width_, image.Width);
    if (image.Pixels.size() >= static_cast<std::size_t>(image.Width) * image.Height)
        for (int y = 0; y < rows; ++y)
            std::copy_n(&image.Pixels[static_cast<std::size_t>(y) * image.Width], columns,
                        &cell.Pixels[static_cast<std::size_t>(y) * width_]);
    images_.push_back(std::move(cell));
    return Count() - 1;
}

const TBitmap* TImageList::Image(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &images_[index];
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style) const
{
    if (Image(index))
        canvas.DrawImage(*this, index, x, y, style);
}

}  // namespace ui
