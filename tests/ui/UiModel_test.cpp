#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "ui/Dpi.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/TaskIcon.h"
#include "ui/UnicodeCtrls.h"
#include "ui/headless/HeadlessBackend.h"

using namespace ui;

namespace {

class UiModel : public testing::Test {
protected:
    void SetUp() override
    {
        desktop = &headless::Install();
        Application->ResetTerminated();
    }
    void TearDown() override { Application->ResetTerminated(); }

    headless::HeadlessBackend* desktop = nullptr;
};

struct Probe : TComponent {
    Probe(TComponent* owner, std::vector<std::string>& log, std::string name) : TComponent(owner), log_(log)
    {
        SetName(std::move(name));
    }
    ~Probe() override { log_.push_back(Name()); }
    std::vector<std::string>& log_;
};

TUnicodePanel* Docked(TForm& form, int height, TAlign align)
{
    auto* panel = new TUnicodePanel(&form);
    panel->SetParent(&form);
    panel->SetHeight(height);
    panel->SetAlign(align);
    return panel;
}

} // namespace

TEST_F(UiModel, ComponentsAreFoundByNameAndFreedLastFirstWithTheirOwner)
{
    std::vector<std::string> freed;
    {
        TForm form(nullptr);
        new Probe(&form, freed, "first");
        auto* second = new Probe(&form, freed, "Second");
        new Probe(second, freed, "child");
        auto* label = new TUnicodeLabel(&form);
        label->SetName("txtError");

        EXPECT_EQ(form.FindComponent("SECOND"), second);
        EXPECT_EQ(form.Find<TUnicodeLabel>("txterror"), label);
        EXPECT_EQ(form.Find<TUnicodePanel>("txtError"), nullptr);
        EXPECT_EQ(form.FindComponent("child"), nullptr); // only directly owned ones
        ASSERT_EQ(form.ComponentCount(), 3);
        EXPECT_EQ(form.Components()[0]->Name(), "first");
        EXPECT_EQ(form.Components()[2], label);

        delete form.Components()[0]; // deleting one takes it off its owner's list
        EXPECT_EQ(form.ComponentCount(), 2);
    }
    // An owner finishes its own destructor before its components go.
    EXPECT_EQ(freed, (std::vector<std::string>{"first", "Second", "child"}));
}

TEST_F(UiModel, ChildrenFollowTheirParentAndAlignedOnesDock)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    auto* caption = Docked(form, 20, TAlign::alTop);
    auto* status = Docked(form, 18, TAlign::alBottom);
    auto* body = Docked(form, 0, TAlign::alClient);

    EXPECT_EQ(caption->BoundsRect(), (TRect{0, 0, 400, 20}));
    EXPECT_EQ(status->BoundsRect(), (TRect{0, 282, 400, 300}));
    EXPECT_EQ(body->BoundsRect(), (TRect{0, 20, 400, 282}));

    form.SetBounds(0, 0, 500, 400);
    EXPECT_EQ(body->BoundsRect(), (TRect{0, 20, 500, 382}));
    status->Hide();
    EXPECT_EQ(body->BoundsRect(), (TRect{0, 20, 500, 400}));

    auto* inner = new TUnicodeLabel(&form);
    inner->SetParent(body);
    EXPECT_EQ(inner->ParentForm(), &form);
    EXPECT_FALSE(inner->Showing());
    form.ShowForm();
    EXPECT_TRUE(inner->Showing());
    EXPECT_TRUE(inner->HandleAllocated());
}

TEST(Dpi, LengthsScaleToTheNearestPixelAndUnscalingUndoesIt)
{
    EXPECT_EQ(ScaleToDpi(7, 96), 7);
    EXPECT_EQ(ScaleToDpi(1, 144), 2); // 1.5 rounds away from zero
    EXPECT_EQ(ScaleToDpi(3, 144), 5);
    EXPECT_EQ(ScaleToDpi(-3, 144), -5);
    EXPECT_EQ(ScaleToDpi(250, 144), 375);
    EXPECT_EQ(ScaleToDpi(250, 120), 313); // 312.5
    for (int dpi : {96, 120, 144, 168, 192, 288})
        for (int value = -50; value < 2000; ++value) {
            ASSERT_EQ(UnscaleFromDpi(ScaleToDpi(value, dpi), dpi), value) << value << " at " << dpi;
            // Rounded up, a design extent always covers the pixels it came from.
            if (value >= 0) {
                ASSERT_GE(ScaleToDpi(UnscaleFromDpiUp(value, dpi), dpi), value) << value << " at " << dpi;
            }
        }
    EXPECT_EQ(UnscaleFromDpiUp(100, 144), 67);
    EXPECT_EQ(UnscaleFromDpi(100, 144), 67);
    EXPECT_EQ(UnscaleFromDpiUp(101, 144), 68);
    EXPECT_EQ(UnscaleFromDpi(101, 144), 67);
}

TEST_F(UiModel, AtAHigherDpiAFormGrowsByItsScaleAndNeighboursStillTouch)
{
    desktop->dpi = 144;
    TForm form(nullptr);
    form.SetBounds(101, 33, 251, 121);
    std::vector<TUnicodePanel*> rows;
    for (int height : {13, 7, 21, 1, 19})
        rows.push_back(Docked(form, height, TAlign::alTop));
    auto* link = new TUnicodeLabel(&form);
    link->SetParent(rows[2]);
    link->SetBounds(9, 3, 77, 15);

    // A window's position is the screen's; its size is the design's, scaled.
    EXPECT_EQ(form.NativeBounds(), (TRect{101, 33, 101 + 377, 33 + 182}));
    EXPECT_EQ(link->NativeBounds(), (TRect{14, 5, 129, 27}));
    int bottom = 0;
    for (TUnicodePanel* row : rows) {
        const TRect native = row->NativeBounds();
        EXPECT_EQ(native.Top, bottom) << "a gap or an overlap above a row of " << row->Height();
        EXPECT_EQ(native, ScaleRectToDpi(row->BoundsRect(), 144));
        EXPECT_EQ(native.Right, 377);
        bottom = native.Bottom;
    }
    EXPECT_EQ(bottom, ScaleToDpi(13 + 7 + 21 + 1 + 19, 144));
    EXPECT_EQ(link->ClientToScreen({0, 0}), (TPoint{101 + 14, 33 + 35}));

    // Centred on its owner at the sizes both have on the monitor; at 96 dpi nothing changes.
    form.ShowForm();
    TForm dialog(&form);
    dialog.SetBounds(0, 0, 200, 100);
    dialog.SetPosition(TPosition::poOwnerFormCenter);
    dialog.ShowForm();
    EXPECT_EQ(dialog.NativeBounds(),
              (TRect{101 + (377 - 300) / 2, 33 + (182 - 150) / 2, 101 + 38 + 300, 33 + 16 + 150}));
    form.SetMonitorDpi(96);
    EXPECT_EQ(form.NativeBounds().Width(), 251);
    EXPECT_EQ(rows[2]->NativeBounds(), rows[2]->BoundsRect());
    EXPECT_EQ(link->Font().PixelHeightAt(144), 16);
    EXPECT_EQ(link->Font().PixelHeight(), 11);
}

TEST_F(UiModel, ShowModalReturnsTheResultSetOrCancelWhenClosedAndDisablesOtherForms)
{
    TForm mainForm(nullptr);
    mainForm.ShowForm();
    TForm dialog(&mainForm);
    bool mainDisabledMeanwhile = false;
    platform::Post([&] {
        mainDisabledMeanwhile = mainForm.ModalDisabled();
        dialog.SetModalResult(mrOk);
    });

    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_FALSE(mainForm.ModalDisabled());
    EXPECT_FALSE(dialog.Visible());
    EXPECT_FALSE(dialog.Modal());

    // Closed instead, it ends with Cancel unless its close query refuses.
    int queries = 0;
    dialog.OnCloseQuery = [&](TComponent*, bool& canClose) { canClose = ++queries > 1; };
    platform::Post([&] {
        dialog.Close(); // refused: the loop keeps running
        platform::Post([&] { dialog.Close(); });
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(queries, 2);
}

TEST_F(UiModel, WorkerSynchronizeCompletesWhileAModalFormIsUp)
{
    TForm dialog(nullptr);
    std::atomic<bool> handedOver{false};
    std::thread worker([&] {
        platform::Synchronize([&] { dialog.SetModalResult(mrYes); });
        handedOver = true;
    });
    const TModalResult result = dialog.ShowModal();
    worker.join();
    EXPECT_EQ(result, mrYes);
    EXPECT_TRUE(handedOver);
}

// A question held by its caller (as the confirmation box and the call dialogs are) while its owner
// is freed: the owner goes only after the loop, the question is never deleted twice.
TEST_F(UiModel, NoFormIsFreedUnderAModalLoopOfItsOwnOrOfAFormItOwns)
{
    auto alive = [](const TForm* form) {
        const auto& forms = Application->Forms();
        return std::find(forms.begin(), forms.end(), form) != forms.end();
    };
    for (const bool releaseOwner : {true, false}) {
        auto* owner = new TForm(nullptr);
        owner->ShowForm();
        auto question = std::make_unique<TForm>(owner);
        platform::Post([&] {
            if (releaseOwner)
                owner->Release();
            else
                owner->Free();
        });
        EXPECT_EQ(question->ShowModal(), mrCancel) << releaseOwner;
        EXPECT_TRUE(alive(owner)) << releaseOwner;
        EXPECT_FALSE(owner->Visible());
        question.reset();
        EXPECT_TRUE(PumpUntil([&] { return !alive(owner); })) << releaseOwner;
    }

    // Released by its own handler, the form tells of its end at once, ends its loop, and its caller
    // frees it.
    auto dialog = std::make_unique<TForm>(nullptr);
    int destroyed = 0;
    dialog->OnDestroy = [&](TComponent*) { ++destroyed; };
    int destroyedAtRelease = -1;
    platform::Post([&] {
        dialog->Release();
        destroyedAtRelease = destroyed;
    });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_FALSE(dialog->Modal());
    EXPECT_EQ(destroyedAtRelease, 1);
    EXPECT_EQ(destroyed, 1);
    dialog.reset();
    platform::ProcessMessages(0);

    // A message box counts as well: the code that opened it runs on once it returns, with the answer.
    // Without a caption of its own the box carries the application's title.
    desktop->messageBoxAnswer = mrNo;
    Application->SetTitle("Kovra Assistant");
    for (const bool release : {true, false}) {
        auto* form = new TForm(nullptr);
        form->ShowForm();
        bool freedUnderTheBox = false;
        desktop->duringMessageBox = [&] {
            if (release)
                form->Release();
            else
                form->Free();
            platform::ProcessMessages(0);
            freedUnderTheBox = !alive(form);
        };
        EXPECT_EQ(Application->MessageBox("Unable to send message.", "", 0), mrNo);
        desktop->duringMessageBox = nullptr;
        EXPECT_FALSE(freedUnderTheBox) << release;
        EXPECT_TRUE(PumpUntil([&] { return !alive(form); })) << release;
    }
    ASSERT_EQ(desktop->messageBoxes.size(), 2u);
    EXPECT_EQ(desktop->messageBoxes[1].caption, "Kovra Assistant");

    // Without a loop, Free frees at once.
    auto* plain = new TForm(nullptr);
    plain->Free();
    EXPECT_FALSE(alive(plain));
}

// Centring on the owner is checked with the scaled sizes above.
TEST_F(UiModel, FormsArePlacedOnTheDesktopCentre)
{
    desktop->workArea = {0, 0, 1000, 800};
    TForm owner(nullptr);
    owner.SetBounds(100, 100, 400, 300);
    owner.ShowForm();
    TForm about(&owner);
    about.SetBounds(0, 0, 200, 100);
    about.SetPosition(TPosition::poDesktopCenter);
    about.ShowForm();
    EXPECT_EQ(about.BoundsRect(), (TRect{400, 350, 600, 450}));
}

TEST_F(UiModel, TheCaptionStripDragsTheFormKeepingTheGrabOffset)
{
    TForm form(nullptr);
    form.SetBounds(100, 50, 300, 200);
    form.ShowForm();
    auto* pnCaption = new TUnicodePanel(&form);
    pnCaption->SetParent(&form);
    pnCaption->SetDragsForm(true);

    desktop->cursor = {130, 60};
    pnCaption->DoMouseDown(TMouseButton::mbLeft, ssLeft, 30, 10);
    desktop->cursor = {230, 160};
    pnCaption->DoMouseMove(ssLeft, 130, 110);
    EXPECT_EQ(form.Left(), 200);
    EXPECT_EQ(form.Top(), 150);
    pnCaption->DoMouseUp(TMouseButton::mbLeft, 0, 130, 110);
    desktop->cursor = {500, 500};
    pnCaption->DoMouseMove(0, 0, 0);
    EXPECT_EQ(form.Left(), 200); // the drag ended with the release

    // The right button does not drag.
    pnCaption->DoMouseDown(TMouseButton::mbRight, ssRight, 0, 0);
    desktop->cursor = {0, 0};
    pnCaption->DoMouseMove(ssRight, 0, 0);
    EXPECT_EQ(form.Left(), 200);
}

// Firing and stopping are the main loop's timer's (its own suite); here the component hands itself
// to its handler, and the handler may free the timer's owner under it.
TEST_F(UiModel, ATimerFreedByItsOwnHandlerDoesNotCrash)
{
    auto* form = new TForm(nullptr);
    auto* timer = new TTimer(form);
    timer->SetInterval(1);
    bool fired = false;
    timer->OnTimer = [&](TComponent* sender) {
        EXPECT_EQ(sender, timer);
        fired = true;
        delete form;
    };
    timer->SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return fired; }));
}

TEST_F(UiModel, PopupMenuRunsTheChosenItemAndSkipsDisabledOnes)
{
    TForm form(nullptr);
    auto* pmIcon = new TPopupMenu(&form);
    auto* miOpen = new TUnicodeMenuItem(&form);
    miOpen->SetCaption("&Open");
    auto* miExit = new TUnicodeMenuItem(&form);
    miExit->SetCaption("E&xit");
    pmIcon->Items().Add(miOpen);
    pmIcon->Items().Add(miExit);
    std::vector<std::string> clicked;
    miOpen->OnClick = [&](TComponent*) { clicked.push_back("open"); };
    miExit->OnClick = [&](TComponent*) { clicked.push_back("exit"); };

    desktop->menuChoice = [&](TPopupMenu&) { return miExit; };
    pmIcon->Popup(10, 20);
    miExit->SetEnabled(false);
    pmIcon->Popup(10, 20);
    desktop->menuChoice = nullptr;
    pmIcon->Popup(10, 20);
    EXPECT_EQ(clicked, (std::vector<std::string>{"exit"}));
    EXPECT_EQ(desktop->popupPositions.size(), 3u);

    // Dynamic items: a submenu rebuilt from scratch many times. Its items take back freed
    // identifiers: the numbers neither climb towards the window system's range nor come round to an
    // item that still lives.
    auto* miCall = new TUnicodeMenuItem(&form);
    pmIcon->Items().Add(miCall);
    const unsigned highest = std::max({miOpen->Command(), miExit->Command(), miCall->Command()});
    std::vector<unsigned> previous;
    for (int rebuild = 0; rebuild < 40000; ++rebuild) {
        std::vector<unsigned> current;
        miCall->Clear();
        ASSERT_EQ(miCall->Count(), 0);
        for (const char* name : {"Alice", "Bob"}) {
            auto* item = new TUnicodeMenuItem(&form);
            item->SetCaption(name);
            miCall->Add(item);
            current.push_back(item->Command());
        }
        // A command posted for an item of the last build finds nothing, not its successor.
        for (unsigned command : previous)
            ASSERT_EQ(pmIcon->FindCommand(command), nullptr) << "rebuild " << rebuild;
        previous = current;
    }
    for (TUnicodeMenuItem* item : miCall->Items()) {
        EXPECT_LT(item->Command(), highest + 1000);
        EXPECT_EQ(pmIcon->FindCommand(item->Command()), item);
    }
    EXPECT_EQ(pmIcon->FindCommand(miOpen->Command()), miOpen);
    EXPECT_EQ(pmIcon->FindCommand(miExit->Command()), miExit);
    EXPECT_EQ(pmIcon->Items().Count(), 3);
}

// The tray icon's menu, double click and flashing, the end of the Windows session, and closing the
// main form.
TEST_F(UiModel, TheMainFormWithItsTrayIconEndsTheProgramWhenClosedOrWhenTheSessionEnds)
{
    auto* mainForm = Application->CreateForm<TForm>(nullptr);
    bool created = false;
    mainForm->OnCreate = [&](TComponent*) { created = true; };
    mainForm->DoCreate();
    EXPECT_TRUE(created);
    EXPECT_EQ(Application->MainForm(), mainForm);
    auto* tbIcon = new TTaskBarIcon(mainForm);
    auto* pmIcon = new TPopupMenu(mainForm);
    tbIcon->SetPopupMenu(pmIcon);
    int doubleClicks = 0;
    tbIcon->OnDblClick = [&](TComponent*) { ++doubleClicks; };
    desktop->cursor = {640, 970};
    tbIcon->RightButtonDown();
    ASSERT_EQ(desktop->popupPositions.size(), 1u);
    EXPECT_EQ(desktop->popupPositions[0], (TPoint{640, 970}));
    tbIcon->DoubleClick();
    EXPECT_EQ(doubleClicks, 1);

    mainForm->ShowForm();
    tbIcon->SetVisible(true);
    EXPECT_TRUE(headless::Tray(*tbIcon).shown);
    // Flashing alternates with a blank icon and ends on the icon; hidden and shown, it is added again.
    tbIcon->SetFlashing(true);
    EXPECT_TRUE(PumpUntil([&] { return headless::Tray(*tbIcon).blank; }));
    tbIcon->SetFlashing(false);
    EXPECT_FALSE(headless::Tray(*tbIcon).blank);
    tbIcon->SetVisible(false);
    EXPECT_FALSE(headless::Tray(*tbIcon).shown);
    tbIcon->SetVisible(true);
    EXPECT_EQ(headless::Tray(*tbIcon).adds, 2);

    EXPECT_TRUE(tbIcon->QueryEndSession());
    EXPECT_FALSE(Application->Terminated()); // the main window is up: the user decides
    platform::Post([&] { mainForm->Close(); });
    Application->Run(); // returns because the main form closed
    EXPECT_TRUE(Application->Terminated());

    Application->ResetTerminated();
    mainForm->HideForm();
    EXPECT_TRUE(tbIcon->QueryEndSession());
    EXPECT_TRUE(Application->Terminated());
    delete mainForm;
    EXPECT_EQ(Application->MainForm(), nullptr);
    platform::ProcessMessages(0);
}
