#pragma once
// Cases with real windows under the window system (Wine with Xvfb in CI): the Win32 back end,
// the application's state reset around each case, and the clicks and pictures they share.
// KOVRA_ARTIFACTS_DIR (the suite's) names where the pictures go.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "WindowShot_win.h"
#include "platform/MainLoop.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Backend.h"

class WindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ui::SetBackend(ui::win32::CreateBackend()); }
    void SetUp() override { ui::Application->ResetTerminated(); }
    void TearDown() override
    {
        platform::ProcessMessages(0);
        ui::Application->ResetTerminated();
    }

    static HWND Handle(const ui::TControl& control)
    {
        return static_cast<HWND>(ui::win32::HandleOf(control));
    }
    // A left click near the control's top left corner, delivered as the mouse would.
    static void Click(const ui::TControl& control)
    {
        HWND window = Handle(control);
        ASSERT_NE(window, nullptr);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }
    // Saves the control's picture as name.bmp; false when it has no area or cannot be saved.
    static bool Save(const ui::TControl& control, const std::string& name)
    {
        return SaveWindowShot(Handle(control), KOVRA_ARTIFACTS_DIR, name);
    }
    // Once the window has settled on the display: whether it shows, and its picture saved.
    static bool Shot(const ui::TControl& control, const std::string& name)
    {
        PumpFor(150);
        return IsWindowVisible(Handle(control)) && Save(control, name);
    }
};
