#pragma once
// msgrsim: the messaging client's stand-in. One model (own status, contacts, received messages)
// shown in a main window with its contact list and in conversation windows, served to other
// processes through the automation interfaces, and scripted through the control channel.
// Everything here runs on the main thread.

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "Messenger.h"

namespace msgrsim {

struct TContact {
    std::string Name;
    int State = 1;
    std::array<std::string, 3> Phones;
    HWND Conversation = nullptr;
};

struct TReceivedText {
    std::string Contact, Header, Text;
    int Type = 0;
};

class TMsgrSim {
public:
    TMsgrSim();
    ~TMsgrSim();
    bool CreateWindows();

    int LocalState() const { return localState_; }
    // Every change is reported to the event sinks, after the caller has had its answer, each event
    // with the status that change set.
    void SetLocalState(int state);
    // On a normal exit: the sinks hear Offline at once (nothing when signed out already).
    void AnnounceOffline();
    // Null when there is none by that name.
    TContact* FindContact(const std::string& name);
    TContact* Contact(std::size_t index) { return index < contacts_.size() ? &contacts_[index] : nullptr; }
    std::size_t ContactCount() const { return contacts_.size(); }
    void AddContact(const TContact& contact);
    void SetContactState(TContact& contact, int state);
    // False when the text cannot be delivered (signed out, contact not online).
    bool ReceiveText(const TContact& contact, const std::string& header, const std::string& text, int type);
    const std::vector<TReceivedText>& Received() const { return received_; }

    long Advise(IMsgrObjectEvents* sink);
    bool Unadvise(long cookie);

    bool Select(const std::string& name);
    HWND OpenConversation(TContact& contact);
    HWND MainWindow() const { return main_; }
    HWND ContactList() const { return list_; }
    // The main window's own button ("Add a Contact"); its clicks are logged as "button main ID".
    HWND Button() const { return button_; }
    // The window's own log: commands and destruction its procedure saw.
    const std::vector<std::string>& Log() const { return log_; }
    // "main" or the contact of a conversation window; empty for a window not ours.
    std::string WindowName(HWND window);
    HWND WindowByName(const std::string& name);
    std::vector<HWND> Windows();

    static TMsgrSim* Instance() { return instance_; }
    LRESULT MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ConversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void RefreshList();
    void RaiseLocalStateChange(int state);

    static TMsgrSim* instance_;
    int localState_ = 2;
    std::vector<TContact> contacts_;
    std::vector<TReceivedText> received_;
    std::vector<std::pair<long, IMsgrObjectEvents*>> sinks_;
    long nextCookie_ = 1;
    std::vector<std::string> log_;
    HWND main_ = nullptr;
    HWND pane_ = nullptr; // holds the contact list, as a real client nests it
    HWND list_ = nullptr;
    HWND button_ = nullptr;
};

std::string StatusName(int state);

// The automation server: registration and the class object of the running instance.
// Refused when the class is registered to another program, unless forced.
bool RegisterServer(const std::wstring& serverArguments, bool force, std::string& error);
// Removes only registrations that point at msgrsim.
bool UnregisterServer(std::string& error);
// Loads the type library from this program's resources; false when it cannot.
bool LoadServerTypeLibrary();
bool StartClassObject(DWORD& cookie);

} // namespace msgrsim
