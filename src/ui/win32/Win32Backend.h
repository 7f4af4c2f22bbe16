#pragma once
// The real-window back end (Windows only). Programs get it by default; tests may ask for the
// native window behind a control to read its state back.

#include <memory>

#include "ui/Backend.h"

namespace ui::win32 {

std::unique_ptr<IBackend> CreateBackend();
// The HWND of a control's native window, as an opaque pointer so that callers need not include
// the window system's headers. A control gets its window when it is first shown; asking for it
// earlier creates it (hidden). Null for a control without a peer.
void* HandleOf(const TControl& control);
// Whether the control's native window exists yet.
bool HasWindow(const TControl& control);

} // namespace ui::win32
