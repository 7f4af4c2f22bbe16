// A screen reader's view of another process's windows, from a process of its own as a real one
// works: every call crosses to the program through its IAccessible objects.
//
//   accessibility_probe OUT list HWND...             every visible window below each HWND (and
//                                                    it): class, role, name, its simple children
//   accessibility_probe OUT alert EVENT TIMEOUT_MS   signals EVENT once its hook is in, then waits
//                                                    for one EVENT_SYSTEM_ALERT: class, role, name
//
// OUT gets one line per object, tab-separated: depth, window class, role, name, child count; a
// list's or tab set's items follow as "item" lines. Exit status: the number of the toolkit's
// visible controls without a name or role (0: all named; an empty text or pane is left out), 100
// on wrong use or a missed alert.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::FILE* gOut = nullptr;
int gMissing = 0;

std::string Utf8(const wchar_t* text, int length = -1)
{
    if (!text)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    if (length < 0 && !out.empty())
        out.pop_back();
    return out;
}

std::string ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

std::string NameOf(IAccessible* object, long child)
{
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    BSTR name = nullptr;
    std::string text;
    if (SUCCEEDED(object->get_accName(id, &name)) && name)
        text = Utf8(name, static_cast<int>(SysStringLen(name)));
    SysFreeString(name);
    return text;
}

std::string RoleText(DWORD role)
{
    wchar_t text[64] = {};
    GetRoleTextW(role, text, 64);
    return Utf8(text);
}

std::string RoleOf(IAccessible* object, long child)
{
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    VARIANT role{};
    if (FAILED(object->get_accRole(id, &role)) || role.vt != VT_I4)
        return {};
    return RoleText(static_cast<DWORD>(role.lVal));
}

void Line(int depth, const std::string& className, const std::string& role, const std::string& name,
          long children)
{
    std::fprintf(gOut, "%d\t%s\t%s\t%s\t%ld\n", depth, className.c_str(), role.c_str(), name.c_str(),
                 children);
}

int Depth(HWND window, HWND top)
{
    int depth = 0;
    for (HWND at = window; at && at != top; at = GetParent(at))
        ++depth;
    return depth;
}

// One window's client object, and the items of a list or tab set (children that are no windows).
void Describe(HWND window, HWND top)
{
    IAccessible* object = nullptr;
    const std::string className = ClassOf(window);
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))) ||
        !object) {
        Line(Depth(window, top), className, "", "", 0);
        ++gMissing;
        return;
    }
    long count = 0;
    object->get_accChildCount(&count);
    const std::string role = RoleOf(object, CHILDID_SELF);
    const std::string name = NameOf(object, CHILDID_SELF);
    Line(Depth(window, top), className, role, name, count);
    // The parts of a native control (a combo box's edit, a list view's header) are its own.
    const std::string parent = ClassOf(GetParent(window));
    const bool ours = window == top || parent == "KovraForm" || parent == "KovraControl";
    // A text or pane that shows nothing has nothing to say.
    const bool blank =
        (role == RoleText(ROLE_SYSTEM_STATICTEXT) || role == RoleText(ROLE_SYSTEM_PANE)) && count == 0;
    if (ours && (role.empty() || (name.empty() && !blank)))
        ++gMissing;
    if (role == RoleText(ROLE_SYSTEM_LIST) || role == RoleText(ROLE_SYSTEM_PAGETABLIST))
        for (long child = 1; child <= count && child <= 50; ++child)
            if (const std::string itemRole = RoleOf(object, child);
                !itemRole.empty()) // a window's are listed as such
                std::fprintf(gOut, "item\t%s\t%s\n", itemRole.c_str(), NameOf(object, child).c_str());
    object->Release();
}

int List(char** windows, int count)
{
    for (int i = 0; i < count; ++i) {
        HWND top = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(windows[i], nullptr, 0)));
        if (!IsWindow(top))
            return 100;
        std::vector<HWND> all{top};
        EnumChildWindows(
            top,
            [](HWND child, LPARAM data) CALLBACK -> BOOL {
                reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&all));
        for (HWND window : all)
            if (IsWindowVisible(window))
                Describe(window, top);
    }
    return gMissing;
}

bool gAlerted = false;

void CALLBACK AlertSeen(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG childId, DWORD, DWORD)
{
    IAccessible* object = nullptr;
    VARIANT child{};
    if (FAILED(AccessibleObjectFromEvent(window, static_cast<DWORD>(objectId), static_cast<DWORD>(childId),
                                         &object, &child)) ||
        !object)
        return;
    Line(0, ClassOf(window), RoleOf(object, child.lVal), NameOf(object, child.lVal), 0);
    object->Release();
    gAlerted = true;
}

int Alert(const char* eventName, unsigned timeout)
{
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, AlertSeen, 0, 0,
                                         WINEVENT_OUTOFCONTEXT);
    if (!ready || !hook)
        return 100;
    SetEvent(ready);
    CloseHandle(ready);
    const DWORD end = GetTickCount() + timeout;
    while (!gAlerted && static_cast<int>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&msg);
    }
    UnhookWinEvent(hook);
    return gAlerted ? 0 : 100;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 100;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    gOut = std::fopen(argv[1], "wb");
    if (!gOut)
        return 100;
    const std::string mode = argv[2];
    int result = 100;
    if (mode == "list")
        result = List(argv + 3, argc - 3);
    else if (mode == "alert" && argc == 5)
        result = Alert(argv[3], static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
    std::fclose(gOut);
    CoUninitialize();
    return result;
}
