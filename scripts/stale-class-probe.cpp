// Shows how Wine keeps the class object of a local server that died: a server registers a class
// and is killed, a second server registers the same class, and a client still gets the dead one's
// registration. An experiment, not a test: scripts/stale-class-probe builds and runs it under Wine.
//   stale-class-probe            runs the experiment and prints what each step gave
//   stale-class-probe server     registers the class and serves until killed

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

const CLSID kClass = {0x5d3a1c2e, 0x77b4, 0x4d0e, {0x9a, 0x61, 0x2f, 0x3c, 0x4b, 0x5d, 0x6e, 0x7f}};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** object) override
    {
        return QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

int Serve()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    static Factory factory;
    DWORD cookie = 0;
    HRESULT registered =
        CoRegisterClassObject(kClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    std::printf("server %lu: CoRegisterClassObject 0x%08lx\n", GetCurrentProcessId(),
                static_cast<unsigned long>(registered));
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

HANDLE StartServer()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t command[MAX_PATH + 16];
    std::swprintf(command, MAX_PATH + 16, L"\"%ls\" server", path);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    Sleep(3000);
    return process.hProcess;
}

void Create(const char* when)
{
    IUnknown* object = nullptr;
    HRESULT created = CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                       reinterpret_cast<void**>(&object));
    std::printf("client, %s: CoCreateInstance 0x%08lx\n", when, static_cast<unsigned long>(created));
    std::fflush(stdout);
    if (object)
        object->Release();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "server") == 0)
        return Serve();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HANDLE first = StartServer();
    Create("first server running");
    TerminateProcess(first, 1);
    WaitForSingleObject(first, 5000);
    CloseHandle(first);
    Create("first server killed");
    HANDLE second = StartServer();
    Create("second server running");
    TerminateProcess(second, 1);
    CloseHandle(second);
    // The service started again forgets every registration, the dead ones with the rest.
    std::system("net stop rpcss >nul 2>&1");
    std::system("net start rpcss >nul 2>&1");
    HANDLE third = StartServer();
    Create("third server running, the RPC service started again");
    TerminateProcess(third, 1);
    CloseHandle(third);
    CoUninitialize();
    return 0;
}
