// KovraAssistant.exe: one enciphered argument from the web portal, one instance per desktop.

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "app/AssistantDialogs.h"
#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "app/MSNMainOptions.h"
#include "app/MarkedWindow.h"
#include "app/MessengerLink.h"
#include "app/RunSwitches.h"
#include "app/StartupInfo.h"
#include "app/SystemDesktop.h"
#include "platform/MainLoop.h"
#include "settings/QMEncoder.h"
#include "ui/UnicodeText.h"
#include "ui/win32/Win32Backend.h"

using namespace settings;
using namespace options;
using namespace app;

namespace {

std::optional<std::string> FirstArgument()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::optional<std::string> first;
    if (arguments && count > 1)
        first = ui::Utf16ToUtf8(reinterpret_cast<const char16_t*>(arguments[1]));
    LocalFree(arguments);
    return first;
}

std::string ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string folder = ui::Utf16ToUtf8(reinterpret_cast<const char16_t*>(path));
    const auto slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

void ShowMessage(const std::string& text)
{
    const std::u16string wide = ui::Utf8ToUtf16(text);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"Kovra Assistant",
                MB_OK | MB_ICONWARNING);
}

#ifdef KOVRA_SHIP
constexpr bool kShipped = true;
#else
constexpr bool kShipped = false;
#endif

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The window thread is a single-threaded apartment: while a call to the messaging client is
    // out, the messages the client sends our windows are still served.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_SPEED_OVER_MEMORY);
    platform::InitMainThread();
    ui::Application->SetTitle("Kovra Assistant");

    const std::optional<std::string> first = FirstArgument();
    TAssistantOptions options;
    const bool callLink = first && IsCallLink(*first);
    if (callLink) {
        const TCallLink link = ParseCallLink(*first);
        if (!link.Error.empty()) {
            ShowMessage(link.Error);
            CoUninitialize();
            return 2;
        }
        options.Parameters = CallLinkParameters(link.Number);
    } else {
        options.Parameters = TQMEncoder(first).Parameters();
    }
    options.ProgramFolder = ProgramFolder();
    const auto variable = [](const char* name) -> const char* { return std::getenv(name); };
    if (const std::string refused = ApplyRunSwitches(variable, kShipped, options); !refused.empty()) {
        ShowMessage(refused);
        CoUninitialize();
        return 2;
    }
    // A link names no phone or server: only a running program, started from the portal, can dial it.
    if (callLink) {
        void* running = FindMarkedWindow(NameHash(options.InstanceName));
        if (running)
            SendCopyData(running, JoinHandOver(options.Parameters));
        else
            ShowMessage(CallLinkWithoutProgram());
        CoUninitialize();
        return running ? 0 : 2;
    }
    // The look and feel loads while the window is being built (it is shown once both are done),
    // unless a running instance is about to take the parameters and this one ends at once.
    if (!FindMarkedWindow(NameHash(options.InstanceName)))
        options.LookAndFeel = StartLookAndFeel(options.Parameters, options.ProgramFolder);
    TfmKovraAssistant* form = nullptr;
    options.Services.Desktop =
        std::make_shared<TSystemDesktop>([&form] { return form ? ui::win32::HandleOf(*form) : nullptr; });
    auto link = std::make_shared<TMessengerLink>([] { return messenger::CreateMsgrObject(); });
    // The hook library tells the link about the client's main and conversation windows.
    const std::unique_ptr<IClientWindows> clientHook = CreateClientHook(*link);
    options.Services.Messenger = link;
    auto lists = std::make_shared<TOptionsLists>();
    lists->MessengerOn = [link] { return link->Attached(); };
    lists->Contacts = [link] { return link->ReminderContacts(); };
    options.Services.Dialogs =
        std::make_shared<TAssistantDialogs>(options.Services.Messenger, options.Services.Desktop, lists);
    options.Services.CreateOptions = OptionsWindowFactory(lists);

    form = ui::Application->CreateForm<TfmKovraAssistant>(std::move(options));
    ui::Application->SetShowMainForm(false);
    if (form->FormCreate())
        ui::Application->Run();
    // The status line goes with the window; the wrappers are released (their sinks unadvised)
    // while COM is still there.
    link->SetStateHandler(nullptr);
    delete form;
    link->Close();
    CoUninitialize();
    return 0;
}
