#pragma once
// Stands in for the API session as the owner of a connection manager that a test drives directly:
// the server list, the session flag and the log-in's versions, and the session end as the session
// carries it out (clear the queues, tell the server when asked, wait until that has gone out).

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "MsgBuilder.h"
#include "TestSupport.h"
#include "api/KovraAPIConsts.h"
#include "api/KovraConnectionMngr.h"

class TestConnectionOwner : public api::IKovraConnectionOwner {
public:
    std::vector<std::string> Servers; // set before the manager starts, read-only after
    std::atomic<int> ActiveIndex{-1};
    std::uint32_t Invoke = 0;
    std::atomic<bool> IsConnected{false};
    std::string ApiVersion, ServerVersion;
    api::TKovraConnectionMngr* Manager = nullptr;

    std::vector<std::string> ServerList() const override { return Servers; }
    std::string ActiveServerAddress() const override
    {
        const int index = ActiveIndex;
        return index >= 0 && index < static_cast<int>(Servers.size()) ? Servers[index] : std::string();
    }
    void SetActiveServerIndex(int index) override { ActiveIndex = index; }
    std::uint32_t InvokeID() const override { return Invoke; }
    std::string ClientName() const override { return "TestClient"; }
    std::string ClientVersion() const override { return "1.0"; }
    bool Connected() const override { return IsConnected; }
    void SendHook(const api::TKovraAPIMsg&) override {}
    void ReceiveHook(const api::TKovraAPIMsg&) override {}
    void LoginResult(std::uint32_t error, const std::string& apiVersion,
                     const std::string& serverVersion) override
    {
        IsConnected = error == 0;
        ApiVersion = apiVersion;
        ServerVersion = serverVersion;
    }
    void Disconnect(bool notify) override
    {
        if (!IsConnected)
            return;
        IsConnected = false;
        Manager->ClearQueues();
        if (!notify)
            return;
        Manager->Send(
            std::make_unique<api::TKovraAPIMsg>(TMsgBuilder(api::KovraMsg::DISCONNECT, 0).Int(Invoke)));
        PumpUntil([this] { return Manager->PendingCount() == 0 || Manager->SendFailed(); }, 2000);
    }
};
