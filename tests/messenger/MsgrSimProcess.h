#pragma once
// msgrsim in a process of its own for the tests across processes: started with a control port,
// driven line by line, ended by "quit". Waiting for an answer pumps this thread's messages, since
// msgrsim may be sending this thread's windows a message (hook notifications) at the same time.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "platform/TcpSocket.h"

class TMsgrSimProcess {
public:
    TMsgrSimProcess() = default;
    ~TMsgrSimProcess();

    // A fresh name for the file where msgrsim writes its control port.
    static std::string NewPortFile();
    // Runs "msgrsim --register" and waits for it; COM starts msgrsim writing its port to portFile.
    static bool Register(const std::string& portFile);
    // Runs msgrsim with these arguments and waits for it: its exit code, or -1.
    static int Run(const std::wstring& arguments);
    // A Windows desktop runs the RPC service from the start; Wine on a plain display starts it
    // only when a first process needs it. Started afresh: Wine's service keeps the class object
    // of a server that was killed and hands it out in place of a new server's
    // (scripts/stale-class-probe), where Windows drops it with its process.
    static void RestartRpcService();
    // Starts msgrsim and connects to its control channel; false when either fails.
    bool Start();
    // Connects to the control channel of a msgrsim that writes its port to portFile (started by
    // COM, for one), and takes hold of its process; false when no port comes.
    bool Attach(const std::string& portFile);
    // The answer line, or "error no answer" when msgrsim does not answer in time.
    std::string Command(const std::string& line);
    // A command whose answer is read later, with Answer (answers come in the order sent).
    bool Send(const std::string& line);
    std::string Answer();
    // The handle of "main" or of a contact's conversation window, from the "windows" answer.
    HWND Window(const std::string& name);
    void Stop();
    // The process's identifier (0 before Start); true once the process has ended.
    DWORD ProcessId() const { return process_.dwProcessId; }
    bool Ended() const;

private:
    PROCESS_INFORMATION process_{};
    std::unique_ptr<platform::TcpStream> control_;
    std::string pending_; // received beyond the last answer read
};

// msgrsim under Wine may take many seconds to start or answer: the waits on it allow this long.
constexpr unsigned kMsgrSimWaitMs = 20000;
