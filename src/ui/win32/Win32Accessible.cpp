// The controls as screen readers see them: every window of the toolkit answers WM_GETOBJECT with
// an IAccessible that says the model's name and role and hands the rest (places, parents, the
// child windows, a native control's value and states) to the system's standard object of the
// window. A tab set's tabs are its children; so are a list box's lines, named by the model.
#include "ui/win32/Win32Internal.h"

#include <oleacc.h>

#include <string>

#include "ui/Component.h"
#include "ui/Dpi.h"
#include "ui/UnicodeCtrls.h"
#include "ui/UnicodeText.h"

namespace ui::win32 {
namespace {

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
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
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
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IAccessible)) {
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
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
        if (auto* tabs = Tabs()) {
            *count = tabs->Tabs().Count();
            return S_OK;
        }
        return standard_ ? standard_->get_accChildCount(count) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (Tabs()) {
            *out = nullptr;
            return Item(child) > 0 ? S_FALSE : E_INVALIDARG; // tabs are simple elements
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
        if (auto* tabs = Tabs())
            return item <= tabs->Tabs().Count() ? Text(DecodeEscapes(tabs->Tabs().Strings(item - 1)), name)
                                                : E_INVALIDARG;
        if (auto* list = dynamic_cast<TCustomListBox*>(control))
            return item <= list->Items().Count() ? Text(list->AccessibleItemName(item - 1), name) : E_INVALIDARG;
        return standard_ ? standard_->get_accName(child, name) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
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
        if (item != 0 && !Tabs())
            return standard_ ? standard_->get_accRole(child, role) : E_INVALIDARG;
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = item == 0 ? SystemRole(control->AccessibleRole()) : ROLE_SYSTEM_PAGETAB;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        const long item = Item(child);
        const bool custom = !standard_ || GetClassNameIs(kControlClass) || GetClassNameIs(kFormClass);
        if (!custom || (item != 0 && !Tabs()))
            return standard_ ? standard_->get_accState(child, state) : E_INVALIDARG;
        long flags = 0;
        const bool focused = GetFocus() == window_;
        if (!IsWindowVisible(window_))
            flags |= STATE_SYSTEM_INVISIBLE;
        if (!control->Enabled())
            flags |= STATE_SYSTEM_UNAVAILABLE;
        if (auto* tabs = Tabs(); tabs && item != 0) {
            flags |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
            if (item - 1 == tabs->TabIndex())
                flags |= STATE_SYSTEM_SELECTED | (focused ? STATE_SYSTEM_FOCUSED : 0);
        } else {
            if (control->TabStop())
                flags |= STATE_SYSTEM_FOCUSABLE | (focused ? STATE_SYSTEM_FOCUSED : 0);
            if (control->AccessibleRole() == TAccessibleRole::Link)
                flags |= STATE_SYSTEM_LINKED;
            if (control->AccessibleRole() == TAccessibleRole::StaticText)
                flags |= STATE_SYSTEM_READONLY;
        }
        VariantInit(state);
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
        return standard_ ? standard_->get_accKeyboardShortcut(child, shortcut) : Text({}, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        if (auto* tabs = Tabs(); tabs && GetFocus() == window_) {
            VariantInit(focus);
            focus->vt = VT_I4;
            focus->lVal = tabs->TabIndex() + 1;
            return S_OK;
        }
        return standard_ ? standard_->get_accFocus(focus) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return standard_ ? standard_->get_accSelection(selection) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        const long item = Item(child);
        if (Tabs())
            return Text(item == 0 ? std::string() : "Switch", action);
        if (item == 0 && control->Clickable())
            return Text(control->AccessibleRole() == TAccessibleRole::Link ? "Jump" : "Press", action);
        return standard_ ? standard_->get_accDefaultAction(child, action) : Text({}, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return standard_ ? standard_->accSelect(flags, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        const long item = Item(child);
        auto* tabs = Tabs();
        if (!tabs || item == 0)
            return standard_ ? standard_->accLocation(left, top, width, height, child) : E_FAIL;
        const auto rects = tabs->TabRects();
        if (item > static_cast<long>(rects.size()))
            return E_INVALIDARG;
        const TRect tab = ScaleRectToDpi(rects[static_cast<std::size_t>(item - 1)], tabs->Dpi());
        POINT corner{tab.Left, tab.Top};
        ClientToScreen(window_, &corner);
        *left = corner.x;
        *top = corner.y;
        *width = tab.Width();
        *height = tab.Height();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return standard_ ? standard_->accNavigate(direction, start, end) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override
    {
        if (auto* tabs = Tabs()) {
            POINT point{x, y};
            ScreenToClient(window_, &point);
            const TPoint design{UnscaleFromDpi(point.x, tabs->Dpi()), UnscaleFromDpi(point.y, tabs->Dpi())};
            const auto rects = tabs->TabRects();
            for (std::size_t i = 0; i < rects.size(); ++i)
                if (rects[i].Contains(design)) {
                    VariantInit(hit);
                    hit->vt = VT_I4;
                    hit->lVal = static_cast<long>(i + 1);
                    return S_OK;
                }
        }
        return standard_ ? standard_->accHitTest(x, y, hit) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        TControl* control = Control();
        if (!control)
            return E_FAIL;
        const long item = Item(child);
        // The command runs from the window's queue, not inside the client's call: it may open a
        // dialog of its own.
        if (Tabs() && item > 0)
            return PostMessageW(window_, kDefaultActionMessage, static_cast<WPARAM>(item), 0) ? S_OK : E_FAIL;
        if (item == 0 && control->Clickable())
            return PostMessageW(window_, kDefaultActionMessage, 0, 0) ? S_OK : E_FAIL;
        return standard_ ? standard_->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
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
    bool GetClassNameIs(const wchar_t* name) const
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
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))))
        standard = nullptr;
    auto* object = new TAccessibleObject(window, standard);
    result = LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object));
    object->Release();
    return true;
}

void NotifyAccessibility(DWORD event, HWND window, long child)
{
    NotifyWinEvent(event, window, OBJID_CLIENT, child);
}

} // namespace ui::win32
