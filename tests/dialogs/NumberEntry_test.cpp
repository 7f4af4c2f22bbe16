#include "DialogTestSupport.h"
#include "dialogs/MSNConference.h"
#include "dialogs/MSNMakeCall.h"
#include "dialogs/MSNPickupCall.h"
#include "dialogs/MSNRedirectCall.h"
#include "dialogs/MSNTransfer.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace {

std::vector<std::string> StoredRecent()
{
    std::vector<std::string> keys, values;
    KovraAssistantConfig().ReadSection("RecentPhoneNumbers", keys);
    for (const std::string& key : keys)
        values.push_back(KovraAssistantConfig().ReadString("RecentPhoneNumbers", key, "?"));
    return values;
}

std::vector<std::string> Items(const ui::TUnicodeComboBox& box)
{
    std::vector<std::string> items;
    for (int i = 0; i < box.Items().Count(); ++i)
        items.push_back(box.Items().Strings(i));
    return items;
}

using NumberEntry = DialogTest;

TEST_F(NumberEntry, MakeCallFiltersDialCharactersAndGivesTheOptionOfTheTickedRadio)
{
    TfmMakeCall dialog(owner);
    TypeText(*dialog.cbPhones, "+1 (214) 555-1234*#x");
    EXPECT_EQ(dialog.cbPhones->Text(), "+1(214)555-1234*#");
    EXPECT_TRUE(dialog.cbPhones->TypeKey(ui::VK_BACK_KEY));
    EXPECT_EQ(dialog.cbPhones->Text(), "+1(214)555-1234*");
    for (char16_t dropped : {u' ', u'a', u'.', u'\r', char16_t(0x00E9)})
        EXPECT_EQ(PhoneNumberKey(dropped), 0) << int(dropped);
    // Pasted text is not filtered.
    dialog.cbPhones->TextEdited("+44 20");
    EXPECT_EQ(dialog.cbPhones->Text(), "+44 20");

    // A regular call by default; the radios exclude each other as the toolkit's do (UiControls).
    EXPECT_EQ(dialog.CallOptions(), 0);
    dialog.ckIntercom->Click();
    EXPECT_EQ(dialog.CallOptions(), 4);
    dialog.ckUrgent->Click();
    EXPECT_EQ(dialog.CallOptions(), 2);
    dialog.ckDontShow->Click();
    EXPECT_EQ(dialog.CallOptions(), 8);
}

TEST_F(NumberEntry, RecentNumbersMoveToTheTopAndNeverPassFive)
{
    for (const char* number : {"1001", "1002", "1003", "1004", "1005"})
        AddRecentNumber(number);
    EXPECT_EQ(StoredRecent(), (std::vector<std::string>{"1005", "1004", "1003", "1002", "1001"}));
    AddRecentNumber("1-0-0-3");
    EXPECT_EQ(StoredRecent(), (std::vector<std::string>{"1003", "1005", "1004", "1002", "1001"}));
    AddRecentNumber("1006");
    EXPECT_EQ(StoredRecent(), (std::vector<std::string>{"1006", "1003", "1005", "1004", "1002"}));
    // Nothing dialable still takes a slot; the drop-down leaves it out.
    AddRecentNumber("()-");
    EXPECT_EQ(StoredRecent(), (std::vector<std::string>{"", "1006", "1003", "1005", "1004"}));
    ui::TUnicodeComboBox box(owner);
    FillRecentNumbers(box);
    EXPECT_EQ(Items(box), (std::vector<std::string>{"1006", "1003", "1005", "1004"}));
    // Stored as written without separators, shown formatted unless with a country code.
    AddRecentNumber("(214) 555-1234");
    EXPECT_EQ(StoredRecent().front(), "2145551234");
    AddRecentNumber("+44 (20) 7946-0000");
    FillRecentNumbers(box);
    EXPECT_EQ(Items(box), (std::vector<std::string>{"+442079460000", "(214) 555-1234", "1006", "1003"}));

    // A foreign document's longer list is trimmed; other sections stay.
    for (int i = 0; i < 7; ++i)
        KovraAssistantConfig().WriteString("RecentPhoneNumbers", std::to_string(i), std::to_string(i + 1));
    KovraAssistantConfig().WriteString("General", "a", "1");
    AddRecentNumber("9");
    EXPECT_EQ(StoredRecent(), (std::vector<std::string>{"9", "1", "2", "3", "4"}));
    EXPECT_EQ(KovraAssistantConfig().ReadString("General", "a", ""), "1");
}

TEST_F(NumberEntry, ImmediateBoxFollowsTheSingleStepAndConsultationBits)
{
    constexpr std::uint32_t single = 1u << capSingleStepTransfer, consult = 1u << capConsultTransfer;
    // Checked and enabled, by the capabilities offered.
    auto choice = [](std::uint32_t caps) {
        const TImmediateChoice made = ImmediateChoice(caps, capSingleStepTransfer, capConsultTransfer);
        return std::pair(made.Checked, made.Enabled);
    };
    EXPECT_EQ(choice(single), std::pair(true, false));
    EXPECT_EQ(choice(consult), std::pair(false, false));
    EXPECT_EQ(choice(single | consult), std::pair(false, true));

    TfmTransfer transfer(owner);
    transfer.SetImmediate(ImmediateChoice(single, capSingleStepTransfer, capConsultTransfer));
    transfer.ckImmediateTrans->Click();
    EXPECT_TRUE(transfer.Immediate()) << "a disabled box cannot be changed";
    TfmConference conference(owner);
    conference.SetImmediate(ImmediateChoice(single | consult, capSingleStepTransfer, capConsultTransfer));
    conference.ckImmediateConf->Click();
    EXPECT_TRUE(conference.Immediate());
}

TEST_F(NumberEntry, RedirectYieldsOnlyAChosenForwardEntry)
{
    std::vector<TForwardEntry> entries{{"Desk", "2001"}, {"Mobile", "4255550199"}};
    {
        TfmRedirectCall dialog(owner, entries);
        EXPECT_EQ(Items(*dialog.cbPhones), (std::vector<std::string>{"None", "Desk", "Mobile"}));
        EXPECT_EQ(dialog.cbPhones->ItemIndex(), 0);
        EXPECT_FALSE(dialog.btOk->Enabled());
        dialog.cbPhones->SelectItem(0);
        EXPECT_TRUE(dialog.btOk->Enabled());
        WhileModal([&] { dialog.btOk->Click(); });
        EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
        EXPECT_FALSE(dialog.SelectedEntry());
    }
    {
        TfmRedirectCall dialog(owner, entries);
        dialog.cbPhones->SetText("");
        TypeText(*dialog.cbPhones, "2001");
        EXPECT_FALSE(dialog.SelectedEntry()) << "a typed number is not an entry";
        dialog.cbPhones->SelectItem(2);
        ASSERT_TRUE(dialog.SelectedEntry());
        EXPECT_EQ(dialog.SelectedEntry()->Number, "4255550199");
    }
    EXPECT_TRUE(StoredRecent().empty());
}

} // namespace
