// Real windows under the window system (Wine with Xvfb in CI): the model drives native
// controls, native input reaches the model, and modal loops keep their owners' windows.

#include <windows.h>
#include <commctrl.h>
#undef MessageBox
#undef TextOut

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowTest_win.h"
#include "platform/MainLoop.h"
#include "ui/Forms.h"
#include "ui/UnicodeCtrls.h"
#include "ui/win32/Win32Backend.h"

using namespace ui;

namespace {

std::wstring Text(HWND window)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

class Win32Ui : public WindowTest {
protected:
    // A list's scroll bar: its range's ends, its page and its position.
    static std::vector<int> Scroll(const TControl& control)
    {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        GetScrollInfo(Handle(control), SB_VERT, &info);
        return {info.nMin, info.nMax, static_cast<int>(info.nPage), info.nPos};
    }
    // Where a control's window sits in its parent's client area.
    static TRect Placed(const TControl& control)
    {
        RECT rect;
        GetWindowRect(Handle(control), &rect);
        MapWindowPoints(nullptr, GetParent(Handle(control)), reinterpret_cast<POINT*>(&rect), 2);
        return TRect{rect.left, rect.top, rect.right, rect.bottom};
    }
    void SetUp() override
    {
        WindowTest::SetUp();
        TForm probe(nullptr);
        probe.HandleNeeded();
        if (!Handle(probe) || GetSystemMetrics(SM_CXSCREEN) <= 0)
            GTEST_SKIP() << "no display: the window system could not create a window";
    }
};

template <class T>
T* Add(TForm& form, TControl* parent, const char* name, int left, int top, int width, int height)
{
    auto* control = new T(&form);
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

} // namespace

// The controls whose native state is read back; the options window's case shows the others.
TEST_F(Win32Ui, ControlsShowNativelyAndInputReachesTheModel)
{
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsNone);
    form.SetBounds(40, 40, 520, 400);
    auto* txtPhone = Add<TUnicodeLabel>(form, &form, "txtPhone", 10, 30, 150, 16);
    txtPhone->SetCaption("Phone Number \\u2116");
    auto* btOk = Add<TUnicodePanel>(form, &form, "btOk", 420, 30, 80, 24);
    btOk->SetCaption("OK");
    int okClicks = 0;
    btOk->OnClick = [&](TComponent*) { ++okClicks; };

    auto* cbPhones = Add<TUnicodeComboBox>(form, &form, "cbPhones", 170, 30, 150, 21);
    cbPhones->OnKeyPress = [](TComponent*, char16_t& key) {
        if (!(key >= u'0' && key <= u'9') && key != 8)
            key = 0;
    };
    auto* edName = Add<TEdit>(form, &form, "edName", 330, 30, 80, 21);

    std::vector<int> drawn;
    auto* lbCalls = Add<TUnicodeListBox>(form, &form, "lbCalls", 10, 60, 200, 110);
    lbCalls->SetStyle(TListBoxStyle::lbOwnerDrawFixed);
    lbCalls->SetItemHeight(34);
    lbCalls->Items().Assign({"Alice", "Bob", "Carol"});
    lbCalls->OnDrawItem = [&](TCustomListBox* sender, int index, const TRect& rect, TOwnerDrawState state) {
        drawn.push_back(index);
        TCanvas& canvas = sender->Canvas();
        canvas.BrushColor = HasState(state, TOwnerDrawState::odSelected) ? 0xFFE4AE : clWhite;
        canvas.FillRect(rect);
        canvas.TextOut(rect.Left + 6, rect.Top + 2, sender->Items().Strings(index));
    };

    auto* gbCall = Add<TUnicodeGroupBox>(form, &form, "gbCall", 220, 125, 140, 75);
    auto* ckRegularCall = Add<TUnicodeLightRadioButton>(form, gbCall, "ckRegularCall", 8, 18, 120, 17);
    ckRegularCall->SetChecked(true);
    auto* ckIntercom = Add<TUnicodeRadioButton>(form, gbCall, "ckIntercom", 8, 36, 120, 17);
    auto* ckUrgent = Add<TUnicodeLightCheckBox>(form, gbCall, "ckUrgent", 8, 54, 120, 17);

    auto* tsOptions = Add<TUnicodeTabSet>(form, &form, "tsOptions", 10, 250, 300, 22);
    tsOptions->Tabs().Assign({"General", "Connection"});

    form.ShowForm();
    PumpFor(300);

    // Native state read back.
    HWND window = Handle(form);
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_EQ(Text(Handle(*txtPhone)), L"Phone Number \x2116");
    EXPECT_FALSE(drawn.empty()); // the owner-drawn list painted through the model

    // Model changes reach the windows at once: a fourth line shows in part, under a scroll bar.
    drawn.clear();
    lbCalls->Items().Add("Dave");
    lbCalls->Repaint();
    EXPECT_EQ(drawn, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Scroll(*lbCalls), (std::vector<int>{0, 3, 3, 0}));
    ckIntercom->SetChecked(true);
    EXPECT_EQ(SendMessageW(Handle(*ckRegularCall), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(Handle(*ckIntercom), BM_GETCHECK, 0, 0), BST_CHECKED);

    // Native input reaches the model.
    SendMessageW(Handle(*ckUrgent), BM_CLICK, 0, 0);
    EXPECT_TRUE(ckUrgent->Checked());
    Click(*btOk);
    EXPECT_EQ(okClicks, 1);
    SendMessageW(Handle(*lbCalls), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 34 + 10));
    SendMessageW(Handle(*lbCalls), WM_LBUTTONUP, 0, MAKELPARAM(20, 34 + 10));
    EXPECT_EQ(lbCalls->ItemIndex(), 1);

    COMBOBOXINFO comboInfo{};
    comboInfo.cbSize = sizeof(comboInfo);
    ASSERT_TRUE(GetComboBoxInfo(Handle(*cbPhones), &comboInfo));
    for (wchar_t key : std::wstring(L"5+ 1"))
        SendMessageW(comboInfo.hwndItem, WM_CHAR, key, 0);
    EXPECT_EQ(cbPhones->Text(), "51");
    EXPECT_EQ(Text(Handle(*cbPhones)), L"51");
    SendMessageW(Handle(*edName), WM_CHAR, L'\x00E9', 0);
    EXPECT_EQ(edName->Text(), "\xC3\xA9");

    const int tabX = tsOptions->TabRects()[1].Left + 3;
    SendMessageW(Handle(*tsOptions), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tabX, 5));
    SendMessageW(Handle(*tsOptions), WM_LBUTTONUP, 0, MAKELPARAM(tabX, 5));
    EXPECT_EQ(tsOptions->TabIndex(), 1);
    EXPECT_TRUE(Shot(form, "ui_controls"));
}

// Hidden pages and controls get no window until first shown; what the model was told
// meanwhile is what the window shows when it comes, and it keeps it through hide and show.
TEST_F(Win32Ui, ControlsGetTheirWindowsWhenFirstShownWithTheModelsState)
{
    TForm form(nullptr);
    form.SetBounds(40, 40, 300, 200);
    auto* nbStates = Add<TNotebook>(form, &form, "nbStates", 0, 0, 300, 150);
    nbStates->AddPage("Idle");
    TPage* dialing = nbStates->AddPage("Dialing");
    auto* edNumber = Add<TEdit>(form, dialing, "edNumber", 10, 40, 120, 21);
    auto* lbCalls = Add<TUnicodeListBox>(form, &form, "lbCalls", 0, 150, 300, 50);
    lbCalls->Hide();
    form.ShowForm();
    ASSERT_TRUE(win32::HasWindow(*nbStates));
    for (TControl* control :
         {static_cast<TControl*>(dialing), static_cast<TControl*>(edNumber), static_cast<TControl*>(lbCalls)})
        EXPECT_FALSE(win32::HasWindow(*control)) << control->Name();

    edNumber->SetText("5551234");
    edNumber->SetEnabled(false);
    edNumber->SetBounds(12, 44, 100, 21);
    lbCalls->Items().Assign({"Alice", "Bob"});
    nbStates->SetActivePage("Dialing");
    ASSERT_TRUE(win32::HasWindow(*edNumber));
    HWND edit = Handle(*edNumber);
    EXPECT_EQ(GetParent(edit), Handle(*dialing));
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_EQ(Text(edit), L"5551234");
    EXPECT_EQ(Placed(*edNumber), edNumber->NativeBounds());

    nbStates->SetActivePage("Idle");
    EXPECT_FALSE(IsWindowVisible(edit));
    edNumber->SetText("5550000");
    nbStates->SetActivePage("Dialing");
    EXPECT_EQ(Handle(*edNumber), edit);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(Text(edit), L"5550000");

    // Asked for before it is shown, the window is made at once, hidden, and kept when shown.
    HWND list = Handle(*lbCalls);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(IsWindowVisible(list));
    lbCalls->Show();
    EXPECT_EQ(Handle(*lbCalls), list);
    EXPECT_TRUE(IsWindowVisible(list));
}

// A list shows its selection, moved by the program or by the user, and keeps its first line
// where its last still fills the window; the keys, the wheel and the bar scroll it as the
// system's lists do, and a click on a line selects it.
TEST_F(Win32Ui, AListKeepsItsSelectionInViewAndScrollsByKeysWheelAndBar)
{
    TForm form(nullptr);
    form.SetBounds(40, 40, 300, 200);
    auto* lbCalls = Add<TUnicodeListBox>(form, &form, "lbCalls", 10, 10, 200, 64); // 3 lines of 20
    lbCalls->SetStyle(TListBoxStyle::lbOwnerDrawFixed);
    lbCalls->SetItemHeight(20);
    for (int i = 0; i < 10; ++i)
        lbCalls->Items().Add("Line " + std::to_string(i));
    std::vector<int> drawn;
    lbCalls->OnDrawItem = [&](TCustomListBox* sender, int index, const TRect& rect, TOwnerDrawState) {
        drawn.push_back(index);
        sender->Canvas().FillRect(rect);
    };
    int clicks = 0;
    lbCalls->OnClick = [&](TComponent*) { ++clicks; };
    form.ShowForm();
    HWND list = Handle(*lbCalls);
    const auto key = [list](WPARAM code) { SendMessageW(list, WM_KEYDOWN, code, 0); };
    const auto shown = [&] {
        drawn.clear();
        lbCalls->Repaint();
        return drawn;
    };
    EXPECT_EQ(shown(), (std::vector<int>{0, 1, 2}));

    lbCalls->SetItemIndex(7);
    EXPECT_EQ(lbCalls->TopIndex(), 5);
    EXPECT_EQ(shown(), (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(Scroll(*lbCalls), (std::vector<int>{0, 9, 3, 5}));
    EXPECT_EQ(clicks, 0);

    SetFocus(list);
    key(VK_DOWN);
    EXPECT_EQ(lbCalls->ItemIndex(), 8);
    EXPECT_EQ(lbCalls->TopIndex(), 6);
    key(VK_HOME);
    EXPECT_EQ(lbCalls->TopIndex(), 0);
    key(VK_NEXT);
    EXPECT_EQ(lbCalls->ItemIndex(), 2);
    key(VK_END);
    key(VK_DOWN); // already the last: no selection, no click
    EXPECT_EQ(lbCalls->ItemIndex(), 9);
    EXPECT_EQ(lbCalls->TopIndex(), 7);
    EXPECT_EQ(clicks, 4);

    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    const int afterNotch = lbCalls->TopIndex();
    EXPECT_LT(afterNotch, 7);
    SendMessageW(list, WM_MOUSEWHEEL, static_cast<WPARAM>(-WHEEL_DELTA / 2) << 16, 0);
    EXPECT_EQ(lbCalls->TopIndex(), afterNotch); // half a notch waits for the other half
    SendMessageW(list, WM_MOUSEWHEEL, static_cast<WPARAM>(-WHEEL_DELTA / 2) << 16, 0);
    EXPECT_EQ(lbCalls->TopIndex(), 7);
    SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(list, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(lbCalls->TopIndex(), 1);
    EXPECT_EQ(lbCalls->ItemIndex(), 9); // scrolling leaves the selection alone
    EXPECT_EQ(Scroll(*lbCalls)[3], 1);

    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 2 * 20 + 5));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(20, 2 * 20 + 5));
    EXPECT_EQ(lbCalls->ItemIndex(), 3);
    EXPECT_EQ(clicks, 5);

    // Fewer lines than the window holds: all of them from the first, and no bar.
    lbCalls->Items().Assign({"Alice", "Bob"});
    EXPECT_EQ(lbCalls->TopIndex(), 0);
    EXPECT_EQ(shown(), (std::vector<int>{0, 1}));
    EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL, 0);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 50)); // below the last line
    EXPECT_EQ(lbCalls->ItemIndex(), -1);
}

// A check list ticks a line by a click on its box or by Space, and selects by a click elsewhere.
TEST_F(Win32Ui, ACheckListTicksByItsBoxAndBySpace)
{
    TForm form(nullptr);
    form.SetBounds(40, 40, 300, 200);
    auto* lbStates = Add<TCheckListBox>(form, &form, "lbStates", 10, 10, 200, 100);
    lbStates->SetItemHeight(16);
    lbStates->Items().Assign({"Idle", "Busy", "Away"});
    int ticks = 0;
    lbStates->OnClickCheck = [&](TComponent*) { ++ticks; };
    form.ShowForm();
    HWND list = Handle(*lbStates);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 16 + 8));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(5, 16 + 8));
    EXPECT_TRUE(lbStates->Checked(1));
    EXPECT_EQ(lbStates->ItemIndex(), 1);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 2 * 16 + 8));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(80, 2 * 16 + 8));
    EXPECT_FALSE(lbStates->Checked(2));
    EXPECT_EQ(lbStates->ItemIndex(), 2);
    SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(lbStates->Checked(2));
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(Shot(form, "ui_check_list"));
}

TEST_F(Win32Ui, OnA144DpiMonitorEveryControlIsLaidOutAndLetteredAtOneAndAHalfTimes)
{
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsNone);
    form.SetBounds(30, 30, 251, 121);
    auto* pnRow = Add<TUnicodePanel>(form, &form, "pnRow", 0, 0, 0, 21);
    pnRow->SetAlign(TAlign::alTop);
    auto* txtLink = Add<TUnicodeLabel>(form, pnRow, "txtLink", 9, 3, 77, 15);
    TPoint pressedAt{-1, -1};
    txtLink->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int x, int y) { pressedAt = {x, y}; };
    auto* lbCalls = Add<TUnicodeListBox>(form, &form, "lbCalls", 10, 40, 201, 61);
    lbCalls->SetItemHeight(17);
    lbCalls->Items().Assign({"Alice", "Bob"});
    form.ShowForm();
    HWND window = Handle(form);
    ASSERT_NE(window, nullptr);

    RECT suggested{50, 60, 50 + 377, 60 + 182};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(form.Dpi(), 144);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 377);
    EXPECT_EQ(client.bottom, 182);
    EXPECT_EQ(form.Left(), 50);
    EXPECT_EQ(form.Top(), 60);
    EXPECT_EQ(Placed(*txtLink), (TRect{14, 5, 129, 27}));
    EXPECT_EQ(Placed(*lbCalls), (TRect{15, 60, 317, 152}));
    // Lines of 17 design pixels are 26 high: a press 27 pixels down is on the second.
    SendMessageW(Handle(*lbCalls), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 25));
    EXPECT_EQ(lbCalls->ItemIndex(), 0);
    SendMessageW(Handle(*lbCalls), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 27));
    EXPECT_EQ(lbCalls->ItemIndex(), 1);
    SendMessageW(Handle(*lbCalls), WM_LBUTTONUP, 0, MAKELPARAM(30, 27));
    // The model keeps its design, and input reaches it in design pixels.
    EXPECT_EQ(txtLink->BoundsRect(), (TRect{9, 3, 86, 18}));
    EXPECT_EQ(form.Width(), 251);
    SendMessageW(Handle(*txtLink), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 15));
    SendMessageW(Handle(*txtLink), WM_LBUTTONUP, 0, MAKELPARAM(30, 15));
    EXPECT_EQ(pressedAt, (TPoint{20, 10}));
    EXPECT_TRUE(Shot(form, "ui_dpi144"));
}

// The pop-up is layered, as the call pop-up that fades in is.
TEST_F(Win32Ui, AStayOnTopPopUpLeavesTheKeyboardWhereItIsAndTabAndEnterRunLinks)
{
    TForm work(nullptr);
    work.SetBounds(40, 40, 300, 200);
    int runs = 0;
    std::vector<TUnicodeLabel*> links;
    for (int i = 0; i < 2; ++i) {
        auto* link = Add<TUnicodeLabel>(work, &work, i ? "txtHold" : "txtAnswer", 10, 10 + 20 * i, 120, 16);
        link->SetCaption(i ? "Hold the call" : "Answer the call");
        link->SetIsLink(true);
        link->OnClick = [&runs, i](TComponent*) { runs += i ? 10 : 1; };
        links.push_back(link);
    }
    work.ShowForm();
    HWND window = Handle(work);
    SetForegroundWindow(window);
    SetFocus(window);
    TForm popup(nullptr);
    popup.SetBorderStyle(TFormBorderStyle::bsNone);
    popup.SetFormStyle(TFormStyle::fsStayOnTop);
    popup.SetBounds(400, 300, 200, 100);
    popup.SetAlphaBlend(true);
    popup.SetAlphaBlendValue(0);
    popup.ShowForm();
    PumpFor(50);
    HWND layered = Handle(popup);
    EXPECT_TRUE(IsWindowVisible(layered));
    popup.SetAlphaBlendValue(130);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(layered, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 130);
    EXPECT_TRUE(flags & LWA_ALPHA);
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);

    SendMessageW(window, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), Handle(*links[0]));
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), Handle(*links[1]));
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), Handle(*links[0]));
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(runs, 11);
}

// The work area is kept until the system says it has changed (the taskbar moved, a display came or
// went); a form centred on the screen then takes the new one.
TEST_F(Win32Ui, AFormCentredOnTheScreenTakesTheWorkAreaTheSystemAnnouncedLast)
{
    RECT original{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &original, 0));
    Application->WorkArea();
    RECT moved = original;
    moved.top += 200;
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &moved, 0));
    HWND hidden = FindWindowW(L"KovraHidden", nullptr);
    ASSERT_NE(hidden, nullptr);
    SendMessageW(hidden, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    TForm dialog(nullptr);
    dialog.SetPosition(TPosition::poScreenCenter);
    dialog.SetBounds(0, 0, 200, 100);
    dialog.ShowForm();
    const int top = dialog.Top();
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &original, 0);
    SendMessageW(hidden, WM_DISPLAYCHANGE, 32, MAKELPARAM(original.right, original.bottom));
    EXPECT_EQ(top, moved.top + (moved.bottom - moved.top - 100) / 2);
    EXPECT_EQ(Application->WorkArea().Top, original.top);
}

// Work handed over to the modal loop runs through the main loop's own queue (its suite); here the
// owner's window is disabled while the loop runs and enabled after, and the dialog centred on it.
// The window system destroys the windows a destroyed window owns: an owner released while its
// question runs keeps its window until the question's loop has returned.
TEST_F(Win32Ui, AModalFormDisablesItsOwnersWindowAndAnOwnerReleasedMeanwhileOutlivesTheLoop)
{
    auto* owner = new TForm(nullptr);
    owner->SetBounds(100, 100, 300, 200);
    owner->ShowForm();
    auto dialog = std::make_unique<TForm>(owner);
    dialog->SetBorderStyle(TFormBorderStyle::bsNone);
    dialog->SetBounds(0, 0, 200, 100);
    dialog->SetPosition(TPosition::poOwnerFormCenter);
    // A guard: the dialog ends by itself if the posted work never runs.
    auto* guard = new TTimer(dialog.get());
    guard->SetInterval(5000);
    guard->OnTimer = [&](TComponent*) { dialog->SetModalResult(mrAbort); };
    guard->SetEnabled(true);
    bool ownerWasDisabled = false;
    RECT placed{};
    platform::Post([&] {
        ownerWasDisabled = !IsWindowEnabled(Handle(*owner));
        GetWindowRect(Handle(*dialog), &placed);
        dialog->SetModalResult(mrOk);
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_TRUE(ownerWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(Handle(*owner)));
    EXPECT_EQ(placed.left, 150);
    EXPECT_EQ(placed.top, 150);

    HWND ownerWindow = Handle(*owner);
    HWND questionWindow = Handle(*dialog);
    platform::Post([&] { owner->Release(); });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_TRUE(IsWindow(ownerWindow));
    EXPECT_TRUE(IsWindow(questionWindow));
    EXPECT_FALSE(IsWindowVisible(ownerWindow));
    dialog.reset();
    EXPECT_FALSE(IsWindow(questionWindow));
    PumpFor(50);
    EXPECT_FALSE(IsWindow(ownerWindow));
}
