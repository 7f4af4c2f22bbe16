// The look-and-feel and bundle rules applied through the toolkit's own controls, as the program
// binds them, not through a stand-in that could name its classes differently.

#include "DialogTestSupport.h"
#include "dialogs/SkinBinding.h"

using namespace settings;
using namespace dialogs;

namespace {

template <class T> T* Add(ui::TForm& form, const std::string& name)
{
    auto* control = new T(&form);
    control->SetName(name);
    control->SetParent(&form);
    return control;
}

using SkinBinding = DialogTest;

TEST_F(SkinBinding, TabSetColoursAndCheckListTextsReachTheToolkitControls)
{
    ui::TForm form(nullptr);
    auto* tabs = Add<ui::TUnicodeTabSet>(form, "tsPages");
    tabs->Tabs().Add("General");
    tabs->Tabs().Add("Forward");
    auto* rules = Add<ui::TCheckListBox>(form, "clbRules");
    rules->Items().Add("Busy");
    rules->Items().Add("Away");
    rules->SetChecked(1, true);
    for (int tag : {180, 181, 182, 183})
        SetColour(tag, 0x101010u * static_cast<TColour>(tag - 179));
    MessageBundle().SetText("tsPages", "Allgemein,Weiterleitung");
    MessageBundle().SetText("clbRules", "Besetzt,Abwesend");

    TSkinFormBinding skin(form);
    ApplyColours(skin);
    MessageBundle().ApplyToComponents(skin);
    EXPECT_EQ(tabs->Color(), 0x101010u);
    EXPECT_EQ(tabs->Font().Color(), 0x202020u);
    EXPECT_EQ(tabs->SelectedColor(), 0x303030u);
    EXPECT_EQ(tabs->UnselectedColor(), 0x404040u);
    EXPECT_EQ(tabs->Tabs().Strings(1), "Weiterleitung");
    EXPECT_EQ(rules->Items().Strings(0), "Besetzt");
    EXPECT_EQ(rules->Items().Strings(1), "Abwesend");
    EXPECT_TRUE(rules->Checked(1));
}

} // namespace
