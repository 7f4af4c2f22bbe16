// soak-probe IMAGE [TITLE]: finds the running process of IMAGE (e.g. KovraAssistant.exe) and prints one
// line "pid=N handles=N gdi=N user=N windows=N answers=N listed=N titled=N": its handle count, its GDI and
// USER objects (GetGuiResources), its visible top-level windows, how many of those answered a WM_NULL within
// 5 s (a busy or hung message loop answers none), and the items of the list boxes in them (the program's call
// list), and how many of them are titled TITLE; then a line "window: "TITLE"" for each of those windows. Exit
// 1 when no such process runs, 2 when it cannot be opened.

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct TWindowCount {
    DWORD Pid = 0;
    int Windows = 0;
    int Answers = 0;
    long Listed = 0;
    const wchar_t* Title = nullptr;
    int Titled = 0;
    std::wstring Names;
};

// The items of a list box among a window's children (the main window's call list).
BOOL CALLBACK CountListed(HWND child, LPARAM param)
{
    wchar_t name[32];
    if (!IsWindowVisible(child) || !GetClassNameW(child, name, 32) || _wcsicmp(name, L"ListBox") != 0)
        return TRUE;
    DWORD_PTR items = 0;
    if (SendMessageTimeoutW(child, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &items) &&
        items != DWORD_PTR(LB_ERR))
        reinterpret_cast<TWindowCount*>(param)->Listed += static_cast<long>(items);
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM param)
{
    auto* count = reinterpret_cast<TWindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != count->Pid || !IsWindowVisible(window))
        return TRUE;
    ++count->Windows;
    wchar_t title[256];
    const int length = GetWindowTextW(window, title, 256);
    if (count->Title && length && wcscmp(title, count->Title) == 0)
        ++count->Titled;
    count->Names += std::wstring(L"window: \"") + (length ? title : L"") + L"\"\n";
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &result))
        ++count->Answers;
    EnumChildWindows(window, CountListed, param);
    return TRUE;
}

DWORD FindProcess(const wchar_t* image)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD pid = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !pid; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, image) == 0)
            pid = entry.th32ProcessID;
    CloseHandle(snapshot);
    return pid;
}

} // namespace

int main(int argc, char** argv)
{
    wchar_t image[MAX_PATH], title[256];
    if (argc < 2 || argc > 3 || !MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, image, MAX_PATH) ||
        (argc == 3 && !MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, title, 256))) {
        std::fprintf(stderr, "usage: soak-probe IMAGE [TITLE]\n");
        return 2;
    }
    TWindowCount count;
    count.Title = argc == 3 ? title : nullptr;
    count.Pid = FindProcess(image);
    if (!count.Pid) {
        std::printf("no process %s\n", argv[1]);
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, count.Pid);
    if (!process) {
        std::printf("cannot open process %lu (error %lu)\n", count.Pid, GetLastError());
        return 2;
    }
    DWORD handles = 0;
    if (!GetProcessHandleCount(process, &handles))
        handles = static_cast<DWORD>(-1);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    CloseHandle(process);
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    std::printf("pid=%lu handles=%ld gdi=%lu user=%lu windows=%d answers=%d listed=%ld titled=%d\n",
                count.Pid, static_cast<long>(handles), gdi, user, count.Windows, count.Answers, count.Listed,
                count.Titled);
    std::printf("%ls", count.Names.c_str());
    return 0;
}
