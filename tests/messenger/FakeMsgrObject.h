#pragma once
// A messaging client without a client, for the tests of the rules and the dialogs: a contact
// model, the own status with its event (posted to the main loop, as the real client reports it
// later), the texts sent, and switches for the failures a caller must survive.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "messenger/Messenger_TLB.h"

namespace messenger {

struct TFakeContact {
    std::string Name;
    int State = MSTATE_OFFLINE;
    std::array<std::string, 3> Phones;
    bool HasPhones = true; // false: no second contact interface
};

struct TSentText {
    std::string Contact, Header, Text;
    int Type = 0;
    bool operator==(const TSentText&) const = default;
};

class TFakeMsgrObject : public TMsgrObject {
public:
    TFakeMsgrObject();
    ~TFakeMsgrObject() override;

    void Connect() override;
    // With HoldConnect the connection stays out until AnswerConnect, as with a client that is
    // slow to start or never answers.
    void BeginConnect(std::function<void(bool connected)> done) override;
    void AnswerConnect();
    bool Gone() const override { return gone_; }
    // The client's process ends without a word: every later call fails as with a dead server.
    void Die() { gone_ = true; }
    int LocalState() override;
    void SetLocalState(int state) override;
    std::shared_ptr<IMsgrUsers> List(int kind) override;

    // The client's side of the model.
    void AddContact(const TFakeContact& contact);
    // The user changed the status in the client itself: the event follows through the main loop.
    void ChangeLocalStateInClient(int state);

    bool Connected = false;
    bool FailConnect = false; // no client can be started
    bool HoldConnect = false;
    bool FailSend = false;
    bool FailSetState = false;  // the client refuses a status change
    std::vector<int> StatesSet; // every SetLocalState, in order
    std::vector<TSentText> Sent;

    struct Model;

private:
    void RequireConnection();

    std::shared_ptr<Model> model_;
    std::function<void(bool)> pendingConnect_;
    bool gone_ = false;
};

} // namespace messenger
