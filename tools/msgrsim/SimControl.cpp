#include "SimControl.h"

#include <cstdio>
#include <optional>

#include "SimText.h"
#include "platform/MainLoop.h"
#include "settings/TextUtil.h"

namespace msgrsim {
namespace {

const char kHelp[] =
    "ok commands: status [S] | signout | signin | add NAME STATE [PHONE0 [PHONE1 [PHONE2]]] | state NAME "
    "STATE | "
    "select NAME | open NAME | close NAME | front main|NAME | menu main|NAME TEXT... | windows | messages | "
    "log | click main | freeze MS | unload MODULE | quit | crash";

std::string Hex(HWND window)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

// Control characters shown as escapes, so that every answer stays one line.
std::string OneLine(const std::string& text)
{
    std::string line;
    for (char c : text) {
        if (c == '\r')
            line += "\\r";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line;
}

std::string Joined(const std::vector<std::string>& items, const char* separator)
{
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

std::string MenuText(HMENU menu, int position)
{
    wchar_t text[256] = {};
    int length = GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return Narrow(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::vector<std::string> MenuBarItems(HWND window)
{
    std::vector<std::string> items;
    HMENU bar = GetMenu(window);
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoW(bar, static_cast<UINT>(i), TRUE, &info);
        // Right-aligned items are marked, so a test can tell where the bar shows them.
        items.push_back((info.fType & MFT_RIGHTJUSTIFY ? ">" : "") + MenuText(bar, i));
    }
    return items;
}

// The command identifier at the end of a path of menu texts; -1 when the path leads nowhere.
int FindMenuCommand(HMENU menu, const std::vector<std::string>& path, std::size_t level)
{
    for (int i = 0; menu && level < path.size() && i < GetMenuItemCount(menu); ++i) {
        if (MenuText(menu, i) != path[level])
            continue;
        HMENU sub = GetSubMenu(menu, i);
        if (level + 1 == path.size())
            return sub ? -1 : static_cast<int>(GetMenuItemID(menu, i));
        return FindMenuCommand(sub, path, level + 1);
    }
    return -1;
}

std::optional<int> State(const std::string& text)
{
    auto state = settings::ParseDecimal(text);
    if (!state || *state < 0 || *state > 66)
        return std::nullopt;
    return state;
}

} // namespace

std::string TSimControl::Execute(const std::string& line)
{
    std::vector<std::string> words;
    if (!settings::SplitQuotedWords(line, words))
        return "error unclosed quote";
    if (words.empty())
        return "error empty command";
    const std::string& command = words[0];
    const std::size_t n = words.size();
    auto usage = [](const char* text) { return std::string("error usage: ") + text; };
    if (command == "help")
        return kHelp;
    if (command == "quit") {
        platform::RequestQuit();
        return "ok bye";
    }
    if (command == "crash") {
        crash_ = true;
        return "ok";
    }
    if (command == "freeze") {
        auto ms = n == 2 ? settings::ParseDecimal(words[1]) : std::nullopt;
        if (!ms || *ms < 0 || *ms > 60000)
            return usage("freeze MS");
        // Queued behind what is waiting already: everything sent after this answer waits too.
        const DWORD duration = static_cast<DWORD>(*ms);
        platform::Post([duration] { Sleep(duration); });
        return "ok";
    }
    if (command == "unload") {
        if (n != 2)
            return usage("unload MODULE");
        HMODULE module = GetModuleHandleW(Wide(words[1]).c_str());
        if (!module)
            return "error not loaded";
        // One reference dropped, as the window system drops a hook library's when the hook goes.
        FreeLibrary(module);
        return GetModuleHandleW(Wide(words[1]).c_str()) ? "ok loaded" : "ok gone";
    }
    if (command == "click") {
        HWND button = sim_.Button();
        if (n != 2 || words[1] != "main")
            return usage("click main");
        if (!button)
            return "error no button";
        // What the button sends its parent when pressed; the click has run when the answer comes.
        SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        return "ok " + std::to_string(GetDlgCtrlID(button));
    }
    if (command == "status") {
        if (n == 1)
            return "ok " + std::to_string(sim_.LocalState());
        auto state = n == 2 ? State(words[1]) : std::nullopt;
        if (!state)
            return usage("status [0..66]");
        sim_.SetLocalState(*state);
        return "ok " + std::to_string(*state);
    }
    if (command == "signout" || command == "signin") {
        sim_.SetLocalState(command == "signout" ? 1 : 2);
        return "ok " + std::to_string(sim_.LocalState());
    }
    if (command == "add") {
        auto state = n >= 3 && n <= 6 ? State(words[2]) : std::nullopt;
        if (!state || words[1].empty())
            return usage("add NAME STATE [PHONE0 [PHONE1 [PHONE2]]]");
        TContact contact{words[1], *state, {}, nullptr};
        for (std::size_t i = 3; i < n; ++i)
            contact.Phones[i - 3] = words[i];
        sim_.AddContact(contact);
        return "ok " + std::to_string(sim_.ContactCount());
    }
    if (command == "messages") {
        std::vector<std::string> items;
        for (const auto& text : sim_.Received())
            items.push_back(OneLine(text.Contact + "|" + text.Header + "|" + text.Text + "|" +
                                    std::to_string(text.Type)));
        return "ok " + std::to_string(items.size()) + (items.empty() ? "" : " " + Joined(items, "; "));
    }
    if (command == "log")
        return "ok " + Joined(sim_.Log(), "; ");
    if (command == "windows") {
        std::vector<std::string> items;
        for (HWND window : sim_.Windows()) {
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            items.push_back("\"" + sim_.WindowName(window) + "\" " + Hex(window) + " " +
                            Narrow(className, wcslen(className)) + " [" + Joined(MenuBarItems(window), ",") +
                            "]");
        }
        return "ok " + Joined(items, "; ");
    }
    if (command == "front") {
        HWND window = n == 2 ? sim_.WindowByName(words[1]) : nullptr;
        if (!window)
            return n == 2 ? "error no window " + words[1] : usage("front main|NAME");
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return "ok";
    }
    if (command == "menu") {
        HWND window = n >= 3 ? sim_.WindowByName(words[1]) : nullptr;
        if (!window)
            return n >= 3 ? "error no window " + words[1] : usage("menu main|NAME TEXT...");
        int id = FindMenuCommand(GetMenu(window), {words.begin() + 2, words.end()}, 0);
        if (id < 0)
            return "error no such menu item";
        // Sent, as the menu does, so that the answer comes after the command has run.
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return "ok " + std::to_string(id);
    }
    TContact* contact = n >= 2 ? sim_.FindContact(words[1]) : nullptr;
    if ((command == "state" || command == "select" || command == "open" || command == "close") && n >= 2 &&
        !contact)
        return "error no contact " + words[1];
    if (command == "state") {
        auto state = n == 3 ? State(words[2]) : std::nullopt;
        if (!state)
            return usage("state NAME 0..66");
        sim_.SetContactState(*contact, *state);
        return "ok";
    }
    if (command == "select" && n == 2)
        return sim_.Select(contact->Name) ? "ok" : "error cannot select";
    if (command == "open" && n == 2) {
        HWND window = sim_.OpenConversation(*contact);
        return window ? "ok " + Hex(window) : "error cannot open";
    }
    if (command == "close" && n == 2) {
        HWND window = sim_.WindowByName(contact->Name);
        if (!window)
            return "error not open";
        DestroyWindow(window);
        return "ok";
    }
    return "error unknown command " + command;
}

TSimControlPort::~TSimControlPort()
{
    Stop();
}

bool TSimControlPort::Start(std::uint16_t port)
{
    if (listener_.Listen(port, "127.0.0.1") != 0)
        return false;
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void TSimControlPort::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    listener_.Close();
}

// One connection at a time; each line runs on the main thread and its answer goes back.
void TSimControlPort::Loop()
{
    while (!stop_) {
        auto stream = listener_.Accept(100);
        if (!stream)
            continue;
        std::string pending;
        char buffer[512];
        while (!stop_) {
            long received = stream->Receive(buffer, sizeof buffer, 100);
            if (received == 0)
                break;
            if (received < 0)
                continue;
            pending.append(buffer, static_cast<std::size_t>(received));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                std::string answer = "error stopping";
                platform::Synchronize([&] { answer = control_.Execute(line); }, &stop_);
                answer += "\n";
                stream->SendAll(answer.data(), answer.size());
                // As a client that dies: no Offline, no clean-up, windows and connections left as
                // they are.
                if (control_.CrashRequested())
                    TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    }
}

} // namespace msgrsim
