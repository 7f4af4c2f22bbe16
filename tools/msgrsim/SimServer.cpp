// The automation server of msgrsim: the client's class, its contacts and their phone numbers,
// each a dual interface whose IDispatch side is answered from our type library. The calls arrive
// on the main thread (single-threaded apartment), where the model lives.

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <cwctype>

#include "MsgrSim.h"
#include "SimText.h"
#include "messenger/MsgrCom_win.h"

namespace msgrsim {
namespace {

using messenger::TBstr;

ITypeLib* gTypeLibrary = nullptr;

const wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{F3A614DC-ABE0-11D2-A441-00C04F795683}";

// IDispatch from the type library, for one dual interface.
template <class Interface> class DualObject : public messenger::TComObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = TypeInfo() ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0 || !TypeInfo())
            return DISP_E_BADINDEX;
        TypeInfo()->AddRef();
        *info = TypeInfo();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return TypeInfo() ? DispGetIDsOfNames(TypeInfo(), names, count, ids) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override
    {
        return TypeInfo() ? DispInvoke(static_cast<Interface*>(this), TypeInfo(), id, flags, params, result,
                                       exception, argumentError)
                          : E_NOTIMPL;
    }

private:
    static ITypeInfo* TypeInfo()
    {
        static ITypeInfo* info = nullptr;
        if (!info && gTypeLibrary)
            gTypeLibrary->GetTypeInfoOfGuid(__uuidof(Interface), &info);
        return info;
    }
};

TContact* ContactAt(long index)
{
    TMsgrSim* sim = TMsgrSim::Instance();
    return sim && index >= 0 ? sim->Contact(static_cast<std::size_t>(index)) : nullptr;
}

class SimUser;

// The contact's phone numbers, a second interface of the same contact.
class SimUserPhones : public DualObject<IMsgrUser2> {
public:
    SimUserPhones(IMsgrUser* owner, long index) : owner_(owner), index_(index) { owner_->AddRef(); }
    HRESULT STDMETHODCALLTYPE get_PhoneNumber(LONG kind, VARIANT* number) override
    {
        if (!number)
            return E_POINTER;
        VariantInit(number);
        TContact* contact = ContactAt(index_);
        if (!contact)
            return E_UNEXPECTED;
        if (kind < 0 || kind > 2)
            return E_INVALIDARG;
        number->vt = VT_BSTR;
        number->bstrVal = TBstr(contact->Phones[static_cast<std::size_t>(kind)]).Detach();
        return S_OK;
    }

protected:
    ~SimUserPhones() override { owner_->Release(); }
    // Everything but its own interface is the contact's, so the object keeps one identity.
    void* QueryOther(REFIID iid) override
    {
        void* object = nullptr;
        owner_->QueryInterface(iid, &object);
        return object;
    }

private:
    IMsgrUser* owner_;
    long index_;
};

class SimUser : public DualObject<IMsgrUser> {
public:
    explicit SimUser(long index) : index_(index) {}
    HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        TContact* contact = ContactAt(index_);
        *name = contact ? TBstr(contact->Name).Detach() : nullptr;
        return contact ? S_OK : E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE get_State(LONG* state) override
    {
        if (!state)
            return E_POINTER;
        TContact* contact = ContactAt(index_);
        *state = contact ? contact->State : 0;
        return contact ? S_OK : E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE SendText(BSTR header, BSTR text, LONG type) override
    {
        TContact* contact = ContactAt(index_);
        if (!contact)
            return E_UNEXPECTED;
        return TMsgrSim::Instance()->ReceiveText(*contact, TBstr::TextOf(header), TBstr::TextOf(text), type)
                   ? S_OK
                   : E_FAIL;
    }

protected:
    void* QueryOther(REFIID iid) override
    {
        if (iid != __uuidof(IMsgrUser2))
            return nullptr;
        return static_cast<IMsgrUser2*>(new SimUserPhones(this, index_));
    }

private:
    long index_;
};

class SimUsers : public DualObject<IMsgrUsers> {
public:
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<LONG>(TMsgrSim::Instance()->ContactCount());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(LONG index, IMsgrUser** user) override
    {
        if (!user)
            return E_POINTER;
        *user = nullptr;
        if (!ContactAt(index))
            return E_INVALIDARG;
        *user = new SimUser(index);
        return S_OK;
    }
};

// The one connection point of the class: sinks of the event interface.
class SimConnectionPoint : public messenger::TComObject<IConnectionPoint> {
public:
    explicit SimConnectionPoint(IConnectionPointContainer* container) : container_(container)
    {
        container_->AddRef();
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = __uuidof(IMsgrObjectEvents);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override
    {
        if (!container)
            return E_POINTER;
        container_->AddRef();
        *container = container_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        IMsgrObjectEvents* events = nullptr;
        if (FAILED(sink->QueryInterface(__uuidof(IMsgrObjectEvents), reinterpret_cast<void**>(&events))) ||
            !events)
            return CONNECT_E_CANNOTCONNECT;
        *cookie = static_cast<DWORD>(TMsgrSim::Instance()->Advise(events));
        events->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        return TMsgrSim::Instance()->Unadvise(static_cast<long>(cookie)) ? S_OK : CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

protected:
    ~SimConnectionPoint() override { container_->Release(); }

private:
    IConnectionPointContainer* container_;
};

// The class's connection points, a second interface of the same object.
class SimConnectionPoints : public messenger::TComObject<IConnectionPointContainer> {
public:
    explicit SimConnectionPoints(IUnknown* owner) : owner_(owner) { owner_->AddRef(); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        if (!point)
            return E_POINTER;
        *point = iid == __uuidof(IMsgrObjectEvents) ? new SimConnectionPoint(this) : nullptr;
        return *point ? S_OK : CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IConnectionPointContainer)
            return TComObject::QueryInterface(iid, object);
        return owner_->QueryInterface(iid, object);
    }

protected:
    ~SimConnectionPoints() override { owner_->Release(); }

private:
    IUnknown* owner_;
};

class SimObject : public DualObject<IMsgrObject2> {
public:
    HRESULT STDMETHODCALLTYPE get_LocalState(LONG* state) override
    {
        if (!state)
            return E_POINTER;
        *state = TMsgrSim::Instance()->LocalState();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_LocalState(LONG state) override
    {
        if (state < 0 || state > 66)
            return E_INVALIDARG;
        TMsgrSim::Instance()->SetLocalState(state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE List(LONG kind, IMsgrUsers** users) override
    {
        if (!users)
            return E_POINTER;
        *users = nullptr;
        if (kind != 0)
            return E_INVALIDARG;
        *users = new SimUsers;
        return S_OK;
    }

protected:
    void* QueryOther(REFIID iid) override
    {
        if (iid != IID_IConnectionPointContainer)
            return nullptr;
        return static_cast<IConnectionPointContainer*>(
            new SimConnectionPoints(static_cast<IMsgrObject2*>(this)));
    }
};

class ClassObject : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One static instance for the life of the program.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* created = new SimObject;
        HRESULT result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

ClassObject gClassObject;

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::string Failure(const char* what, HRESULT code)
{
    return std::string(what) + ": " + messenger::ComErrorText(code);
}

// The program file at the start of a command line, quoted or not.
std::wstring CommandProgram(const std::wstring& command)
{
    std::size_t start = command.find_first_not_of(L' ');
    if (start == std::wstring::npos)
        return {};
    if (command[start] == L'"') {
        std::size_t end = command.find(L'"', start + 1);
        return command.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    }
    return command.substr(start, command.find(L' ', start) - start);
}

// Any copy of msgrsim (either build) counts as this program; a registration pointing elsewhere
// belongs to the client that is really installed.
bool IsMsgrSim(const std::wstring& program)
{
    std::size_t slash = program.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? program : program.substr(slash + 1);
    return lstrcmpiW(name.c_str(), L"msgrsim.exe") == 0 || lstrcmpiW(name.c_str(), L"msgrsim") == 0;
}

// The program the class's local server starts; empty when the class has none.
std::wstring RegisteredServer()
{
    wchar_t command[1024] = {};
    DWORD size = sizeof command - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + L"\\LocalServer32").c_str(), nullptr,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return {};
    return CommandProgram(command);
}

// The file the type library is registered to; empty when it is not registered.
std::wstring RegisteredTypeLibrary(const TLIBATTR& attributes)
{
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum,
                                     attributes.lcid, &path)) ||
        !path)
        return {};
    std::wstring text(path, SysStringLen(path));
    SysFreeString(path);
    // The path may carry a resource index after the file (msgrsim.exe\1).
    while (!text.empty() && (text.back() == L'\0' || text.back() == L'\\' || iswdigit(text.back())))
        text.pop_back();
    return text;
}

} // namespace

bool LoadServerTypeLibrary()
{
    if (!gTypeLibrary)
        LoadTypeLibEx(ProgramPath().c_str(), REGKIND_NONE, &gTypeLibrary);
    return gTypeLibrary != nullptr;
}

bool StartClassObject(DWORD& cookie)
{
    return SUCCEEDED(CoRegisterClassObject(__uuidof(MsgrObject), &gClassObject, CLSCTX_LOCAL_SERVER,
                                           REGCLS_MULTIPLEUSE, &cookie));
}

// Under the machine's classes: Wine does not find a local server registered for the user only.
bool RegisterServer(const std::wstring& serverArguments, bool force, std::string& error)
{
    const std::wstring owner = RegisteredServer();
    if (!force && !owner.empty() && !IsMsgrSim(owner)) {
        error = "the class is registered to " + Narrow(owner.c_str(), owner.size()) +
                "; not replaced (--force replaces it)";
        return false;
    }
    std::wstring path = ProgramPath();
    ITypeLib* library = nullptr;
    HRESULT loaded = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library);
    if (FAILED(loaded)) {
        error = Failure("cannot register the type library", loaded);
        return false;
    }
    library->Release();
    std::wstring command = L"\"" + path + L"\" -Embedding" + serverArguments;
    HKEY key = nullptr;
    LONG created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + L"\\LocalServer32").c_str(),
                                   0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (created == ERROR_SUCCESS) {
        created = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (created != ERROR_SUCCESS) {
        error = Failure("cannot register the class", HRESULT_FROM_WIN32(created));
        return false;
    }
    return true;
}

// Only what points at msgrsim goes: the registrations of a client really installed stay.
bool UnregisterServer(std::string& error)
{
    TLIBATTR* attributes = nullptr;
    if (LoadServerTypeLibrary() && SUCCEEDED(gTypeLibrary->GetLibAttr(&attributes))) {
        if (IsMsgrSim(RegisteredTypeLibrary(*attributes)))
            UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                              attributes->lcid, attributes->syskind);
        gTypeLibrary->ReleaseTLibAttr(attributes);
    }
    const std::wstring owner = RegisteredServer();
    if (!owner.empty() && !IsMsgrSim(owner))
        return true;
    LONG deleted = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        error = Failure("cannot remove the class", HRESULT_FROM_WIN32(deleted));
        return false;
    }
    return true;
}

} // namespace msgrsim
