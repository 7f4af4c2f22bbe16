// msgrsim: the messaging client's stand-in (see docs/msgrsim.md).
//   msgrsim --register [--force] [--control PORT] [--port-file FILE]   registers the class; COM starts
//                                                             it with those options; --force replaces
//                                                             another program's registration
//   msgrsim --unregister
//   msgrsim [--control PORT] [--port-file FILE] [-Embedding]
// PORT 0 picks a free port; the port chosen is printed and written to FILE.

#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <optional>

#include "MsgrSim.h"
#include "SimControl.h"
#include "SimText.h"
#include "platform/MainLoop.h"
#include "settings/TextUtil.h"

namespace {

struct Options {
    bool Register = false, Unregister = false, Force = false;
    std::optional<int> ControlPort;
    std::string PortFile;
    std::wstring ServerArguments; // what COM passes when it starts us
};

bool ParseOptions(Options& options)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool good = arguments != nullptr;
    auto argument = [&](int i) { return msgrsim::Narrow(arguments[i], wcslen(arguments[i])); };
    for (int i = 1; good && i < count; ++i) {
        std::string word = argument(i);
        bool hasValue = i + 1 < count;
        if (word == "--register") {
            options.Register = true;
        } else if (word == "--force") {
            options.Force = true;
        } else if (word == "--unregister") {
            options.Unregister = true;
        } else if (settings::SameText(word, "-Embedding") || settings::SameText(word, "/Embedding")) {
        } else if (word == "--control" && hasValue) {
            std::string value = argument(++i);
            options.ControlPort = settings::ParseDecimal(value);
            good = options.ControlPort && *options.ControlPort >= 0 && *options.ControlPort < 65536;
            options.ServerArguments += L" --control " + msgrsim::Wide(value);
        } else if (word == "--port-file" && hasValue) {
            options.PortFile = argument(++i);
            options.ServerArguments += L" --port-file \"" + msgrsim::Wide(options.PortFile) + L"\"";
        } else {
            std::fprintf(stderr, "msgrsim: unknown option %s\n", word.c_str());
            good = false;
        }
    }
    LocalFree(arguments);
    return good;
}

// The model, its windows and the event sinks it holds all go before COM is left.
int Serve(const Options& options)
{
    platform::InitMainThread();
    if (!msgrsim::LoadServerTypeLibrary())
        std::fprintf(stderr, "msgrsim: no type library, late-bound calls will fail\n");
    msgrsim::TMsgrSim sim;
    if (!sim.CreateWindows()) {
        std::fprintf(stderr, "msgrsim: cannot create its windows\n");
        return 1;
    }
    msgrsim::TSimControlPort control(sim);
    if (options.ControlPort) {
        if (!control.Start(static_cast<std::uint16_t>(*options.ControlPort))) {
            std::fprintf(stderr, "msgrsim: cannot listen on control port %d\n", *options.ControlPort);
            return 1;
        }
        std::printf("msgrsim: control port %d\n", control.Port());
        std::fflush(stdout);
        if (!options.PortFile.empty())
            std::ofstream(options.PortFile) << control.Port() << "\n";
    }
    DWORD cookie = 0;
    if (!msgrsim::StartClassObject(cookie))
        std::fprintf(stderr, "msgrsim: cannot offer its class\n");
    while (!platform::QuitRequested())
        platform::ProcessMessages(200);
    // Ended by "quit" or by its window closing, as a client signing out on exit does.
    sim.AnnounceOffline();
    if (cookie)
        CoRevokeClassObject(cookie);
    control.Stop();
    return 0;
}

} // namespace

int main()
{
    Options options;
    if (!ParseOptions(options))
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    if (options.Register || options.Unregister) {
        std::string error;
        bool done = options.Register ? msgrsim::RegisterServer(options.ServerArguments, options.Force, error)
                                     : msgrsim::UnregisterServer(error);
        if (!done)
            std::fprintf(stderr, "msgrsim: %s\n", error.c_str());
        result = done ? 0 : 1;
    } else {
        result = Serve(options);
    }
    CoUninitialize();
    return result;
}
