#include "ui/Dpi.h"

#include <cstdint>

namespace ui {
namespace {

int DivideRounded(std::int64_t numerator, std::int64_t denominator)
{
    const std::int64_t half = denominator / 2;
    return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator
                                           : -((-numerator + half) / denominator));
}

} // namespace

int ScaleToDpi(int value, int dpi)
{
    return dpi == kDesignDpi || dpi <= 0 ? value : DivideRounded(std::int64_t{value} * dpi, kDesignDpi);
}

int UnscaleFromDpi(int value, int dpi)
{
    return dpi == kDesignDpi || dpi <= 0 ? value : DivideRounded(std::int64_t{value} * kDesignDpi, dpi);
}

int UnscaleFromDpiUp(int value, int dpi)
{
    if (dpi == kDesignDpi || dpi <= 0 || value <= 0)
        return UnscaleFromDpi(value, dpi);
    return static_cast<int>((std::int64_t{value} * kDesignDpi + dpi - 1) / dpi);
}

TRect ScaleRectToDpi(const TRect& rect, int dpi)
{
    return {ScaleToDpi(rect.Left, dpi), ScaleToDpi(rect.Top, dpi), ScaleToDpi(rect.Right, dpi),
            ScaleToDpi(rect.Bottom, dpi)};
}

} // namespace ui
