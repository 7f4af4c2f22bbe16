// The dialogs as real windows under Wine: each one shown over an owner window and saved as a
// screenshot beside the test results; the pop-up fades in and a click on its answer link
// answers the call.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "WindowTest_win.h"
#include "dialogs/ConfirmFm.h"
#include "dialogs/MSNAbout.h"
#include "dialogs/MSNCallDisp.h"
#include "dialogs/MSNConferenceList.h"
#include "dialogs/MSNMakeCall.h"
#include "dialogs/MSNParkCall.h"
#include "dialogs/MSNRedirectCall.h"
#include "dialogs/MSNTransferHold.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace {

struct AnswerHost : ICallDispositionHost {
    std::vector<std::string> answered;
    void AnswerCall(const std::string& oid) override { answered.push_back(oid); }
    std::vector<TForwardEntry> ForwardEntries() const override { return {{"Desk", "2001"}}; }
};

class DialogsWin32 : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        KovraAssistantConfig().SetText("");
        AddRecentNumber("2145551234");
        AddRecentNumber("1002");
        owner = new ui::TForm(nullptr);
        owner->SetCaption("Owner");
        owner->SetBounds(200, 100, 480, 500);
        ui::Application->SetMainForm(owner);
        owner->ShowForm();
        PumpFor(50);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        ui::Application->SetMainForm(nullptr);
        delete owner;
        KovraAssistantConfig().SetText("");
    }
    // Shows a dialog modelessly over the owner and saves its picture.
    void Shoot(ui::TForm& dialog, const std::string& name)
    {
        dialog.ShowForm();
        EXPECT_TRUE(Shot(dialog, name)) << name;
        dialog.HideForm();
    }

    ui::TForm* owner = nullptr;
};

TEST_F(DialogsWin32, EveryDialogIsShownAndSaved)
{
    {
        TfmMakeCall dialog(owner);
        bool shot = false;
        platform::Post([&] {
            PumpFor(150);
            for (char c : std::string("4255550123"))
                dialog.cbPhones->TypeKey(static_cast<char16_t>(c));
            PumpFor(50);
            shot = Save(dialog, "dialog_make_call");
            dialog.imCaption->Click();
        });
        EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
        EXPECT_TRUE(shot);
    }
    // One of each family: transfer, conference and pickup are the make-call frame with other
    // buttons, the held conference list is the held transfer list's.
    TfmRedirectCall redirect(owner, {{"Desk", "2001"}, {"Mobile", "4255550199"}});
    Shoot(redirect, "dialog_redirect");

    TfmTransferToHold heldTransfer(owner);
    heldTransfer.SetCaller("Dana Doe", "(425) 555-0123");
    heldTransfer.AddHeldCall({"A1", "Erin Eck", "4255550188", false});
    heldTransfer.AddHeldCall({"A2", "", "", false});
    heldTransfer.lbHeldCalls->SelectItem(0);
    Shoot(heldTransfer, "dialog_transfer_hold");
    TfmConferenceList guests(owner);
    guests.FillGuests({{"Erin Eck", "4255550188"}, {"Chloé Carter", "1003"}});
    Shoot(guests, "dialog_conference_list");
    TfmConfirm confirm(owner);
    confirm.SetUp("Are you sure you want to delete selected entry?", nullptr, true);
    Shoot(confirm, "dialog_confirm");
    TfmAboutBox about(owner);
    about.SetUp("7.2.1", "3");
    Shoot(about, "dialog_about");
    TFrmParkCallNotification park(owner);
    park.ShowNotice("Dana Doe   (4255550123)", "701");
    PumpFor(150);
    EXPECT_TRUE(Save(park, "dialog_park_notice"));
    park.HideNotice();
}

TEST_F(DialogsWin32, PopupFadesInAndItsAnswerLinkAnswers)
{
    AnswerHost host;
    auto* popup = new TfmCallDisposition(nullptr, host);
    bool closed = false;
    popup->OnPopupClosed = [&] { closed = true; };
    popup->SetUp({"4B4F56526B15DC0400000001", "Dana Doe", "4255550123", true}, 0xFFFFFFFFu, true);
    ASSERT_TRUE(PumpUntil([&] { return popup->AlphaBlendValue() == 255; }));
    HWND window = Handle(*popup);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT bounds{};
    GetWindowRect(window, &bounds);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(bounds.right, work.right);
    EXPECT_EQ(bounds.bottom, work.bottom);
    EXPECT_TRUE(Save(*popup, "popup_ringing"));

    Click(*popup->txtAnswerCall);
    EXPECT_EQ(host.answered, std::vector<std::string>{"4B4F56526B15DC0400000001"});
    ASSERT_TRUE(PumpUntil([&] { return closed; }));
    PumpFor(50);
    EXPECT_FALSE(IsWindowVisible(window));
}

} // namespace
