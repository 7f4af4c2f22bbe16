// Subclasses the messaging client's windows from inside its process (through a system-wide CBT
// hook), reports them to the notification window, forwards their menu commands and reads their
// list views. Every instance of the library, in every process, shares one named block.

#include "KovraUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kBlockName[] = "_$Qm$S$W_";
const char kOldProcProperty[] = "_QmOldProc_";
const char kMenuProperty[] = "_QmMenu_"; // the popup this library put into the window's menu bar
constexpr DWORD kBlockSize = 3120;
constexpr std::size_t kNotifyOffset = 0;
constexpr std::size_t kClassListOffset = 4;
constexpr std::size_t kClassListSize = 2049;
constexpr std::size_t kRecordOffset = 2053;
constexpr std::size_t kRecordFields = 10;
constexpr std::size_t kTextOffset = 2093;

constexpr WPARAM kSubclassRequest = 0x10293847;
constexpr WPARAM kRelease = 0x10293848;
constexpr WPARAM kReadListView = 0x10293849;
constexpr ULONG_PTR kSetMenu = 0x1029384A; // WM_COPYDATA carrying a popup's entries
constexpr UINT kNotifyCommand = WM_USER;
constexpr UINT kNotifySubclassed = WM_USER + 1;
constexpr UINT kNotifyReleased = WM_USER + 2;
constexpr int kCbtCreateWindow = 3;
constexpr int kCbtSysCommand = 8;

HINSTANCE gInstance = nullptr;
HHOOK gHook = nullptr;     // only in the process that installed the hook
HANDLE gMapping = nullptr; // keeps the block alive from InstallNotify to UninstallNotify

// One access to the shared block: opened by name, mapped whole, unmapped when done.
class BlockView {
public:
    BlockView()
    {
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
        if (mapping_)
            bytes_ =
                static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize));
    }
    ~BlockView()
    {
        if (bytes_)
            UnmapViewOfFile(bytes_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    BlockView(const BlockView&) = delete;
    BlockView& operator=(const BlockView&) = delete;

    unsigned char* Bytes() const { return bytes_; }

private:
    HANDLE mapping_ = nullptr;
    unsigned char* bytes_ = nullptr;
};

// Window handles are 32-bit values in every bitness; the block keeps them in 4 bytes.
HWND ReadWindow(const unsigned char* bytes)
{
    std::int32_t value;
    std::memcpy(&value, bytes + kNotifyOffset, sizeof value);
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(value));
}

void WriteWindow(unsigned char* bytes, HWND window)
{
    auto value = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
    std::memcpy(bytes + kNotifyOffset, &value, sizeof value);
}

HWND NotifyWindow()
{
    BlockView block;
    return block.Bytes() ? ReadWindow(block.Bytes()) : nullptr;
}

// The block's record is the ten 32-bit fields of the 8-bit list-view item; the system's own record
// is wider in the 64-bit build, so both sides convert.
struct BlockRecord {
    std::uint32_t Fields[kRecordFields];
};

void ToBlockRecord(const LVITEMA& item, unsigned char* bytes)
{
    const BlockRecord record{
        {item.mask, static_cast<std::uint32_t>(item.iItem), static_cast<std::uint32_t>(item.iSubItem),
         item.state, item.stateMask,
         static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(item.pszText)),
         static_cast<std::uint32_t>(item.cchTextMax), static_cast<std::uint32_t>(item.iImage),
         static_cast<std::uint32_t>(item.lParam), static_cast<std::uint32_t>(item.iIndent)}};
    std::memcpy(bytes + kRecordOffset, &record, sizeof record);
}

// Every field but the text pointer, which stays the one of the process that holds the record.
void FromBlockRecord(const unsigned char* bytes, LVITEMA& item)
{
    BlockRecord record;
    std::memcpy(&record, bytes + kRecordOffset, sizeof record);
    item.mask = record.Fields[0];
    item.iItem = static_cast<int>(record.Fields[1]);
    item.iSubItem = static_cast<int>(record.Fields[2]);
    item.state = record.Fields[3];
    item.stateMask = record.Fields[4];
    item.cchTextMax = static_cast<int>(record.Fields[6]);
    item.iImage = static_cast<int>(record.Fields[7]);
    item.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(record.Fields[8]));
    item.iIndent = static_cast<int>(record.Fields[9]);
}

// How long either side waits on the other's thread. The program's thread may itself be waiting on
// this process (a call to the client's automation object does not take window messages while it
// waits), so an unbounded send from here would hold both for good.
constexpr UINT kSendTimeout = 2000;

LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeout,
                             &answer))
        return 0;
    return static_cast<LRESULT>(answer);
}

// Posted: the program needs no answer, and the client's thread goes on at once.
void PostNotification(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HWND notify = NotifyWindow())
        PostMessageW(notify, message, wParam, lParam);
}

WNDPROC OldProcOf(HWND window)
{
    return reinterpret_cast<WNDPROC>(GetPropA(window, kOldProcProperty));
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A subclassed window points into this library for as long as the client lives: the system may
// drop the hook's reference to it when the program ends, crashes or unhooks while a release is
// still out, and a window calling into an unmapped library takes the client down. Pinned once the
// first window is subclassed, the library stays until the client's process ends. (A reference
// dropped at the last release could not be: the release runs inside the library's own code.)
void PinLibrary()
{
    static bool pinned = false;
    HMODULE self = nullptr;
    if (!pinned)
        pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                    reinterpret_cast<LPCWSTR>(&PinLibrary), &self) != FALSE;
}

// A window subclassed already (for a program that has gone, or before the program installed again)
// is announced again, so that the program now listening learns of it and puts its popup in.
void Subclass(HWND window)
{
    if (!GetPropA(window, kOldProcProperty)) {
        PinLibrary();
        auto old = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
        if (!old)
            return;
        SetPropA(window, kOldProcProperty, reinterpret_cast<HANDLE>(old));
    }
    PostNotification(kNotifySubclassed, reinterpret_cast<WPARAM>(window), 0);
}

// Takes the popup put in by SetMenuFromCopy out of the bar and frees it.
void RemoveInjectedMenu(HWND window)
{
    auto popup = static_cast<HMENU>(GetPropA(window, kMenuProperty));
    if (!popup)
        return;
    RemovePropA(window, kMenuProperty);
    if (HMENU bar = GetMenu(window)) {
        for (int i = GetMenuItemCount(bar) - 1; i >= 0; --i) {
            if (GetSubMenu(bar, i) == popup) {
                RemoveMenu(bar, static_cast<UINT>(i), MF_BYPOSITION);
                DrawMenuBar(window);
                break;
            }
        }
    }
    DestroyMenu(popup);
}

// The popup put in by SetMenuFromCopy while it is still in the window's menu bar.
HMENU InjectedMenu(HWND window)
{
    auto popup = static_cast<HMENU>(GetPropA(window, kMenuProperty));
    HMENU bar = popup ? GetMenu(window) : nullptr;
    for (int i = bar ? GetMenuItemCount(bar) - 1 : -1; i >= 0; --i) {
        if (GetSubMenu(bar, i) == popup)
            return popup;
    }
    return nullptr;
}

// Identifiers the popup's items take in the client's window: none that an item of the bar already
// uses, so that a pick of the client's own item is never taken for ours. Each item keeps the
// program's command in its item data. The range is one client programs seldom use.
constexpr UINT kFirstLocalCommand = 0xD000;
constexpr UINT kEndLocalCommand = 0xF000;

void CollectCommands(HMENU menu, HMENU skip, std::vector<UINT>& commands, int depth = 0)
{
    if (!menu || menu == skip || depth > 8)
        return;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (HMENU sub = GetSubMenu(menu, i))
            CollectCommands(sub, skip, commands, depth + 1);
        else
            commands.push_back(GetMenuItemID(menu, i));
    }
}

class TLocalCommands {
public:
    TLocalCommands(HMENU bar, HMENU replaced)
    {
        CollectCommands(bar, replaced, used_);
        std::sort(used_.begin(), used_.end());
    }
    // 0 when the range is used up.
    UINT Next()
    {
        while (next_ < kEndLocalCommand && std::binary_search(used_.begin(), used_.end(), next_))
            ++next_;
        return next_ < kEndLocalCommand ? next_++ : 0;
    }

private:
    std::vector<UINT> used_;
    UINT next_ = kFirstLocalCommand;
};

// The program's command for a pick of one of the popup's items (its submenus included); false for
// anything else.
bool InjectedCommand(HWND window, UINT local, UINT& command)
{
    HMENU popup = InjectedMenu(window);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA | MIIM_SUBMENU;
    if (!popup || !GetMenuItemInfoW(popup, local, FALSE, &info) || info.hSubMenu)
        return false;
    command = static_cast<UINT>(info.dwItemData);
    return true;
}

// The window the popup was built for; its program is gone when that window is, or when another
// window now receives the notifications.
HWND PopupOwner(HMENU popup)
{
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    return GetMenuInfo(popup, &info) ? reinterpret_cast<HWND>(info.dwMenuData) : nullptr;
}

// A pick of the popup goes to its program, posted, so that this thread never waits on the program
// while the program may be waiting on this thread. A popup whose program has gone is taken out of
// the bar instead: its commands would mean nothing to whoever listens now.
void ForwardCommand(HWND window, UINT command)
{
    HWND notify = NotifyWindow();
    HWND owner = PopupOwner(InjectedMenu(window));
    if (!notify || notify != owner || !IsWindow(notify) ||
        !PostMessageW(notify, kNotifyCommand, MAKEWPARAM(command, 0), reinterpret_cast<LPARAM>(window)))
        RemoveInjectedMenu(window);
}

// The copy's layout, the same in both bitnesses: per entry four 32-bit fields (level, command,
// flags, text length in UTF-16 units) and the text.
struct CopiedEntry {
    std::uint32_t Level, Command, Flags, Length;
};

void AppendCopied(std::vector<unsigned char>& bytes, const KovraMenuEntry& entry)
{
    const std::size_t length = entry.Text ? static_cast<std::size_t>(lstrlenW(entry.Text)) : 0;
    const CopiedEntry head{static_cast<std::uint32_t>(entry.Level), entry.Command, entry.Flags,
                           static_cast<std::uint32_t>(length < KovraMenuTextMax ? length : KovraMenuTextMax)};
    const std::size_t at = bytes.size();
    bytes.resize(at + sizeof head + head.Length * sizeof(wchar_t));
    std::memcpy(bytes.data() + at, &head, sizeof head);
    if (head.Length)
        std::memcpy(bytes.data() + at + sizeof head, entry.Text, head.Length * sizeof(wchar_t));
}

// Builds the popup from a copy made by SetClientMenu, inside the window's own process, and puts it
// in place of the one there before. A copy that is cut short or out of order changes nothing.
LRESULT SetMenuFromCopy(HWND window, const COPYDATASTRUCT& copy)
{
    HMENU bar = GetMenu(window);
    const auto* bytes = static_cast<const unsigned char*>(copy.lpData);
    std::size_t size = bytes ? copy.cbData : 0;
    if (size == 0) {
        RemoveInjectedMenu(window);
        return 1;
    }
    if (!bar)
        return 0;
    TLocalCommands locals(bar, static_cast<HMENU>(GetPropA(window, kMenuProperty)));
    constexpr std::uint32_t kLevels = 4;
    HMENU menus[kLevels + 1] = {};
    std::wstring caption;
    auto fail = [&] {
        if (menus[1])
            DestroyMenu(menus[1]);
        return LRESULT{0};
    };
    for (std::size_t at = 0; at < size;) {
        CopiedEntry head;
        if (size - at < sizeof head)
            return fail();
        std::memcpy(&head, bytes + at, sizeof head);
        at += sizeof head;
        if (head.Length > KovraMenuTextMax || size - at < head.Length * sizeof(wchar_t) ||
            head.Level > kLevels)
            return fail();
        std::wstring text(head.Length, L'\0');
        std::memcpy(text.data(), bytes + at, head.Length * sizeof(wchar_t));
        at += head.Length * sizeof(wchar_t);
        if (head.Level == 0) {
            if (menus[1])
                return fail();
            caption = text;
            menus[1] = CreatePopupMenu();
            continue;
        }
        HMENU parent = menus[head.Level];
        if (!parent)
            return fail();
        for (std::uint32_t deeper = head.Level + 1; deeper <= kLevels; ++deeper)
            menus[deeper] = nullptr;
        const UINT state = head.Flags & (MF_GRAYED | MF_CHECKED);
        if (head.Flags & MF_SEPARATOR) {
            AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
        } else if ((head.Flags & MF_POPUP) && head.Level < kLevels) {
            HMENU sub = CreatePopupMenu();
            AppendMenuW(parent, MF_POPUP | MF_STRING | state, reinterpret_cast<UINT_PTR>(sub), text.c_str());
            menus[head.Level + 1] = sub;
        } else {
            const UINT local = locals.Next();
            if (!local)
                return fail();
            AppendMenuW(parent, MF_STRING | state, local, text.c_str());
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_DATA;
            info.dwItemData = head.Command;
            SetMenuItemInfoW(parent, local, FALSE, &info);
        }
    }
    if (!menus[1])
        return 0;
    MENUINFO owner{};
    owner.cbSize = sizeof owner;
    owner.fMask = MIM_MENUDATA;
    owner.dwMenuData = reinterpret_cast<ULONG_PTR>(NotifyWindow());
    SetMenuInfo(menus[1], &owner);
    RemoveInjectedMenu(window);
    if (!AppendMenuW(bar, MF_POPUP | MF_STRING | MF_RIGHTJUSTIFY, reinterpret_cast<UINT_PTR>(menus[1]),
                     caption.c_str()))
        return fail();
    SetPropA(window, kMenuProperty, menus[1]);
    DrawMenuBar(window);
    return 1;
}

void Release(HWND window, bool notify)
{
    WNDPROC old = OldProcOf(window);
    if (!old)
        return;
    RemoveInjectedMenu(window);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(window, kOldProcProperty);
    if (notify)
        PostNotification(kNotifyReleased, reinterpret_cast<WPARAM>(window), 0);
}

// Runs in the process that owns the list view: the item is read into this process's view of the
// block's text buffer, then the record goes back to the block with the caller's text pointer.
LRESULT ReadListViewItem(HWND listView)
{
    BlockView block;
    unsigned char* bytes = block.Bytes();
    if (!bytes)
        return 0;
    LVITEMA item{};
    FromBlockRecord(bytes, item);
    // Only what the ten fields describe: a wider mask would make the list view follow null pointers.
    item.mask &= LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE | LVIF_INDENT | LVIF_NORECOMPUTE;
    if (item.cchTextMax > KovraUtilsTextCapacity)
        item.cchTextMax = KovraUtilsTextCapacity;
    BlockRecord original;
    std::memcpy(&original, bytes + kRecordOffset, sizeof original);
    char* text = reinterpret_cast<char*>(bytes + kTextOffset);
    item.pszText = text;
    LRESULT answer = SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    // A list view may answer with its own text instead of filling the buffer it was given.
    if (answer && item.pszText && item.pszText != text && item.cchTextMax > 0)
        lstrcpynA(text, item.pszText, item.cchTextMax);
    item.pszText = reinterpret_cast<char*>(static_cast<std::uintptr_t>(original.Fields[5]));
    ToBlockRecord(item, bytes);
    return answer;
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = OldProcOf(window);
    auto passOn = [&] {
        return old ? CallWindowProcW(old, window, message, wParam, lParam)
                   : DefWindowProcW(window, message, wParam, lParam);
    };
    switch (message) {
    case WM_NULL:
        if (wParam == kSubclassRequest)
            return 0;
        if (wParam == kRelease) {
            Release(window, false);
            return 0;
        }
        if (wParam == kReadListView)
            return ReadListViewItem(reinterpret_cast<HWND>(lParam));
        return passOn();
    case WM_COPYDATA: {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (copy && copy->dwData == kSetMenu)
            return SetMenuFromCopy(window, *copy);
        return passOn();
    }
    case WM_DESTROY:
        Release(window, true);
        return passOn();
    case WM_COMMAND: {
        // Only a menu pick (source 0, no control) of an item of our popup is the program's; the
        // client's own items, accelerators and controls' notifications are the client's alone.
        UINT command = 0;
        if (HIWORD(wParam) == 0 && lParam == 0 && InjectedCommand(window, LOWORD(wParam), command)) {
            ForwardCommand(window, command);
            return 0;
        }
        return passOn();
    }
    default:
        return passOn();
    }
}

bool ClassListed(HWND window)
{
    char className[261] = {};
    if (!GetClassNameA(window, className, sizeof className))
        return false;
    // A private copy: another process may rewrite the block while the list is walked.
    char list[kClassListSize];
    {
        BlockView block;
        if (!block.Bytes())
            return false;
        std::memcpy(list, block.Bytes() + kClassListOffset, sizeof list);
    }
    list[kClassListSize - 1] = '\0';
    for (const char* name = list; *name && name < list + kClassListSize; name += lstrlenA(name) + 1) {
        if (lstrcmpiA(name, className) == 0)
            return true;
    }
    return false;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == kCbtCreateWindow) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (ClassListed(window))
            PostMessageW(window, WM_SYSCOMMAND, kSubclassRequest, reinterpret_cast<LPARAM>(window));
    } else if (code == kCbtSysCommand && (wParam & 0xFFF0) == (kSubclassRequest & 0xFFF0)) {
        // The system command is the low word; only our own request carries this value.
        Subclass(reinterpret_cast<HWND>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Length of the list including every name's zero byte and the closing empty name, at most the
// block's room for it.
std::size_t ClassListLength(const char* names)
{
    std::size_t length = 0;
    while (length + 1 < kClassListSize &&
           !(names[length] == '\0' && (length == 0 || names[length - 1] == '\0')))
        ++length;
    return length + 1;
}

} // namespace

KOVRAUTILS_API void WINAPI InstallNotify(HWND notifyWindow, const char* classNames)
{
    if (!gMapping)
        gMapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, kBlockName);
    {
        BlockView block;
        if (unsigned char* bytes = block.Bytes()) {
            WriteWindow(bytes, notifyWindow);
            std::memset(bytes + kClassListOffset, 0, kClassListSize);
            if (classNames)
                std::memcpy(bytes + kClassListOffset, classNames, ClassListLength(classNames));
        }
    }
    if (!gHook)
        gHook = SetWindowsHookExW(WH_CBT, &CbtProc, gInstance, 0);
    HWND existing = classNames && *classNames ? FindWindowA(classNames, nullptr) : nullptr;
    if (existing)
        SendBounded(existing, WM_SYSCOMMAND, kSubclassRequest, reinterpret_cast<LPARAM>(existing));
    // Windows still subclassed from an earlier run (its program killed, or its release timed out)
    // are announced again to this one.
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window != existing && GetPropA(window, kOldProcProperty))
            SendBounded(window, WM_SYSCOMMAND, kSubclassRequest, reinterpret_cast<LPARAM>(window));
    }
}

KOVRAUTILS_API void WINAPI UninstallNotify()
{
    // The windows are released before the hook goes: once it is removed the system may unmap this
    // library from the client, and a window still pointing at its procedure would crash there.
    HWND notify = NotifyWindow();
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (!GetPropA(window, kOldProcProperty))
            continue;
        SendBounded(window, WM_NULL, kRelease, 0);
        if (notify)
            SendMessageW(notify, kNotifyReleased, reinterpret_cast<WPARAM>(window), 0);
    }
    if (gHook) {
        UnhookWindowsHookEx(gHook);
        gHook = nullptr;
    }
    if (gMapping) {
        CloseHandle(gMapping);
        gMapping = nullptr;
    }
}

KOVRAUTILS_API BOOL WINAPI GetListViewItem(HWND subclassedWindow, HWND listView, LVITEMA* item)
{
    if (!item)
        return FALSE;
    // The list view writes into the block's text buffer: a larger capacity would run past it.
    LVITEMA request = *item;
    if (request.cchTextMax > KovraUtilsTextCapacity)
        request.cchTextMax = KovraUtilsTextCapacity;
    {
        BlockView block;
        if (!block.Bytes())
            return FALSE;
        ToBlockRecord(request, block.Bytes());
    }
    LRESULT answer =
        SendBounded(subclassedWindow, WM_NULL, kReadListView, reinterpret_cast<LPARAM>(listView));
    BlockView block;
    if (!block.Bytes())
        return FALSE;
    FromBlockRecord(block.Bytes(), *item);
    if (item->pszText && request.cchTextMax > 0) {
        std::memcpy(item->pszText, block.Bytes() + kTextOffset, static_cast<std::size_t>(request.cchTextMax));
        // A list view may fill the whole capacity without a terminator; the caller gets a string.
        item->pszText[request.cchTextMax - 1] = '\0';
    }
    return answer != 0;
}

KOVRAUTILS_API BOOL WINAPI SetClientMenu(HWND subclassedWindow, const KovraMenuEntry* entries, int count)
{
    if (count < 0 || count > KovraMenuEntriesMax || (count > 0 && !entries))
        return FALSE;
    std::vector<unsigned char> bytes;
    for (int i = 0; i < count; ++i)
        AppendCopied(bytes, entries[i]);
    COPYDATASTRUCT copy{kSetMenu, static_cast<DWORD>(bytes.size()), bytes.empty() ? nullptr : bytes.data()};
    // Only a subclassed window answers; its procedure builds the popup on the window's own thread.
    return SendBounded(subclassedWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)) != 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        gInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
