#include <windows.h>

#include "app/MarkedWindow.h"

namespace app {

struct TUtilWindowAccess {
    static void Deliver(TUtilWindow& window, const std::string& text)
    {
        if (window.onText_)
            window.onText_(text);
    }
};

namespace {

constexpr wchar_t kClassName[] = L"TPUtilWindow";

LRESULT CALLBACK UtilWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* owner = reinterpret_cast<TUtilWindow*>(GetPropW(window, L"KovraUtilWindow"));
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::string text;
    if (data && data->lpData && data->cbData > 0) {
        // The sender's text may lack its zero or carry more than one: stop at the first.
        const char* bytes = static_cast<const char*>(data->lpData);
        std::size_t length = 0;
        while (length < data->cbData && bytes[length] != '\0')
            ++length;
        text.assign(bytes, length);
    }
    ReplyMessage(1);
    if (owner)
        TUtilWindowAccess::Deliver(*owner, text);
    return 0;
}

void RegisterUtilClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = UtilWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);
    registered = true;
}

struct FindContext {
    std::uint32_t mark;
    HWND found;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM context)
{
    auto* find = reinterpret_cast<FindContext*>(context);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 63);
    if (lstrcmpiW(name, kClassName) == 0 &&
        static_cast<std::uint32_t>(GetWindowLongPtrW(window, GWLP_USERDATA)) == find->mark) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TUtilWindow::TUtilWindow(std::uint32_t mark, std::function<void(const std::string&)> onText)
    : onText_(std::move(onText))
{
    RegisterUtilClass();
    // A top-level hidden popup, so that the z-order walk of another program finds it.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window) {
        SetPropW(window, L"KovraUtilWindow", this);
        SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(mark));
    }
    handle_ = window;
}

TUtilWindow::~TUtilWindow()
{
    if (handle_) {
        RemovePropW(static_cast<HWND>(handle_), L"KovraUtilWindow");
        DestroyWindow(static_cast<HWND>(handle_));
    }
}

void* FindMarkedWindow(std::uint32_t mark)
{
    FindContext context{mark, nullptr};
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

std::intptr_t SendCopyData(void* window, const std::string& text, unsigned timeoutMs)
{
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(text.size() + 1);
    data.lpData = const_cast<char*>(text.c_str());
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(static_cast<HWND>(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result))
        return 0;
    return static_cast<std::intptr_t>(result);
}

void ForceForeground(void* handle)
{
    HWND window = static_cast<HWND>(handle);
    if (!window)
        return;
    if (!IsZoomed(window))
        ShowWindow(window, SW_RESTORE);
    HWND foreground = GetForegroundWindow();
    const DWORD foreignThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const DWORD ownThread = GetCurrentThreadId();
    if (foreignThread && foreignThread != ownThread) {
        AttachThreadInput(foreignThread, ownThread, TRUE);
        SetForegroundWindow(window);
        AttachThreadInput(foreignThread, ownThread, FALSE);
    }
    if (GetForegroundWindow() != window)
        SetForegroundWindow(window);
}

} // namespace app
