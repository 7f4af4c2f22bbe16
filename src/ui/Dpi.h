#pragma once
// Forms are laid out in pixels of a 96 dots-per-inch screen; the back end draws them at the
// dots per inch of the monitor they are on.

#include "ui/Types.h"

namespace ui {

constexpr int kDesignDpi = 96;

// A design length at dpi, rounded to the nearest pixel (halves away from zero).
int ScaleToDpi(int value, int dpi);
// The design length of a length at dpi, rounded to the nearest; the exact inverse of
// ScaleToDpi for every dpi of 96 and above.
int UnscaleFromDpi(int value, int dpi);
// The same, rounded up: a design extent that covers at least value pixels.
int UnscaleFromDpiUp(int value, int dpi);
// Scales the edges rather than the sizes, so that controls that touch at 96 dpi still touch.
TRect ScaleRectToDpi(const TRect& rect, int dpi);

} // namespace ui
