#include <map>

#include "DialogTestSupport.h"
#include "MemoryVersionSource.h"
#include "dialogs/ConfirmFm.h"
#include "dialogs/MSNAbout.h"
#include "dialogs/MSNParkCall.h"
#include "platform/Clock.h"

using namespace settings;
using namespace dialogs;

namespace {

using Confirm = DialogTest;

// Counts the writes, each of which would store a key and send the document again.
struct CountingSwitch : IConfirmSwitch {
    bool checked = true;
    int writes = 0;
    bool Checked() const override { return checked; }
    void SetChecked(bool value) override
    {
        checked = value;
        ++writes;
    }
};

TEST_F(Confirm, SwitchedOffAsksNothingUnlessShiftIsHeld)
{
    KovraAssistantConfig().WriteInteger("Confirm", "CLDel", 0);
    TConfigConfirmSwitch cldel("CLDel");
    const std::size_t forms = ui::Application->Forms().size();
    EXPECT_TRUE(ShowConfirm("Delete?", &cldel, true, owner));
    EXPECT_EQ(ui::Application->Forms().size(), forms);

    // Shift forces the question, with "Do not show this window again" ticked; unticking it and
    // answering No keeps the entry and turns the option back on.
    desktop->shift = true;
    bool shownTicked = false;
    WhenShown<TfmConfirm>([&](TfmConfirm& box) {
        shownTicked = box.cbConfirm->Checked();
        EXPECT_TRUE(box.pnYesNo->Visible());
        EXPECT_FALSE(box.pnContinue->Visible());
        EXPECT_EQ(box.txtInfo->Caption(), "Delete?");
        box.cbConfirm->Click();
        box.btNo->Click();
    });
    EXPECT_FALSE(ShowConfirm("Delete?", &cldel, true, owner));
    EXPECT_TRUE(shownTicked);
    EXPECT_EQ(KovraAssistantConfig().ReadInteger("Confirm", "CLDel", -1), 1);
    EXPECT_EQ(ui::Application->Forms().size(), forms);
}

// Ticking the box off is the options' suite's (ConfirmBoxes...). The caption image is a no, and
// an answer with the box left as it was writes nothing back.
TEST_F(Confirm, SwitchedOnTheCaptionImageIsANoAndAnUnchangedBoxWritesNothing)
{
    CountingSwitch unchanged;
    WhenShown<TfmConfirm>([](TfmConfirm& box) {
        EXPECT_FALSE(box.cbConfirm->Checked());
        box.imCaption->Click();
    });
    EXPECT_FALSE(ShowConfirm("Exit?", &unchanged, true, owner));
    WhenShown<TfmConfirm>([](TfmConfirm& box) { box.btYes->Click(); });
    EXPECT_TRUE(ShowConfirm("Exit?", &unchanged, true, owner));
    EXPECT_EQ(unchanged.writes, 0);
}

TEST_F(Confirm, WithoutAskItIsANoticeWithContinue)
{
    MessageBundle().SetText("Information", "Hinweis");
    int fullHeight = 0;
    WhenShown<TfmConfirm>([&](TfmConfirm& box) {
        EXPECT_EQ(box.pnTitle->Caption(), "Hinweis");
        EXPECT_FALSE(box.pnYesNo->Visible());
        EXPECT_FALSE(box.pnConf->Visible());
        EXPECT_TRUE(box.pnContinue->Visible());
        fullHeight = box.Height() + box.pnContinue->Height();
        box.btContinue->Click();
    });
    EXPECT_TRUE(ShowConfirm("Saved.", nullptr, false, owner));
    TfmConfirm design(owner);
    EXPECT_EQ(fullHeight, design.Height());
}

// The program's version resource as the about box reads it.
std::unique_ptr<IVersionSource> ProgramVersions()
{
    return std::make_unique<TMemoryVersionSource>(std::map<std::string, std::string>{
        {"\\VarFileInfo\\Translation", std::string("\x09\x04\xE4\x04", 4)},
        {"\\StringFileInfo\\040904e4\\ProductName", std::string("Kovra Assistant\0", 16)},
        {"\\StringFileInfo\\040904e4\\ProductVersion", std::string("4.1\0", 4)},
        {"\\StringFileInfo\\040904e4\\FileVersion", std::string("4.1.7.12\0", 9)},
        {"\\StringFileInfo\\040904e4\\CompanyName", std::string("Halvern Systems\0", 16)},
        {"\\StringFileInfo\\040904e4\\LegalCopyright", std::string("(c) Halvern\0", 12)},
    });
}

using SmallDialogs = DialogTest;

TEST_F(SmallDialogs, AboutShowsTheFileVersionsAndTheServerVersions)
{
    ui::Application->SetTitle("Kovra Assistant");
    TfmAboutBox about(owner, ProgramVersions());
    EXPECT_EQ(about.txtProductName->Caption(), "Kovra Assistant");
    EXPECT_EQ(about.txtFileVersion->Caption(), "4.1.7.12");
    EXPECT_EQ(about.Caption(), "Kovra Assistant");
    WhileModal([&] {
        EXPECT_EQ(about.txtCAVersion->Caption(), "7.2.1");
        EXPECT_EQ(about.txtAPIVersion->Caption(), "3");
        about.btClose->Click();
    });
    about.SetUp("7.2.1", "3");
    EXPECT_NE(about.ShowModal(), ui::mrOk);

    // The portal's product name wins over the file's.
    MessageBundle().SetText("ProductName", "Halvern Desk");
    TfmAboutBox branded(owner, ProgramVersions());
    EXPECT_EQ(branded.txtProductName->Caption(), "Halvern Desk");

    // Escapes are decoded once, by the control: an escaped backslash shows as one.
    MessageBundle().SetText("ProductName", "Halvern \\u005Cu0041");
    TfmAboutBox escaped(owner, ProgramVersions());
    EXPECT_EQ(escaped.txtProductName->DisplayCaption(), "Halvern \\u0041");
}

TEST_F(SmallDialogs, ParkedNoticeShowsTrimmedTextsAndRestartsItsTwelveSeconds)
{
    TFrmParkCallNotification notice(owner);
    EXPECT_EQ(notice.tmHide->Interval(), 12000u);
    notice.ShowNotice("  Dana   (4255550123) ", " 701 ");
    EXPECT_TRUE(notice.Visible());
    EXPECT_FALSE(notice.Modal());
    EXPECT_EQ(notice.txtParkFrom->Caption(), "Dana   (4255550123)");
    EXPECT_EQ(notice.txtParkTo->Caption(), "701");
    EXPECT_TRUE(notice.tmHide->Enabled());

    // A second report restarts the twelve seconds from now.
    const std::uint64_t firstDue = notice.tmHide->Due();
    const std::uint64_t shown = platform::TickCount();
    while (platform::TickCount() == shown)
        platform::ProcessMessages(1);
    notice.ShowNotice("Erin   (1003)", "702");
    EXPECT_GT(notice.tmHide->Due(), firstDue);
    notice.tmHide->Tick();
    EXPECT_FALSE(notice.Visible());
    EXPECT_FALSE(notice.tmHide->Enabled());

    notice.ShowNotice("Erin   (1003)", "702");
    notice.btOk->Click();
    EXPECT_FALSE(notice.Visible());
    EXPECT_FALSE(notice.tmHide->Enabled());
    notice.ShowNotice("Erin   (1003)", "702");
    notice.imCaption->Click();
    EXPECT_FALSE(notice.Visible());

    // Hidden by its timer in the middle of a drag, it comes back without following the mouse.
    notice.ShowNotice("Erin   (1003)", "702");
    notice.pnCaption->DoMouseDown(ui::TMouseButton::mbLeft, 0, 5, 5);
    notice.tmHide->Tick();
    notice.ShowNotice("Erin   (1003)", "702");
    EXPECT_FALSE(notice.pnCaption->Dragging());
}

} // namespace
