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

TBitmap RoundBadge(int size, std::uint32_t bgr, bool twin)
{
    TBitmap bitmap = TBitmap::Solid(size, size, 0);
    const std::uint32_t pixel = 0xFF000000u | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
    // Drawn on a 44-pixel design grid and scaled, so every size keeps the same proportions.
    auto disc = [&](int cx, int cy, int r) {
        for (int y = 0; y < bitmap.Height; ++y)
            for (int x = 0; x < bitmap.Width; ++x) {
                const int dx = x * 44 / size - cx, dy = y * 44 / size - cy;
                if (dx * dx + dy * dy <= r * r)
                    bitmap.Pixels[static_cast<std::size_t>(y * bitmap.Width + x)] = pixel;
            }
    };
    if (twin) {
        disc(15, 22, 11);
        disc(29, 22, 11);
    } else {
        disc(22, 22, 16);
    }
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

} // namespace ui
