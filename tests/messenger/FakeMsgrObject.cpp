#include "messenger/FakeMsgrObject.h"

#include <utility>

#include "platform/MainLoop.h"

namespace messenger {

namespace {

constexpr long kFail = -2147467259;            // E_FAIL
constexpr long kInvalidArgument = -2147024809; // E_INVALIDARG

} // namespace

// The client's side, shared with the contact objects handed out, which outlive the wrapper.
struct TFakeMsgrObject::Model : IMsgrUsers, std::enable_shared_from_this<Model> {
    TFakeMsgrObject* Owner = nullptr;
    int LocalState = MSTATE_OFFLINE;
    std::vector<TFakeContact> Contacts;

    int Count() override { return static_cast<int>(Contacts.size()); }
    std::shared_ptr<IMsgrUser> Item(int index) override;
};

namespace {

class FakeUser : public IMsgrUser, public IMsgrUserPhones, public std::enable_shared_from_this<FakeUser> {
public:
    FakeUser(std::shared_ptr<TFakeMsgrObject::Model> model, std::size_t index)
        : model_(std::move(model)), index_(index)
    {
    }

    std::string FriendlyName() override { return Contact().Name; }
    int State() override { return Contact().State; }
    void SendText(const std::string& header, const std::string& text, int type) override
    {
        TFakeMsgrObject* owner = model_->Owner;
        if (!owner || owner->FailSend || Contact().State != MSTATE_ONLINE)
            throw EOleError(kFail, "Unspecified error");
        owner->Sent.push_back({Contact().Name, header, text, type});
    }
    std::shared_ptr<IMsgrUserPhones> Phones() override
    {
        return Contact().HasPhones ? std::shared_ptr<IMsgrUserPhones>(shared_from_this()) : nullptr;
    }
    std::string PhoneNumber(int kind) override
    {
        if (kind < 0 || kind > 2)
            throw EOleError(kInvalidArgument, "The parameter is incorrect");
        return Contact().Phones[static_cast<std::size_t>(kind)];
    }

private:
    const TFakeContact& Contact() const { return model_->Contacts.at(index_); }

    std::shared_ptr<TFakeMsgrObject::Model> model_;
    std::size_t index_;
};

} // namespace

std::shared_ptr<IMsgrUser> TFakeMsgrObject::Model::Item(int index)
{
    if (index < 0 || index >= Count())
        throw EOleError(-2147352565, "Invalid index"); // DISP_E_BADINDEX
    return std::make_shared<FakeUser>(shared_from_this(), static_cast<std::size_t>(index));
}

TFakeMsgrObject::TFakeMsgrObject() : model_(std::make_shared<Model>())
{
    model_->Owner = this;
}

TFakeMsgrObject::~TFakeMsgrObject()
{
    model_->Owner = nullptr;
}

void TFakeMsgrObject::Connect()
{
    if (FailConnect)
        throw EOleError(-2147221164, kNotConnectedMessage); // REGDB_E_CLASSNOTREG
    Connected = true;
}

void TFakeMsgrObject::BeginConnect(std::function<void(bool connected)> done)
{
    if (HoldConnect)
        pendingConnect_ = std::move(done);
    else
        TMsgrObject::BeginConnect(std::move(done));
}

void TFakeMsgrObject::AnswerConnect()
{
    HoldConnect = false;
    if (auto done = std::exchange(pendingConnect_, nullptr))
        TMsgrObject::BeginConnect(std::move(done));
}

void TFakeMsgrObject::RequireConnection()
{
    if (gone_)
        throw EOleError(static_cast<long>(0x80010108UL),
                        "The object invoked has disconnected from its clients.");
    if (!Connected)
        Connect();
}

int TFakeMsgrObject::LocalState()
{
    RequireConnection();
    return model_->LocalState;
}

void TFakeMsgrObject::SetLocalState(int state)
{
    RequireConnection();
    if (FailSetState)
        throw EOleError(kFail, "Unspecified error");
    StatesSet.push_back(state);
    ChangeLocalStateInClient(state);
}

std::shared_ptr<IMsgrUsers> TFakeMsgrObject::List(int kind)
{
    RequireConnection();
    if (kind != MLIST_CONTACT)
        throw EOleError(kInvalidArgument, "The parameter is incorrect");
    return model_;
}

void TFakeMsgrObject::AddContact(const TFakeContact& contact)
{
    model_->Contacts.push_back(contact);
}

void TFakeMsgrObject::ChangeLocalStateInClient(int state)
{
    model_->LocalState = state;
    std::weak_ptr<Model> model = model_;
    platform::Post([model, state] {
        auto alive = model.lock();
        if (alive && alive->Owner && alive->Owner->OnLocalStateChangeResult)
            alive->Owner->OnLocalStateChangeResult(0, state, "");
    });
}

} // namespace messenger
