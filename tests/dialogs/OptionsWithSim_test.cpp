// The main window with the real options window, forward list and reminders against kovrasim
// in-process: forwarding reaches the phone, a reminder's "Call Now" and the
// History page's "Call back" call, Reconnect logs in again.

#include <gtest/gtest.h>

#include "DialogSimOptions.h"
#include "app/AssistantDialogs.h"
#include "app/MSNMainOptions.h"
#include "dialogs/MSNForward.h"
#include "dialogs/MSNForwardEntry.h"
#include "platform/Clock.h"

using namespace api;
using namespace settings;
using namespace dialogs;
using namespace options;
using namespace app;

namespace {

class OptionsWithSim : public AppWithSim {
protected:
    void SetUp() override
    {
        Start(phone, [this](TAssistantOptions& o) {
            o.Services.Dialogs =
                std::make_shared<TAssistantDialogs>(o.Services.Messenger, o.Services.Desktop, lists);
            o.Services.CreateOptions =
                OptionsWindowFactory(lists, TOptionsTimings{200, 2000, 2000, 30, 10, 1000});
        });
        ASSERT_NE(options = OptionsForm(form->Options()), nullptr);
    }
    std::string SimForward(unsigned kind)
    {
        std::lock_guard guard(sim->Lock());
        return sim->Phones().FindPhone(phone)->Forward[kind];
    }
    // Edits the dialog once it runs modally (the server is asked first) and presses OK.
    void Forward(std::function<void(TfmForward&)> edit)
    {
        platform::Timer poll;
        poll.SetInterval(10);
        poll.OnTimer = [&] {
            if (auto* dialog = TopForm<TfmForward>(); dialog && dialog->Modal()) {
                poll.SetEnabled(false);
                edit(*dialog);
                dialog->btOk->Click();
            }
        };
        poll.SetEnabled(true);
        form->Commands().OnForward();
    }
    int LogLine(const std::string& text, int from = 0)
    {
        for (int i = from; i < options->meLog->Items().Count(); ++i)
            if (options->meLog->Items().Strings(i).find(text) != std::string::npos)
                return i;
        return -1;
    }

    // The start parameters' phone; the server names its device at log-in.
    std::string phone = "1001";
    std::shared_ptr<TOptionsLists> lists = std::make_shared<TOptionsLists>();
    TfmOptions* options = nullptr;
};

// One session walks the forwarding dialog, the History page's call back and the forward list.
TEST_F(OptionsWithSim, ForwardingHistoryAndForwardListReachTheServer)
{
    Forward([](TfmForward& dialog) {
        dialog.cbForwardAll->SetText("2000");
        dialog.cbForwardBusy->SetText("3000");
    });
    ASSERT_TRUE(PumpUntil([&] { return SimForward(0) == "2000" && SimForward(1) == "3000"; }));
    Forward([](TfmForward& dialog) {
        EXPECT_EQ(dialog.cbForwardAll->Text(), "2000");
        dialog.cbForwardAll->SetText("");
    });
    ASSERT_TRUE(PumpUntil([&] { return SimForward(0).empty(); }));
    EXPECT_EQ(SimForward(1), "3000");
    // The rules dial a destination once: the box shows it again as written, an edit dials that.
    TDialingRules outside;
    outside.Values = {"", "", "9", "", "", "4"};
    outside.Save(KovraAssistantConfig());
    Forward([](TfmForward& dialog) { dialog.cbForwardBusy->SetText("(206) 555-1234"); });
    ASSERT_TRUE(PumpUntil([&] { return SimForward(1) == "92065551234"; }));
    Forward([](TfmForward& dialog) {
        EXPECT_EQ(dialog.cbForwardBusy->Text(), "(206) 555-1234");
        dialog.cbForwardBusy->SetText("(206) 555-1235");
    });
    ASSERT_TRUE(PumpUntil([&] { return SimForward(1) == "92065551235"; }));
    outside.Values = {};
    outside.Save(KovraAssistantConfig());

    // What the History page lists is the main window's (CallTracking); here its call back reaches
    // the server.
    const std::string oid = "0000000000000000000000A1";
    app->Ring(oid, "1002", "Bob Baker");
    app->Event(oid, ceCleared, {Party("1001", csGone), Party("1002", csGone)});
    form->OpenOptions(opHistory);
    ASSERT_EQ(options->lbHistory->ItemCount(), 1);
    EXPECT_FALSE(options->btCallBack->Enabled());
    options->lbHistory->SelectItem(0);
    options->btCallBack->Click();
    ASSERT_TRUE(PumpUntil([&] { return !CallWith("1002", csRinging).empty(); }));

    // The phone has never stored settings; the first change is stored all the same.
    form->OpenOptions(opForward);
    options->btForwardAdd->Click();
    ASSERT_NE(fmForwardEntry, nullptr);
    fmForwardEntry->edName->SetText("Front desk");
    fmForwardEntry->edNumber->SetText("2100");
    fmForwardEntry->btOk->Click();
    options->imCaption->Click();
    EXPECT_FALSE(options->Visible());
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard guard(sim->Lock());
        return sim->Phones().AppData("1001", "KovraAssistant").find("Front desk") != std::string::npos;
    }));
}

// A phone with an extension: the device the server names at log-in ("4255551001x1001") is not
// the one the start parameters give ("1001").
class OptionsWithSimDevice : public OptionsWithSim {
protected:
    OptionsWithSimDevice() { phone = "4255551001x1001"; }
};

TEST_F(OptionsWithSimDevice, ReminderCallsAndReconnectUseTheDeviceOfTheSession)
{
    form->OpenOptions(opCallLater);
    const std::string due = std::to_string(DateTimeToDos(platform::Now() - 1.0 / 24));
    KovraAssistantConfig().WriteString("Call Later", "0", "Bob,1002," + due + ",0");
    lists->LoadReminders();
    options->CountDownTick();
    ASSERT_NE(fmCallLaterCall, nullptr);
    fmCallLaterCall->btCall->Click();
    EXPECT_TRUE(lists->Reminders().empty());
    ASSERT_TRUE(PumpUntil([&] { return !CallWith("1002", csRinging).empty(); }));

    // Reconnect logs out, disconnects and logs in again, once.
    form->OpenOptions(opConnection);
    const int start = options->meLog->Items().Count();
    // The log-out names the device the server knows, so the phone is released.
    std::vector<std::uint32_t> logouts;
    const auto logout = form->Api()->OnLogout;
    form->Api()->OnLogout = [&](TKovraAPI& api, std::uint32_t error) {
        logouts.push_back(error);
        logout(api, error);
    };
    // A second click while the first runs changes nothing.
    platform::Post([this] { options->btReconnect->Click(); });
    options->btReconnect->Click();
    EXPECT_FALSE(options->Reconnecting());
    ASSERT_TRUE(PumpUntil([&] { return Ready() && LogLine("RCV: MONITOR_START_RSP", start) >= 0; }));
    const int stop = LogLine("SNT: MONITOR_STOP_REQ", start);
    const int disconnect = LogLine("SNT: DISCONNECT", start);
    ASSERT_GE(stop, 0);
    EXPECT_GT(disconnect, stop);
    EXPECT_GT(LogLine("SNT: MONITOR_START_REQ", start), disconnect);
    EXPECT_EQ(LogLine("SNT: MONITOR_STOP_REQ", stop + 1), -1);
    EXPECT_EQ(LogLine("SNT: DISCONNECT", disconnect + 1), -1);
    EXPECT_EQ(options->pnServerStatus->Caption(), "KOVRA Connection Active");
    EXPECT_EQ(logouts, std::vector<std::uint32_t>{0});
}

TEST_F(OptionsWithSim, SessionStoppedDuringReconnectFreesTheWindowOnlyAfterIt)
{
    form->OpenOptions(opConnection);
    platform::Post([this] { form->StopSession(); });
    options->btReconnect->Click();
    EXPECT_EQ(form->Options(), nullptr);
    EXPECT_FALSE(options->Visible());
    platform::ProcessMessages(0);
    EXPECT_EQ(fmOptions, nullptr);
}

} // namespace
