// The forward list and the call-later reminders with their editors, the forwarding dialog and
// the reminder pop-up, headless.

#include "DialogTestSupport.h"
#include "TestSupport.h"
#include "dialogs/MSNForward.h"
#include "options/MSNOptions.h"
#include "options/SectionPairs.h"
#include "settings/Csv.h"
#include "settings/otutil.h"

using namespace settings;
using namespace dialogs;
using namespace options;

namespace {

class ListsTest : public DialogTest {
protected:
    ListsTest()
    {
        lists.MakeCall = [this](const std::string& number) {
            calls.push_back(number);
            return number.starts_with('+') ? TOptionsLists::crRefused : TOptionsLists::crCalled;
        };
    }
    // Adds a reminder through the editor as a user would; minutes 0 means "Call Now".
    void AddReminder(const std::string& name, const std::string& number, int minutes)
    {
        lists.AddCallLater({}, name, number, minutes);
        ASSERT_NE(fmCallLaterEntry, nullptr);
        fmCallLaterEntry->btOk->Click();
    }
    // The stored line of a reminder due an hour ago.
    std::string Due(const std::string& name, const std::string& number, int onlineOnly = 0)
    {
        return name + "," + number + "," + std::to_string(DateTimeToDos(now - 1.0 / 24)) + "," +
               std::to_string(onlineOnly);
    }
    void Store(const std::vector<std::string>& lines)
    {
        KovraAssistantConfig().EraseSection("Call Later");
        for (std::size_t i = 0; i < lines.size(); ++i)
            KovraAssistantConfig().WriteString("Call Later", std::to_string(i), lines[i]);
        lists.LoadReminders();
    }

    // The lists' clock, which the cases move on; half a second past, as stored times are whole.
    platform::TDateTime now = platform::EncodeDateTime({2026, 3, 14, 9, 30, 0}) + 0.5 / 86400;
    TOptionsLists lists{KovraAssistantConfig(), [this] { return now; }};
    std::vector<std::string> calls;
};

TEST_F(ListsTest, ForwardingDialogEnablesByKindAndPutsAllFourTextsIntoTheRecentNumbers)
{
    TfmForward dialog(owner);
    dialog.SetUp({"2000", "", "3000", ""}, {true, false, false, true});
    EXPECT_TRUE(dialog.cbForwardAll->Enabled());
    EXPECT_FALSE(dialog.cbForwardBusy->Enabled());
    EXPECT_FALSE(dialog.cbForwardNoAnswer->Enabled());
    EXPECT_EQ(dialog.cbForwardNoAnswer->Text(), "3000");
    dialog.cbForwardOOS->SetText("4000");
    dialog.cbForwardAll->SetText("");
    WhileModal([&] { dialog.btOk->Click(); });
    EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
    EXPECT_EQ(dialog.Texts(), (std::array<std::string, 4>{"", "", "3000", "4000"}));
    EXPECT_EQ(KovraAssistantConfig().ReadString("RecentPhoneNumbers", "0", ""), "4000");
    EXPECT_EQ(KovraAssistantConfig().ReadString("RecentPhoneNumbers", "1", ""), "3000");
}

TEST_F(ListsTest, ForwardEditorCleansTheNumberAndRefusesOneAlreadyInTheList)
{
    lists.OpenForwardEditor(nullptr);
    TfmForwardEntry* editor = fmForwardEntry;
    editor->edName->SetText("Reception");
    TypeText(*editor->edNumber, "(214) 555-1234");
    EXPECT_EQ(editor->edNumber->Text(), "214 555-1234");
    editor->edNumber->SetText("12a*#9");
    EXPECT_EQ(editor->edNumber->Text(), "12*#9");
    editor->edNumber->SetText("214 555-1234");
    editor->btOk->Click();
    ASSERT_EQ(lists.Forwards().size(), 1u);

    // A second entry with the same number would lose a name on the next save.
    lists.OpenForwardEditor(nullptr);
    fmForwardEntry->edName->SetText("Other");
    fmForwardEntry->edNumber->SetText(" 214 555-1234 ");
    EXPECT_FALSE(fmForwardEntry->btOk->Enabled());
    EXPECT_TRUE(fmForwardEntry->txtNumberTaken->Visible());
    // Editing the entry itself keeps its number.
    lists.OpenForwardEditor(lists.Forwards()[0].get());
    fmForwardEntry->edName->SetText("Front");
    EXPECT_TRUE(fmForwardEntry->btOk->Enabled());
    fmForwardEntry->btOk->Click();
    EXPECT_EQ(KovraAssistantConfig().ReadString("Forward", "214 555-1234", ""), "Front");
    EXPECT_EQ(lists.ForwardEntries().size(), 1u);
}

TEST_F(ListsTest, SecondForwardEditorDropsTheFirstOnesUnsavedEntryAndDeleteRemovesByIdentity)
{
    lists.OpenForwardEditor(nullptr);
    fmForwardEntry->edName->SetText("Lost");
    fmForwardEntry->edNumber->SetText("100");
    lists.OpenForwardEditor(nullptr);
    EXPECT_TRUE(lists.Forwards().empty());
    fmForwardEntry->edName->SetText("Kept");
    fmForwardEntry->edNumber->SetText("200");
    fmForwardEntry->btOk->Click();
    lists.OpenForwardEditor(lists.Forwards()[0].get());
    lists.DeleteForward(lists.Forwards()[0].get());
    EXPECT_EQ(fmForwardEntry, nullptr);
    EXPECT_TRUE(lists.Forwards().empty());
    EXPECT_FALSE(KovraAssistantConfig().SectionExists("Forward"));
}

TEST_F(ListsTest, DosDateTimeRoundTripsAtTwoSecondResolution)
{
    const platform::TDateTime odd = platform::EncodeDateTime({2026, 12, 7, 23, 59, 59});
    EXPECT_EQ(platform::FormatDateTime(DosToDateTime(DateTimeToDos(odd))), "2026-12-07 23:59:58");
    EXPECT_EQ(DateTimeToDos(platform::EncodeDateTime({1980, 1, 1, 0, 0, 0})), (1u << 21) | (1u << 16));
    // A damaged value reads as a valid date.
    EXPECT_EQ(platform::FormatDateTime(DosToDateTime(0xFFFFFFFFu)), "2107-12-31 23:59:58");
}

TEST_F(ListsTest, ReminderForNowIsDialledAtOnceAndNeverStoredUnlessTheCallStateForbids)
{
    AddReminder("Ann", "(214) 555-1234", 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"2145551234"}));
    EXPECT_TRUE(lists.Reminders().empty());
    EXPECT_FALSE(KovraAssistantConfig().SectionExists("Call Later"));

    lists.SetCallState(4);
    AddReminder("", "300", 0);
    ASSERT_EQ(lists.Reminders().size(), 1u);
    EXPECT_EQ(lists.Reminders()[0]->Name, "Unknown");
    EXPECT_EQ(calls.size(), 1u);
    lists.LoadReminders();
    ASSERT_EQ(lists.Reminders().size(), 1u);
    EXPECT_EQ(*lists.Reminders()[0], (TCallLater{"Unknown", "300", 0, 0}));

    // Without a session to call from, a reminder for now is kept rather than lost.
    lists.SetCallState(0);
    lists.MakeCall = nullptr;
    AddReminder("Eve", "700", 0);
    EXPECT_EQ(lists.Reminders().size(), 2u);
}

TEST_F(ListsTest, ReminderInTenMinutesIsStoredCountsDownAndAnUnansweredOneWaitsFiveMore)
{
    AddReminder("Bob", "400", 10);
    ASSERT_EQ(lists.Reminders().size(), 1u);
    EXPECT_EQ(lists.CountDown(now), (std::vector<std::string>{"Call in 00:10:00"}));
    now += (9 * 60 + 25) / 86400.0;
    EXPECT_EQ(lists.CountDown(now), (std::vector<std::string>{"Call in 00:00:35"}));
    EXPECT_EQ(fmCallLaterCall, nullptr);
    now += 35 / 86400.0;
    EXPECT_EQ(lists.CountDown(now), (std::vector<std::string>{"As soon as possible"}));
    ASSERT_NE(fmCallLaterCall, nullptr);
    // Left unanswered, the pop-up postpones it by five minutes.
    fmCallLaterCall->tmDissapear->Tick();
    ASSERT_EQ(lists.Reminders().size(), 1u);
    EXPECT_EQ(lists.CountDown(now), (std::vector<std::string>{"Call in 00:05:00"}));

    // One the dialing rules refuse is kept but not announced again until it is edited.
    Store({Due("Gil", "+44 20 7946 0000")});
    lists.CountDown(now);
    ASSERT_NE(fmCallLaterCall, nullptr);
    fmCallLaterCall->btCall->Click();
    ASSERT_TRUE(PumpUntil([] { return fmCallLaterCall == nullptr; }));
    lists.CountDown(now);
    EXPECT_EQ(fmCallLaterCall, nullptr);
    EXPECT_EQ(lists.Reminders().size(), 1u);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(ListsTest, TwoDueRemindersAnnounceTheLowerOneFirstAndTheOtherAfterTheAnswer)
{
    Store({Due("First", "100"), Due("Second", "200")});
    const auto texts = lists.CountDown(now);
    EXPECT_EQ(texts, (std::vector<std::string>{"As soon as possible", "As soon as possible"}));
    ASSERT_NE(fmCallLaterCall, nullptr);
    EXPECT_EQ(fmCallLaterCall->txtCallerName->Caption(), "Second");
    fmCallLaterCall->btCall->Click();
    EXPECT_EQ(calls, (std::vector<std::string>{"200"}));
    ASSERT_EQ(lists.Reminders().size(), 1u);
    // The pop-up slides away and frees itself before the next one comes.
    lists.CountDown(now);
    EXPECT_EQ(fmCallLaterCall->Entry(), nullptr);
    ASSERT_TRUE(PumpUntil([] { return fmCallLaterCall == nullptr; }));
    lists.CountDown(now);
    ASSERT_NE(fmCallLaterCall, nullptr);
    EXPECT_EQ(fmCallLaterCall->txtCallerName->Caption(), "First");
    fmCallLaterCall->btCancelCall->Click();
    EXPECT_TRUE(lists.Reminders().empty());
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(ListsTest, OnlineOnlyReminderWaitsForItsContactAndAnEmptyNumberIsNeverAnnounced)
{
    std::vector<TReminderContact> contacts = {{"carl@example", 1, {"", "Work +1 214 555 0500", ""}}};
    lists.MessengerOn = [] { return true; };
    lists.Contacts = [&] { return contacts; };
    Store({Due("Carl", "0500", 1), Due("Nobody", "")});
    EXPECT_EQ(lists.CountDown(now)[1], "No number");
    EXPECT_EQ(fmCallLaterCall, nullptr);
    contacts[0].Status = 2;
    lists.CountDown(now);
    ASSERT_NE(fmCallLaterCall, nullptr);
    EXPECT_EQ(fmCallLaterCall->txtCallerName->Caption(), "Carl");

    // The contact's numbers fill the editor without their kind, a "+" number with its country code.
    contacts[0].Numbers.Home = "+44 (0)20 7946 0000";
    lists.AddCallLater("carl@example", "Carl", "", 5);
    ASSERT_NE(fmCallLaterEntry, nullptr);
    EXPECT_EQ(fmCallLaterEntry->edNumber->Text(), "+1 214 555 0500");
    fmCallLaterEntry->lbSelect->SetItemIndex(1);
    fmCallLaterEntry->lbSelect->Click();
    EXPECT_EQ(fmCallLaterEntry->edNumber->Text(), "+44 (0)20 7946 0000");
    fmCallLaterEntry->btOk->Click();
    EXPECT_EQ(lists.Reminders().back()->Number, "+442079460000");
}

TEST_F(ListsTest, EditingAnAnnouncedReminderClosesItsPopupFirst)
{
    Store({Due("Dora", "600")});
    lists.CountDown(now);
    ASSERT_NE(fmCallLaterCall, nullptr);
    lists.EditReminder(lists.Reminders()[0].get());
    EXPECT_EQ(fmCallLaterCall->Entry(), nullptr);
    ASSERT_NE(fmCallLaterEntry, nullptr);
    EXPECT_TRUE(fmCallLaterEntry->rbCallNow->Checked());
    fmCallLaterEntry->btOk->Click();
    EXPECT_EQ(calls, (std::vector<std::string>{"600"}));
    EXPECT_TRUE(lists.Reminders().empty());
}

// Every log-in reads the lists again: what the user is typing in an editor is kept while its entry
// is still there.
TEST_F(ListsTest, ReadingTheListsAgainKeepsAnOpenEditorWhoseEntryIsStillThere)
{
    KovraAssistantConfig().WriteString("Forward", "2001", "Desk");
    KovraAssistantConfig().WriteString("Forward", "2002", "Lab");
    lists.LoadForwards();
    lists.OpenForwardEditor(lists.Forwards()[1].get());
    fmForwardEntry->edName->SetText("Lab 2");
    lists.LoadForwards();
    ASSERT_NE(fmForwardEntry, nullptr);
    EXPECT_EQ(fmForwardEntry->edName->Text(), "Lab 2");
    fmForwardEntry->btOk->Click();
    ASSERT_EQ(lists.Forwards().size(), 2u);
    EXPECT_EQ(lists.Forwards()[1]->Name, "Lab 2");
    EXPECT_EQ(KovraAssistantConfig().ReadString("Forward", "2002", ""), "Lab 2");
    // A new entry has nothing to lose; one whose entry is gone from the document goes.
    lists.OpenForwardEditor(nullptr);
    lists.LoadForwards();
    EXPECT_NE(fmForwardEntry, nullptr);
    lists.OpenForwardEditor(lists.Forwards()[0].get());
    KovraAssistantConfig().EraseSection("Forward");
    lists.LoadForwards();
    EXPECT_EQ(fmForwardEntry, nullptr);

    Store({Due("Dora", "600"), Due("Ed", "700")});
    lists.CountDown(now);
    ASSERT_NE(fmCallLaterCall, nullptr);
    lists.EditReminder(lists.Reminders()[0].get());
    ASSERT_NE(fmCallLaterEntry, nullptr);
    fmCallLaterEntry->edName->SetText("Dora Day");
    Store({Due("Dora", "600"), Due("Ed", "700")});
    ASSERT_NE(fmCallLaterEntry, nullptr);
    EXPECT_EQ(fmCallLaterEntry->edName->Text(), "Dora Day");
    ASSERT_NE(fmCallLaterCall, nullptr);
    EXPECT_EQ(fmCallLaterCall->Entry()->Name, "Ed");
    fmCallLaterEntry->rbCallIn->Click();
    fmCallLaterEntry->btOk->Click();
    ASSERT_EQ(lists.Reminders().size(), 2u);
    EXPECT_EQ(lists.Reminders()[0]->Name, "Dora Day");
    EXPECT_EQ(TCsv(KovraAssistantConfig().ReadString("Call Later", "0", "")).FieldText(0), "Dora Day");
    lists.EditReminder(lists.Reminders()[0].get());
    Store({Due("Fay", "800")});
    EXPECT_EQ(fmCallLaterEntry, nullptr);
    EXPECT_EQ(fmCallLaterCall, nullptr);
}

// A section written in one pass is the document the key-by-key writes make, byte for byte, and
// reads back as the key-by-key reads do: repeated names (any case), '=', both quotes, empty values
// and names, padded names, and a text only the escaped form holds.
TEST(SectionPairs, OnePassWritesAndReadsMatchTheKeyByKeyOnes)
{
    const std::vector<std::vector<TSectionPair>> cases = {
        {{"5550100", "Reception"}, {"5550101", "Night desk"}},
        {{"a", "x=y==z"},
         {"B", "say \"hi\""},
         {"c", "bar|pipe"},
         {"d", ""},
         {"", "lost"},
         {"A", "again"},
         {" e ", "padded"},
         {"e", "plain"},
         {"b", "second"}},
        {{"1", "Room #615551234"}, {"2", "Dana"}, {"1", "later"}},
        {},
    };
    for (const auto& pairs : cases) {
        TKovraAssistantConfig byKey, onePass;
        for (TKovraAssistantConfig* config : {&byKey, &onePass}) {
            config->WriteString("Before", "k", "v");
            config->WriteString("List", "old", "gone");
            config->WriteString("After", "k", "v|\"=");
        }
        byKey.EraseSection("List");
        for (const TSectionPair& pair : pairs)
            byKey.WriteString("List", pair.Name, pair.Value);
        WriteSectionPairs(onePass, "List", pairs);
        EXPECT_EQ(onePass.GetText(), byKey.GetText()) << byKey.GetText();

        std::vector<std::string> names;
        byKey.ReadSection("List", names);
        std::vector<TSectionPair> expected;
        for (const std::string& name : names)
            expected.push_back({name, byKey.ReadString("List", name, "")});
        EXPECT_EQ(ReadSectionPairs(onePass, "List"), expected) << byKey.GetText();
    }
}

TEST_F(ListsTest, ContactNumbersMatchExtensionsAndShortForms)
{
    EXPECT_TRUE(ContactNumberMatches("Work +1 (214) 555-0500", "0500"));
    EXPECT_TRUE(ContactNumberMatches("5550500", "2145550500"));
    EXPECT_FALSE(ContactNumberMatches("5550501", "2145550500"));
    EXPECT_FALSE(ContactNumberMatches("", "0500"));
}

} // namespace
