#pragma once
// Small COM helpers shared by the binding and the client stand-in: an owning interface pointer,
// an owning BSTR in UTF-8 terms, and the wrapper's error convention for result codes.

#include <windows.h>

#include <oleauto.h>

#include <atomic>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/OleAutomation_win.h"

namespace messenger {

// The system's text for a result code (or its number when it has none).
std::string ComErrorText(HRESULT code);
// Throws EOleError for a failing code.
void CheckResult(HRESULT code);

template <class T> class TComPtr {
public:
    TComPtr() = default;
    explicit TComPtr(T* owned) : p_(owned) {}
    TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    ~TComPtr() { Reset(); }

    void Reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Receive()
    {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

private:
    T* p_ = nullptr;
};

// Reference counting and QueryInterface for an object of one interface.
template <class Interface> class TComObject : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        const bool dispatch = std::is_base_of_v<IDispatch, Interface> && iid == IID_IDispatch;
        if (iid == IID_IUnknown || dispatch || iid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
        } else {
            *object = QueryOther(iid);
        }
        return *object ? S_OK : E_NOINTERFACE;
    }

protected:
    virtual ~TComObject() = default;
    // Another interface of the same object, with a reference for the caller; null when none.
    virtual void* QueryOther(REFIID) { return nullptr; }

private:
    std::atomic<ULONG> references_{1};
};

class TBstr {
public:
    TBstr() = default;
    explicit TBstr(const std::string& utf8);
    ~TBstr();
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;

    BSTR Get() const { return value_; }
    BSTR* Receive()
    {
        platform::FreeBstr(value_);
        value_ = nullptr;
        return &value_;
    }
    // Hands the string to a caller that frees it (an [out] parameter).
    BSTR Detach() { return std::exchange(value_, nullptr); }
    std::string Text() const { return TextOf(value_); }
    static std::string TextOf(BSTR value);

private:
    BSTR value_ = nullptr;
};

} // namespace messenger
