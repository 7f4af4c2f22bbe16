// The wrapper's COM binding: the client's class created out of process, the calls marshaled by the
// type library, and the events received by a sink advised to the class's connection point. A sink call
// may arrive on any thread (the program's main thread is in the multithreaded apartment), so the
// events are posted to the main loop.

#include <windows.h>

#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>

#include "Messenger.h"
#include "messenger/Messenger_TLB.h"
#include "messenger/MsgrCom_win.h"
#include "platform/MainLoop.h"
#include "ui/UnicodeText.h"

namespace messenger {

std::string ComErrorText(HRESULT code)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length && buffer) {
        while (length &&
               (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
            --length;
        text = ui::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), length));
    }
    LocalFree(buffer);
    if (text.empty()) {
        char hex[32];
        wsprintfA(hex, "OLE error %08X", static_cast<unsigned>(code));
        text = hex;
    }
    return text;
}

void CheckResult(HRESULT code)
{
    if (FAILED(code))
        throw EOleError(code, ComErrorText(code));
}

TBstr::TBstr(const std::string& text)
{
    std::u16string wide = ui::Utf8ToUtf16(text);
    value_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
}

TBstr::~TBstr()
{
    SysFreeString(value_);
}

std::string TBstr::TextOf(BSTR value)
{
    return value ? ui::Utf16ToUtf8(
                       std::u16string_view(reinterpret_cast<const char16_t*>(value), SysStringLen(value)))
                 : std::string();
}

namespace {

class ComPhones : public IMsgrUserPhones {
public:
    explicit ComPhones(TComPtr<::IMsgrUser2> phones) : phones_(std::move(phones)) {}
    std::string PhoneNumber(int kind) override
    {
        VARIANT number;
        VariantInit(&number);
        CheckResult(phones_->get_PhoneNumber(kind, &number));
        std::string text;
        if (number.vt != VT_EMPTY && number.vt != VT_NULL) {
            HRESULT changed = VariantChangeType(&number, &number, 0, VT_BSTR);
            if (FAILED(changed)) {
                VariantClear(&number);
                CheckResult(changed);
            }
            TBstr bstr;
            *bstr.Receive() = number.bstrVal;
            number.vt = VT_EMPTY;
            text = bstr.Text();
        }
        VariantClear(&number);
        return text;
    }

private:
    TComPtr<::IMsgrUser2> phones_;
};

class ComUser : public messenger::IMsgrUser {
public:
    explicit ComUser(TComPtr<::IMsgrUser> user) : user_(std::move(user)) {}
    std::string FriendlyName() override
    {
        TBstr name;
        CheckResult(user_->get_FriendlyName(name.Receive()));
        return name.Text();
    }
    int State() override
    {
        long state = 0;
        CheckResult(user_->get_State(&state));
        return static_cast<int>(state);
    }
    void SendText(const std::string& header, const std::string& text, int type) override
    {
        TBstr headerText(header), bodyText(text);
        CheckResult(user_->SendText(headerText.Get(), bodyText.Get(), type));
    }
    std::shared_ptr<IMsgrUserPhones> Phones() override
    {
        TComPtr<::IMsgrUser2> phones;
        if (FAILED(user_->QueryInterface(__uuidof(::IMsgrUser2), phones.ReceiveVoid())) || !phones)
            return nullptr;
        return std::make_shared<ComPhones>(std::move(phones));
    }

private:
    TComPtr<::IMsgrUser> user_;
};

class ComUsers : public messenger::IMsgrUsers {
public:
    explicit ComUsers(TComPtr<::IMsgrUsers> users) : users_(std::move(users)) {}
    int Count() override
    {
        long count = 0;
        CheckResult(users_->get_Count(&count));
        return static_cast<int>(count);
    }
    std::shared_ptr<messenger::IMsgrUser> Item(int index) override
    {
        TComPtr<::IMsgrUser> user;
        CheckResult(users_->Item(index, user.Receive()));
        if (!user)
            throw EOleError(E_POINTER, ComErrorText(E_POINTER));
        return std::make_shared<ComUser>(std::move(user));
    }

private:
    TComPtr<::IMsgrUsers> users_;
};

// The wrapper as the sink sees it: cleared when the wrapper goes, so a late event finds nobody.
struct SinkTarget {
    TMsgrObject* Owner = nullptr;
};

class EventSink : public TComObject<::IMsgrObjectEvents> {
public:
    explicit EventSink(std::weak_ptr<SinkTarget> target) : target_(std::move(target)) {}

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
    // A late-bound caller reaches the same two events by their dispatch identifiers.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        if (!params)
            return E_INVALIDARG;
        VARIANT value;
        VariantInit(&value);
        auto argument = [&](UINT fromLast, VARTYPE type) {
            VariantClear(&value);
            if (fromLast >= params->cArgs)
                return false;
            return SUCCEEDED(
                VariantChangeType(&value, &params->rgvarg[params->cArgs - 1 - fromLast], 0, type));
        };
        HRESULT result = DISP_E_MEMBERNOTFOUND;
        if (id == 1 && argument(0, VT_I4)) {
            long code = value.lVal;
            long state = argument(1, VT_I4) ? value.lVal : 0;
            BSTR service = argument(2, VT_BSTR) ? value.bstrVal : nullptr;
            result = OnLocalStateChangeResult(code, state, service);
        } else if (id == 2 && argument(0, VT_I4)) {
            long code = value.lVal;
            result = OnFindResult(code, argument(1, VT_I4) ? value.lVal : 0);
        }
        VariantClear(&value);
        return result;
    }
    HRESULT STDMETHODCALLTYPE OnLocalStateChangeResult(long result, long state, BSTR service) override
    {
        std::string serviceText = TBstr::TextOf(service);
        platform::Post([target = target_, result, state, serviceText] {
            auto alive = target.lock();
            if (alive && alive->Owner && alive->Owner->OnLocalStateChangeResult)
                alive->Owner->OnLocalStateChangeResult(result, static_cast<int>(state), serviceText);
        });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnFindResult(long result, long cookie) override
    {
        platform::Post([target = target_, result, cookie] {
            auto alive = target.lock();
            if (alive && alive->Owner && alive->Owner->OnFindResult)
                alive->Owner->OnFindResult(result, cookie);
        });
        return S_OK;
    }

private:
    std::weak_ptr<SinkTarget> target_;
};

class ComMsgrObject : public TMsgrObject {
public:
    explicit ComMsgrObject(const CLSID& classId) : classId_(classId), target_(std::make_shared<SinkTarget>())
    {
        target_->Owner = this;
    }
    ~ComMsgrObject() override
    {
        target_->Owner = nullptr;
        if (events_ && cookie_)
            events_->Unadvise(cookie_);
    }

    void Connect() override
    {
        if (object_)
            return;
        // Already initialised by the program (any apartment) is fine; otherwise join the
        // multithreaded one, as the program's main thread does.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        TComPtr<::IMsgrObject2> object;
        HRESULT created = CoCreateInstance(classId_, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(::IMsgrObject2),
                                           object.ReceiveVoid());
        if (FAILED(created) || !object)
            throw EOleError(FAILED(created) ? created : E_POINTER, kNotConnectedMessage);
        TComPtr<IConnectionPointContainer> container;
        CheckResult(object->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid()));
        TComPtr<IConnectionPoint> events;
        CheckResult(container->FindConnectionPoint(__uuidof(::IMsgrObjectEvents), events.Receive()));
        auto* sink = new EventSink(target_);
        DWORD cookie = 0;
        HRESULT advised = events->Advise(sink, &cookie);
        sink->Release();
        CheckResult(advised);
        object_ = std::move(object);
        events_ = std::move(events);
        cookie_ = cookie;
    }

    int LocalState() override
    {
        long state = 0;
        CheckResult(Object()->get_LocalState(&state));
        return static_cast<int>(state);
    }

    void SetLocalState(int state) override { CheckResult(Object()->put_LocalState(state)); }

    std::shared_ptr<messenger::IMsgrUsers> List(int kind) override
    {
        TComPtr<::IMsgrUsers> users;
        CheckResult(Object()->List(kind, users.Receive()));
        if (!users)
            throw EOleError(E_POINTER, ComErrorText(E_POINTER));
        return std::make_shared<ComUsers>(std::move(users));
    }

private:
    ::IMsgrObject2* Object()
    {
        Connect();
        return object_.Get();
    }

    CLSID classId_;
    std::shared_ptr<SinkTarget> target_;
    TComPtr<::IMsgrObject2> object_;
    TComPtr<IConnectionPoint> events_;
    DWORD cookie_ = 0;
};

}  // namespace

std::unique_ptr<TMsgrObject> CreateMsgrObject(const std::string& classId)
{
    CLSID id = __uuidof(::MsgrObject);
    if (!classId.empty()) {
        std::wstring text(classId.begin(), classId.end());
        if (FAILED(CLSIDFromString(text.c_str(), &id)))
            id = CLSID_NULL;
    }
    return std::make_unique<ComMsgrObject>(id);
}

}  // namespace messenger
