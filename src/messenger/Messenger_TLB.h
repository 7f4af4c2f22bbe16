#pragma once
// The messaging client as the program sees it: the wrapper object, its contacts and their phone
// numbers. Every failing call throws EOleError (the wrapper's convention); callers catch it where
// a failure is expected. Main thread only; events and the end of BeginConnect are delivered on the
// main thread.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace messenger {

constexpr int MSTATE_OFFLINE = 1;
constexpr int MSTATE_ONLINE = 2;
constexpr int MMSGTYPE_ALL_RESULTS = 2;
constexpr int MLIST_CONTACT = 0;
extern const char* const kMimeHeader;
extern const char* const kNotConnectedMessage;

class EOleError : public std::runtime_error {
public:
    EOleError(long code, const std::string& message) : std::runtime_error(message), code_(code) {}
    long Code() const { return code_; }

private:
    long code_;
};

// The second contact interface: the phone numbers (kinds 0, 1, 2).
class IMsgrUserPhones {
public:
    virtual ~IMsgrUserPhones() = default;
    // The number as text; empty when the contact has none of that kind.
    virtual std::string PhoneNumber(int kind) = 0;
};

class IMsgrUser {
public:
    virtual ~IMsgrUser() = default;
    virtual std::string FriendlyName() = 0; // UTF-8, as the client's contact list shows it
    virtual int State() = 0;
    virtual void SendText(const std::string& header, const std::string& text, int type) = 0;
    // Null when the contact has no second interface.
    virtual std::shared_ptr<IMsgrUserPhones> Phones() = 0;
};

class IMsgrUsers {
public:
    virtual ~IMsgrUsers() = default;
    virtual int Count() = 0;
    virtual std::shared_ptr<IMsgrUser> Item(int index) = 0;
};

class TMsgrObject {
public:
    virtual ~TMsgrObject() = default;

    // Connects to the client, starting it if needed; throws with kNotConnectedMessage when that
    // fails. Every other call connects first when not connected.
    virtual void Connect() = 0;
    // Connects without holding the main thread (a client may start slowly or never answer); done
    // runs later on the main thread with the outcome, unless the wrapper has gone by then. This
    // one connects at once.
    virtual void BeginConnect(std::function<void(bool connected)> done);
    // A call failed because the client's process has gone (it died or ended without saying
    // Offline); every later call fails too.
    virtual bool Gone() const { return false; }
    virtual int LocalState() = 0;
    // The client reports the change later through OnLocalStateChangeResult.
    virtual void SetLocalState(int state) = 0;
    virtual std::shared_ptr<IMsgrUsers> List(int kind) = 0;

    std::function<void(long result, int state, const std::string& service)> OnLocalStateChangeResult;
    std::function<void(long result, long cookie)> OnFindResult;
};

// Results that mean the client's process is no longer there (server died, object not
// connected, the server unavailable, the call disconnected).
bool IsClientGone(long code);

// The binding of this build: COM to the client on Windows; elsewhere none (null). classId
// ("{...}") names another class than the client's.
std::unique_ptr<TMsgrObject> CreateMsgrObject(const std::string& classId = {});

} // namespace messenger
