#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/DesktopShell.h"
#include "ui/UnicodeText.h"

namespace app {

namespace {

constexpr UINT_PTR kSubclassId = 0x4B16;
// More than any number, less than a document pasted by mistake.
constexpr std::size_t kClipboardLimit = 4096;

LRESULT CALLBACK HotkeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    if (message == WM_HOTKEY) {
        reinterpret_cast<const TGlobalHotkeys*>(data)->Pressed(static_cast<int>(wParam));
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(window, HotkeyProc, kSubclassId);
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

bool TGlobalHotkeys::Register(int id, unsigned modifiers, unsigned key)
{
    HWND window = static_cast<HWND>(window_ ? window_() : nullptr);
    if (!window)
        return false;
    if (hooked_ != window) {
        UnregisterAll();
        if (!SetWindowSubclass(window, HotkeyProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
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
        RemoveWindowSubclass(window, HotkeyProc, kSubclassId);
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
