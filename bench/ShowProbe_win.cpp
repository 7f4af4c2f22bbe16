// The probe of the ring-to-pop-up rows of scripts/bench. It rings through a control port (kovrasim's,
// or the baseline's sender, which speaks the same two commands), watches window shows out of
// context as any other program would, and ends each call once the window has come, waiting for it
// to go before the next call. Times are the host's real-time clock in microseconds since 1970
// (under Wine the precise system time reads it), so they compare with the sender's trace.
//
//   show_probe --clock                  prints the clock once
//   show_probe PORT CLASS TITLE CALLS RING OUT
//
// RING is the command that rings, e.g. "ring 1001 FROM 5550100"; "hangup-far last" ends the call.
// The watched window is a hidden top-level window of that class and title (one already shown,
// such as a main window with the same title, is not it).
// OUT gets a line per call: "ring shown visible" (µs; 0: the window did not come within 10 s).
// "shown" is EVENT_OBJECT_SHOW, or the first look that finds it shown; "visible" is the first moment the
// window is shown and not fully transparent (a layered window at alpha 0 is shown but cannot be seen). Where
// the system raises no show events (Wine), the windows of the class are looked at every millisecond.

// The precise system time is declared from Windows 8 on; the probe is not shipped.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0602

#include <winsock2.h>

#include <windows.h>

#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWindowWaitMs = 10000;
constexpr DWORD kAnswerWaitMs = 5000;
constexpr DWORD kGapMs = 50; // between one call's end and the next ring

struct TWatch {
    const wchar_t* ClassName = L"";
    const wchar_t* Title = L"";
    std::vector<HWND> Candidates; // hidden top-level windows of the class and title
    HWND Window = nullptr;        // the watched window once it is shown
    long long Shown = 0;
    long long Visible = 0;
    bool Gone = false;
} watch;

long long NowMicroseconds()
{
    FILETIME time;
    GetSystemTimePreciseAsFileTime(&time);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<long long>((ticks - 116444736000000000ULL) / 10);
}

bool SeenThrough(HWND window)
{
    if (!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED))
        return false;
    BYTE alpha = 255;
    DWORD flags = 0;
    // A layered window without attributes (and not updated) is not drawn at all.
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags))
        return true;
    return (flags & LWA_ALPHA) && alpha == 0;
}

bool Watched(HWND window)
{
    wchar_t name[128] = L"";
    wchar_t title[256] = L"";
    GetClassNameW(window, name, 128);
    InternalGetWindowText(window, title, 256);
    return GetAncestor(window, GA_ROOT) == window && std::wcscmp(name, watch.ClassName) == 0 &&
           std::wcscmp(title, watch.Title) == 0;
}

void Showing(HWND window, long long now)
{
    if (watch.Window)
        return;
    watch.Window = window;
    watch.Shown = now;
}

void CALLBACK WindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    const long long now = NowMicroseconds();
    if (object != OBJID_WINDOW || child != CHILDID_SELF || !window)
        return;
    if (event == EVENT_OBJECT_CREATE) {
        if (Watched(window))
            watch.Candidates.push_back(window);
    } else if (event == EVENT_OBJECT_SHOW) {
        if (Watched(window))
            Showing(window, now);
    } else if (window == watch.Window) {
        watch.Gone = true;
    }
}

// A window already shown (the program's main window may have the pop-up's class and title) is
// not the one that comes.
BOOL CALLBACK AddCandidate(HWND window, LPARAM)
{
    if (!IsWindowVisible(window) && Watched(window))
        watch.Candidates.push_back(window);
    return TRUE;
}

// Wine (8.0) raises no show or hide events, only creation and destruction: there the windows of
// the class are looked at every millisecond, which is also how the alpha is followed.
void Look()
{
    const long long now = NowMicroseconds();
    if (!watch.Window)
        for (HWND window : watch.Candidates)
            if (IsWindowVisible(window)) {
                Showing(window, now);
                break;
            }
    if (!watch.Window)
        return;
    if (!IsWindow(watch.Window) || !IsWindowVisible(watch.Window))
        watch.Gone = true;
    else if (!watch.Visible && !SeenThrough(watch.Window))
        watch.Visible = now;
}

// Runs the messages (the hook's events arrive as messages) until done() or the time is up,
// looking at the windows every millisecond.
template <typename Done> bool Pump(DWORD waitMs, Done done)
{
    const DWORD start = GetTickCount();
    Look();
    while (!done()) {
        if (GetTickCount() - start >= waitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Look();
    }
    return true;
}

bool SendLine(SOCKET control, const std::string& line)
{
    const std::string text = line + "\n";
    return send(control, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
}

// The control port answers every command with one line, "ok ..." or "error ...".
bool ReadAnswer(SOCKET control)
{
    std::string line;
    char c = 0;
    while (recv(control, &c, 1, 0) == 1) {
        if (c == '\n')
            return line.rfind("ok", 0) == 0;
        line += c;
    }
    return false;
}

std::wstring Wide(const char* text)
{
    std::wstring wide(std::strlen(text) + 1, L'\0');
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(size > 0 ? size - 1 : 0);
    return wide;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--clock") == 0) {
        std::printf("%lld\n", NowMicroseconds());
        return 0;
    }
    if (argc != 7) {
        std::fprintf(stderr, "usage: show_probe --clock | PORT CLASS TITLE CALLS RING OUT\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::wstring className = Wide(argv[2]), title = Wide(argv[3]);
    const int calls = std::atoi(argv[4]);
    const std::string ring = argv[5];
    if (port <= 0 || port > 65535 || calls <= 0) {
        std::fprintf(stderr, "show_probe: bad port or call count\n");
        return 2;
    }
    watch.ClassName = className.c_str();
    watch.Title = title.c_str();

    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET control = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const DWORD answerWait = kAnswerWaitMs;
    setsockopt(control, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&answerWait),
               sizeof answerWait);
    BOOL noDelay = TRUE;
    setsockopt(control, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (control == INVALID_SOCKET ||
        connect(control, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "show_probe: cannot reach the control port %d\n", port);
        return 1;
    }
    std::FILE* out = std::fopen(argv[6], "w");
    if (!out) {
        std::fprintf(stderr, "show_probe: cannot write %s\n", argv[6]);
        return 1;
    }
    timeBeginPeriod(1);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_HIDE, nullptr, WindowEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook) {
        std::fprintf(stderr, "show_probe: no window-event hook\n");
        return 1;
    }
    int missed = 0;
    for (int call = 0; call < calls; ++call) {
        watch.Candidates.clear();
        EnumWindows(AddCandidate, 0);
        watch.Window = nullptr;
        watch.Shown = watch.Visible = 0;
        watch.Gone = false;
        const long long rung = NowMicroseconds();
        // The answer is read after the window has come: reading it first would hold the events.
        if (!SendLine(control, ring)) {
            std::fprintf(stderr, "show_probe: the control port closed\n");
            break;
        }
        const bool came =
            Pump(kWindowWaitMs, [] { return watch.Visible != 0 || watch.Gone; }) && watch.Visible;
        if (!ReadAnswer(control)) {
            std::fprintf(stderr, "show_probe: ring %d refused\n", call + 1);
            break;
        }
        std::fprintf(out, "%lld %lld %lld\n", rung, came ? watch.Shown : 0, came ? watch.Visible : 0);
        missed += came ? 0 : 1;
        if (!SendLine(control, "hangup-far last") || !ReadAnswer(control)) {
            std::fprintf(stderr, "show_probe: hang-up %d refused\n", call + 1);
            break;
        }
        if (!Pump(kWindowWaitMs, [] { return !watch.Window || watch.Gone; }) && watch.Window)
            std::fprintf(stderr, "show_probe: the window of call %d stayed\n", call + 1);
        watch.Window = nullptr;
        Pump(kGapMs, [] { return false; });
    }
    std::fclose(out);
    UnhookWinEvent(hook);
    timeEndPeriod(1);
    closesocket(control);
    WSACleanup();
    if (missed)
        std::fprintf(stderr, "show_probe: %d of %d windows did not come\n", missed, calls);
    return missed ? 1 : 0;
}
