#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/MainLoop.h"
#include "ui/Forms.h"
#include "ui/UnicodeCtrls.h"
#include "ui/headless/HeadlessBackend.h"

using namespace ui;
using headless::TCanvasOp;

namespace {

class UiControls : public testing::Test {
protected:
    void SetUp() override
    {
        headless::Install();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, 300, 400);
    }
    template <class T> T* Add(const char* name)
    {
        auto* control = new T(form.get());
        control->SetName(name);
        control->SetParent(form.get());
        return control;
    }
    std::unique_ptr<TForm> form;
};

} // namespace

// The length limit, Enter and leaving the field are the options window's message and screen-pop cases.
TEST_F(UiControls, BackspaceTakesAWholeCharacterAndADisabledEditNoKeys)
{
    auto* edName = Add<TEdit>("edName");
    for (char16_t key : std::u16string(u"ab\x00E9"))
        edName->TypeKey(key);
    EXPECT_EQ(edName->Text(), "ab\xC3\xA9");
    edName->TypeKey(u'\b'); // removes the whole two-byte character
    EXPECT_EQ(edName->Text(), "ab");
    edName->SetEnabled(false);
    EXPECT_FALSE(edName->TypeKey(u'z'));
    EXPECT_EQ(edName->Text(), "ab");
}

TEST_F(UiControls, SpinEditTakesDigitsOnlyAndStaysInRange)
{
    auto* sp = Add<TSpinEdit>("spMinutes");
    sp->SetRange(1, 60);
    sp->SetText("");
    for (char16_t key : std::u16string(u"9x9"))
        sp->TypeKey(key);
    EXPECT_EQ(sp->Text(), "99");
    EXPECT_EQ(sp->Value(), 60);
    sp->SetValue(59);
    sp->StepUp();
    sp->StepUp();
    EXPECT_EQ(sp->Value(), 60);
    sp->SetText("abc");
    EXPECT_EQ(sp->Value(), 1);
}

TEST_F(UiControls, ComboSelectionShowsTheItemAndTypedTextFilteredOrNotDropsIt)
{
    auto* cbRedirectTo = Add<TUnicodeComboBox>("cbRedirectTo");
    cbRedirectTo->Items().Assign({"None", "Office"});
    std::vector<std::string> events;
    cbRedirectTo->OnSelect = [&](TComponent*) { events.push_back("select " + cbRedirectTo->Text()); };
    cbRedirectTo->OnChange = [&](TComponent*) { events.push_back("change"); };

    cbRedirectTo->SelectItem(1);
    EXPECT_EQ(cbRedirectTo->ItemIndex(), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"select Office", "change"}));

    // A key the filter drops changes nothing; the number entry's case covers the filter itself.
    cbRedirectTo->OnKeyPress = [](TComponent*, char16_t& key) { key = key == u'+' ? 0 : key; };
    cbRedirectTo->TypeKey(u'+');
    EXPECT_EQ(events.size(), 2u);
    cbRedirectTo->TypeKey(u'x'); // typed text that is no item drops the selection
    EXPECT_EQ(cbRedirectTo->ItemIndex(), -1);
    EXPECT_EQ(cbRedirectTo->Text(), "Officex");
}

// What the call list's lines show (images, fonts, colours) is the main window's call list case; here
// which lines are drawn and where: the ones that start inside the list, from the top index.
TEST_F(UiControls, OwnerDrawnListDrawsTheLinesThatStartInsideItFromTheTopIndex)
{
    auto* imCallStates = new TImageList(form.get());
    imCallStates->SetSize(44, 44);
    imCallStates->Add(TBitmap::Solid(44, 44, 0xFF000000u));
    auto* lbCalls = Add<TUnicodeListBox>("lbCalls");
    lbCalls->SetBounds(0, 0, 250, 120);
    lbCalls->SetStyle(TListBoxStyle::lbOwnerDrawFixed);
    lbCalls->SetItemHeight(50);
    lbCalls->Items().Assign({"Alice", "Bob", "Carol"});
    lbCalls->OnDrawItem = [&](TCustomListBox* sender, int index, const TRect& rect, TOwnerDrawState state) {
        TCanvas& canvas = sender->Canvas();
        canvas.BrushColor = HasState(state, TOwnerDrawState::odSelected) ? 0xFFE4AE : 0xFFFFFF;
        canvas.FillRect(rect);
        imCallStates->Draw(canvas, rect.Left + 1, rect.Top + 3, index, TDrawingStyle::dsSelected);
        canvas.TextOut(rect.Left + 50, rect.Top + 2, sender->Items().Strings(index));
    };
    lbCalls->SetItemIndex(1);
    form->ShowForm();
    lbCalls->Repaint();

    // Three lines of 50 pixels in a 120-pixel list: all three start inside it. Only the first has an
    // image: an index past the image list draws nothing.
    const auto& ops = headless::Painted(*lbCalls);
    ASSERT_EQ(ops.size(), 7u);
    EXPECT_EQ(ops[1].kind, TCanvasOp::Kind::DrawImage);
    for (int line = 0; line < 3; ++line) {
        const int at = line == 0 ? 0 : 2 * line + 1; // each line's FillRect
        EXPECT_EQ(ops[at].rect, (TRect{0, 50 * line, 250, 50 * line + 50})) << line;
        EXPECT_EQ(ops[at].brushColor, line == 1 ? 0xFFE4AEu : 0xFFFFFFu) << line;
    }

    // Scrolled down by one line only two lines are drawn, the first at the top.
    lbCalls->SetTopIndex(1);
    lbCalls->Repaint();
    EXPECT_EQ(headless::PaintedTexts(*lbCalls), (std::vector<std::string>{"Bob", "Carol"}));
    EXPECT_EQ(headless::Painted(*lbCalls)[0].rect.Top, 0);
}

TEST_F(UiControls, RemovingTheSelectedLineClearsTheSelectionAndNoIndexReachesPastTheItems)
{
    auto* lb = Add<TUnicodeListBox>("lbCalls");
    lb->Items().Add("a");
    lb->Items().Add("b");
    int clicks = 0;
    lb->OnClick = [&](TComponent*) { ++clicks; };
    lb->SelectItem(1);
    EXPECT_EQ(clicks, 1);
    lb->Items().Delete(1);
    EXPECT_EQ(lb->ItemIndex(), -1);
    lb->SetItemIndex(7);
    EXPECT_EQ(lb->ItemIndex(), -1);
    EXPECT_EQ(lb->Items().Strings(5), "");
    EXPECT_EQ(lb->Items().Objects(-1), nullptr);
}

TEST_F(UiControls, LabelsShowDecodedTextAndLinksUnderlineOnHoverUnlessItalic)
{
    auto* txtAnswerCall = Add<TUnicodeLabel>("txtAnswerCall");
    txtAnswerCall->SetCaption("R\\u00e9pondre && contr\\u00f4ler");
    txtAnswerCall->SetIsLink(true);
    form->ShowForm();
    txtAnswerCall->Repaint();
    EXPECT_EQ(headless::PaintedTexts(*txtAnswerCall),
              (std::vector<std::string>{"R\xC3\xA9pondre & contr\xC3\xB4ler"}));

    txtAnswerCall->DoMouseEnter();
    txtAnswerCall->Repaint();
    EXPECT_EQ(headless::Painted(*txtAnswerCall).back().fontStyle, fsUnderline);
    txtAnswerCall->DoMouseLeave();
    EXPECT_EQ(txtAnswerCall->DrawnStyle(), 0u);

    txtAnswerCall->Font().SetStyle(fsItalic);
    txtAnswerCall->DoMouseEnter();
    EXPECT_EQ(txtAnswerCall->DrawnStyle(), fsItalic);
}

TEST_F(UiControls, CheckBoxesToggleRadioButtonsExcludeTheirSiblings)
{
    auto* ckRegularCall = Add<TUnicodeLightRadioButton>("ckRegularCall");
    auto* ckIntercom = Add<TUnicodeLightRadioButton>("ckIntercom");
    auto* ckUrgent = Add<TUnicodeRadioButton>("ckUrgent");
    auto* group = Add<TUnicodeGroupBox>("gbOther");
    auto* ckElsewhere = new TUnicodeRadioButton(form.get());
    ckElsewhere->SetParent(group);
    ckElsewhere->SetChecked(true);
    ckRegularCall->SetChecked(true);
    int clicks = 0;
    ckIntercom->OnClick = [&](TComponent*) { ++clicks; };

    ckIntercom->Click();
    EXPECT_TRUE(ckIntercom->Checked());
    EXPECT_FALSE(ckRegularCall->Checked());
    EXPECT_TRUE(ckElsewhere->Checked()); // another container, another group
    ckUrgent->Click();
    EXPECT_FALSE(ckIntercom->Checked());
    ckIntercom->Click();
    ckIntercom->Click(); // a radio button stays checked
    EXPECT_TRUE(ckIntercom->Checked());
    EXPECT_EQ(clicks, 3);

    auto* ckImmediateTrans = Add<TUnicodeLightCheckBox>("ckImmediateTrans");
    ckImmediateTrans->Click();
    EXPECT_TRUE(ckImmediateTrans->Checked());
    ckImmediateTrans->Click();
    EXPECT_FALSE(ckImmediateTrans->Checked());
    ckImmediateTrans->SetChecked(true);
    ckImmediateTrans->SetEnabled(false);
    ckImmediateTrans->Click();
    EXPECT_TRUE(ckImmediateTrans->Checked());
}

TEST_F(UiControls, CheckListBoxKeepsChecksWithItsItems)
{
    auto* clb = Add<TCheckListBox>("clbEvents");
    clb->Items().Assign({"Off-hook", "Busy", "Hangup"});
    int checks = 0;
    clb->OnClickCheck = [&](TComponent*) { ++checks; };
    clb->ToggleCheck(1);
    EXPECT_TRUE(clb->Checked(1));
    EXPECT_FALSE(clb->Checked(0));
    EXPECT_FALSE(clb->Checked(9));
    clb->ToggleCheck(9);
    EXPECT_EQ(checks, 1);
    clb->Items().Clear();
    clb->Items().Add("again");
    EXPECT_FALSE(clb->Checked(0));
}

TEST_F(UiControls, NotebookShowsOnePageAndTabSetMayRefuseAChange)
{
    auto* nbStates = Add<TNotebook>("nbStates");
    for (const char* name : {"Idle", "Dialing", "Attempting", "Alerting"})
        nbStates->AddPage(name);
    nbStates->SetActivePage("alerting");
    EXPECT_EQ(nbStates->PageIndex(), 3);
    EXPECT_TRUE(nbStates->Page(3)->Visible());
    EXPECT_FALSE(nbStates->Page(0)->Visible());
    nbStates->SetActivePage("Nowhere");
    EXPECT_EQ(nbStates->PageIndex(), 3);

    auto* tabs = Add<TUnicodeTabSet>("tsOptions");
    tabs->Tabs().Assign({"General", "Connection"});
    bool allow = false;
    tabs->OnChange = [&](TComponent*, int, bool& allowChange) { allowChange = allow; };
    tabs->SelectTab(1);
    EXPECT_EQ(tabs->TabIndex(), 0);
    allow = true;
    tabs->SelectTab(1);
    EXPECT_EQ(tabs->TabIndex(), 1);
    auto rects = tabs->TabRects();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[1].Left, rects[0].Right);

    // More tabs than the width holds: every tab stays inside the control, in order.
    tabs->SetBounds(0, 0, 200, 22);
    for (int i = 0; i < 6; ++i)
        tabs->Tabs().Add("Preferences");
    rects = tabs->TabRects();
    ASSERT_EQ(rects.size(), 8u);
    for (std::size_t i = 1; i < rects.size(); ++i)
        EXPECT_EQ(rects[i].Left, rects[i - 1].Right);
    EXPECT_LE(rects.back().Right, 200);
    EXPECT_GT(rects.back().Right - rects.back().Left, 0);
}

// What a screen reader hears of each control, and the keyboard: Tab in reading order (rows from the
// top, each from the left, whatever the creation order), Enter or Space on a clickable control,
// the arrows on a tab set.
TEST_F(UiControls, ControlsSayANameAndRoleAndTheKeyboardReachesThemInReadingOrder)
{
    int dials = 0;
    auto* link = Add<TUnicodeLabel>("txtAnswer");
    link->SetCaption("Answer");
    link->SetIsLink(true);
    link->SetBounds(10, 40, 80, 16);
    auto* dial = Add<TUnicodePanel>("btDial");
    dial->SetCaption("&Dial");
    dial->SetBounds(200, 8, 60, 20);
    dial->OnClick = [&](TComponent*) { ++dials; };
    auto* label = Add<TUnicodeLabel>("txtNumber");
    label->SetCaption("  Number:  ");
    label->SetBounds(10, 12, 60, 16);
    auto* number = Add<TEdit>("edNumber");
    number->SetBounds(80, 10, 100, 20);
    number->SetText("555");
    auto* close = Add<TImage>("imClose");
    close->SetHint("Close this window");
    close->OnClick = [](TComponent*) {};
    auto* box = Add<TUnicodePanel>("pnBox");
    auto* inside = new TUnicodeLabel(form.get());
    inside->SetCaption("Inside");
    inside->SetParent(box);
    auto* view = Add<TListView>("lvCalls");
    view->AddColumn("Name", 80);
    view->AddColumn("Number", 80);
    view->SetBounds(0, 60, 100, 200);
    auto* tabs = Add<TUnicodeTabSet>("tsPages");
    tabs->Tabs().Assign({"One", "Two", "Three"});
    tabs->SetBounds(0, 300, 300, 20);
    form->SetCaption("Dialer");

    const struct {
        TControl* control;
        std::string name;
        TAccessibleRole role;
    } said[] = {
        {link, "Answer", TAccessibleRole::Link},
        {dial, "Dial", TAccessibleRole::PushButton},
        {label, "Number:", TAccessibleRole::StaticText},
        {number, "Number:", TAccessibleRole::Text},
        {close, "Close this window", TAccessibleRole::PushButton},
        {box, "Inside", TAccessibleRole::Pane},
        {view, "Name, Number", TAccessibleRole::List},
        {tabs, "Dialer", TAccessibleRole::PageTabList},
    };
    for (const auto& each : said) {
        EXPECT_EQ(each.control->AccessibleName(), each.name) << each.control->Name();
        EXPECT_EQ(each.control->AccessibleRole(), each.role) << each.control->Name();
    }

    // The picture is clicked with the mouse only; the tall list's row ends above the link's.
    std::vector<TControl*> order;
    TControl* at = form.get();
    for (int i = 0; i < 6; ++i)
        order.push_back(at = form->NextTabStop(at, true));
    EXPECT_EQ(order, (std::vector<TControl*>{number, dial, link, view, tabs, number}));
    EXPECT_EQ(form->NextTabStop(number, false), tabs);

    EXPECT_EQ(form->KeyPressed(dial, VK_RETURN_KEY, 0), 0);
    EXPECT_EQ(form->KeyPressed(dial, VK_SPACE_KEY, 0), 0);
    EXPECT_EQ(form->KeyPressed(dial, VK_RETURN_KEY, ssShift), VK_RETURN_KEY);
    EXPECT_EQ(dials, 2);
    for (auto [key, tab] : {std::pair{VK_RIGHT_KEY, 1},
                            {VK_RIGHT_KEY, 2},
                            {VK_RIGHT_KEY, 0},
                            {VK_LEFT_KEY, 2},
                            {VK_HOME_KEY, 0},
                            {VK_END_KEY, 2}}) {
        EXPECT_EQ(form->KeyPressed(tabs, key, 0), 0);
        EXPECT_EQ(tabs->TabIndex(), tab) << key;
    }
}

TEST_F(UiControls, ListViewKeepsRowsAndReportsSelection)
{
    auto* lvForward = Add<TListView>("lvForward");
    lvForward->AddColumn("Name", 100);
    lvForward->AddColumn("Number", 80);
    int home = 1;
    lvForward->AddItem("Home", {"5551234"}, &home);
    lvForward->AddItem("Office", {"5559876"});
    EXPECT_EQ(lvForward->CellText(0, 1), "5551234");
    EXPECT_EQ(lvForward->CellText(1, 2), "");
    EXPECT_EQ(lvForward->CellText(5, 0), "");

    std::vector<std::pair<int, bool>> changes;
    lvForward->OnSelectItem = [&](TComponent*, int index, bool selected) {
        changes.emplace_back(index, selected);
    };
    lvForward->SelectItem(0);
    lvForward->SelectItem(1);
    EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {1, true}}));
    lvForward->DeleteItem(0);
    EXPECT_EQ(lvForward->ItemIndex(), 0); // the selected row moved up
    lvForward->SetColumnCaption(1, "Nummer");
    EXPECT_EQ(lvForward->Columns()[1].Caption, "Nummer");
}

TEST_F(UiControls, SpeedButtonsOfAGroupStayDownOneAtATime)
{
    auto* a = Add<TSpeedButton>("sbA");
    auto* b = Add<TSpeedButton>("sbB");
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    a->Click();
    EXPECT_TRUE(a->Down());
    b->Click();
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
}

TEST_F(UiControls, HeaderSectionsAreHitByPosition)
{
    auto* header = Add<THeaderControl>("hcCalls");
    header->AddSection("Name", 100);
    header->AddSection("Number", 50);
    EXPECT_EQ(header->SectionAt(99), 0);
    EXPECT_EQ(header->SectionAt(100), 1);
    EXPECT_EQ(header->SectionAt(150), -1);
    int clicked = -1;
    header->OnSectionClick = [&](TComponent*, int section) { clicked = section; };
    header->ClickSection(1);
    EXPECT_EQ(clicked, 1);
}

TEST_F(UiControls, AnImageClicksOnlyWhenReleasedOverItAndNotWhenDisabled)
{
    auto* imClose = Add<TImage>("imClose");
    int clicks = 0;
    imClose->OnClick = [&](TComponent*) { ++clicks; };
    imClose->DoMouseDown(TMouseButton::mbLeft, ssLeft, 3, 3);
    imClose->DoMouseUp(TMouseButton::mbLeft, 0, 3, 3);
    EXPECT_EQ(clicks, 1);
    // Released outside: no click.
    imClose->DoMouseDown(TMouseButton::mbLeft, ssLeft, 3, 3);
    imClose->DoMouseUp(TMouseButton::mbLeft, 0, 500, 3);
    EXPECT_EQ(clicks, 1);
    imClose->SetEnabled(false);
    imClose->Click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(UiControls, HintWindowShowsTheHintAfterTheMouseRests)
{
    auto* imHide = Add<TImage>("imHide");
    imHide->SetHint("Hide this window");
    imHide->SetShowHint(true);
    form->ShowForm();
    imHide->DoMouseEnter();
    TUnicodeHintWindow* hint = Application->HintWindow();
    EXPECT_TRUE(PumpUntil([&] { return hint->Visible(); }, 2000));
    EXPECT_EQ(hint->Caption(), "Hide this window");
    imHide->DoMouseLeave();
    EXPECT_FALSE(hint->Visible());
}
