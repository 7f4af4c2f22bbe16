#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "app/DesktopShell.h"
#include "ui/UnicodeText.h"

namespace app {

namespace {

// The main window's procedure is chained by hand, not with the common controls' subclassing
// helpers: importing those would load the common controls at every start (2.7 MB under Wine).
constexpr wchar_t kHotkeysProperty[] = L"Kovra.Hotkeys";
constexpr wchar_t kNextProcProperty[] = L"Kovra.HotkeysNext";
// More than any number, less than a document pasted by mistake.
constexpr std::size_t kClipboardLimit = 4096;

LRESULT CALLBACK HotkeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the procedure out of the chain. Where another has been chained after it, it stays and
// only passes messages on.
void Unhook(HWND window)
{
    RemovePropW(window, kHotkeysProperty);
    const auto next = reinterpret_cast<LONG_PTR>(GetPropW(window, kNextProcProperty));
    if (next && GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&HotkeyProc)) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, next);
        RemovePropW(window, kNextProcProperty);
    }
}

LRESULT CALLBACK HotkeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto next = reinterpret_cast<WNDPROC>(GetPropW(window, kNextProcProperty));
    if (message == WM_HOTKEY) {
        if (const auto* hotkeys = static_cast<const TGlobalHotkeys*>(GetPropW(window, kHotkeysProperty))) {
            hotkeys->Pressed(static_cast<int>(wParam));
            return 0;
        }
    }
    if (message == WM_NCDESTROY) {
        Unhook(window);
        RemovePropW(window, kNextProcProperty);
    }
    return next ? CallWindowProcW(next, window, message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
}

bool Hook(HWND window, const TGlobalHotkeys& hotkeys)
{
    if (!GetPropW(window, kNextProcProperty)) {
        const LONG_PTR previous = GetWindowLongPtrW(window, GWLP_WNDPROC);
        if (!previous || !SetPropW(window, kNextProcProperty, reinterpret_cast<HANDLE>(previous)))
            return false;
        if (!SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyProc))) {
            RemovePropW(window, kNextProcProperty);
            return false;
        }
    }
    return SetPropW(window, kHotkeysProperty, const_cast<TGlobalHotkeys*>(&hotkeys)) != FALSE;
}

} // namespace

bool TGlobalHotkeys::Register(int id, unsigned modifiers, unsigned key)
{
    HWND window = static_cast<HWND>(window_ ? window_() : nullptr);
    if (!window)
        return false;
    if (hooked_ != window) {
        UnregisterAll();
        if (!Hook(window, *this))
            return false;
        hooked_ = window;
    }
    // Holding the key down must not answer, hold and retrieve in turn; systems without
    // MOD_NOREPEAT refuse the flag, and get the key without it.
    if (!RegisterHotKey(window, id, modifiers | MOD_NOREPEAT, key) &&
        !RegisterHotKey(window, id, modifiers, key))
        return false;
    ids_.push_back(id);
    return true;
}

void TGlobalHotkeys::UnregisterAll()
{
    HWND window = static_cast<HWND>(hooked_);
    if (window && IsWindow(window)) {
        for (int id : ids_)
            UnregisterHotKey(window, id);
        Unhook(window);
    }
    ids_.clear();
    hooked_ = nullptr;
}

std::string ClipboardText()
{
    if (!OpenClipboard(nullptr))
        return {};
    std::string text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data))) {
            const std::size_t capacity = GlobalSize(data) / sizeof(char16_t);
            std::size_t length = 0;
            while (length < capacity && length < kClipboardLimit && chars[length] != 0)
                ++length;
            text = ui::Utf16ToUtf8(std::u16string(chars, length));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

bool OpenInDefaultBrowser(const std::string& url)
{
    // The shell's handlers may be COM objects that want an apartment on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::u16string address = ui::Utf8ToUtf16(url);
    const HINSTANCE started = ShellExecuteW(
        nullptr, L"open", reinterpret_cast<const wchar_t*>(address.c_str()), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com))
        CoUninitialize();
    return reinterpret_cast<INT_PTR>(started) > 32;
}

} // namespace app
