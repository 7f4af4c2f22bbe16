// The controls as screen readers see them: every window of the toolkit answers WM_GETOBJECT with
// an IAccessible that says the model's name and role and hands the rest (places, parents, the
// child windows, a native control's value and states) to the system's standard object of the
// window. A tab set's tabs are its children; so are a list box's lines, named by the model.
#include "ui/win32/Win32Internal.h"

#include <oleacc.h>

#include <string>

#include "platform/OleAutomation_win.h"
#include "ui/Component.h"
#include "ui/Dpi.h"
#include "ui/UnicodeCtrls.h"
#include "ui/UnicodeText.h"

namespace ui::win32 {
namespace {

// The interface's identifier as the compiler knows it: mingw's oleacc import library resolves
// IID_IAccessible to an import thunk, so a client would be sent its code bytes as the interface.
const IID kAccessible = __uuidof(IAccessible);

// The accessibility library is mapped when a client first asks, not at every start: most users
// never run one, and a library mapped costs its pages for the whole day.
struct TOleAcc {
    decltype(&CreateStdAccessibleObject) CreateStandard = nullptr;
    decltype(&LresultFromObject) Result = nullptr;
};

const TOleAcc& OleAcc()
{
    static const TOleAcc functions = [] {
        TOleAcc found;
        if (HMODULE module = LoadLibraryW(L"oleacc.dll")) {
            found.CreateStandard = reinterpret_cast<decltype(found.CreateStandard)>(
                reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
            found.Result = reinterpret_cast<decltype(found.Result)>(
                reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        }
        return found;
    }();
    return functions;
}

long SystemRole(TAccessibleRole role)
{
    switch (role) {
    case TAccessibleRole::Client:
        return ROLE_SYSTEM_CLIENT;
    case TAccessibleRole::Alert:
        return ROLE_SYSTEM_ALERT;
    case TAccessibleRole::Pane:
        return ROLE_SYSTEM_PANE;
    case TAccessibleRole::Grouping:
        return ROLE_SYSTEM_GROUPING;
    case TAccessibleRole::StaticText:
        return ROLE_SYSTEM_STATICTEXT;
    case TAccessibleRole::Link:
        return ROLE_SYSTEM_LINK;
    case TAccessibleRole::PushButton:
        return ROLE_SYSTEM_PUSHBUTTON;
    case TAccessibleRole::CheckButton:
        return ROLE_SYSTEM_CHECKBUTTON;
    case TAccessibleRole::RadioButton:
        return ROLE_SYSTEM_RADIOBUTTON;
    case TAccessibleRole::Text:
        return ROLE_SYSTEM_TEXT;
    case TAccessibleRole::ComboBox:
        return ROLE_SYSTEM_COMBOBOX;
    case TAccessibleRole::List:
        return ROLE_SYSTEM_LIST;
    case TAccessibleRole::ListItem:
        return ROLE_SYSTEM_LISTITEM;
    case TAccessibleRole::PageTabList:
        return ROLE_SYSTEM_PAGETABLIST;
    case TAccessibleRole::PageTab:
        return ROLE_SYSTEM_PAGETAB;
    case TAccessibleRole::PropertyPage:
        return ROLE_SYSTEM_PROPERTYPAGE;
    case TAccessibleRole::Graphic:
        return ROLE_SYSTEM_GRAPHIC;
    case TAccessibleRole::ColumnHeader:
        return ROLE_SYSTEM_COLUMNHEADER;
    case TAccessibleRole::ToolTip:
        return ROLE_SYSTEM_TOOLTIP;
    }
    return ROLE_SYSTEM_CLIENT;
}

HRESULT Text(const std::string& text, BSTR* out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    const std::wstring wide = Wide(text);
    *out = platform::AllocBstr(wide.data(), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class TAccessibleObject final : public IAccessible {
public:
    TAccessibleObject(HWND window, IAccessible* standard) : window_(window), standard_(standard) {}
    TAccessibleObject(const TAccessibleObject&) = delete;
    TAccessibleObject& operator=(const TAccessibleObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IDispatch)) ||
            IsEqualIID(iid, kAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            if (standard_)
                standard_->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients call through the interface itself.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        return standard_ ? standard_->get_accParent(parent) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (Itemised()) {
            *count = ItemCount();
            return S_OK;
        }
        return standard_ ? standard_->get_accChildCount(count) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (Itemised()) {
            *out = nullptr;
            return IsItem(child) ? S_FALSE : E_INVALIDARG; // tabs and lines are simple elements
        }
        return standard_ ? standard_->get_accChild(child, out) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        const long item = Item(child);
        if (item == 0)
            return Text(control->AccessibleName(), name);
        if (IsItem(child)) {
            if (auto* tabs = Tabs())
                return Text(DecodeEscapes(tabs->Tabs().Strings(item - 1)), name);
            return Text(List()->AccessibleItemName(item - 1), name);
        }
        return standard_ && !Itemised() ? standard_->get_accName(child, name) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        if (Itemised() && Item(child) != 0)
            return Text({}, value);
        return standard_ ? standard_->get_accValue(child, value) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        if (Item(child) != 0)
            return Text({}, description);
        const std::string hint = DecodeEscapes(control->Hint());
        return Text(hint == control->AccessibleName() ? std::string() : hint, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        const long item = Item(child);
        if (item != 0 && !IsItem(child))
            return standard_ && !Itemised() ? standard_->get_accRole(child, role) : E_INVALIDARG;
        platform::InitVariant(role);
        role->vt = VT_I4;
        role->lVal = item == 0 ? SystemRole(control->AccessibleRole())
                               : (Tabs() ? ROLE_SYSTEM_PAGETAB : ROLE_SYSTEM_LISTITEM);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        const long item = Item(child);
        const bool custom = !standard_ || ClassIs(kControlClass) || ClassIs(kFormClass);
        if (item == 0 ? !custom : !IsItem(child))
            return standard_ ? standard_->get_accState(child, state) : E_INVALIDARG;
        long flags = 0;
        const bool focused = control->Focused();
        if (!IsWindowVisible(window_))
            flags |= STATE_SYSTEM_INVISIBLE;
        if (!control->Enabled())
            flags |= STATE_SYSTEM_UNAVAILABLE;
        if (item != 0) {
            flags |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
            if (item - 1 == SelectedItem())
                flags |= STATE_SYSTEM_SELECTED | (focused ? STATE_SYSTEM_FOCUSED : 0);
            if (auto* checks = dynamic_cast<TCheckListBox*>(List()); checks && checks->Checked(item - 1))
                flags |= STATE_SYSTEM_CHECKED;
        } else {
            if (control->TabStop())
                flags |= STATE_SYSTEM_FOCUSABLE | (focused ? STATE_SYSTEM_FOCUSED : 0);
            if (control->AccessibleRole() == TAccessibleRole::Link)
                flags |= STATE_SYSTEM_LINKED;
            if (control->AccessibleRole() == TAccessibleRole::StaticText)
                flags |= STATE_SYSTEM_READONLY;
        }
        platform::InitVariant(state);
        state->vt = VT_I4;
        state->lVal = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return Text({}, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return standard_ && !IsItem(child) ? standard_->get_accKeyboardShortcut(child, shortcut)
                                           : Text({}, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        TControl* control = Control();
        if (Itemised() && control && control->Focused()) {
            platform::InitVariant(focus);
            focus->vt = VT_I4;
            focus->lVal = SelectedItem() + 1;
            return S_OK;
        }
        return standard_ ? standard_->get_accFocus(focus) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        if (Itemised()) {
            platform::InitVariant(selection);
            if (SelectedItem() < 0)
                return S_FALSE;
            selection->vt = VT_I4;
            selection->lVal = SelectedItem() + 1;
            return S_OK;
        }
        return standard_ ? standard_->get_accSelection(selection) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        if (IsItem(child))
            return Text(Tabs() ? "Switch" : "Select", action);
        if (Item(child) == 0 && control->Clickable())
            return Text(control->AccessibleRole() == TAccessibleRole::Link ? "Jump" : "Press", action);
        return standard_ && !Itemised() ? standard_->get_accDefaultAction(child, action) : Text({}, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        if (IsItem(child) && (flags & (SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION)))
            return accDoDefaultAction(child);
        return standard_ && !Itemised() ? standard_->accSelect(flags, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override
    {
        if (!IsItem(child))
            return standard_ ? standard_->accLocation(left, top, width, height, child) : E_FAIL;
        RECT item{};
        if (auto* tabs = Tabs()) {
            const TRect tab =
                ScaleRectToDpi(tabs->TabRects()[static_cast<std::size_t>(child.lVal - 1)], tabs->Dpi());
            item = {tab.Left, tab.Top, tab.Right, tab.Bottom};
        } else if (auto* list = List()) {
            // Lines as the list paints them: whole scaled lines down from its first shown.
            const int height = ScaleToDpi(list->ItemHeight(), list->Dpi());
            GetClientRect(window_, &item);
            item.top = (child.lVal - 1 - list->TopIndex()) * height;
            item.bottom = item.top + height;
        }
        MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&item), 2);
        *left = item.left;
        *top = item.top;
        *width = item.right - item.left;
        *height = item.bottom - item.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return standard_ ? standard_->accNavigate(direction, start, end) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override
    {
        if (Itemised()) {
            for (long item = 1; item <= ItemCount(); ++item) {
                VARIANT child{};
                child.vt = VT_I4;
                child.lVal = item;
                long left = 0, top = 0, width = 0, height = 0;
                if (SUCCEEDED(accLocation(&left, &top, &width, &height, child)) && x >= left &&
                    x < left + width && y >= top && y < top + height) {
                    platform::InitVariant(hit);
                    hit->vt = VT_I4;
                    hit->lVal = item;
                    return S_OK;
                }
            }
        }
        return standard_ ? standard_->accHitTest(x, y, hit) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        // The command runs from the window's queue, not inside the client's call: it may open a
        // dialog of its own.
        if (IsItem(child))
            return PostMessageW(window_, kDefaultActionMessage, static_cast<WPARAM>(child.lVal), 0) ? S_OK
                                                                                                    : E_FAIL;
        if (Item(child) == 0 && control->Clickable())
            return PostMessageW(window_, kDefaultActionMessage, 0, 0) ? S_OK : E_FAIL;
        return standard_ && !Itemised() ? standard_->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return standard_ ? standard_->put_accValue(child, value) : E_NOTIMPL;
    }

private:
    // The control while its window lives; the object may outlive both in a client's hands.
    TControl* Control() const { return IsWindow(window_) ? ControlOfWindow(window_) : nullptr; }
    TUnicodeTabSet* Tabs() const { return dynamic_cast<TUnicodeTabSet*>(Control()); }
    TCustomListBox* List() const { return dynamic_cast<TCustomListBox*>(Control()); }
    // A tab set's tabs and a list box's lines are the children here, numbered from 1.
    bool Itemised() const { return Tabs() || List(); }
    long ItemCount() const
    {
        if (auto* tabs = Tabs())
            return tabs->Tabs().Count();
        auto* list = List();
        return list ? list->Items().Count() : 0;
    }
    bool IsItem(const VARIANT& child) const
    {
        return child.vt == VT_I4 && child.lVal > 0 && child.lVal <= ItemCount();
    }
    int SelectedItem() const
    {
        if (auto* tabs = Tabs())
            return tabs->TabIndex();
        auto* list = List();
        return list ? list->ItemIndex() : -1;
    }
    bool ClassIs(const wchar_t* name) const
    {
        wchar_t className[32] = {};
        GetClassNameW(window_, className, 32);
        return lstrcmpiW(className, name) == 0;
    }
    // 0 for the control itself, n for its n-th tab or line; -1 for what is no child id.
    static long Item(const VARIANT& child) { return child.vt == VT_I4 ? child.lVal : -1; }

    LONG refs_ = 1;
    HWND window_;
    IAccessible* standard_;
};

} // namespace

bool AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // Only the client area is ours; the frame, caret, scroll bars stay the system's.
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !ControlOfWindow(window))
        return false;
    const TOleAcc& oleAcc = OleAcc();
    if (!oleAcc.Result)
        return false;
    IAccessible* standard = nullptr;
    if (!oleAcc.CreateStandard ||
        FAILED(oleAcc.CreateStandard(window, OBJID_CLIENT, kAccessible, reinterpret_cast<void**>(&standard))))
        standard = nullptr;
    auto* object = new TAccessibleObject(window, standard);
    result = oleAcc.Result(kAccessible, wParam, static_cast<IAccessible*>(object));
    object->Release();
    return true;
}

void NotifyAccessibility(DWORD event, HWND window, long child)
{
    NotifyWinEvent(event, window, OBJID_CLIENT, child);
}

} // namespace ui::win32
