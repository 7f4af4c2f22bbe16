#include "MsgrSim.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "SimText.h"
#include "platform/MainLoop.h"

namespace msgrsim {
namespace {

constexpr UINT kRaiseEvents = WM_APP + 1;
enum : UINT {
    kSignOut = 101,
    kSignIn = 102,
    kExit = 103,
    kSendMessage = 201,
    kAbout = 301,
    kCloseConversation = 401,
    kCopy = 402,
    // The button's identifier is one a dialog's buttons use, as low as a client's controls go.
    kAddContactButton = 1,
};
constexpr int kButtonHeight = 28;

struct StatusNameRow {
    int State;
    const char* Name;
};
const StatusNameRow kStatusNames[] = {
    {0, "Unknown"},        {1, "Offline"}, {2, "Online"},        {6, "Appear Offline"}, {10, "Busy"},
    {14, "Be Right Back"}, {34, "Away"},   {50, "On The Phone"}, {66, "Out To Lunch"},
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TMsgrSim* sim = TMsgrSim::Instance();
    return sim ? sim->MainProc(window, message, wParam, lParam)
               : DefWindowProcW(window, message, wParam, lParam);
}

// The pane only holds the list and keeps it at its size.
LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE) {
        if (HWND list = GetWindow(window, GW_CHILD))
            MoveWindow(list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ConversationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TMsgrSim* sim = TMsgrSim::Instance();
    return sim ? sim->ConversationProc(window, message, wParam, lParam)
               : DefWindowProcW(window, message, wParam, lParam);
}

HMENU Popup(std::initializer_list<std::pair<UINT, const wchar_t*>> items)
{
    HMENU popup = CreatePopupMenu();
    for (const auto& [id, text] : items)
        AppendMenuW(popup, MF_STRING, id, text);
    return popup;
}

HMENU MainMenu()
{
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP,
                reinterpret_cast<UINT_PTR>(
                    Popup({{kSignOut, L"Sign &Out"}, {kSignIn, L"Sign &In"}, {kExit, L"E&xit"}})),
                L"&File");
    AppendMenuW(bar, MF_POPUP,
                reinterpret_cast<UINT_PTR>(Popup({{kSendMessage, L"&Send an Instant Message"}})),
                L"&Contacts");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kAbout, L"&About"}})), L"&Help");
    return bar;
}

HMENU ConversationMenu()
{
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kCloseConversation, L"&Close"}})),
                L"&File");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kCopy, L"&Copy"}})), L"&Edit");
    return bar;
}

} // namespace

TMsgrSim* TMsgrSim::instance_ = nullptr;

std::string StatusName(int state)
{
    for (const auto& row : kStatusNames) {
        if (row.State == state)
            return row.Name;
    }
    return "Status " + std::to_string(state);
}

TMsgrSim::TMsgrSim()
{
    instance_ = this;
}

TMsgrSim::~TMsgrSim()
{
    for (auto& [cookie, sink] : sinks_)
        sink->Release();
    instance_ = nullptr;
}

bool TMsgrSim::CreateWindows()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW mainClass{};
    mainClass.lpfnWndProc = &MainWindowProc;
    mainClass.hInstance = instance;
    mainClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    mainClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    mainClass.lpszClassName = L"MSBLClass";
    WNDCLASSW conversationClass = mainClass;
    conversationClass.lpfnWndProc = &ConversationWindowProc;
    conversationClass.lpszClassName = L"IMWindowClass";
    WNDCLASSW paneClass = mainClass;
    paneClass.lpfnWndProc = &PaneWindowProc;
    paneClass.lpszClassName = L"MsgrSimPane";
    if (!RegisterClassW(&mainClass) || !RegisterClassW(&conversationClass) || !RegisterClassW(&paneClass))
        return false;
    main_ = CreateWindowExW(0, L"MSBLClass", L"msgrsim", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 300, 420,
                            nullptr, MainMenu(), instance, nullptr);
    if (!main_)
        return false;
    RECT client;
    GetClientRect(main_, &client);
    button_ =
        CreateWindowExW(0, L"BUTTON", L"Add a &Contact", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                        client.right, kButtonHeight, main_,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kAddContactButton)), instance, nullptr);
    pane_ = CreateWindowExW(0, L"MsgrSimPane", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, kButtonHeight,
                            client.right, client.bottom - kButtonHeight, main_, nullptr, instance, nullptr);
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER, 0, 0,
        client.right, client.bottom - kButtonHeight, pane_, nullptr, instance, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - 4;
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    return button_ && pane_ && list_;
}

void TMsgrSim::SetLocalState(int state)
{
    localState_ = state;
    if (main_)
        PostMessageW(main_, kRaiseEvents, static_cast<WPARAM>(state), 0);
}

void TMsgrSim::AnnounceOffline()
{
    if (localState_ == 1)
        return;
    localState_ = 1;
    RaiseLocalStateChange(1);
}

void TMsgrSim::RaiseLocalStateChange(int state)
{
    BSTR service = SysAllocString(L"msgrsim");
    // Each call leaves this apartment, which serves incoming calls meanwhile: an Advise or Unadvise
    // may change the list under the loop, so the loop walks a copy holding references of its own.
    const auto sinks = sinks_;
    for (const auto& entry : sinks)
        entry.second->AddRef();
    for (const auto& [cookie, sink] : sinks) {
        // A sink whose process has gone answers with an error: it is dropped.
        if (FAILED(sink->OnLocalStateChangeResult(0, state, service)))
            Unadvise(cookie);
        sink->Release();
    }
    SysFreeString(service);
}

TContact* TMsgrSim::FindContact(const std::string& name)
{
    for (auto& contact : contacts_) {
        if (contact.Name == name)
            return &contact;
    }
    return nullptr;
}

void TMsgrSim::AddContact(const TContact& contact)
{
    if (TContact* existing = FindContact(contact.Name)) {
        existing->State = contact.State;
        existing->Phones = contact.Phones;
    } else {
        contacts_.push_back(contact);
    }
    RefreshList();
}

void TMsgrSim::SetContactState(TContact& contact, int state)
{
    contact.State = state;
    RefreshList();
}

bool TMsgrSim::ReceiveText(const TContact& contact, const std::string& header, const std::string& text,
                           int type)
{
    if (localState_ == 1 || contact.State != 2)
        return false;
    received_.push_back({contact.Name, header, text, type});
    return true;
}

long TMsgrSim::Advise(IMsgrObjectEvents* sink)
{
    sink->AddRef();
    sinks_.emplace_back(nextCookie_, sink);
    return nextCookie_++;
}

bool TMsgrSim::Unadvise(long cookie)
{
    auto it =
        std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& entry) { return entry.first == cookie; });
    if (it == sinks_.end())
        return false;
    it->second->Release();
    sinks_.erase(it);
    return true;
}

void TMsgrSim::RefreshList()
{
    if (!list_)
        return;
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < contacts_.size(); ++i) {
        std::wstring text = Wide(contacts_[i].Name + " (" + StatusName(contacts_[i].State) + ")");
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = text.data();
        item.lParam = static_cast<LPARAM>(i);
        SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

bool TMsgrSim::Select(const std::string& name)
{
    for (std::size_t i = 0; i < contacts_.size(); ++i) {
        if (contacts_[i].Name != name)
            continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        return SendMessageW(list_, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item)) != 0;
    }
    return false;
}

HWND TMsgrSim::OpenConversation(TContact& contact)
{
    if (contact.Conversation && IsWindow(contact.Conversation))
        return contact.Conversation;
    std::wstring title = Wide(contact.Name + " - Conversation");
    int offset = 40 + 30 * static_cast<int>(&contact - contacts_.data());
    contact.Conversation =
        CreateWindowExW(0, L"IMWindowClass", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300 + offset,
                        offset, 360, 260, nullptr, ConversationMenu(), GetModuleHandleW(nullptr), nullptr);
    return contact.Conversation;
}

std::string TMsgrSim::WindowName(HWND window)
{
    if (window && window == main_)
        return "main";
    for (const auto& contact : contacts_) {
        if (window && contact.Conversation == window)
            return contact.Name;
    }
    return {};
}

HWND TMsgrSim::WindowByName(const std::string& name)
{
    if (name == "main")
        return main_;
    TContact* contact = FindContact(name);
    return contact && contact->Conversation && IsWindow(contact->Conversation) ? contact->Conversation
                                                                               : nullptr;
}

std::vector<HWND> TMsgrSim::Windows()
{
    std::vector<HWND> windows;
    if (main_)
        windows.push_back(main_);
    for (const auto& contact : contacts_) {
        if (contact.Conversation && IsWindow(contact.Conversation))
            windows.push_back(contact.Conversation);
    }
    return windows;
}

LRESULT TMsgrSim::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kRaiseEvents:
        RaiseLocalStateChange(static_cast<int>(wParam));
        return 0;
    case WM_SIZE:
        if (button_)
            MoveWindow(button_, 0, 0, LOWORD(lParam), kButtonHeight, TRUE);
        if (pane_)
            MoveWindow(pane_, 0, kButtonHeight, LOWORD(lParam), std::max(HIWORD(lParam) - kButtonHeight, 0),
                       TRUE);
        return 0;
    case WM_COMMAND:
        if (lParam && reinterpret_cast<HWND>(lParam) == button_) {
            if (HIWORD(wParam) == BN_CLICKED)
                log_.push_back("button main " + std::to_string(LOWORD(wParam)));
            return 0;
        }
        log_.push_back("command main " + std::to_string(LOWORD(wParam)));
        switch (LOWORD(wParam)) {
        case kSignOut:
            SetLocalState(1);
            break;
        case kSignIn:
            SetLocalState(2);
            break;
        case kExit:
            DestroyWindow(window);
            break;
        case kSendMessage: {
            int selected = static_cast<int>(
                SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            if (TContact* contact = selected >= 0 ? Contact(static_cast<std::size_t>(selected)) : nullptr)
                OpenConversation(*contact);
            break;
        }
        default:
            break;
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        log_.push_back("destroy main");
        main_ = pane_ = list_ = button_ = nullptr;
        platform::RequestQuit();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT TMsgrSim::ConversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        log_.push_back("command " + WindowName(window) + " " + std::to_string(LOWORD(wParam)));
        if (LOWORD(wParam) == kCloseConversation)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        log_.push_back("destroy " + WindowName(window));
        for (auto& contact : contacts_) {
            if (contact.Conversation == window)
                contact.Conversation = nullptr;
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace msgrsim
