// The wrapper's COM binding: the client's class created out of process, the calls marshaled by the
// type library, and the events received by a sink advised to the class's connection point. The sink
// lives in the main thread's single-threaded apartment; its events are posted to the main loop, so
// that a handler never runs inside the client's call.

#include <windows.h>

#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>

#include <thread>

#include "Messenger.h"
#include "messenger/Messenger_TLB.h"
#include "messenger/MsgrCom_win.h"
#include "platform/MainLoop.h"
#include "platform/OleAutomation_win.h"
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
    value_ =
        platform::AllocBstr(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
}

TBstr::~TBstr()
{
    platform::FreeBstr(value_);
}

std::string TBstr::TextOf(BSTR value)
{
    return value ? ui::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(value),
                                                       platform::BstrLength(value)))
                 : std::string();
}

namespace {

// What the objects of one connection share: whether a call found the client's process gone.
struct TConnectionState {
    bool Gone = false;
};
using TStatePtr = std::shared_ptr<TConnectionState>;

void Check(TConnectionState& state, HRESULT code)
{
    if (FAILED(code) && IsClientGone(code))
        state.Gone = true;
    CheckResult(code);
}

class ComPhones : public IMsgrUserPhones {
public:
    ComPhones(TComPtr<::IMsgrUser2> phones, TStatePtr state)
        : phones_(std::move(phones)), state_(std::move(state))
    {
    }
    std::string PhoneNumber(int kind) override
    {
        VARIANT number;
        platform::InitVariant(&number);
        Check(*state_, phones_->get_PhoneNumber(kind, &number));
        std::string text;
        if (number.vt != VT_EMPTY && number.vt != VT_NULL) {
            HRESULT changed = platform::ChangeVariantType(&number, &number, 0, VT_BSTR);
            if (FAILED(changed)) {
                platform::ClearVariant(&number);
                CheckResult(changed);
            }
            TBstr bstr;
            *bstr.Receive() = number.bstrVal;
            number.vt = VT_EMPTY;
            text = bstr.Text();
        }
        platform::ClearVariant(&number);
        return text;
    }

private:
    TComPtr<::IMsgrUser2> phones_;
    TStatePtr state_;
};

class ComUser : public messenger::IMsgrUser {
public:
    ComUser(TComPtr<::IMsgrUser> user, TStatePtr state) : user_(std::move(user)), state_(std::move(state)) {}
    std::string FriendlyName() override
    {
        TBstr name;
        Check(*state_, user_->get_FriendlyName(name.Receive()));
        return name.Text();
    }
    int State() override
    {
        long state = 0;
        Check(*state_, user_->get_State(&state));
        return static_cast<int>(state);
    }
    void SendText(const std::string& header, const std::string& text, int type) override
    {
        TBstr headerText(header), bodyText(text);
        Check(*state_, user_->SendText(headerText.Get(), bodyText.Get(), type));
    }
    std::shared_ptr<IMsgrUserPhones> Phones() override
    {
        TComPtr<::IMsgrUser2> phones;
        if (FAILED(user_->QueryInterface(__uuidof(::IMsgrUser2), phones.ReceiveVoid())) || !phones)
            return nullptr;
        return std::make_shared<ComPhones>(std::move(phones), state_);
    }

private:
    TComPtr<::IMsgrUser> user_;
    TStatePtr state_;
};

class ComUsers : public messenger::IMsgrUsers {
public:
    ComUsers(TComPtr<::IMsgrUsers> users, TStatePtr state)
        : users_(std::move(users)), state_(std::move(state))
    {
    }
    int Count() override
    {
        long count = 0;
        Check(*state_, users_->get_Count(&count));
        return static_cast<int>(count);
    }
    std::shared_ptr<messenger::IMsgrUser> Item(int index) override
    {
        TComPtr<::IMsgrUser> user;
        Check(*state_, users_->Item(index, user.Receive()));
        if (!user)
            throw EOleError(E_POINTER, ComErrorText(E_POINTER));
        return std::make_shared<ComUser>(std::move(user), state_);
    }

private:
    TComPtr<::IMsgrUsers> users_;
    TStatePtr state_;
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
        platform::InitVariant(&value);
        auto argument = [&](UINT fromLast, VARTYPE type) {
            platform::ClearVariant(&value);
            if (fromLast >= params->cArgs)
                return false;
            return SUCCEEDED(
                platform::ChangeVariantType(&value, &params->rgvarg[params->cArgs - 1 - fromLast], 0, type));
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
        platform::ClearVariant(&value);
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

// The client's object with the sink advised to its events.
struct TConnection {
    TComPtr<::IMsgrObject2> Object;
    TComPtr<IConnectionPoint> Events;
    DWORD Cookie = 0;
};

// Creates the client's object (starting the client when it does not run) and advises the sink.
HRESULT OpenConnection(const CLSID& classId, ::IMsgrObjectEvents* sink, TConnection& connection)
{
    HRESULT result = CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(::IMsgrObject2),
                                      connection.Object.ReceiveVoid());
    if (SUCCEEDED(result) && !connection.Object)
        result = E_POINTER;
    TComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(result))
        result = connection.Object->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
    if (SUCCEEDED(result))
        result = container->FindConnectionPoint(__uuidof(::IMsgrObjectEvents), connection.Events.Receive());
    if (SUCCEEDED(result))
        result = connection.Events->Advise(sink, &connection.Cookie);
    if (FAILED(result))
        connection = {};
    return result;
}

template <class T> TComPtr<T> Unmarshal(IStream* stream, REFIID iid)
{
    TComPtr<T> object;
    if (stream && FAILED(CoGetInterfaceAndReleaseStream(stream, iid, object.ReceiveVoid())))
        object.Reset();
    return object;
}

class ComMsgrObject : public TMsgrObject {
public:
    explicit ComMsgrObject(const CLSID& classId)
        : classId_(classId), target_(std::make_shared<SinkTarget>()),
          state_(std::make_shared<TConnectionState>())
    {
        target_->Owner = this;
    }
    ~ComMsgrObject() override
    {
        target_->Owner = nullptr;
        if (connection_.Events && connection_.Cookie && !state_->Gone)
            connection_.Events->Unadvise(connection_.Cookie);
    }

    void Connect() override
    {
        if (connection_.Object)
            return;
        if (state_->Gone)
            throw EOleError(CO_E_OBJNOTCONNECTED, kNotConnectedMessage);
        // Already initialised by the program is fine; otherwise join a single-threaded
        // apartment, as the program's window thread does.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        auto* sink = new EventSink(target_);
        TConnection connection;
        HRESULT result = OpenConnection(classId_, sink, connection);
        sink->Release();
        if (FAILED(result))
            throw EOleError(result, kNotConnectedMessage);
        connection_ = std::move(connection);
    }

    // The client is created and the sink advised on a thread of their own: starting a client can
    // take long, and one that never answers must not hold the program. The sink stays in this
    // thread's apartment, so the client's events arrive here.
    void BeginConnect(std::function<void(bool connected)> done) override
    {
        if (connection_.Object || state_->Gone) {
            if (done)
                done(static_cast<bool>(connection_.Object));
            return;
        }
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        auto* sink = new EventSink(target_);
        IStream* sinkStream = nullptr;
        HRESULT marshaled =
            CoMarshalInterThreadInterfaceInStream(__uuidof(::IMsgrObjectEvents), sink, &sinkStream);
        sink->Release();
        if (FAILED(marshaled)) {
            if (done)
                done(false);
            return;
        }
        std::weak_ptr<SinkTarget> target = target_;
        std::thread([classId = classId_, sinkStream, target, done = std::move(done)]() mutable {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            auto sinkProxy = Unmarshal<::IMsgrObjectEvents>(sinkStream, __uuidof(::IMsgrObjectEvents));
            TConnection connection;
            HRESULT result = sinkProxy ? OpenConnection(classId, sinkProxy.Get(), connection) : E_NOINTERFACE;
            IStream *objectStream = nullptr, *eventsStream = nullptr;
            if (SUCCEEDED(result))
                result = CoMarshalInterThreadInterfaceInStream(__uuidof(::IMsgrObject2),
                                                               connection.Object.Get(), &objectStream);
            if (SUCCEEDED(result))
                result = CoMarshalInterThreadInterfaceInStream(IID_IConnectionPoint, connection.Events.Get(),
                                                               &eventsStream);
            const DWORD cookie = connection.Cookie;
            if (FAILED(result) && connection.Events && cookie)
                connection.Events->Unadvise(cookie);
            connection = {};
            sinkProxy.Reset();
            const bool opened = SUCCEEDED(result);
            platform::Post([target, opened, objectStream, eventsStream, cookie, done = std::move(done)] {
                TConnection connection;
                connection.Object = Unmarshal<::IMsgrObject2>(objectStream, __uuidof(::IMsgrObject2));
                connection.Events = Unmarshal<IConnectionPoint>(eventsStream, IID_IConnectionPoint);
                connection.Cookie = cookie;
                auto alive = target.lock();
                auto* owner = alive ? static_cast<ComMsgrObject*>(alive->Owner) : nullptr;
                if (!owner) {
                    // The wrapper went meanwhile: the client lets go of the sink.
                    if (opened && connection.Events)
                        connection.Events->Unadvise(cookie);
                    return;
                }
                const bool connected = opened && connection.Object && connection.Events;
                if (connected && !owner->connection_.Object)
                    owner->connection_ = std::move(connection);
                if (done)
                    done(connected);
            });
            CoUninitialize();
        }).detach();
    }

    bool Gone() const override { return state_->Gone; }

    int LocalState() override
    {
        long state = 0;
        Check(*state_, Object()->get_LocalState(&state));
        return static_cast<int>(state);
    }

    void SetLocalState(int state) override { Check(*state_, Object()->put_LocalState(state)); }

    std::shared_ptr<messenger::IMsgrUsers> List(int kind) override
    {
        TComPtr<::IMsgrUsers> users;
        Check(*state_, Object()->List(kind, users.Receive()));
        if (!users)
            throw EOleError(E_POINTER, ComErrorText(E_POINTER));
        return std::make_shared<ComUsers>(std::move(users), state_);
    }

private:
    ::IMsgrObject2* Object()
    {
        Connect();
        return connection_.Object.Get();
    }

    CLSID classId_;
    std::shared_ptr<SinkTarget> target_;
    TStatePtr state_;
    TConnection connection_;
};

} // namespace

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

} // namespace messenger
