#include <windows.h>
#include <shellapi.h>

#include "app/QMHelp.h"
#include "ui/UnicodeText.h"

namespace app {

bool OpenHelpAddress(const std::string& address)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"htmlfile\\shell\\open\\command", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    wchar_t value[2048] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    const std::string browser =
        BrowserFromOpenCommand(ui::Utf16ToUtf8(reinterpret_cast<const char16_t*>(value)));
    if (browser.empty())
        return false;
    const std::u16string program = ui::Utf8ToUtf16(browser);
    const std::u16string argument = ui::Utf8ToUtf16(address);
    const HINSTANCE started =
        ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(program.c_str()),
                      reinterpret_cast<const wchar_t*>(argument.c_str()), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(started) > 32;
}

} // namespace app
