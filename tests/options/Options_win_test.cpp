// The options window, the forwarding dialog and both editors as real windows under Wine, each
// saved as a screenshot beside the test results. The call pop-up's case stands for the corner
// pop-ups; the reminder's slide and choices run headless.

#include <windows.h>

#include <gtest/gtest.h>

#include "WindowTest_win.h"
#include "dialogs/MSNForward.h"
#include "options/MSNOptions.h"
#include "platform/MainLoop.h"

using namespace settings;
using namespace dialogs;
using namespace options;

namespace {

class OptionsWin32 : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        KovraAssistantConfig().SetText("");
        KovraAssistantConfig().WriteString("Forward", "2001", "Front desk");
        KovraAssistantConfig().WriteString("IMMessages", "0", "In a meeting, call you back");
        KovraAssistantConfig().WriteString("Call Later", "0", "\"Dana Doe\",4255550123,0,0");
        KovraAssistantConfig().WriteString("Desktop", "AnswerOrAlternate", "Ctrl+Alt+A");
        KovraAssistantConfig().WriteString("Desktop", "HoldRetrieve", "Ctrl+Alt+H");
        KovraAssistantConfig().WriteString("Desktop", "ScreenPop", "https://crm.example/find?phone={number}");
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        KovraAssistantConfig().SetText("");
    }
    TOptionsLists lists;
};

TEST_F(OptionsWin32, OptionsWindowDialogAndEditorsShowEveryPage)
{
    TfmOptions options(nullptr, lists);
    TOptionsSession session;
    session.Phone = "1001";
    session.Server1 = "10.0.0.5";
    session.Messenger = true;
    options.SetSession(session);
    options.Initialise(0xFFFFFFFFu);
    options.AddLogLine("SNT: MONITOR_START_REQ 3", true);
    options.AddLogLine("RCV: MONITOR_START_RSP 3", true);
    options.OnHistoryShown = [] {
        return std::vector<THistoryRow>{{"Missed", "Dana Doe", "4255550123", "2026-12-07 09:14:02", ""},
                                        {"Outgoing", "Front desk", "2001", "2026-12-07 08:50:41", "3:07"}};
    };
    options.ShowForm();
    for (int page = opConnection; page <= opHistory; ++page) {
        options.ShowPage(page);
        EXPECT_TRUE(Shot(options, "options_page_" + std::to_string(page))) << page;
    }
    options.imCaption->Click();
    PumpFor(50);
    EXPECT_FALSE(IsWindowVisible(Handle(options)));

    TfmForward forward(nullptr);
    forward.SetUp({"2001", "", "4255550199", ""}, {true, true, false, false});
    forward.ShowForm();
    EXPECT_TRUE(Shot(forward, "dialog_forward"));
    forward.HideForm();

    lists.LoadForwards();
    lists.OpenForwardEditor(lists.Forwards()[0].get());
    ASSERT_NE(fmForwardEntry, nullptr);
    EXPECT_TRUE(Shot(*fmForwardEntry, "editor_forward"));
    lists.AddCallLater("", "Dana Doe", "4255550123", 10);
    ASSERT_NE(fmCallLaterEntry, nullptr);
    EXPECT_TRUE(Shot(*fmCallLaterEntry, "editor_call_later"));
}

} // namespace
