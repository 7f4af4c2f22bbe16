#pragma once
// The main window with its real dialogs against kovrasim in-process: two phones, a ringing call
// that is never given up while a test looks at it, and the window logged in before each case.

#include <functional>
#include <memory>
#include <string>

#include "AppTestSupport.h"
#include "DialogTestSupport.h"
#include "SimTest.h"
#include "settings/MSNConfig.h"

class AppWithSim : public SimFixture {
protected:
    // Starts the simulator with phone as the user's and logs the window in to it; services puts
    // the real dialogs (and what else the suite needs) into the window's services.
    void Start(const std::string& phone, std::function<void(app::TAssistantOptions&)> services)
    {
        settings::KovraAssistantConfig().SetText("");
        kovrasim::TSimOptions options = FastOptions();
        options.Phones.resize(2);
        options.Phones[0].Number = phone;
        options.SilenceTimeoutMs = 60000;
        options.NoAnswerMs = 60000;
        options.InvalidNumbers.clear();
        ASSERT_NO_FATAL_FAILURE(StartSim(options));
        const std::uint16_t port = sim->ServerPort();
        app = std::make_unique<AppTest>(
            std::vector<std::string>{"-phone", phone, "-pwd", "secret", "-server", "127.0.0.1"},
            [&services, port](app::TAssistantOptions& o) {
                services(o);
                o.Network.LocalPort = 0;
                o.Network.LocalAddress = "127.0.0.1";
                o.Network.ServerPort = port;
                o.Network.ApiTimings = api::TKovraAPITimings::ScaledDown(20);
            });
        form = app->form.get();
        form->StartSession();
        ASSERT_TRUE(PumpUntil([&] { return Ready(); })) << app::StartupInfo().LoggedIn << form->InService();
    }
    // A fresh phone has no settings document; the query of the phone's configuration follows the
    // settings read, so its answer marks the session as ready.
    bool Ready()
    {
        return app::StartupInfo().LoggedIn && form->InService() && !form->PhoneConfig().ConfigText.empty();
    }
    void TearDown() override
    {
        app.reset();
        platform::ProcessMessages(0);
        SimFixture::TearDown();
        settings::KovraAssistantConfig().SetText("");
    }

    // The first call on the simulator where number is a party in state, "" when there is none.
    std::string CallWith(const std::string& number, int state)
    {
        std::lock_guard guard(sim->Lock());
        for (const auto& [oid, call] : sim->Phones().Calls())
            for (const auto& party : call.Parties)
                if (party.Number == number && static_cast<int>(party.ConnState) == state)
                    return oid;
        return {};
    }

    std::unique_ptr<AppTest> app;
    app::TfmKovraAssistant* form = nullptr;
};
