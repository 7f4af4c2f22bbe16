// The baseline of the ring-to-pop-up rows of scripts/bench: a hidden top-level window that shows
// itself when a UDP datagram arrives and hides on the next, built with the same toolchain and
// flags as the program. It stays off the taskbar and on top, as the pop-up does.
//
//   datagram_window PORT [layered]   (datagrams to 127.0.0.1:PORT; "layered": a layered window at
//                                     alpha 10, as the pop-up's first step of its fade)

#include <winsock2.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT kDatagramMessage = WM_APP + 1;

SOCKET datagrams = INVALID_SOCKET;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kDatagramMessage) {
        char buffer[4096];
        // Every waiting datagram toggles the window once.
        while (recv(datagrams, buffer, sizeof buffer, 0) >= 0)
            ShowWindow(window, IsWindowVisible(window) ? SW_HIDE : SW_SHOWNOACTIVATE);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const int port = __argc >= 2 ? std::atoi(__argv[1]) : 0;
    const bool layered = __argc == 3 && std::strcmp(__argv[2], "layered") == 0;
    if (port <= 0 || port > 65535 || __argc > 3 || (__argc == 3 && !layered))
        return 2;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 1;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"KovraBenchDatagram";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | (layered ? WS_EX_LAYERED : 0),
                                  L"KovraBenchDatagram", L"Datagram Window", WS_POPUP | WS_BORDER, 700, 500,
                                  250, 200, nullptr, nullptr, instance, nullptr);
    if (layered && window)
        SetLayeredWindowAttributes(window, 0, 10, LWA_ALPHA);
    datagrams = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!window || datagrams == INVALID_SOCKET ||
        bind(datagrams, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        WSAAsyncSelect(datagrams, window, kDatagramMessage, FD_READ) != 0)
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    closesocket(datagrams);
    WSACleanup();
    return 0;
}
