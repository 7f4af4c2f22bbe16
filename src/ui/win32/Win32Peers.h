#pragma once

#include <memory>

#include "ui/Backend.h"
#include "ui/win32/Win32Internal.h"

namespace ui::win32 {

std::unique_ptr<IControlPeer> CreateControlPeer(TControl& control);
HCURSOR CursorFor(TCursor cursor);

} // namespace ui::win32
