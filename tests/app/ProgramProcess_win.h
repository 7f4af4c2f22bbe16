#pragma once
// The real KovraAssistant.exe in a process of its own, pointed at a scripted server on loopback
// with the enciphered argument the portal would give it; ended when the test is done with it. And
// the window look-ups the tests of such processes share.

#include <windows.h>

#include <string>
#include <vector>

#include "settings/QMEncoder.h"

// Every top-level window of a process, shown or hidden, in z-order.
inline std::vector<HWND> ProcessWindows(DWORD process)
{
    std::pair<DWORD, std::vector<HWND>> search{process, {}};
    EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.first)
                s.second.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Every window below parent, at any depth.
inline std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) CALLBACK -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

// The first visible top-level window of a process with that title, or null.
inline HWND ProcessWindow(DWORD process, const std::wstring& title)
{
    for (HWND window : ProcessWindows(process)) {
        wchar_t text[128] = {};
        GetWindowTextW(window, text, 128);
        if (IsWindowVisible(window) && title == text)
            return window;
    }
    return nullptr;
}

class TProgramProcess {
public:
    TProgramProcess() = default;
    TProgramProcess(const TProgramProcess&) = delete;
    TProgramProcess& operator=(const TProgramProcess&) = delete;
    ~TProgramProcess()
    {
        if (!process_.hProcess)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    // False when the argument cannot be made or the program cannot be started.
    bool Start(const std::vector<std::string>& parameters, std::uint16_t serverPort,
               const wchar_t* instanceName)
    {
        std::string argument, error;
        if (!settings::TQMEncoder::EncodeArgument(parameters, argument, error))
            return false;
        return Run(argument, std::to_wstring(serverPort), instanceName);
    }
    // The program with its first argument as it stands (a link, say) and the server port as given
    // to it in its environment.
    bool Run(const std::string& argument, const std::wstring& serverPort, const wchar_t* instanceName)
    {
        SetEnvironmentVariableW(L"KOVRA_SERVER_PORT", serverPort.c_str());
        SetEnvironmentVariableW(L"KOVRA_LOCAL_PORT", L"0");
        SetEnvironmentVariableW(L"KOVRA_INSTANCE_NAME", instanceName);
        const bool started =
            Launch(L"\"" KOVRA_ASSISTANT_EXE L"\" " + std::wstring(argument.begin(), argument.end()));
        for (const wchar_t* name : {L"KOVRA_SERVER_PORT", L"KOVRA_LOCAL_PORT", L"KOVRA_INSTANCE_NAME"})
            SetEnvironmentVariableW(name, nullptr);
        return started;
    }
    // Any program (a screen reader's probe, say), by its command line.
    bool Launch(std::wstring command)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_);
    }
    bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD Id() const { return process_.dwProcessId; }
    DWORD ThreadId() const { return process_.dwThreadId; }
    HANDLE Handle() const { return process_.hProcess; }

private:
    PROCESS_INFORMATION process_{};
};
