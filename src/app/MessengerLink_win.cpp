// The hook library's side of the link: a hidden window that receives its notifications, and the
// client's windows reached through the library, which does inside the client's process what this
// process may not (change its menus, read its list view).
#include "app/MessengerLink.h"

#include <windows.h>

#include <commctrl.h>

#include "KovraUtilsLibrary.h"
#include "ui/UnicodeText.h"

namespace app {

namespace {

constexpr wchar_t kWindowClass[] = L"KovraClientHook";
constexpr int kTitleLength = 256;

std::wstring Wide(const std::string& text)
{
    const std::u16string wide = ui::Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string Utf8(const wchar_t* text)
{
    return ui::Utf16ToUtf8(reinterpret_cast<const char16_t*>(text));
}

// A message to the client's window, bounded: the client's thread may be busy or waiting on us.
// unanswered is the result when it does not answer in time.
LRESULT AskClient(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT unanswered)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &answer))
        return unanswered;
    return static_cast<LRESULT>(answer);
}

HWND FindListView(HWND parent)
{
    for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
         child = FindWindowExW(parent, child, nullptr, nullptr)) {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (lstrcmpiW(name, L"SysListView32") == 0)
            return child;
        if (HWND below = FindListView(child))
            return below;
    }
    return nullptr;
}

class TClientHook : public IClientWindows {
public:
    explicit TClientHook(TMessengerLink& link) : link_(link)
    {
        // The library is mapped, and the window for its notifications made, when the coupling
        // starts: a start without the client pays for neither. Without the library the coupling
        // goes on without the client's menus.
        link_.SetHook({[this] {
                           const hooklib::TKovraUtilsLibrary* library = hooklib::LoadKovraUtils();
                           if (library && NotifyWindow())
                               library->InstallNotify(window_, "MSBLClass\0IMWindowClass\0");
                       },
                       &RemoveNotify});
        link_.SetClientWindows(this);
    }
    ~TClientHook() override
    {
        link_.SetClientWindows(nullptr);
        // The window goes with this object; a later stop still takes the hook out.
        link_.SetHook({nullptr, &RemoveNotify});
        if (window_) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            DestroyWindow(window_);
        }
    }

    std::string MenuBarClass(void* window) override
    {
        HWND handle = static_cast<HWND>(window);
        char name[261] = {};
        if (!IsWindow(handle) || !GetMenu(handle) || !GetClassNameA(handle, name, sizeof name))
            return {};
        return name;
    }
    void* ContactList(void* window) override { return FindListView(static_cast<HWND>(window)); }
    // Looked up, not asked: the client's thread is never waited on here.
    bool ClientRunning() override { return FindWindowW(L"MSBLClass", nullptr) != nullptr; }
    std::string Title(void* window) override
    {
        wchar_t title[kTitleLength + 1] = {};
        GetWindowTextW(static_cast<HWND>(window), title, kTitleLength + 1);
        return Utf8(title);
    }
    // The selected row needs no memory of the client's process; its text comes through the library.
    std::string SelectedRowText(void* window, void* listView) override
    {
        HWND list = static_cast<HWND>(listView);
        // One question rather than one per row: each waits on the client's thread.
        const auto selected =
            static_cast<int>(AskClient(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, -1));
        if (selected < 0)
            return {};
        char text[256] = {};
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = selected;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        const hooklib::TKovraUtilsLibrary* library = hooklib::LoadedKovraUtils();
        if (!library || !library->GetListViewItem(static_cast<HWND>(window), list, &item))
            return {};
        wchar_t wide[256] = {};
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256);
        return Utf8(wide);
    }
    void SetMenu(void* window, const std::vector<TClientMenuEntry>& entries) override
    {
        std::vector<std::wstring> texts;
        texts.reserve(entries.size());
        std::vector<KovraMenuEntry> items;
        for (const TClientMenuEntry& entry : entries) {
            texts.push_back(Wide(entry.Text));
            UINT flags = (entry.Popup ? MF_POPUP : 0) | (entry.Separator ? MF_SEPARATOR : 0) |
                         (entry.Enabled ? 0 : MF_GRAYED) | (entry.Checked ? MF_CHECKED : 0);
            items.push_back({entry.Level, entry.Command, flags, texts.back().c_str()});
        }
        if (const hooklib::TKovraUtilsLibrary* library = hooklib::LoadedKovraUtils())
            library->SetClientMenu(static_cast<HWND>(window), items.data(), static_cast<int>(items.size()));
    }

private:
    static void RemoveNotify()
    {
        if (const hooklib::TKovraUtilsLibrary* library = hooklib::LoadedKovraUtils())
            library->UninstallNotify();
    }

    HWND NotifyWindow()
    {
        if (window_)
            return window_;
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
        if (window_)
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return window_;
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<TClientHook*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self || message < WM_USER || message > WM_USER + 2)
            return DefWindowProcW(window, message, wParam, lParam);
        TMessengerLink& link = self->link_;
        if (message == WM_USER + 1)
            link.WindowSubclassed(reinterpret_cast<void*>(wParam));
        else if (message == WM_USER + 2)
            link.WindowGone(reinterpret_cast<void*>(wParam));
        else if (HIWORD(wParam) == 0) {
            // The client's thread goes on at once, so it is not held while a dialog is open.
            if (auto run = link.ClientCommand(LOWORD(wParam), reinterpret_cast<void*>(lParam))) {
                if (InSendMessage())
                    ReplyMessage(0);
                run();
            }
        }
        return 0;
    }

    TMessengerLink& link_;
    HWND window_ = nullptr;
};

} // namespace

std::unique_ptr<IClientWindows> CreateClientHook(TMessengerLink& link)
{
    return std::make_unique<TClientHook>(link);
}

} // namespace app
