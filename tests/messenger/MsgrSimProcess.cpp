#include "MsgrSimProcess.h"

#include <cstdio>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

namespace {

bool Launch(std::wstring command, PROCESS_INFORMATION& process)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process);
}

// Runs the command and waits for it (a minute at most): its exit code, or -1.
int RunAndWait(const std::wstring& command)
{
    PROCESS_INFORMATION process{};
    if (!Launch(command, process))
        return -1;
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

std::wstring MsgrSim(const std::wstring& arguments)
{
    return L"\"" KOVRA_MSGRSIM_EXE L"\" " + arguments;
}

std::wstring PortFileArgument(const std::string& portFile)
{
    return L" --port-file \"" + std::wstring(portFile.begin(), portFile.end()) + L"\"";
}

} // namespace

std::string TMsgrSimProcess::NewPortFile()
{
    std::string portFile =
        ::testing::TempDir() + "msgrsim_port_" + std::to_string(std::random_device()()) + ".txt";
    std::remove(portFile.c_str());
    return portFile;
}

bool TMsgrSimProcess::Register(const std::string& portFile)
{
    return Run(L"--register --control 0" + PortFileArgument(portFile)) == 0;
}

int TMsgrSimProcess::Run(const std::wstring& arguments)
{
    return RunAndWait(MsgrSim(arguments));
}

void TMsgrSimProcess::RestartRpcService()
{
    RunAndWait(L"net.exe stop rpcss");
    RunAndWait(L"net.exe start rpcss");
}

TMsgrSimProcess::~TMsgrSimProcess()
{
    Stop();
}

bool TMsgrSimProcess::Start()
{
    std::string portFile = NewPortFile();
    return Launch(MsgrSim(L"--control 0" + PortFileArgument(portFile)), process_) && Attach(portFile);
}

bool TMsgrSimProcess::Attach(const std::string& portFile)
{
    int port = 0;
    PumpUntil(
        [&] {
            std::ifstream(portFile) >> port;
            return port > 0 || (process_.hProcess && Ended());
        },
        kMsgrSimWaitMs);
    std::remove(portFile.c_str());
    if (port > 0)
        control_ = platform::TcpStream::Connect("127.0.0.1", static_cast<std::uint16_t>(port));
    if (!control_)
        return false;
    // Started by COM: the process is found through its main window.
    DWORD processId = 0;
    if (!process_.hProcess && GetWindowThreadProcessId(Window("main"), &processId) && processId) {
        process_.hProcess =
            OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId);
        process_.dwProcessId = process_.hProcess ? processId : 0;
    }
    return true;
}

std::string TMsgrSimProcess::Command(const std::string& line)
{
    if (!control_)
        return "error not started";
    return Send(line) ? Answer() : "error not sent";
}

bool TMsgrSimProcess::Send(const std::string& line)
{
    std::string request = line + "\n";
    return control_ && control_->SendAll(request.data(), request.size()) == 0;
}

std::string TMsgrSimProcess::Answer()
{
    if (!control_)
        return "error not started";
    PumpUntil(
        [&] {
            if (pending_.find('\n') != std::string::npos)
                return true;
            char buffer[4096];
            const long received = control_->Receive(buffer, sizeof buffer, 1);
            if (received > 0)
                pending_.append(buffer, static_cast<std::size_t>(received));
            return received == 0 || pending_.find('\n') != std::string::npos;
        },
        kMsgrSimWaitMs);
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos)
        return "error no answer";
    std::string answer = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return answer;
}

HWND TMsgrSimProcess::Window(const std::string& name)
{
    std::string windows = Command("windows");
    std::size_t at = windows.find("\"" + name + "\" 0x");
    if (at == std::string::npos)
        return nullptr;
    return reinterpret_cast<HWND>(
        static_cast<std::uintptr_t>(std::stoull(windows.substr(at + name.size() + 3), nullptr, 16)));
}

bool TMsgrSimProcess::Ended() const
{
    return !process_.hProcess || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
}

void TMsgrSimProcess::Stop()
{
    if (control_) {
        Command("quit");
        control_.reset();
    }
    if (process_.hProcess) {
        // Pumped: on its way out msgrsim calls this thread's event sinks (Offline).
        if (!PumpUntil([&] { return Ended(); }, kMsgrSimWaitMs))
            TerminateProcess(process_.hProcess, 1);
        if (process_.hThread)
            CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        process_ = {};
    }
}
