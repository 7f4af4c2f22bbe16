// A screen reader's view of another process's windows, from a process of its own as a real one
// works: every call crosses to the program through its IAccessible objects.
//
//   accessibility_probe OUT list HWND...             every visible window below each HWND (and
//                                                    it), and the items of its lists and tab sets
//   accessibility_probe OUT alert EVENT TIMEOUT_MS   signals EVENT once its hook is in, then waits
//                                                    for one EVENT_SYSTEM_ALERT
//
// OUT gets one line per object, tab-separated: window class (or "item"), role, name. Exit status:
// the number of the toolkit's visible controls without a name or role (0: all named; an empty text
// or pane is left out), 100 on wrong use or a missed alert.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::FILE* gOut = nullptr;
int gMissing = 0;
bool gAlerted = false;

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 1 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::string ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

std::string RoleText(DWORD role)
{
    wchar_t text[64] = {};
    GetRoleTextW(role, text, 64);
    return Utf8(text);
}

// The role and name of the object itself (CHILDID_SELF) or of one of its simple children.
std::pair<std::string, std::string> Said(IAccessible* object, long child)
{
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    VARIANT role{};
    BSTR name = nullptr;
    std::pair<std::string, std::string> said;
    if (SUCCEEDED(object->get_accRole(id, &role)) && role.vt == VT_I4)
        said.first = RoleText(static_cast<DWORD>(role.lVal));
    if (SUCCEEDED(object->get_accName(id, &name)) && name)
        said.second = Utf8(name);
    SysFreeString(name);
    return said;
}

void Line(const std::string& what, const std::pair<std::string, std::string>& said)
{
    std::fprintf(gOut, "%s\t%s\t%s\n", what.c_str(), said.first.c_str(), said.second.c_str());
}

// One window's client object (top's own or a control's), and the items of a list or tab set.
BOOL CALLBACK Describe(HWND window, LPARAM top)
{
    IAccessible* object = nullptr;
    if (!IsWindowVisible(window))
        return TRUE;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))) ||
        !object) {
        Line(ClassOf(window), {});
        ++gMissing;
        return TRUE;
    }
    long count = 0;
    object->get_accChildCount(&count);
    const auto said = Said(object, CHILDID_SELF);
    Line(ClassOf(window), said);
    // The parts of a native control (a combo box's edit, a list view's header) are its own; a text
    // or pane that shows nothing has nothing to say.
    const std::string parent = ClassOf(GetParent(window)), &role = said.first;
    const bool ours =
        window == reinterpret_cast<HWND>(top) || parent == "KovraForm" || parent == "KovraControl";
    const bool blank =
        (role == RoleText(ROLE_SYSTEM_STATICTEXT) || role == RoleText(ROLE_SYSTEM_PANE)) && count == 0;
    if (ours && (role.empty() || (said.second.empty() && !blank)))
        ++gMissing;
    if (role == RoleText(ROLE_SYSTEM_LIST) || role == RoleText(ROLE_SYSTEM_PAGETABLIST))
        for (long child = 1; child <= count && child <= 50; ++child)
            if (const auto item = Said(object, child); !item.first.empty()) // a window's are its own
                Line("item", item);
    object->Release();
    return TRUE;
}

void CALLBACK AlertSeen(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG childId, DWORD, DWORD)
{
    IAccessible* object = nullptr;
    VARIANT child{};
    if (FAILED(AccessibleObjectFromEvent(window, static_cast<DWORD>(objectId), static_cast<DWORD>(childId),
                                         &object, &child)) ||
        !object)
        return;
    Line(ClassOf(window), Said(object, child.lVal));
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
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    gOut = argc >= 4 ? std::fopen(argv[1], "wb") : nullptr;
    if (!gOut)
        return 100;
    const std::string mode = argv[2];
    int result = 100;
    if (mode == "alert" && argc == 5)
        result = Alert(argv[3], static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
    for (int i = 3; mode == "list" && i < argc; ++i) {
        const auto top = static_cast<LPARAM>(std::strtoll(argv[i], nullptr, 0));
        if (!IsWindow(reinterpret_cast<HWND>(top)))
            return 100;
        Describe(reinterpret_cast<HWND>(top), top);
        EnumChildWindows(reinterpret_cast<HWND>(top), Describe, top);
        result = gMissing;
    }
    std::fclose(gOut);
    CoUninitialize();
    return result;
}
